#pragma once
// An advisory lock on a file (flock). The kernel drops it when the process ends, however it ends,
// so a lock held by a crashed process never stays behind. Locks are tied to the open file: two
// FileLock objects exclude each other also inside one process, and one object must not be used
// by two threads at once.
#include "com/hresult.h"

#include <QString>

#include <cstdint>

namespace kavro {

class FileLock {
public:
    enum class Mode { Shared, Exclusive };

    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Opens (creating with mode 0600) the file that carries the lock.
    HRESULT open(const QString& path);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // Takes the lock within `timeoutMs` (0: only try; kInfinite: wait without limit). Taking it
    // again in the other mode converts it. False on time-out or error.
    bool lock(Mode mode, uint32_t timeoutMs);
    bool tryLock(Mode mode) { return lock(mode, 0); }
    void unlock();
    bool isHeld() const { return held_; }

private:
    int fd_ = -1;
    bool held_ = false;
};

} // namespace kavro
