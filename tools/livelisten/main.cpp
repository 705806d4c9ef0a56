// kavro-live-listen: follows a running practice of the trainer and prints every line it receives.
//   kavro-live-listen [--flags N]
// N = 3 (the default) asks for the trace stream too; any other non-zero value for states, shots
// and heart beats only. The socket is the trainer's ($KAVRO_LIVE_SOCKET, else the per-user one).
#include "live/live_path.h"
#include "live/live_wire.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: kavro-live-listen [--flags N]\n");
    return 2;
}

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    long flags = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--flags") == 0 && i + 1 < argc) {
            char* end = nullptr;
            errno = 0;
            flags = std::strtol(argv[++i], &end, 10);
            if (errno != 0 || *end != '\0' || flags < INT32_MIN || flags > INT32_MAX)
                return usage();
        } else {
            return usage();
        }
    }
    QString path;
    if (FAILED(kavro::live::socketPath(&path))) {
        std::fprintf(stderr, "kavro-live-listen: the per-user runtime folder is not private\n");
        return 1;
    }
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(native.size()) >= sizeof address.sun_path) {
        std::fprintf(stderr, "kavro-live-listen: socket path too long: %s\n", native.constData());
        return 1;
    }
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::fprintf(stderr, "kavro-live-listen: no trainer listens at %s (%s)\n", native.constData(),
                     std::strerror(errno));
        return 1;
    }
    const std::string hello = "KAVRO:REGISTER " + std::to_string(flags) + "\n";
    if (!writeAll(fd, hello.data(), hello.size())) {
        std::fprintf(stderr, "kavro-live-listen: the trainer closed the connection\n");
        return 1;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (!writeAll(STDOUT_FILENO, buffer, size_t(n)))
            break;
    }
    ::close(fd);
    return 0;
}
