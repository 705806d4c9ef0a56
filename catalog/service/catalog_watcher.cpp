#include "catalog_watcher.h"

#include <thread>

namespace kavro::catalog {

CatalogWatcher::CatalogWatcher(CatalogIndexer& indexer, Clock& clock, uint32_t settleMs, uint32_t retryMs)
    : indexer_(indexer), clock_(clock), settleMs_(settleMs), retryMs_(retryMs)
{
}

CatalogWatcher::~CatalogWatcher()
{
    Shutdown();
}

void CatalogWatcher::Shutdown()
{
    StopEvent().set(); // the indexer's stop: ends a rescan at its next step
    wake_.set();
    Stop();
    folders_.stop();
}

void CatalogWatcher::Run()
{
    // Watch before every scan, so that nothing changed during the scan goes unseen. A missing
    // folder scans too: the documents that were in it are gone from the catalog.
    watch();
    indexer_.Rescan();
    for (;;) {
        if (!watching_) {
            if (!waitForFolder())
                break;
            indexer_.Rescan();
            continue;
        }
        waiting_ = true;
        const bool woken = clock_.sleep(retryMs_, &wake_); // Shutdown sets it too
        waiting_ = false;
        if (StopRequested())
            break;
        if (!woken) {
            if (lookAround())
                indexer_.Rescan();
            continue;
        }
        // A folder that went needs no settling: what was in it is gone whatever comes next.
        if (!folders_.rootLost() && !settle())
            break;
        if (folders_.rootLost()) {
            qWarning("kavrocls: the catalog folder %s went away", qUtf8Printable(indexer_.folder()));
            folders_.stop();
            watching_ = false;
        }
        lookAround();
        indexer_.Rescan();
    }
    folders_.stop();
}

// What no notice tells; true when the catalog must be scanned again for it.
bool CatalogWatcher::lookAround()
{
    bool rescan = cacheRemade();
    if (watching_ && folders_.rootRepointed()) {
        qWarning("kavrocls: the catalog folder %s leads elsewhere now", qUtf8Printable(indexer_.folder()));
        // Watched again before the scan: what changes in the new folder meanwhile is seen.
        folders_.stop();
        watch();
        rescan = true;
    }
    return rescan;
}

bool CatalogWatcher::cacheRemade()
{
    const HRESULT hr = indexer_.cache().ReopenIfReplaced();
    if (FAILED(hr) && hr != cacheFailure_)
        qWarning("kavrocls: the catalog cache %s is gone and cannot be made again (error 0x%08X)",
                 qUtf8Printable(indexer_.cache().FilePath()), static_cast<unsigned>(hr));
    cacheFailure_ = SUCCEEDED(hr) ? S_OK : hr;
    if (hr != S_OK)
        return false;
    qWarning("kavrocls: the catalog cache %s was deleted or replaced: made it again",
             qUtf8Printable(indexer_.cache().FilePath()));
    return true;
}

bool CatalogWatcher::watch()
{
    watching_ = SUCCEEDED(folders_.start(indexer_.folder(), [this](bool overflow) {
        if (overflow)
            ++overflows_;
        wake_.set();
    }));
    return watching_;
}

// Looks for the folder every retry period until it can be watched; false when the thread must
// stop first.
bool CatalogWatcher::waitForFolder()
{
    qWarning("kavrocls: waiting for the catalog folder %s", qUtf8Printable(indexer_.folder()));
    for (;;) {
        wake_.reset();
        if (StopRequested())
            return false;
        lookingForFolder_ = true;
        clock_.sleep(retryMs_, &wake_);
        lookingForFolder_ = false;
        if (StopRequested())
            return false;
        if (watch())
            return true;
        // Nothing to scan without the folder, but readers find a cache meanwhile.
        cacheRemade();
    }
}

// Waits until no change came for the settling time; false when the thread must stop.
bool CatalogWatcher::settle()
{
    indexer_.showState(TrayState::ChangeSeen);
    for (;;) {
        wake_.reset();
        if (StopRequested())
            return false;
        if (folders_.rootLost()) // told before the reset above
            return true;
        settling_ = true;
        const bool woken = clock_.sleep(settleMs_, &wake_);
        settling_ = false;
        if (StopRequested())
            return false;
        if (!woken || folders_.rootLost())
            return true;
    }
}

namespace {

template <class Condition> bool waitInRealTime(std::chrono::milliseconds limit, Condition holds)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!holds()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace

bool CatalogWatcher::waitUntilSettling(std::chrono::milliseconds limit)
{
    return waitInRealTime(limit, [this] { return folders_.idle() && settling_ && !wake_.isSet(); });
}

bool CatalogWatcher::waitUntilIdle(std::chrono::milliseconds limit)
{
    return waitInRealTime(limit, [this] { return folders_.idle() && waiting_ && !wake_.isSet(); });
}

bool CatalogWatcher::waitUntilLookingForFolder(std::chrono::milliseconds limit)
{
    return waitInRealTime(limit, [this] { return lookingForFolder_ && !wake_.isSet(); });
}

} // namespace kavro::catalog
