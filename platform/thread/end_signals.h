#pragma once
// The requests to end that arrive as signals (SIGTERM at logout, shutdown or `kill`, SIGHUP when
// the terminal goes, SIGINT for Ctrl+C), turned into a call on the thread that made the object,
// from its event loop, so that a program ends in order rather than at once. Only a write to a pipe
// happens in the signal handler itself.
#include <QObject>

#include <functional>

class QSocketNotifier;

namespace kavro {

class EndSignals final : public QObject {
public:
    // Catches the three signals from now on and calls `onEnd` with the signal's number, once for
    // requests that arrive together; one object per process at a time. A signal that is ignored
    // already (the program was started with `nohup`, or in the background) stays ignored.
    explicit EndSignals(std::function<void(int signalNumber)> onEnd, QObject* parent = nullptr);
    // The signals get back what they did before.
    ~EndSignals() override;

    // False when the pipe or the handlers could not be set up: the signals then end the program
    // as they would without this object.
    bool isActive() const { return notifier_ != nullptr; }

private:
    void drain();
    std::function<void(int)> onEnd_;
    QSocketNotifier* notifier_ = nullptr;
};

// A write past the process's file-size limit (`ulimit -f`, `prlimit --fsize`) raises SIGXFSZ,
// whose default action ends the program at once with a core dump, losing what it held. Ignored,
// the write fails with EFBIG and is reported as any failed write. Each program calls this first.
void ignoreFileSizeSignal();

} // namespace kavro
