#include "serial/serial_port.h"

#include "serial/com_port_map.h"
#include "serial/device_file.h"
#include "serial/read_plan.h"
#include "serial/termios_settings.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kavro {

namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

// Keeps a deadline far enough away to mean "never" without overflowing the clock.
constexpr uint64_t longestWaitMs = uint64_t(1) << 40;

std::optional<Clock::time_point> deadlineAfter(Clock::time_point start, std::optional<uint64_t> ms)
{
    if (!ms)
        return std::nullopt;
    return start + Millis(std::min(*ms, longestWaitMs));
}

// Milliseconds to `deadline`, rounded up so a poll never wakes just before it and spins.
int msUntil(Clock::time_point now, Clock::time_point deadline)
{
    if (deadline <= now)
        return 0;
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now).count();
    return int(std::min<int64_t>((us + 999) / 1000, INT_MAX));
}

void drainWake(int wakeFd)
{
    uint64_t value;
    while (::read(wakeFd, &value, sizeof value) > 0) {
    }
}

void signalWake(int wakeFd)
{
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t r = ::write(wakeFd, &one, sizeof one);
}

bool deviceLost(int err) { return err == EIO || err == ENODEV || err == ENXIO; }

enum class WaitResult { Ready, Woken, Failed };

// Waits for `events` on the device or a wake-up. Ready also covers hang-up and errors: the
// following read or write reports them.
WaitResult waitFor(int fd, short events, int wakeFd, int timeoutMs, short* revents)
{
    pollfd p[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
    int r;
    do {
        r = ::poll(p, 2, timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r < 0)
        return WaitResult::Failed;
    *revents = p[0].revents;
    if (p[1].revents & POLLIN) {
        drainWake(wakeFd);
        return WaitResult::Woken;
    }
    return WaitResult::Ready;
}

} // namespace

struct SerialPort::Impl {
    // Shared by every use of fd, exclusive for open and close, so close never pulls the
    // descriptor from under a read (it wakes the read first).
    mutable std::shared_mutex fdLock;
    int fd = -1;
    std::atomic<bool> pty {false};
    std::atomic<bool> closing {false};

    // One read and one write at a time; each may be woken through its own eventfd.
    std::mutex readMutex;
    std::mutex writeMutex;
    int readWake = -1;
    int writeWake = -1;
    std::atomic<uint64_t> readAborts {0};
    std::atomic<uint64_t> writeAborts {0};

    // What a reopened device must get again.
    mutable std::mutex stateMutex;
    QString path;
    SerialTimeouts timeouts;
    termios applied {};
    bool dtr = true; // a tty raises DTR and RTS when it is opened
    bool rts = true;

    std::mutex reopenMutex;

    SerialTimeouts currentTimeouts() const
    {
        std::lock_guard lock(stateMutex);
        return timeouts;
    }

    bool aborted(uint64_t abortsAtStart, const std::atomic<uint64_t>& aborts) const
    {
        return closing.load() || aborts.load() != abortsAtStart;
    }

    HRESULT setLine(int line, bool on)
    {
        if (pty)
            return S_OK; // no modem lines to drive
        return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0 ? S_OK : hresultFromErrno(errno);
    }

    // Called with fdLock held shared: swaps a fresh descriptor for the same path into fd, so
    // every thread keeps using the same descriptor number.
    bool reopen()
    {
        std::lock_guard guard(reopenMutex);
        QString p;
        termios t;
        bool wantDtr, wantRts;
        {
            std::lock_guard lock(stateMutex);
            p = path;
            t = applied;
            wantDtr = dtr;
            wantRts = rts;
        }
        int fresh;
        if (FAILED(openDeviceFile(p, &fresh)))
            return false;
        const bool freshPty = isPseudoTerminalSlave(fresh);
        if (deviceHasHungUp(fresh) || ::tcsetattr(fresh, TCSANOW, &t) != 0) {
            ::close(fresh);
            return false;
        }
        if (!freshPty) {
            int dtrLine = TIOCM_DTR, rtsLine = TIOCM_RTS;
            ::ioctl(fresh, wantDtr ? TIOCMBIS : TIOCMBIC, &dtrLine);
            ::ioctl(fresh, wantRts ? TIOCMBIS : TIOCMBIC, &rtsLine);
        }
        const bool swapped = ::dup3(fresh, fd, O_CLOEXEC) == fd;
        ::close(fresh);
        if (swapped)
            pty = freshPty;
        return swapped;
    }

    HRESULT ptyStatus(uint32_t* out)
    {
        if (deviceHasHungUp(fd) && (!reopen() || deviceHasHungUp(fd)))
            return S_OK; // the other end is closed: lines off, which is not a failure
        *out = ModemCtsOn | ModemDsrOn | ModemRlsdOn;
        return S_OK;
    }

    HRESULT ttyStatus(uint32_t* out)
    {
        int bits = 0;
        if (::ioctl(fd, TIOCMGET, &bits) != 0) {
            const int err = errno;
            if (!deviceLost(err) || !reopen())
                return hresultFromErrno(err);
            if (pty)
                return ptyStatus(out);
            if (::ioctl(fd, TIOCMGET, &bits) != 0)
                return hresultFromErrno(errno);
        }
        *out = ((bits & TIOCM_CTS) ? ModemCtsOn : 0u) | ((bits & TIOCM_DSR) ? ModemDsrOn : 0u)
            | ((bits & TIOCM_RNG) ? ModemRingOn : 0u) | ((bits & TIOCM_CAR) ? ModemRlsdOn : 0u);
        return S_OK;
    }

    HRESULT readLocked(uint8_t* buffer, uint32_t size, uint32_t* got)
    {
        const uint64_t abortsAtStart = readAborts.load();
        if (closing)
            return E_HANDLE;
        const ReadPlan plan = planRead(currentTimeouts(), size);
        const Clock::time_point start = Clock::now();
        const auto totalDeadline = deadlineAfter(start, plan.totalMs);
        Clock::time_point lastByte = start;
        bool hungUp = false;
        for (;;) {
            const ssize_t r = ::read(fd, buffer + *got, size - *got);
            if (r > 0) {
                *got += uint32_t(r);
                lastByte = Clock::now();
                if (*got == size || plan.returnOnFirstBytes)
                    return S_OK;
                continue;
            }
            if (r < 0 && errno == EINTR)
                continue;
            // A tty in non-blocking raw mode reports "nothing waiting" as 0 or EAGAIN.
            const bool empty = r == 0 || errno == EAGAIN;
            if (!empty || hungUp) {
                const int err = empty ? EIO : errno;
                return *got > 0 ? S_OK : hresultFromErrno(err);
            }
            if (plan.returnAtOnce)
                return S_OK;
            const Clock::time_point now = Clock::now();
            int waitMs = -1;
            if (totalDeadline) {
                if (now >= *totalDeadline)
                    return S_OK;
                waitMs = msUntil(now, *totalDeadline);
            }
            if (plan.intervalMs && *got > 0) {
                const Clock::time_point gapEnd = lastByte + Millis(*plan.intervalMs);
                if (now >= gapEnd)
                    return S_OK;
                const int gapMs = msUntil(now, gapEnd);
                waitMs = waitMs < 0 ? gapMs : std::min(waitMs, gapMs);
            }
            short revents = 0;
            switch (waitFor(fd, POLLIN, readWake, waitMs, &revents)) {
            case WaitResult::Failed: return hresultFromErrno(errno);
            case WaitResult::Woken:
                if (aborted(abortsAtStart, readAborts))
                    return E_ABORT;
                break;
            case WaitResult::Ready:
                if (revents & POLLNVAL)
                    return E_HANDLE;
                // Read once more: what is still buffered comes first, then the hang-up.
                hungUp = (revents & (POLLHUP | POLLERR)) != 0;
                break;
            }
        }
    }

    HRESULT writeLocked(const uint8_t* buffer, uint32_t size, uint32_t* written)
    {
        const uint64_t abortsAtStart = writeAborts.load();
        if (closing)
            return E_HANDLE;
        const auto deadline = deadlineAfter(Clock::now(), planWrite(currentTimeouts(), size));
        while (*written < size) {
            const ssize_t r = ::write(fd, buffer + *written, size - *written);
            if (r > 0) {
                *written += uint32_t(r);
                continue;
            }
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0 && errno != EAGAIN)
                return hresultFromErrno(errno);
            int waitMs = -1;
            if (deadline) {
                const Clock::time_point now = Clock::now();
                if (now >= *deadline)
                    return S_OK; // a write time-out is a short write, not a failure
                waitMs = msUntil(now, *deadline);
            }
            short revents = 0;
            switch (waitFor(fd, POLLOUT, writeWake, waitMs, &revents)) {
            case WaitResult::Failed: return hresultFromErrno(errno);
            case WaitResult::Woken:
                if (aborted(abortsAtStart, writeAborts))
                    return E_ABORT;
                break;
            case WaitResult::Ready:
                if (revents & POLLNVAL)
                    return E_HANDLE;
                if ((revents & (POLLHUP | POLLERR)) && !(revents & POLLOUT))
                    return hresultFromErrno(EIO);
                break;
            }
        }
        return S_OK;
    }
};

