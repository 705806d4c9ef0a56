#include "atomic_file.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) { }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    void reset(int fd)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    // close(2) can report a deferred write error (NFS), so callers that wrote must check it.
    int close()
    {
        int r = ::close(fd_);
        fd_ = -1;
        return r;
    }
    // Hands the descriptor over to another owner.
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

HRESULT errnoResult()
{
    return hresultFromErrno(errno);
}

HRESULT writeAll(int fd, const char* data, size_t size)
{
    // Linux writes at most about 2 GiB per call; larger buffers arrive as short writes anyway.
    constexpr size_t kMaxChunk = size_t(1) << 30;
    while (size > 0) {
        ssize_t n = ::write(fd, data, std::min(size, kMaxChunk));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errnoResult();
        }
        if (n == 0)
            return STG_E_WRITEFAULT;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return S_OK;
}

QByteArray folderOf(const QByteArray& path)
{
    qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    if (slash == 0)
        return "/";
    return path.left(slash);
}

// The folder's entry for the renamed file is only durable once the folder itself is flushed.
// Some file systems refuse fsync on folders; the file is in place by then, so that is not a
// failure of the write.
void syncFolder(const QByteArray& folder)
{
    int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// The hidden name of a temporary file for a target called `name`: "." name "." hex ".tmp".
bool isTemporaryNameOf(const char* entry, const QByteArray& name)
{
    const size_t length = std::strlen(entry);
    const size_t prefix = static_cast<size_t>(name.size()) + 2;
    constexpr size_t kSuffix = 4;
    if (length <= prefix + kSuffix || entry[0] != '.' || entry[prefix - 1] != '.')
        return false;
    if (std::memcmp(entry + 1, name.constData(), static_cast<size_t>(name.size())) != 0)
        return false;
    if (std::memcmp(entry + length - kSuffix, ".tmp", kSuffix) != 0)
        return false;
    const size_t digits = length - prefix - kSuffix;
    if (digits > 16)
        return false;
    for (size_t i = prefix; i < prefix + digits; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(entry[i])))
            return false;
    }
    return true;
}

