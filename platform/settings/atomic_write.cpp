#include "atomic_write.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace settings_internal {
namespace {

HRESULT writeAll(int fd, const QByteArray& data)
{
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return hresultFromErrno(errno);
        }
        p += n;
        left -= n;
    }
    return S_OK;
}

// The rename itself is only durable once the folder's entry is flushed.
void syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

HRESULT fillTemporary(int fd, const QByteArray& data, mode_t mode)
{
    HRESULT hr = writeAll(fd, data);
    if (SUCCEEDED(hr) && ::fchmod(fd, mode) != 0)
        hr = hresultFromErrno(errno);
    if (SUCCEEDED(hr) && ::fsync(fd) != 0)
        hr = hresultFromErrno(errno);
    return hr;
}

} // namespace

HRESULT writeFileAtomically(const QString& path, const QByteArray& data, mode_t mode)
{
    const QByteArray target = QFile::encodeName(path);
    QByteArray temp = target + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return hresultFromErrno(errno);
    HRESULT hr = fillTemporary(fd, data, mode);
    if (::close(fd) != 0 && SUCCEEDED(hr))
        hr = hresultFromErrno(errno);
    if (SUCCEEDED(hr) && ::rename(temp.constData(), target.constData()) != 0)
        hr = hresultFromErrno(errno);
    if (FAILED(hr)) {
        ::unlink(temp.constData());
        return hr;
    }
    syncFolder(QFileInfo(path).absolutePath());
    return S_OK;
}

} // namespace settings_internal
