#include "ipc/folder_watcher.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kavro {
namespace {

constexpr uint32_t kRootMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_ATTRIB
    | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// Below the root a link is never followed: it could lead out of the catalog or round in a loop.
constexpr uint32_t kMask = kRootMask | IN_DONT_FOLLOW;
// What ends the root's watch: it is deleted, moved, or its file system goes.
constexpr uint32_t kRootGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;

bool isHidden(const char* name)
{
    return name[0] == '.';
}

// The folder a path leads to, every link on the way followed; empty when it leads nowhere.
QByteArray resolved(const QByteArray& path)
{
    char* real = ::realpath(path.constData(), nullptr);
    const QByteArray out(real ? real : "");
    std::free(real);
    return out;
}

} // namespace

FolderWatcher::~FolderWatcher()
{
    stop();
}

HRESULT FolderWatcher::start(const QString& root, ChangeHandler onChange)
{
    stop();
    root_ = QFile::encodeName(root);
    while (root_.size() > 1 && root_.endsWith('/'))
        root_.chop(1);
    inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify_ < 0)
        return hresultFromErrno(errno);
    // Resolved before the watch is added: a link re-pointed in between is then seen at the next
    // look, never missed.
    resolvedRoot_ = resolved(root_);
    rootWatch_ = ::inotify_add_watch(inotify_, root_.constData(), kRootMask);
    if (rootWatch_ < 0) {
        const int err = errno;
        stop();
        return hresultFromErrno(err);
    }
    rootLost_ = false;
    watchTree(root_, true);
    stopFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0) {
        const int err = errno;
        stop();
        return hresultFromErrno(err);
    }
    onChange_ = std::move(onChange);
    thread_ = std::thread([this] { run(); });
    return S_OK;
}

void FolderWatcher::stop()
{
    if (thread_.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(stopFd_, &one, sizeof(one));
        thread_.join();
    }
    if (stopFd_ >= 0)
        ::close(stopFd_);
    if (inotify_ >= 0)
        ::close(inotify_);
    stopFd_ = inotify_ = rootWatch_ = -1;
    std::lock_guard lock(m_);
    folders_.clear();
}

bool FolderWatcher::idle() const
{
    if (busy_ || inotify_ < 0)
        return !busy_;
    int queued = 0;
    return ::ioctl(inotify_, FIONREAD, &queued) == 0 && queued == 0 && !busy_;
}

bool FolderWatcher::rootRepointed() const
{
    return inotify_ >= 0 && resolved(root_) != resolvedRoot_;
}

int FolderWatcher::watchedFolders() const
{
    std::lock_guard lock(m_);
    return static_cast<int>(folders_.size());
}

// Adds watches for `folder` and every folder below it (adding a watch twice gives the same
// descriptor). Folders whose names begin with "." are skipped as the catalog skips them.
void FolderWatcher::watchTree(const QByteArray& folder, bool root)
{
    const int wd = ::inotify_add_watch(inotify_, folder.constData(), root ? kRootMask : kMask);
    if (wd < 0)
        return; // vanished or unreadable: its parent's events still arrive
    {
        std::lock_guard lock(m_);
        folders_[wd] = folder;
    }
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        if (isHidden(entry->d_name))
            continue;
        bool isDir = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st { };
            isDir = ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        }
        if (isDir)
            watchTree(folder + '/' + entry->d_name);
    }
    ::closedir(dir);
}

// Removes the watches of `folder` and of every folder below it.
void FolderWatcher::unwatchTree(const QByteArray& folder)
{
    const QByteArray below = folder + '/';
    std::lock_guard lock(m_);
    for (auto it = folders_.begin(); it != folders_.end();) {
        if (it->first != rootWatch_ && (it->second == folder || it->second.startsWith(below))) {
            ::inotify_rm_watch(inotify_, it->first);
            it = folders_.erase(it);
        } else {
            ++it;
        }
    }
}

void FolderWatcher::run()
{
    alignas(inotify_event) char buffer[64 * 1024];
    pollfd fds[2] = {{inotify_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        busy_ = true;
        const ssize_t n = ::read(inotify_, buffer, sizeof(buffer));
        if (n > 0)
            handle(buffer, static_cast<size_t>(n));
        busy_ = false;
    }
}

void FolderWatcher::handle(const char* buffer, size_t bytes)
{
    bool overflow = false;
    for (size_t at = 0; at + sizeof(inotify_event) <= bytes;) {
        const auto* ev = reinterpret_cast<const inotify_event*>(buffer + at);
        at += sizeof(inotify_event) + ev->len;
        if (ev->mask & IN_Q_OVERFLOW) {
            overflow = true;
            continue;
        }
        if (ev->wd == rootWatch_ && (ev->mask & kRootGone))
            rootLost_ = true;
        if (ev->mask & IN_IGNORED) {
            std::lock_guard lock(m_);
            folders_.erase(ev->wd);
            continue;
        }
        if (rootLost_ || !(ev->mask & IN_ISDIR) || ev->len == 0)
            continue;
        QByteArray parent;
        {
            std::lock_guard lock(m_);
            auto it = folders_.find(ev->wd);
            if (it != folders_.end())
                parent = it->second;
        }
        if (parent.isEmpty())
            continue;
        // A folder moved out keeps its watches, under paths that are no longer its own, unless
        // they go; one moved within the tree is watched again at its new path just below.
        if (ev->mask & IN_MOVED_FROM)
            unwatchTree(parent + '/' + ev->name);
        if ((ev->mask & (IN_CREATE | IN_MOVED_TO)) && !isHidden(ev->name))
            watchTree(parent + '/' + ev->name);
    }
    if (rootLost_) {
        // What happens in the folder moved away is none of the owner's business any more.
        std::lock_guard lock(m_);
        for (const auto& watched : folders_)
            ::inotify_rm_watch(inotify_, watched.first);
        folders_.clear();
    } else if (overflow) {
        watchTree(root_, true);
    }
    if (onChange_)
        onChange_(overflow);
}

} // namespace kavro
