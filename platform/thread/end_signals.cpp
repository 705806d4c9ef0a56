#include "end_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kavro {

namespace {

const int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};

// Set before the handlers and cleared after them, so a handler never sees a closed descriptor.
int writeFd = -1;
int readFd = -1;

void onEndSignal(int signalNumber)
{
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a request; another one changes nothing.
    [[maybe_unused]] const ssize_t n = ::write(writeFd, &number, 1);
    errno = saved;
}

void restoreDefaults()
{
    struct sigaction action { };
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int s : kEndSignals)
        sigaction(s, &action, nullptr);
}

} // namespace

EndSignals::EndSignals(std::function<void(int)> onEnd, QObject* parent) : QObject(parent), onEnd_(std::move(onEnd))
{
    if (writeFd >= 0)
        return; // another object catches them already
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    readFd = fds[0];
    writeFd = fds[1];
    struct sigaction action { };
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    // A slow call interrupted by the signal goes on; the request is served by the event loop.
    action.sa_flags = SA_RESTART;
    for (int s : kEndSignals) {
        if (sigaction(s, &action, nullptr) != 0) {
            restoreDefaults();
            ::close(readFd);
            ::close(writeFd);
            readFd = writeFd = -1;
            return;
        }
    }
    notifier_ = new QSocketNotifier(readFd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { drain(); });
}

EndSignals::~EndSignals()
{
    if (!notifier_)
        return;
    restoreDefaults();
    delete notifier_;
    ::close(readFd);
    ::close(writeFd);
    readFd = writeFd = -1;
}

void EndSignals::drain()
{
    unsigned char numbers[16];
    ssize_t n;
    int last = 0;
    while ((n = ::read(readFd, numbers, sizeof numbers)) > 0)
        last = numbers[n - 1];
    // However many arrived, the program ends once.
    if (last && onEnd_)
        onEnd_(last);
}

} // namespace kavro
