#pragma once
// The watcher thread: watches the catalog folder, rescans once at start and again when changes
// have settled (no further change for the settling time, 5 s by default), and ends at once when
// asked to stop.
#include "catalog_indexer.h"
#include "ipc/folder_watcher.h"
#include "thread/clock.h"
#include "thread/cthread.h"

#include <atomic>
#include <chrono>

namespace kavro::catalog {

constexpr uint32_t kSettleMs = 5000;

class CatalogWatcher final : public CThread {
public:
    // `clock` times the settling and the pause after a failed watch.
    CatalogWatcher(CatalogIndexer& indexer, Clock& clock, uint32_t settleMs = kSettleMs);
    ~CatalogWatcher() override;

    // Stops the thread: wakes any wait and ends the rescan at its next step.
    void Shutdown();

    // 1 when the folder could not be watched (the thread then ended after a pause), else 0.
    int exitCode() const { return exitCode_; }
    // Full rescans asked for because the change queue overflowed.
    int overflows() const { return overflows_; }

    // For tests on a virtual clock: waits in real time (at most `limit`) until every change the
    // kernel has queued was seen and the thread sleeps out its settling time.
    bool waitUntilSettling(std::chrono::milliseconds limit);
    // For tests: waits in real time until the thread waits for changes with nothing pending.
    bool waitUntilIdle(std::chrono::milliseconds limit);

protected:
    void Run() override;

private:
    bool settle();

    CatalogIndexer& indexer_;
    Clock& clock_;
    uint32_t settleMs_;
    ManualEvent wake_; // a change was seen, or the thread must stop
    FolderWatcher folders_;
    std::atomic<int> exitCode_{0};
    std::atomic<int> overflows_{0};
    std::atomic<bool> settling_{false};
    std::atomic<bool> waiting_{false};
};

} // namespace kavro::catalog
