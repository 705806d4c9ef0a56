#pragma once
// "The catalog service runs": an exclusive lock on "KAVROCLSST" in the runtime folder, taken once
// the cache and its mappings are open, so that a catalog view that waited for it finds them. A
// second lock, taken first, keeps a second service from starting beside the first while the first
// is still opening the cache. The kernel drops both when the service ends in any way, so a crashed
// service never looks alive.
#include "com/hresult.h"
#include "ipc/file_lock.h"

namespace kavro::catalog {

class ServicePresence {
public:
    // Takes the instance lock without waiting: S_FALSE when another service holds it.
    HRESULT claim();
    // Once claimed and the cache is open: from now on the service is seen running.
    HRESULT announce();
    // The service is seen running no more; the claim stays.
    void withdraw();
    void release();
    bool claimed() const { return instance_.isHeld(); }

private:
    FileLock instance_;
    FileLock running_;
};

// True while a catalog service holds its lock (the catalog views start one when not).
bool isCatalogServiceRunning();

} // namespace kavro::catalog
