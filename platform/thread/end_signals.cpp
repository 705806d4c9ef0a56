#include "end_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <iterator>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kavro {

namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};
constexpr size_t kSignalCount = std::size(kEndSignals);

// Set before the handlers and cleared after them, so a handler never sees a closed descriptor.
int writeFd = -1;
int readFd = -1;
// What each signal did before: given back when the object goes.
struct sigaction savedActions[kSignalCount];
bool caught[kSignalCount] = {};

void onEndSignal(int signalNumber)
{
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a request; another one changes nothing.
    [[maybe_unused]] const ssize_t n = ::write(writeFd, &number, 1);
    errno = saved;
}

void restoreSavedActions()
{
    for (size_t i = 0; i < kSignalCount; ++i) {
        if (caught[i])
            sigaction(kEndSignals[i], &savedActions[i], nullptr);
        caught[i] = false;
    }
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
    for (size_t i = 0; i < kSignalCount; ++i) {
        const int s = kEndSignals[i];
        // A signal ignored at start stays ignored: `nohup` and a shell's background jobs ask for
        // exactly that, and the program must outlive the terminal then.
        bool ok = sigaction(s, nullptr, &savedActions[i]) == 0;
        if (ok && savedActions[i].sa_handler == SIG_IGN)
            continue;
        ok = ok && sigaction(s, &action, nullptr) == 0;
        if (!ok) {
            restoreSavedActions();
            ::close(readFd);
            ::close(writeFd);
            readFd = writeFd = -1;
            return;
        }
        caught[i] = true;
    }
    notifier_ = new QSocketNotifier(readFd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { drain(); });
}

EndSignals::~EndSignals()
{
    if (!notifier_)
        return;
    restoreSavedActions();
    delete notifier_;
    ::close(readFd);
    ::close(writeFd);
    readFd = writeFd = -1;
}

void ignoreFileSizeSignal()
{
    struct sigaction action { };
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGXFSZ, &action, nullptr);
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
