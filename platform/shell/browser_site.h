#pragma once
// A browser window's side of its hosted view's conversation. The view holds the site and may
// outlive the window; the window detaches it when it goes, and the site answers nothing more.
// The owner is a QWidget with BrowseObject(pidl, flags) and controlWindow(id).
#include "shell_interfaces.h"

namespace kavro::shell {

template <class Owner, class Derived, class... More>
class BrowserSiteBase : public ComObject<Derived, IShellBrowser, More...> {
public:
    explicit BrowserSiteBase(Owner* owner) : owner_(owner) { }
    void detach() { owner_ = nullptr; }

    HRESULT GetWindow(QWidget** out) override
    {
        if (!out)
            return E_POINTER;
        *out = owner_;
        return owner_ ? S_OK : E_FAIL;
    }
    HRESULT BrowseObject(LPCITEMIDLIST pidl, uint32_t flags) override
    {
        return owner_ ? owner_->BrowseObject(pidl, flags) : E_FAIL;
    }
    HRESULT GetControlWindow(uint32_t id, QWidget** out) override
    {
        if (!out)
            return E_POINTER;
        *out = owner_ ? owner_->controlWindow(id) : nullptr;
        return *out ? S_OK : E_NOTIMPL;
    }
    HRESULT SendControlMsg(uint32_t, uint32_t) override { return S_OK; }

protected:
    Owner* owner_;
};

} // namespace kavro::shell
