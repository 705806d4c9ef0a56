#pragma once
// Shell change notices between processes: a sender broadcasts an event code with the absolute
// item-ID list it concerns; a registration delivers, on the thread of its Qt event loop, every
// notice about its folder (its items, or with `recursive` anything below it) whose event is in
// its mask. Notices can be lost while a registration's thread is busy; it then hears
// SHCNE_UPDATEDIR on its own folder, whatever its mask, since the lost ones could have been any.
#include "shell_interfaces.h"
#include "shell_notice.h"
#include "shell_root.h"

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;
class QWidget;

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

// Keeps what a window shows of a folder current: `refresh` is called for every notice the
// registration hears (lost ones included) and, when the window is activated, when the folder's
// version has moved since the last refresh. The version is whatever the folder's source raises on
// every change (the catalog's change counter); without one, activation refreshes nothing. So no
// notice is ever the only way a window learns of a change.
class ShellChangeFollower : public QObject {
public:
    using Refresh = std::function<void()>;
    using Version = std::function<uint64_t()>;

    // Follows activation of `window`'s top-level window; owned by `window`.
    explicit ShellChangeFollower(QWidget* window);

    HRESULT Follow(LPCITEMIDLIST folder, bool recursive, uint32_t mask, Refresh refresh, Version version = {});
    void Stop();
    // Refreshes when the version has moved since the last refresh.
    void RefreshIfChanged();
    // Notes the version that a refresh the owner made itself has shown.
    void NoteRefreshed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();

    ShellChangeRegistration registration_;
    Refresh refresh_;
    Version version_;
    uint64_t shown_ = 0;
};

} // namespace kavro::shell
