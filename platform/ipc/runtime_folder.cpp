#include "ipc/runtime_folder.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace kavro {

HRESULT ensurePrivateFolder(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return hresultFromErrno(errno);
    struct stat st { };
    if (::lstat(native.constData(), &st) != 0)
        return hresultFromErrno(errno);
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0)
        return E_ACCESSDENIED;
    return S_OK;
}

HRESULT runtimeFolder(QString* out)
{
    if (!out)
        return E_POINTER;
    const QByteArray xdg = qgetenv("XDG_RUNTIME_DIR");
    QString folder;
    if (!xdg.isEmpty() && xdg.startsWith('/'))
        folder = QFile::decodeName(xdg) + QStringLiteral("/kavro");
    else
        folder = QStringLiteral("/tmp/kavro-%1").arg(::geteuid());
    const HRESULT hr = ensurePrivateFolder(folder);
    if (FAILED(hr))
        return hr;
    *out = folder + QLatin1Char('/');
    return S_OK;
}

HRESULT runtimeFilePath(const QString& name, QString* out)
{
    if (!out)
        return E_POINTER;
    QString folder;
    const HRESULT hr = runtimeFolder(&folder);
    if (FAILED(hr))
        return hr;
    *out = folder + name;
    return S_OK;
}

} // namespace kavro
