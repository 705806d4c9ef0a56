#include "pty_master.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

namespace kavro::test {

PtyMaster::PtyMaster()
{
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0) {
        ::close(fd);
        return;
    }
    char name[128];
    if (::ptsname_r(fd, name, sizeof name) != 0) {
        ::close(fd);
        return;
    }
    fd_ = fd;
    slavePath_ = QString::fromLocal8Bit(name);
}

PtyMaster::~PtyMaster()
{
    close();
}

void PtyMaster::close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool PtyMaster::write(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        const ssize_t r = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        done += r;
    }
    return done == bytes.size();
}

QByteArray PtyMaster::read(int count, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    QByteArray out;
    while (fd_ >= 0 && out.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, int(left.count())) <= 0)
            continue;
        char buffer[256];
        const ssize_t r = ::read(fd_, buffer, std::min<size_t>(sizeof buffer, size_t(count - out.size())));
        if (r <= 0)
            break;
        out.append(buffer, r);
    }
    return out;
}

} // namespace kavro::test
