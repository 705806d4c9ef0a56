#include "pty_endpoint.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kavro::serialsim {

namespace {

std::string systemError(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

PtyEndpoint::~PtyEndpoint()
{
    close();
}

bool PtyEndpoint::setLinkPath(const std::string& path, std::string* error)
{
    struct stat st { };
    if (::lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        *error = path + " exists and is not a symbolic link; it is left alone";
        return false;
    }
    linkPath_ = path;
    return true;
}

bool PtyEndpoint::open(std::string* error)
{
    close();
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    char name[128];
    int packet = 1;
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name, sizeof name) != 0
        || ::ioctl(fd, TIOCPKT, &packet) != 0) {
        *error = systemError("setting up the pseudo-terminal");
        ::close(fd);
        return false;
    }
    master_ = fd;
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (slave_ < 0) {
        *error = systemError("opening the slave side");
        close();
        return false;
    }
    // Until the host sets its own, a raw line: the frames are binary.
    termios t{};
    if (::tcgetattr(slave_, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(slave_, TCSANOW, &t);
    }
    return pointLink(error);
}

bool PtyEndpoint::pointLink(std::string* error)
{
    if (linkPath_.empty())
        return true;
    // Built beside the link and renamed over it, so the host never finds the name missing.
    const std::string temporary = linkPath_ + ".new" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(slavePath_.c_str(), temporary.c_str()) != 0 || ::rename(temporary.c_str(), linkPath_.c_str()) != 0) {
        *error = systemError(("linking " + linkPath_).c_str());
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

void PtyEndpoint::close()
{
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    slave_ = master_ = -1;
}

void PtyEndpoint::removeLink()
{
    if (linkPath_.empty() || slavePath_.empty())
        return;
    char target[256];
    const ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, size_t(n)) == slavePath_)
        ::unlink(linkPath_.c_str());
}

speed_t PtyEndpoint::hostSpeed() const
{
    termios t{};
    // On the master, the terminal attributes read are those of the slave side.
    if (master_ < 0 || ::tcgetattr(master_, &t) != 0)
        return B0;
    return ::cfgetospeed(&t);
}

} // namespace kavro::serialsim
