#include "ipc/swmr_guard.h"

#include "ipc/runtime_folder.h"
#include "thread/manual_event.h"

#include <chrono>

namespace kavro {
namespace {

// What is left of `timeoutMs` after the time since `start`.
uint32_t remaining(uint32_t timeoutMs, std::chrono::steady_clock::time_point start)
{
    if (timeoutMs == kInfinite)
        return kInfinite;
    const auto spent
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    return spent >= timeoutMs ? 0 : timeoutMs - static_cast<uint32_t>(spent);
}

} // namespace

bool SwmrGuard::SwmrgInitialize(const QString& suffix)
{
    SwmrgDelete();
    QString gatePath, readersPath;
    if (FAILED(runtimeFilePath(QStringLiteral("SWMRGMNW") + suffix, &gatePath))
        || FAILED(runtimeFilePath(suffix, &readersPath)))
        return false;
    if (FAILED(gate_.open(gatePath)) || FAILED(readers_.open(readersPath))) {
        SwmrgDelete();
        return false;
    }
    return true;
}

void SwmrGuard::SwmrgDelete()
{
    readers_.close();
    gate_.close();
}

bool SwmrGuard::SwmrgWaitToWrite(uint32_t timeoutMs)
{
    const auto start = std::chrono::steady_clock::now();
    if (!gate_.lock(FileLock::Mode::Exclusive, timeoutMs))
        return false;
    if (!readers_.lock(FileLock::Mode::Exclusive, remaining(timeoutMs, start))) {
        gate_.unlock();
        return false;
    }
    return true;
}

void SwmrGuard::SwmrgDoneWriting()
{
    readers_.unlock();
    gate_.unlock();
}

bool SwmrGuard::SwmrgWaitToRead(uint32_t timeoutMs)
{
    if (!gate_.lock(FileLock::Mode::Exclusive, timeoutMs))
        return false;
    // Past the gate no writer holds the readers' lock (it would hold the gate too), so this
    // does not wait.
    const bool entered = readers_.lock(FileLock::Mode::Shared, kInfinite);
    gate_.unlock();
    return entered;
}

void SwmrGuard::SwmrgDoneReading()
{
    readers_.unlock();
}

SwmrWriteLock::SwmrWriteLock(SwmrGuard& guard, uint32_t timeoutMs)
    : guard_(guard), held_(guard.SwmrgWaitToWrite(timeoutMs))
{
}

SwmrWriteLock::~SwmrWriteLock()
{
    if (held_)
        guard_.SwmrgDoneWriting();
}

SwmrReadLock::SwmrReadLock(SwmrGuard& guard, uint32_t timeoutMs)
    : guard_(guard), held_(guard.SwmrgWaitToRead(timeoutMs))
{
}

SwmrReadLock::~SwmrReadLock()
{
    if (held_)
        guard_.SwmrgDoneReading();
}

} // namespace kavro
