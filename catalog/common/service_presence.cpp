#include "service_presence.h"

#include "cache_location.h"
#include "ipc/runtime_folder.h"

namespace kavro::catalog {

HRESULT ServicePresence::claim()
{
    QString path;
    HRESULT hr = runtimeFilePath(QString::fromLatin1(kServiceRunningName), &path);
    if (SUCCEEDED(hr) && !lock_.isOpen())
        hr = lock_.open(path);
    if (FAILED(hr))
        return hr;
    return lock_.tryLock(FileLock::Mode::Exclusive) ? S_OK : S_FALSE;
}

void ServicePresence::release()
{
    lock_.close();
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
