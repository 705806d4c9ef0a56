#include "serial/device_file.h"

#include "serial/termios_settings.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace kavro {

namespace {

// Unix98 pty slaves use majors 136..143.
constexpr unsigned ptySlaveFirstMajor = 136;
constexpr unsigned ptySlaveMajorCount = 8;

HRESULT openFailure(int err)
{
    // A busy COM port is "access denied" on Windows, and callers treat it that way.
    if (err == EBUSY || err == EWOULDBLOCK)
        return E_ACCESSDENIED;
    if (err == ENXIO || err == ENODEV)
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    return hresultFromErrno(err);
}

} // namespace

PortOpenProblem portOpenProblemFromErrno(int err)
{
    switch (err) {
    case 0: return PortOpenProblem::None;
    case ENOENT:
    case ENXIO:
    case ENODEV: return PortOpenProblem::Missing;
    case EBUSY:
    case EWOULDBLOCK: return PortOpenProblem::InUse;
    case EACCES:
    case EPERM: return PortOpenProblem::NoPermission;
    default: return PortOpenProblem::Other;
    }
}

HRESULT openDeviceFile(const QString& path, int* out, PortOpenProblem* problem)
{
    *out = -1;
    PortOpenProblem ignored;
    PortOpenProblem& why = problem ? *problem : ignored;
    why = PortOpenProblem::None;
    auto fail = [&](int fd, int err) {
        if (fd >= 0)
            ::close(fd);
        why = portOpenProblemFromErrno(err);
        return openFailure(err);
    };
    if (path.isEmpty())
        return fail(-1, ENOENT);
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(-1, errno);
    if (!::isatty(fd))
        return fail(fd, EINVAL);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(fd, errno);
    if (::ioctl(fd, TIOCEXCL) != 0)
        return fail(fd, errno);
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return fail(fd, errno);
    makeRaw(&t);
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        return fail(fd, errno);
    *out = fd;
    return S_OK;
}

bool isPseudoTerminalSlave(int fd)
{
    struct stat st { };
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned m = major(st.st_rdev);
    return m >= ptySlaveFirstMajor && m < ptySlaveFirstMajor + ptySlaveMajorCount;
}

bool deviceHasHungUp(int fd)
{
    pollfd p{fd, POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, 0);
    } while (r < 0 && errno == EINTR);
    return r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

} // namespace kavro
