#include "ipc/mapped_file.h"

#include <QFile>

#include <cerrno>
#include <utility>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kavro {

MappedFile::~MappedFile()
{
    close();
}

HRESULT MappedFile::open(const QString& path, Access access, mode_t createMode)
{
    close();
    const QByteArray native = QFile::encodeName(path);
    const int flags = (access == Access::ReadWrite ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC | O_NOFOLLOW;
    const int fd = ::open(native.constData(), flags, createMode);
    if (fd < 0)
        return hresultFromErrno(errno);
    struct stat st { };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return E_ACCESSDENIED;
    }
    fd_ = fd;
    access_ = access;
    return S_OK;
}

bool MappedFile::isFileAt(const QString& path) const
{
    struct stat held {
    }, named{};
    return fd_ >= 0 && ::fstat(fd_, &held) == 0
        && ::fstatat(AT_FDCWD, QFile::encodeName(path).constData(), &named, AT_SYMLINK_NOFOLLOW) == 0
        && held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

HRESULT MappedFile::fileSize(uint64_t* out) const
{
    if (!out)
        return E_POINTER;
    if (fd_ < 0)
        return E_HANDLE;
    struct stat st { };
    if (::fstat(fd_, &st) != 0)
        return hresultFromErrno(errno);
    *out = static_cast<uint64_t>(st.st_size);
    return S_OK;
}

HRESULT MappedFile::map(size_t bytes)
{
    if (fd_ < 0)
        return E_HANDLE;
    if (bytes == 0)
        return E_INVALIDARG;
    uint64_t current = 0;
    HRESULT hr = fileSize(&current);
    if (FAILED(hr))
        return hr;
    const bool grow = current < bytes;
    if (grow) {
        if (access_ == Access::ReadOnly)
            return E_INVALIDARG;
        // Allocate the blocks now: a full disk then fails here instead of raising SIGBUS on a
        // later store into the mapping.
        const int err = ::posix_fallocate(fd_, 0, static_cast<off_t>(bytes));
        if (err != 0 && (err != EOPNOTSUPP || ::ftruncate(fd_, static_cast<off_t>(bytes)) != 0)) {
            hr = hresultFromErrno(err != EOPNOTSUPP ? err : errno);
            shrinkBack(current);
            return hr;
        }
    }
    const int prot = access_ == Access::ReadWrite ? PROT_READ | PROT_WRITE : PROT_READ;
    void* p = ::mmap(nullptr, bytes, prot, MAP_SHARED, fd_, 0);
    if (p == MAP_FAILED) {
        hr = hresultFromErrno(errno);
        if (grow)
            shrinkBack(current);
        return hr;
    }
    // Only now does the old mapping go: a failure above leaves it in place, whole and usable.
    unmap();
    data_ = static_cast<uint8_t*>(p);
    size_ = bytes;
    return S_OK;
}

void MappedFile::shrinkBack(uint64_t bytes)
{
    // The file as long as the mapping that stays (and whatever records its size) knows it.
    uint64_t now = 0;
    if (SUCCEEDED(fileSize(&now)) && now > bytes) {
        [[maybe_unused]] const int rc = ::ftruncate(fd_, static_cast<off_t>(bytes));
    }
}

HRESULT MappedFile::mapWhole()
{
    uint64_t bytes = 0;
    HRESULT hr = fileSize(&bytes);
    if (FAILED(hr))
        return hr;
    if (bytes == 0) {
        unmap();
        return S_OK;
    }
    if (bytes > SIZE_MAX)
        return E_OUTOFMEMORY;
    return map(static_cast<size_t>(bytes));
}

void MappedFile::unmap()
{
    if (data_)
        ::munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

void MappedFile::swap(MappedFile& other) noexcept
{
    std::swap(fd_, other.fd_);
    std::swap(access_, other.access_);
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
}

void MappedFile::close()
{
    unmap();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

} // namespace kavro
