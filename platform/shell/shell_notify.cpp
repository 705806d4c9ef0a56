#include "shell_notify.h"

#include "ipc/notice_channel.h"

#include <QEvent>
#include <QSocketNotifier>
#include <QWidget>

namespace kavro::shell {

bool noticeConcerns(LPCITEMIDLIST folder, bool recursive, LPCITEMIDLIST pidl)
{
    if (!ILIsPrefix(folder, pidl))
        return false;
    return recursive || ILCount(pidl) <= ILCount(folder) + 1;
}

HRESULT SHChangeNotify(uint32_t event, LPCITEMIDLIST pidl)
{
    const QByteArray message = encodeShellNotice(event, pidl);
    if (message.isEmpty())
        return E_INVALIDARG;
    return sendNotice(QString::fromLatin1(kShellNoticeChannel), message);
}

ShellChangeRegistration::ShellChangeRegistration(QObject* parent) : QObject(parent)
{
}

ShellChangeRegistration::~ShellChangeRegistration()
{
    Deregister();
}

HRESULT ShellChangeRegistration::Register(LPCITEMIDLIST folder, bool recursive, uint32_t mask, Handler handler)
{
    Deregister();
    auto listener = std::make_unique<NoticeListener>();
    HRESULT hr = listener->open(QString::fromLatin1(kShellNoticeChannel));
    if (FAILED(hr))
        return hr;
    folder_ = IdList::copy(folder);
    recursive_ = recursive;
    mask_ = mask;
    handler_ = std::move(handler);
    listener_ = std::move(listener);
    notifier_ = new QSocketNotifier(listener_->fd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { drain(); });
    return S_OK;
}

void ShellChangeRegistration::Deregister()
{
    delete notifier_;
    notifier_ = nullptr;
    listener_.reset();
    handler_ = nullptr;
}

void ShellChangeRegistration::drain()
{
    QByteArray message;
    while (listener_ && listener_->receive(&message)) {
        uint32_t event = 0;
        const ItemIdList* ids = nullptr;
        if (!splitShellNotice(message, &event, &ids))
            continue;
        // A copy: the routines may assume the shell allocator's alignment.
        IdList pidl(CloneItemIdList(ids));
        if ((event & mask_) && pidl && noticeConcerns(folder_.get(), recursive_, pidl.get())) {
            Handler handler = handler_; // the handler may deregister
            handler(event, pidl.get());
        }
    }
    if (listener_ && listener_->takeMissed()) {
        Handler handler = handler_;
        handler(SHCNE_UPDATEDIR, folder_.get());
    }
}

ShellChangeFollower::ShellChangeFollower(QWidget* window) : QObject(window)
{
    window->installEventFilter(this);
}

HRESULT ShellChangeFollower::Follow(LPCITEMIDLIST folder, bool recursive, uint32_t mask, Refresh refresh,
                                    Version version)
{
    refresh_ = std::move(refresh);
    version_ = std::move(version);
    NoteRefreshed();
    return registration_.Register(folder, recursive, mask, [this](uint32_t, LPCITEMIDLIST) { this->refresh(); });
}

void ShellChangeFollower::Stop()
{
    registration_.Deregister();
    refresh_ = nullptr;
    version_ = nullptr;
}

void ShellChangeFollower::NoteRefreshed()
{
    if (version_)
        shown_ = version_();
}

void ShellChangeFollower::RefreshIfChanged()
{
    if (version_ && version_() != shown_)
        refresh();
}

void ShellChangeFollower::refresh()
{
    // Noted before the refresh: a change made while it reads is seen by the next look.
    NoteRefreshed();
    if (Refresh r = refresh_) // the refresh may stop this follower
        r();
}

bool ShellChangeFollower::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        RefreshIfChanged();
    return QObject::eventFilter(watched, event);
}

} // namespace kavro::shell