// A writer killed between creating its temporary file and renaming it leaves the file behind
// for ever. A minute is far longer than any write that is still going on, and only our own
// pattern for this very target is touched.
void removeStaleTemporaries(const QByteArray& folder, const QByteArray& name)
{
    constexpr time_t kStaleAfterSeconds = 60;
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const time_t now = ::time(nullptr);
    while (dirent* entry = ::readdir(dir)) {
        if (!isTemporaryNameOf(entry->d_name, name))
            continue;
        struct stat st;
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (st.st_mtime > now - kStaleAfterSeconds)
            continue;
        ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

// Creates a uniquely named hidden file next to `target`, fills and flushes it. The name is ours
// alone because of O_EXCL. On failure nothing is left behind.
HRESULT writeTemporaryFile(const QByteArray& target, std::span<const QByteArray> pieces, const mode_t* mode,
                           QByteArray* tempPath)
{
    QByteArray folder = folderOf(target);
    QByteArray name = target.mid(target.lastIndexOf('/') + 1);
    // Keeps the temporary name within NAME_MAX however long the target's name is.
    name.truncate(200);
    removeStaleTemporaries(folder, name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray candidate
            = folder + "/." + name + "." + QByteArray::number(QRandomGenerator::global()->generate64(), 16) + ".tmp";
        int raw = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (raw < 0) {
            if (errno == EEXIST)
                continue;
            return errnoResult();
        }
        FileDescriptor fd(raw);
        HRESULT hr = S_OK;
        for (size_t i = 0; i < pieces.size() && SUCCEEDED(hr); ++i)
            hr = writeAll(fd.get(), pieces[i].constData(), static_cast<size_t>(pieces[i].size()));
        if (SUCCEEDED(hr) && mode && ::fchmod(fd.get(), *mode) != 0)
            hr = errnoResult();
        if (SUCCEEDED(hr) && ::fsync(fd.get()) != 0)
            hr = errnoResult();
        if (SUCCEEDED(hr) && fd.close() != 0)
            hr = errnoResult();
        if (FAILED(hr)) {
            ::unlink(candidate.constData());
            return hr;
        }
        *tempPath = candidate;
        return S_OK;
    }
    return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
}

// Replacing a symbolic link by a regular file would silently break the user's link.
QByteArray followLink(const QByteArray& path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return path;
    QByteArray result(resolved);
    std::free(resolved);
    return result;
}

bool isUsablePath(const QString& path)
{
    return !path.isEmpty() && !path.endsWith(QLatin1Char('/')) && !path.contains(QChar(0));
}

// `mode` null keeps an existing file's mode (a new one gets the default).
HRESULT replaceFile(const QString& path, std::span<const QByteArray> pieces, const mode_t* mode)
{
    if (!isUsablePath(path))
        return E_INVALIDARG;
    QByteArray target = followLink(QFile::encodeName(path));

    mode_t newMode = mode ? *mode : 0;
    bool setMode = mode != nullptr;
    struct stat st;
    if (::stat(target.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return E_ACCESSDENIED;
        if (!mode) {
            newMode = st.st_mode & 07777;
            setMode = true;
        }
    }

    QByteArray temp;
    HRESULT hr = writeTemporaryFile(target, pieces, setMode ? &newMode : nullptr, &temp);
    if (FAILED(hr))
        return hr;
    if (::rename(temp.constData(), target.constData()) != 0) {
        hr = errnoResult();
        ::unlink(temp.constData());
        return hr;
    }
    syncFolder(folderOf(target));
    return S_OK;
}

} // namespace

HRESULT writeFileReplace(const QString& path, const QByteArray& bytes)
{
    return replaceFile(path, {&bytes, 1}, nullptr);
}

HRESULT writeFileReplace(const QString& path, const QByteArray& bytes, mode_t mode)
{
    return replaceFile(path, {&bytes, 1}, &mode);
}

namespace {

HRESULT createNewFile(const QString& path, std::span<const QByteArray> pieces)
{
    if (!isUsablePath(path))
        return E_INVALIDARG;
    QByteArray target = QFile::encodeName(path);

    // Spares writing a large temporary file in the common case; the no-replace step below is
    // what actually guarantees that nothing is overwritten.
    struct stat st;
    if (::lstat(target.constData(), &st) == 0)
        return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);

    QByteArray temp;
    HRESULT hr = writeTemporaryFile(target, pieces, nullptr, &temp);
    if (FAILED(hr))
        return hr;
    if (::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) != 0) {
        int err = errno;
        // File systems without RENAME_NOREPLACE still refuse to link over an existing name.
        if (err == EINVAL || err == ENOSYS || err == EOPNOTSUPP)
            err = ::link(temp.constData(), target.constData()) == 0 ? 0 : errno;
        ::unlink(temp.constData());
        if (err != 0)
            return hresultFromErrno(err);
    }
    syncFolder(folderOf(target));
    return S_OK;
}

} // namespace

HRESULT writeFileCreateNew(const QString& path, const QByteArray& bytes)
{
    return createNewFile(path, {&bytes, 1});
}

HRESULT writeFileAtomically(const QString& path, const QByteArray& bytes, WriteMode mode)
{
    return writeFileAtomically(path, std::span<const QByteArray>(&bytes, 1), mode);
}

HRESULT writeFileAtomically(const QString& path, std::span<const QByteArray> pieces, WriteMode mode)
{
    return mode == WriteMode::CreateNew ? createNewFile(path, pieces) : replaceFile(path, pieces, nullptr);
}

