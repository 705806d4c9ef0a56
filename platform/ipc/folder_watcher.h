#pragma once
// Watches a folder and every folder below it for changes of names and of write times (inotify:
// one watch per folder; folders that appear later are watched as they appear). Changes are
// reported on the watcher's own thread. When the kernel's event queue overflows, events were
// lost: the watcher watches the whole tree again and says so, and the owner should look at
// everything again. A symbolic link at the root is followed (the root is what the user named);
// links below it are not; a link re-pointed at another folder is not an event the kernel reports,
// so the owner asks now and then whether the root's path still leads where it did. When the root
// itself is deleted or moved away, the watcher says so and reports nothing further about it: the
// owner watches the path again once a folder is there. A folder moved out of the tree (into the
// desktop's trash, say) is watched no more; one moved in is watched with everything in it.
#include "com/hresult.h"

#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace kavro {

class FolderWatcher {
public:
    // Called on the watcher's thread for every batch of events; `overflow` when events were lost.
    // rootLost() is already true when the handler hears of the root's going.
    using ChangeHandler = std::function<void(bool overflow)>;

    FolderWatcher() = default;
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // Watches `root` and its subfolders before it returns, so that no change after the return
    // goes unseen; then reports on a thread of its own. Fails when `root` cannot be watched.
    HRESULT start(const QString& root, ChangeHandler onChange);
    // Ends the thread at once (through an eventfd) and closes the watches.
    void stop();

    int watchedFolders() const;
    // The folder watched as the root was deleted or moved away (a later folder at its path is not
    // watched).
    bool rootLost() const { return rootLost_; }
    // Whether the root's path now leads to another folder (or to none) than the one watched: a
    // link at it was re-pointed.
    bool rootRepointed() const;
    // True when every event the kernel has queued so far has been reported.
    bool idle() const;

private:
    void watchTree(const QByteArray& folder, bool root = false);
    void unwatchTree(const QByteArray& folder);
    void run();
    void handle(const char* buffer, size_t bytes);

    int inotify_ = -1;
    int stopFd_ = -1;
    QByteArray root_;
    QByteArray resolvedRoot_; // where root_ led when its watch was added
    ChangeHandler onChange_;
    std::thread thread_;
    std::atomic<bool> busy_{false};
    std::atomic<bool> rootLost_{false};
    int rootWatch_ = -1;
    mutable std::mutex m_;
    std::unordered_map<int, QByteArray> folders_; // watch descriptor -> folder path
};

} // namespace kavro
