#include "live/live_path.h"

#include "ipc/runtime_folder.h"

#include <QFile>

#include <unistd.h>

namespace kavro::live {

namespace {

const QString kSocketName = QStringLiteral("kavro-live");

} // namespace

HRESULT resolveSocketPath(const QByteArray& envSocket, const QByteArray& xdgRuntime, const QString& fallbackFolder,
                          QString* out)
{
    if (!out)
        return E_POINTER;
    if (!envSocket.isEmpty()) {
        *out = QFile::decodeName(envSocket);
        return S_OK;
    }
    if (xdgRuntime.startsWith('/')) {
        *out = QFile::decodeName(xdgRuntime) + QLatin1Char('/') + kSocketName;
        return S_OK;
    }
    const HRESULT hr = ensurePrivateFolder(fallbackFolder);
    if (FAILED(hr))
        return hr;
    *out = fallbackFolder + QLatin1Char('/') + kSocketName;
    return S_OK;
}

HRESULT socketPath(QString* out)
{
    return resolveSocketPath(qgetenv("KAVRO_LIVE_SOCKET"), qgetenv("XDG_RUNTIME_DIR"),
                             QStringLiteral("/tmp/kavro-%1").arg(::geteuid()), out);
}

} // namespace kavro::live