SerialPort::SerialPort()
    : d(std::make_unique<Impl>())
{
    d->readWake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    d->writeWake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

SerialPort::~SerialPort()
{
    close();
    if (d->readWake >= 0)
        ::close(d->readWake);
    if (d->writeWake >= 0)
        ::close(d->writeWake);
}

HRESULT SerialPort::open(const QString& devicePath)
{
    if (d->readWake < 0 || d->writeWake < 0)
        return E_OUTOFMEMORY;
    std::unique_lock lock(d->fdLock);
    if (d->fd >= 0)
        return E_UNEXPECTED;
    int fd;
    const HRESULT hr = openDeviceFile(devicePath, &fd);
    if (FAILED(hr))
        return hr;
    termios t {};
    ::tcgetattr(fd, &t);
    {
        std::lock_guard state(d->stateMutex);
        d->path = devicePath;
        d->timeouts = SerialTimeouts();
        d->applied = t;
        d->dtr = d->rts = true;
    }
    d->pty = isPseudoTerminalSlave(fd);
    d->closing = false;
    d->fd = fd;
    return S_OK;
}

HRESULT SerialPort::openCom(int comNumber)
{
    const QString path = ComPortMap::shared().devicePath(comNumber);
    if (path.isEmpty())
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    return open(path);
}

void SerialPort::close()
{
    {
        std::shared_lock lock(d->fdLock);
        if (d->fd < 0)
            return;
    }
    // Order matters: a read that starts after the abort count moved must see `closing`.
    d->closing = true;
    ++d->readAborts;
    ++d->writeAborts;
    signalWake(d->readWake);
    signalWake(d->writeWake);
    std::unique_lock lock(d->fdLock);
    if (d->fd >= 0) {
        ::close(d->fd);
        d->fd = -1;
    }
}

bool SerialPort::isOpen() const
{
    std::shared_lock lock(d->fdLock);
    return d->fd >= 0;
}

bool SerialPort::isPseudoTerminal() const { return d->pty; }

QString SerialPort::devicePath() const
{
    std::lock_guard lock(d->stateMutex);
    return d->path;
}

HRESULT SerialPort::getSettings(SerialSettings* out) const
{
    if (!out)
        return E_POINTER;
    std::shared_lock lock(d->fdLock);
    if (d->fd < 0)
        return E_HANDLE;
    termios t {};
    if (::tcgetattr(d->fd, &t) != 0)
        return hresultFromErrno(errno);
    *out = readSettings(t);
    return S_OK;
}

HRESULT SerialPort::setSettings(const SerialSettings& settings)
{
    std::shared_lock lock(d->fdLock);
    if (d->fd < 0)
        return E_HANDLE;
    std::lock_guard state(d->stateMutex);
    termios old {};
    if (::tcgetattr(d->fd, &old) != 0)
        return hresultFromErrno(errno);
    termios wanted = old;
    makeRaw(&wanted);
    if (const HRESULT hr = applySettings(&wanted, settings); FAILED(hr))
        return hr;
    if (::tcsetattr(d->fd, TCSANOW, &wanted) != 0) {
        // Some pty drivers refuse other framings outright rather than ignoring them.
        const int err = errno;
        SerialSettings eightBits = settings;
        eightBits.dataBits = 8;
        eightBits.parity = Parity::None;
        if (!d->pty || FAILED(applySettings(&wanted, eightBits))
            || ::tcsetattr(d->fd, TCSANOW, &wanted) != 0)
            return err == EINVAL ? E_INVALIDARG : hresultFromErrno(err);
    }
    termios actual {};
    if (::tcgetattr(d->fd, &actual) != 0)
        return hresultFromErrno(errno);
    if (!settingsTook(wanted, actual, d->pty)) {
        ::tcsetattr(d->fd, TCSANOW, &old);
        return E_INVALIDARG;
    }
    d->applied = actual;
    return S_OK;
}

HRESULT SerialPort::getTimeouts(SerialTimeouts* out) const
{
    if (!out)
        return E_POINTER;
    if (!isOpen())
        return E_HANDLE;
    *out = d->currentTimeouts();
    return S_OK;
}

HRESULT SerialPort::setTimeouts(const SerialTimeouts& timeouts)
{
    if (!isOpen())
        return E_HANDLE;
    std::lock_guard lock(d->stateMutex);
    d->timeouts = timeouts;
    return S_OK;
}

HRESULT SerialPort::setDtr(bool on)
{
    std::shared_lock lock(d->fdLock);
    if (d->fd < 0)
        return E_HANDLE;
    {
        std::lock_guard state(d->stateMutex);
        d->dtr = on;
    }
    return d->setLine(TIOCM_DTR, on);
}

HRESULT SerialPort::setRts(bool on)
{
    std::shared_lock lock(d->fdLock);
    if (d->fd < 0)
        return E_HANDLE;
    {
        std::lock_guard state(d->stateMutex);
        d->rts = on;
    }
    return d->setLine(TIOCM_RTS, on);
}

HRESULT SerialPort::modemStatus(uint32_t* out)
{
    if (!out)
        return E_POINTER;
    *out = 0;
    std::shared_lock lock(d->fdLock);
    if (d->fd < 0)
        return E_HANDLE;
    return d->pty ? d->ptyStatus(out) : d->ttyStatus(out);
}

HRESULT SerialPort::bytesWaiting(uint32_t* out)
{
    if (!out)
        return E_POINTER;
    *out = 0;
    std::shared_lock lock(d->fdLock);
    if (d->fd < 0)
        return E_HANDLE;
    int count = 0;
    if (::ioctl(d->fd, FIONREAD, &count) != 0)
        return hresultFromErrno(errno);
    *out = uint32_t(std::max(count, 0));
    return S_OK;
}

HRESULT SerialPort::read(void* buffer, uint32_t size, uint32_t* bytesRead)
{
    if (!bytesRead || (!buffer && size > 0))
        return E_POINTER;
    *bytesRead = 0;
    std::lock_guard one(d->readMutex);
    std::shared_lock lock(d->fdLock);
    if (d->fd < 0)
        return E_HANDLE;
    return d->readLocked(static_cast<uint8_t*>(buffer), size, bytesRead);
}

HRESULT SerialPort::write(const void* buffer, uint32_t size, uint32_t* written)
{
    if (!written || (!buffer && size > 0))
        return E_POINTER;
    *written = 0;
    std::lock_guard one(d->writeMutex);
    std::shared_lock lock(d->fdLock);
    if (d->fd < 0)
        return E_HANDLE;
    return d->writeLocked(static_cast<const uint8_t*>(buffer), size, written);
}

HRESULT SerialPort::purge(uint32_t what)
{
    if (what & ~uint32_t(PurgeTxAbort | PurgeRxAbort | PurgeTxClear | PurgeRxClear))
        return E_INVALIDARG;
    std::shared_lock lock(d->fdLock);
    if (d->fd < 0)
        return E_HANDLE;
    if (what & PurgeRxAbort) {
        ++d->readAborts;
        signalWake(d->readWake);
    }
    if (what & PurgeTxAbort) {
        ++d->writeAborts;
        signalWake(d->writeWake);
    }
    const bool rx = what & PurgeRxClear, tx = what & PurgeTxClear;
    if (rx || tx) {
        const int queue = rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH;
        if (::tcflush(d->fd, queue) != 0)
            return hresultFromErrno(errno);
    }
    return S_OK;
}

} // namespace kavro
