#include "settings_store.h"

#include "reg_text.h"
#include "storage/file/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace settings_internal {
namespace {

// A settings file is a few kilobytes; anything this large is not one of ours.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

// Parsed trees by file, reused while the file's bytes are unchanged. Comparing the bytes rather
// than the file's times and inode cannot be fooled by a reused inode within one clock tick.
struct CachedFile {
    QByteArray bytes;
    std::unique_ptr<SettingsNode> tree;
};

std::mutex& storeMutex()
{
    static std::mutex m;
    return m;
}

std::unordered_map<QString, CachedFile>& cache()
{
    static std::unordered_map<QString, CachedFile> c;
    return c;
}

// A missing file is an empty one: nothing has been written to that root yet.
HRESULT readFileBytes(const QString& file, QByteArray* out)
{
    out->clear();
    const HRESULT hr = readWholeFile(file, out, kMaxFileSize);
    if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        return S_OK;
    return hr == kFileTooLargeError ? STG_E_DOCFILECORRUPT : hr;
}

// Creates the folder and its missing parents; per-user folders are private to their owner.
HRESULT makeFolder(const QString& folder, mode_t mode)
{
    const QString absolute = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QStringList parts = absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path;
    for (const QString& part : parts) {
        path += QLatin1Char('/') + part;
        const QByteArray native = QFile::encodeName(path);
        struct stat st { };
        if (::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            continue;
        if (::mkdir(native.constData(), mode) != 0 && errno != EEXIST)
            return hresultFromErrno(errno);
    }
    return S_OK;
}

// Holds an flock for its lifetime; the kernel drops it if the process dies.
class FileLock {
public:
    HRESULT acquire(const QString& path, mode_t mode)
    {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, mode);
        if (fd_ < 0)
            return hresultFromErrno(errno);
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR)
                return hresultFromErrno(errno);
        }
        return S_OK;
    }
    ~FileLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

private:
    int fd_ = -1;
};

} // namespace

HRESULT readSettings(const QString& file, const ReadSettings& reader)
{
    std::lock_guard guard(storeMutex());
    QByteArray bytes;
    HRESULT hr = readFileBytes(file, &bytes);
    if (FAILED(hr))
        return hr;
    CachedFile& entry = cache()[file];
    if (!entry.tree || entry.bytes != bytes) {
        entry.tree = parseSettingsText(bytes);
        entry.bytes = bytes;
    }
    return reader(*entry.tree);
}

HRESULT changeSettings(const QString& file, bool perUser, const ChangeSettings& change)
{
    std::lock_guard guard(storeMutex());
    const QString folder = QFileInfo(file).absolutePath();
    HRESULT hr = makeFolder(folder, perUser ? 0700 : 0755);
    if (FAILED(hr))
        return hr;
    const mode_t fileMode = perUser ? 0600 : 0644;
    FileLock lock;
    hr = lock.acquire(file + QLatin1String(".lock"), fileMode);
    if (FAILED(hr))
        return hr;

    // Another process may have written since our last look: change what is on disk now. While
    // that is what we parsed last, the parsed tree is changed in place rather than parsed again.
    QByteArray bytes;
    hr = readFileBytes(file, &bytes);
    if (FAILED(hr))
        return hr;
    CachedFile& entry = cache()[file];
    if (!entry.tree || entry.bytes != bytes) {
        entry.tree = parseSettingsText(bytes);
        entry.bytes = bytes;
    }
    bool changed = false;
    hr = change(*entry.tree, &changed);
    if (SUCCEEDED(hr) && changed) {
        QByteArray text = formatSettingsText(*entry.tree);
        hr = writeFileReplace(file, text, fileMode);
        if (SUCCEEDED(hr))
            entry.bytes = std::move(text);
    }
    // A change that failed half-way, or one that never reached the file, is not what the file holds.
    if (FAILED(hr))
        cache().erase(file);
    return hr;
}

} // namespace settings_internal
