#include "serial/serial_port.h"

#include "serial/com_port_map.h"
#include "serial/device_file.h"
#include "serial/port_io.h"
#include "serial/termios_settings.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <shared_mutex>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kavro {

namespace {

void signalWake(int wakeFd)
{
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t r = ::write(wakeFd, &one, sizeof one);
}

bool deviceLost(int err)
{
    return err == EIO || err == ENODEV || err == ENXIO;
}

} // namespace

struct SerialPort::Impl {
    // Shared by every use of fd, exclusive for open and close, so close never pulls the
    // descriptor from under a read (it wakes the read first).
    mutable std::shared_mutex fdLock;
    int fd = -1;
    std::atomic<bool> pty{false};
    std::atomic<bool> closing{false};
    std::atomic<PortOpenProblem> openProblem{PortOpenProblem::None};

    // One read and one write at a time; each may be woken through its own eventfd.
    std::mutex readMutex;
    std::mutex writeMutex;
    int readWake = -1;
    int writeWake = -1;
    std::atomic<uint64_t> readAborts{0};
    std::atomic<uint64_t> writeAborts{0};

    // What a reopened device must get again.
    mutable std::mutex stateMutex;
    QString path;
    SerialTimeouts timeouts;
    termios applied{};
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
        return readWithTimeouts(fd, currentTimeouts(), buffer, size, got, readWake,
                                [&] { return aborted(abortsAtStart, readAborts); });
    }

    HRESULT writeLocked(const uint8_t* buffer, uint32_t size, uint32_t* written)
    {
        const uint64_t abortsAtStart = writeAborts.load();
        if (closing)
            return E_HANDLE;
        return writeWithTimeouts(fd, currentTimeouts(), buffer, size, written, writeWake,
                                 [&] { return aborted(abortsAtStart, writeAborts); });
    }
};

SerialPort::SerialPort() : d(std::make_unique<Impl>())
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
    PortOpenProblem problem = PortOpenProblem::None;
    const HRESULT hr = openDeviceFile(devicePath, &fd, &problem);
    d->openProblem = problem;
    if (FAILED(hr))
        return hr;
    termios t{};
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
    if (path.isEmpty()) {
        d->openProblem = PortOpenProblem::Missing;
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    return open(path);
}

PortOpenProblem SerialPort::openProblem() const
{
    return d->openProblem;
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

bool SerialPort::isPseudoTerminal() const
{
    return d->pty;
}

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
    termios t{};
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
    termios old{};
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
        if (!d->pty || FAILED(applySettings(&wanted, eightBits)) || ::tcsetattr(d->fd, TCSANOW, &wanted) != 0)
            return err == EINVAL ? E_INVALIDARG : hresultFromErrno(err);
    }
    termios actual{};
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
