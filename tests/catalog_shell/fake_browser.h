#pragma once
// A host for a catalog view: a plain window as the browser, which records where the view asked
// to browse and, as a common-dialog browser, can leave items out.
#include "shell/shell_interfaces.h"
#include "shell/shell_root.h"

#include <QCoreApplication>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace shelltest {

using namespace kavro::shell;

class FakeBrowser final : public ComObject<FakeBrowser, IShellBrowser, ICommDlgBrowser> {
public:
    QWidget window;
    QStringList browsed; // names of the IDs asked for, '/'-joined, with the flags
    QStringList excluded; // item names the common-dialog side leaves out
    bool commonDialog = false;
    int selectionChanges = 0;

    HRESULT GetWindow(QWidget** out) override
    {
        *out = &window;
        return S_OK;
    }
    HRESULT BrowseObject(LPCITEMIDLIST pidl, uint32_t flags) override
    {
        browsed << kavro::shell::ItemIdListNames(pidl).join(QLatin1Char('/')) + QStringLiteral("@%1").arg(flags, 0, 16);
        return S_OK;
    }
    HRESULT GetControlWindow(uint32_t, QWidget** out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT SendControlMsg(uint32_t, uint32_t) override { return S_OK; }
    HRESULT OnDefaultCommand(IShellView*) override { return S_FALSE; }
    HRESULT OnStateChange(IShellView*, uint32_t change) override
    {
        if (change == CDBOSC_SELCHANGE)
            ++selectionChanges;
        return S_OK;
    }
    HRESULT IncludeObject(IShellView*, LPCITEMIDLIST pidl) override
    {
        return excluded.contains(kavro::shell::ItemIdName(pidl)) ? S_FALSE : S_OK;
    }

    HRESULT QueryInterface(const IID& iid, void** out) override
    {
        if (iid == ICommDlgBrowser::iid && !commonDialog) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return ComObject::QueryInterface(iid, out);
    }
};

// The view of `folder` with its window made in `browser`, as a shell browser opens it; null when
// either step fails.
inline ComPtr<IShellView> openView(IShellFolder* folder, FakeBrowser* browser)
{
    ComPtr<IShellView> view;
    QWidget* window = nullptr;
    FOLDERSETTINGS settings;
    if (FAILED(folder->CreateViewObject(nullptr, IShellView::iid, view.putVoid())) || !view
        || FAILED(view->CreateViewWindow(nullptr, &settings, browser, QRect(0, 0, 400, 300), &window)))
        return nullptr;
    return view;
}

} // namespace shelltest
