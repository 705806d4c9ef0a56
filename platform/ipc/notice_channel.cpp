#include "ipc/notice_channel.h"

#include "ipc/runtime_folder.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kavro {
namespace {

bool validChannelName(const QString& channel)
{
    if (channel.isEmpty() || channel.size() > 32)
        return false;
    for (QChar c : channel) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('-') && c != QLatin1Char('_'))
            return false;
    }
    return true;
}

HRESULT channelFolder(const QString& channel, QString* out)
{
    if (!validChannelName(channel))
        return E_INVALIDARG;
    QString base;
    HRESULT hr = runtimeFolder(&base);
    if (FAILED(hr))
        return hr;
    const QString folder = base + channel;
    hr = ensurePrivateFolder(folder);
    if (FAILED(hr))
        return hr;
    *out = folder + QLatin1Char('/');
    return S_OK;
}

// The mark a sender leaves beside a listener's socket when the listener's queue was full (its
// name does not end in ".sock", so senders do not take it for a listener).
QByteArray missedMarkOf(const char* socketPath)
{
    return QByteArray(socketPath) + ".missed";
}

bool socketAddress(const QString& path, sockaddr_un* addr)
{
    const QByteArray native = QFile::encodeName(path);
    if (native.size() >= static_cast<qsizetype>(sizeof(addr->sun_path)))
        return false;
    std::memset(addr, 0, sizeof(*addr));
    addr->sun_family = AF_UNIX;
    std::memcpy(addr->sun_path, native.constData(), static_cast<size_t>(native.size()));
    return true;
}

} // namespace

NoticeListener::~NoticeListener()
{
    close();
}

HRESULT NoticeListener::open(const QString& channel)
{
    close();
    QString folder;
    HRESULT hr = channelFolder(channel, &folder);
    if (FAILED(hr))
        return hr;
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return hresultFromErrno(errno);
    // A name no other listener can hold: a process may carry several copies of this code (each
    // module that links it statically), so no counter of ours is unique within the process. A
    // name that is taken is never unlinked here: its socket may be a live listener's.
    QString path;
    sockaddr_un addr;
    int err = EADDRINUSE;
    for (int attempt = 0; attempt < 16 && err == EADDRINUSE; ++attempt) {
        path = folder
            + QStringLiteral("%1-%2.sock")
                  .arg(::getpid())
                  .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        if (!socketAddress(path, &addr)) {
            ::close(fd);
            return E_INVALIDARG;
        }
        err = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 ? 0 : errno;
    }
    if (err != 0) {
        ::close(fd);
        return hresultFromErrno(err);
    }
    ::unlink(missedMarkOf(addr.sun_path).constData()); // left by a dead listener of this name
    fd_ = fd;
    path_ = path;
    return S_OK;
}

void NoticeListener::close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        const QByteArray native = QFile::encodeName(path_);
        ::unlink(native.constData());
        ::unlink(missedMarkOf(native.constData()).constData());
    }
    fd_ = -1;
    path_.clear();
}

bool NoticeListener::receive(QByteArray* out)
{
    if (fd_ < 0 || !out)
        return false;
    QByteArray buffer(kMaxNoticeBytes + 1, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer.data(), static_cast<size_t>(buffer.size()), MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        buffer.truncate(n);
        *out = buffer;
        return true;
    }
}

bool NoticeListener::takeMissed()
{
    return fd_ >= 0 && ::unlink(missedMarkOf(QFile::encodeName(path_).constData()).constData()) == 0;
}

NoticeSender::~NoticeSender()
{
    close();
}

HRESULT NoticeSender::open(const QString& channel)
{
    close();
    HRESULT hr = channelFolder(channel, &folder_);
    if (FAILED(hr))
        return hr;
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    return fd_ < 0 ? hresultFromErrno(errno) : S_OK;
}

void NoticeSender::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (folderFd_ >= 0)
        ::close(folderFd_);
    folderFd_ = -1;
    folder_.clear();
    listeners_.clear();
    folderStamp_ = -1;
}

bool NoticeSender::statFolder(struct stat* st)
{
    // The folder is held open: a look at it then walks no path. A folder removed since (it has
    // no links left) may have been made again, so the name is looked up afresh.
    if (folderFd_ >= 0 && ::fstat(folderFd_, st) == 0 && st->st_nlink > 0)
        return true;
    if (folderFd_ >= 0)
        ::close(folderFd_);
    folderFd_ = ::open(QFile::encodeName(folder_).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return folderFd_ >= 0 && ::fstat(folderFd_, st) == 0;
}

void NoticeSender::refreshListeners()
{
    struct stat st { };
    if (!statFolder(&st)) {
        listeners_.clear();
        folderStamp_ = -1;
        return;
    }
    const int64_t stamp = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (stamp == folderStamp_)
        return;
    folderStamp_ = stamp;
    listeners_ = QDir(folder_).entryList({QStringLiteral("*.sock")}, QDir::System | QDir::Files);
}

HRESULT NoticeSender::send(const QByteArray& message)
{
    if (message.size() > kMaxNoticeBytes)
        return E_INVALIDARG;
    if (fd_ < 0)
        return E_HANDLE;
    refreshListeners();
    bool removed = false;
    for (const QString& name : std::as_const(listeners_)) {
        sockaddr_un addr;
        if (!socketAddress(folder_ + name, &addr))
            continue;
        auto sendOnce = [&] {
            return ::sendto(fd_, message.constData(), static_cast<size_t>(message.size()), MSG_DONTWAIT | MSG_NOSIGNAL,
                            reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        };
        ssize_t sent = sendOnce();
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The listener is behind (busy or stopped): it must learn that it missed this one.
            // Sending once more after leaving the mark wakes a listener that emptied its queue
            // and looked for the mark in between; a queue still full is read, and the mark
            // found, later.
            const int mark
                = ::open(missedMarkOf(addr.sun_path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (mark >= 0)
                ::close(mark);
            sent = sendOnce();
        }
        if (sent < 0 && (errno == ECONNREFUSED || errno == ENOENT)) {
            ::unlink(addr.sun_path); // nobody reads there any more
            ::unlink(missedMarkOf(addr.sun_path).constData());
            removed = true;
        }
    }
    if (removed)
        folderStamp_ = -1;
    return S_OK;
}

HRESULT sendNotice(const QString& channel, const QByteArray& message)
{
    if (message.size() > kMaxNoticeBytes)
        return E_INVALIDARG;
    NoticeSender sender;
    const HRESULT hr = sender.open(channel);
    return FAILED(hr) ? hr : sender.send(message);
}

} // namespace kavro
