#pragma once
// "The catalog service runs": an exclusive lock on "KAVROCLSST" in the runtime folder, held by
// the service for as long as it lives. The kernel drops it when the service ends in any way, so a
// crashed service never looks alive, and a second service cannot start beside the first.
#include "com/hresult.h"
#include "ipc/file_lock.h"

namespace kavro::catalog {

class ServicePresence {
public:
    // Takes the lock without waiting: S_FALSE when another service holds it.
    HRESULT claim();
    void release();
    bool claimed() const { return lock_.isHeld(); }

private:
    FileLock lock_;
};

// True while a catalog service holds its lock (the catalog views start one when not).
bool isCatalogServiceRunning();

} // namespace kavro::catalog
