#include "cache_location.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>

namespace kavro::catalog {

HRESULT makeCacheFolder(const QString& folder)
{
    if (QDir(folder).exists())
        return S_OK;
    if (!QDir().mkpath(folder))
        return E_ACCESSDENIED;
    ::chmod(QFile::encodeName(folder).constData(), 0700); // what users keep is their own
    return S_OK;
}

HRESULT cacheFolder(QString* out)
{
    if (!out)
        return E_POINTER;
    QString folder = qEnvironmentVariable("KAVRO_CACHE_DIR");
    if (folder.isEmpty()) {
        const QString xdg = qEnvironmentVariable("XDG_CACHE_HOME");
        folder = (xdg.startsWith(QLatin1Char('/')) ? xdg : QDir::homePath() + QStringLiteral("/.cache"))
            + QStringLiteral("/kavro");
    }
    const HRESULT hr = makeCacheFolder(folder);
    if (FAILED(hr))
        return hr;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    *out = folder;
    return S_OK;
}

HRESULT cacheFilePath(QString* out)
{
    if (!out)
        return E_POINTER;
    QString folder;
    const HRESULT hr = cacheFolder(&folder);
    if (FAILED(hr))
        return hr;
    *out = folder + QString::fromLatin1(kCacheFileName);
    return S_OK;
}

} // namespace kavro::catalog
