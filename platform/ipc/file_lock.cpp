#include "ipc/file_lock.h"

#include "thread/manual_event.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace kavro {

FileLock::~FileLock()
{
    close();
}

HRESULT FileLock::open(const QString& path)
{
    close();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return hresultFromErrno(errno);
    fd_ = fd;
    return S_OK;
}

void FileLock::close()
{
    if (fd_ >= 0)
        ::close(fd_); // also releases the lock
    fd_ = -1;
    held_ = false;
}

bool FileLock::lock(Mode mode, uint32_t timeoutMs)
{
    if (fd_ < 0)
        return false;
    const int op = mode == Mode::Shared ? LOCK_SH : LOCK_EX;
    if (timeoutMs == kInfinite) {
        int r;
        do {
            r = ::flock(fd_, op);
        } while (r != 0 && errno == EINTR);
        held_ = r == 0;
        return held_;
    }
    // flock has no time-out of its own: poll, with short naps first since locks here are held
    // for the few milliseconds of one cache update.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto nap = std::chrono::microseconds(200);
    for (;;) {
        if (::flock(fd_, op | LOCK_NB) == 0) {
            held_ = true;
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(nap, deadline - now));
        nap = std::min(nap * 2, std::chrono::microseconds(10000));
    }
}

void FileLock::unlock()
{
    if (fd_ >= 0 && held_)
        ::flock(fd_, LOCK_UN);
    held_ = false;
}

} // namespace kavro