namespace {

// O_NONBLOCK keeps a FIFO at `path` from blocking the open; only regular files are accepted.
HRESULT openRegularFile(const QString& path, FileDescriptor* fd, struct stat* st)
{
    if (path.isEmpty() || path.contains(QChar(0)))
        return E_INVALIDARG;
    fd->reset(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd->get() < 0)
        return errnoResult();
    if (::fstat(fd->get(), st) != 0)
        return errnoResult();
    return S_ISREG(st->st_mode) ? S_OK : E_ACCESSDENIED;
}

// Reads into `buffer` from `*have` to its end or to the end of the file.
HRESULT readInto(int fd, QByteArray& buffer, qsizetype* have, bool* atEnd)
{
    while (*have < buffer.size()) {
        ssize_t n = ::read(fd, buffer.data() + *have, static_cast<size_t>(buffer.size() - *have));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errnoResult();
        }
        if (n == 0) {
            *atEnd = true;
            return S_OK;
        }
        *have += n;
    }
    return S_OK;
}

} // namespace

HRESULT readFileHead(const QString& path, qsizetype count, QByteArray* out)
{
    if (!out)
        return E_POINTER;
    if (count < 0)
        return E_INVALIDARG;
    FileDescriptor fd;
    struct stat st;
    HRESULT hr = openRegularFile(path, &fd, &st);
    if (FAILED(hr))
        return hr;
    QByteArray buffer(std::min<qsizetype>(count, static_cast<qsizetype>(st.st_size)), Qt::Uninitialized);
    qsizetype have = 0;
    bool atEnd = false;
    hr = readInto(fd.get(), buffer, &have, &atEnd);
    if (FAILED(hr))
        return hr;
    buffer.truncate(have);
    *out = std::move(buffer);
    return S_OK;
}

HRESULT readWholeFile(const QString& path, QByteArray* out, int64_t maxBytes)
{
    if (!out)
        return E_POINTER;
    if (maxBytes < 0)
        return E_INVALIDARG;
    FileDescriptor fd;
    struct stat st;
    HRESULT hr = openRegularFile(path, &fd, &st);
    if (FAILED(hr))
        return hr;
    if (st.st_size > maxBytes)
        return kFileTooLargeError;

    // The file may change while we read; read to the end, never past the cap.
    constexpr qsizetype kGrowStep = 64 * 1024;
    const qsizetype cap = static_cast<qsizetype>(std::min<int64_t>(maxBytes, INT64_MAX - 2 * kGrowStep));
    // One byte past the known size lets the usual read find the end without growing the buffer.
    QByteArray buffer(static_cast<qsizetype>(std::min<int64_t>(st.st_size, cap) + 1), Qt::Uninitialized);
    qsizetype have = 0;
    bool atEnd = false;
    while (!atEnd) {
        if (have == buffer.size()) {
            if (have > cap)
                return kFileTooLargeError;
            buffer.resize(std::min(have + kGrowStep, cap + 1));
        }
        hr = readInto(fd.get(), buffer, &have, &atEnd);
        if (FAILED(hr))
            return hr;
    }
    buffer.truncate(have);
    *out = std::move(buffer);
    return S_OK;
}

HRESULT FileAtOffsets::open(const QString& path, std::shared_ptr<const FileAtOffsets>* out)
{
    if (!out)
        return E_POINTER;
    FileDescriptor fd;
    struct stat st;
    HRESULT hr = openRegularFile(path, &fd, &st);
    if (FAILED(hr))
        return hr;
    const int raw = fd.get();
    out->reset(new FileAtOffsets(raw, static_cast<int64_t>(st.st_size)));
    // The object owns the descriptor from here on.
    fd.release();
    return S_OK;
}

FileAtOffsets::~FileAtOffsets()
{
    ::close(fd_);
}

bool FileAtOffsets::readAt(uint64_t offset, char* to, uint64_t length) const
{
    constexpr uint64_t kMaxChunk = uint64_t(1) << 30;
    while (length > 0) {
        if (offset > uint64_t(INT64_MAX))
            return false;
        const ssize_t n
            = ::pread(fd_, to, static_cast<size_t>(std::min(length, kMaxChunk)), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        to += n;
        offset += static_cast<uint64_t>(n);
        length -= static_cast<uint64_t>(n);
    }
    return true;
}
