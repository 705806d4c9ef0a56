#include "catalog_watcher.h"

#include <thread>

namespace kavro::catalog {

CatalogWatcher::CatalogWatcher(CatalogIndexer& indexer, Clock& clock, uint32_t settleMs)
    : indexer_(indexer), clock_(clock), settleMs_(settleMs)
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
    // Watch before the first scan, so that nothing changed during the scan goes unseen.
    const HRESULT watched = folders_.start(indexer_.folder(), [this](bool overflow) {
        if (overflow)
            ++overflows_;
        wake_.set();
    });
    indexer_.Rescan();
    if (FAILED(watched)) {
        qWarning("kavrocls: cannot watch the catalog folder %s", qUtf8Printable(indexer_.folder()));
        if (!StopRequested())
            clock_.sleep(5000, &wake_);
        exitCode_ = 1;
        return;
    }
    for (;;) {
        waiting_ = true;
        ManualEvent::waitAny({&StopEvent(), &wake_});
        waiting_ = false;
        if (StopRequested() || !settle())
            break;
        indexer_.Rescan();
    }
    folders_.stop();
}

// Waits until no change came for the settling time; false when the thread must stop.
bool CatalogWatcher::settle()
{
    indexer_.showState(TrayState::ChangeSeen);
    for (;;) {
        wake_.reset();
        if (StopRequested())
            return false;
        settling_ = true;
        const bool woken = clock_.sleep(settleMs_, &wake_);
        settling_ = false;
        if (StopRequested())
            return false;
        if (!woken)
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

} // namespace kavro::catalog
