#include "service_presence.h"

#include "cache_location.h"
#include "ipc/runtime_folder.h"

namespace kavro::catalog {

namespace {

HRESULT tryLockNamed(FileLock* lock, const char* name)
{
    QString path;
    HRESULT hr = runtimeFilePath(QString::fromLatin1(name), &path);
    if (SUCCEEDED(hr) && !lock->isOpen())
        hr = lock->open(path);
    if (FAILED(hr))
        return hr;
    return lock->tryLock(FileLock::Mode::Exclusive) ? S_OK : S_FALSE;
}

} // namespace

HRESULT ServicePresence::claim()
{
    return tryLockNamed(&instance_, kServiceInstanceName);
}

HRESULT ServicePresence::announce()
{
    if (!instance_.isHeld())
        return E_UNEXPECTED;
    QString path;
    HRESULT hr = runtimeFilePath(QString::fromLatin1(kServiceRunningName), &path);
    if (SUCCEEDED(hr) && !running_.isOpen())
        hr = running_.open(path);
    if (FAILED(hr))
        return hr;
    // Only a prober's passing shared lock can be in the way; it lets go at once.
    return running_.lock(FileLock::Mode::Exclusive, 1000) ? S_OK : E_ACCESSDENIED;
}

void ServicePresence::withdraw()
{
    running_.close();
}

void ServicePresence::release()
{
    running_.close();
    instance_.close();
}

bool isCatalogServiceRunning()
{
    QString path;
    if (FAILED(runtimeFilePath(QString::fromLatin1(kServiceRunningName), &path)))
        return false;
    FileLock probe;
    if (FAILED(probe.open(path)))
        return false;
    return !probe.tryLock(FileLock::Mode::Shared);
}

} // namespace kavro::catalog
