#include "serial/port_io.h"

#include "serial/read_plan.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <optional>
#include <poll.h>
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

// waitFor with the answers reads and writes share: S_OK when the device is ready (its events in
// *revents), S_FALSE when woken without an abort, a failure otherwise.
HRESULT waitUnlessAborted(int fd, short events, int wakeFd, int timeoutMs, const std::function<bool()>& aborted,
                          short* revents)
{
    switch (waitFor(fd, events, wakeFd, timeoutMs, revents)) {
    case WaitResult::Failed: return hresultFromErrno(errno);
    case WaitResult::Woken: return aborted() ? E_ABORT : S_FALSE;
    case WaitResult::Ready: return (*revents & POLLNVAL) ? E_HANDLE : S_OK;
    }
    return E_UNEXPECTED;
}

} // namespace

HRESULT readWithTimeouts(int fd, const SerialTimeouts& timeouts, uint8_t* buffer, uint32_t size, uint32_t* got,
                         int wakeFd, const std::function<bool()>& aborted)
{
    const ReadPlan plan = planRead(timeouts, size);
    const Clock::time_point start = Clock::now();
    const auto totalDeadline = deadlineAfter(start, plan.totalMs);
    Clock::time_point lastByte = start;
    bool hungUp = false;
    if (plan.returnOnFirstBytes && totalDeadline) {
        // A reader that comes back for more usually finds nothing yet: waiting first spares
        // the read that would only say so.
        short revents = 0;
        const HRESULT hr = waitUnlessAborted(fd, POLLIN, wakeFd, msUntil(start, *totalDeadline), aborted, &revents);
        if (FAILED(hr))
            return hr;
        if (hr == S_OK)
            hungUp = (revents & (POLLHUP | POLLERR)) != 0;
    }
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
        const HRESULT hr = waitUnlessAborted(fd, POLLIN, wakeFd, waitMs, aborted, &revents);
        if (FAILED(hr))
            return hr;
        // Read once more: what is still buffered comes first, then the hang-up.
        if (hr == S_OK)
            hungUp = (revents & (POLLHUP | POLLERR)) != 0;
    }
}

HRESULT writeWithTimeouts(int fd, const SerialTimeouts& timeouts, const uint8_t* buffer, uint32_t size,
                          uint32_t* written, int wakeFd, const std::function<bool()>& aborted)
{
    const auto deadline = deadlineAfter(Clock::now(), planWrite(timeouts, size));
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
        const HRESULT hr = waitUnlessAborted(fd, POLLOUT, wakeFd, waitMs, aborted, &revents);
        if (FAILED(hr))
            return hr;
        if (hr == S_OK && (revents & (POLLHUP | POLLERR)) && !(revents & POLLOUT))
            return hresultFromErrno(EIO);
    }
    return S_OK;
}

} // namespace kavro
