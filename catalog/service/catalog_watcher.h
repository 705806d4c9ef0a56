#pragma once
// The watcher thread: watches the catalog folder, rescans once at start and again when changes
// have settled (no further change for the settling time, 5 s by default), and ends at once when
// asked to stop. A catalog folder that is missing (a fresh account: the trainer's first save
// makes it) or that is deleted or moved away leaves the catalog empty and is looked for again
// every few seconds; once a folder is there it is watched and scanned. As often, the thread looks
// for what no change notice tells: a catalog folder's link re-pointed at another folder, and the
// cache file deleted or replaced under the service (by a cleaner of the cache folder, say); the
// folder is then watched where it leads now, or the cache made again, and the catalog rescanned.
#include "catalog_indexer.h"
#include "ipc/folder_watcher.h"
#include "thread/clock.h"
#include "thread/cthread.h"

#include <atomic>
#include <chrono>

namespace kavro::catalog {

constexpr uint32_t kSettleMs = 5000;
constexpr uint32_t kFolderRetryMs = 2000;

class CatalogWatcher final : public CThread {
public:
    // `clock` times the settling and the looks for a missing folder.
    CatalogWatcher(CatalogIndexer& indexer, Clock& clock, uint32_t settleMs = kSettleMs,
                   uint32_t retryMs = kFolderRetryMs);
    ~CatalogWatcher() override;

    // Stops the thread: wakes any wait and ends the rescan at its next step.
    void Shutdown();

    // Whether the catalog folder is watched now (false while it is missing).
    bool watchingFolder() const { return watching_; }
    // Full rescans asked for because the change queue overflowed.
    int overflows() const { return overflows_; }

    // For tests on a virtual clock: waits in real time (at most `limit`) until every change the
    // kernel has queued was seen and the thread sleeps out its settling time.
    bool waitUntilSettling(std::chrono::milliseconds limit);
    // For tests: waits in real time until the thread waits for changes with nothing pending.
    bool waitUntilIdle(std::chrono::milliseconds limit);
    // For tests on a virtual clock: waits in real time until the thread sleeps before it looks for
    // the missing folder again.
    bool waitUntilLookingForFolder(std::chrono::milliseconds limit);

protected:
    void Run() override;

private:
    bool watch();
    bool waitForFolder();
    bool settle();
    bool lookAround();
    bool cacheRemade();

    CatalogIndexer& indexer_;
    Clock& clock_;
    uint32_t settleMs_;
    uint32_t retryMs_;
    ManualEvent wake_; // a change was seen, or the thread must stop
    FolderWatcher folders_;
    std::atomic<bool> watching_{false};
    std::atomic<bool> lookingForFolder_{false};
    std::atomic<int> overflows_{0};
    std::atomic<bool> settling_{false};
    std::atomic<bool> waiting_{false};
    HRESULT cacheFailure_ = S_OK; // the last failure to make the cache again, told once
};

} // namespace kavro::catalog
