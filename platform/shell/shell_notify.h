#pragma once
// Shell change notices between processes: a sender broadcasts an event code with the absolute
// item-ID list it concerns; a registration delivers, on the thread of its Qt event loop, every
// notice about its folder (its items, or with `recursive` anything below it) whose event is in
// its mask.
#include "shell_interfaces.h"
#include "shell_notice.h"
#include "shell_root.h"

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace kavro {
class NoticeListener;
}

namespace kavro::shell {

// Whether a registration on `folder` hears a notice about `pidl`: the folder itself, one of its
// items, or (recursive) anything below it.
bool noticeConcerns(LPCITEMIDLIST folder, bool recursive, LPCITEMIDLIST pidl);

// Sends a notice to every registration of every process.
HRESULT SHChangeNotify(uint32_t event, LPCITEMIDLIST pidl);

class ShellChangeRegistration : public QObject {
public:
    using Handler = std::function<void(uint32_t event, LPCITEMIDLIST pidl)>;
    explicit ShellChangeRegistration(QObject* parent = nullptr);
    ~ShellChangeRegistration() override;

    HRESULT Register(LPCITEMIDLIST folder, bool recursive, uint32_t mask, Handler handler);
    void Deregister();
    bool registered() const { return listener_ != nullptr; }

private:
    void drain();

    IdList folder_;
    bool recursive_ = false;
    uint32_t mask_ = 0;
    Handler handler_;
    std::unique_ptr<NoticeListener> listener_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace kavro::shell
