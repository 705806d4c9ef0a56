#pragma once
// A single-writer/multi-reader guard shared by processes, named by a suffix in the per-user
// runtime folder. Two lock files make it: "SWMRGMNW<suffix>", the writer's gate, and "<suffix>",
// shared by readers and exclusive for the writer. A writer first closes the gate and then waits
// for the readers inside to leave; new readers pass the gate only while it is open, so a steady
// stream of readers cannot starve a writer. A process that dies inside loses its locks with it.
//
// One object serves one thread at a time; objects in one process exclude each other as objects
// in different processes do.
#include "ipc/file_lock.h"

#include <QString>

namespace kavro {

class SwmrGuard {
public:
    // Creates or opens the guard's files. False when the runtime folder cannot be had.
    bool SwmrgInitialize(const QString& suffix);
    void SwmrgDelete();

    // Waits up to `timeoutMs` (kInfinite: no limit) for the gate and for no reader inside.
    bool SwmrgWaitToWrite(uint32_t timeoutMs);
    void SwmrgDoneWriting();
    // Waits up to `timeoutMs` for the gate, then enters as one more reader.
    bool SwmrgWaitToRead(uint32_t timeoutMs);
    void SwmrgDoneReading();

private:
    FileLock gate_;
    FileLock readers_;
};

// Holds a guard's writer side for a scope.
class SwmrWriteLock {
public:
    explicit SwmrWriteLock(SwmrGuard& guard, uint32_t timeoutMs);
    ~SwmrWriteLock();
    SwmrWriteLock(const SwmrWriteLock&) = delete;
    SwmrWriteLock& operator=(const SwmrWriteLock&) = delete;
    bool held() const { return held_; }

private:
    SwmrGuard& guard_;
    bool held_;
};

// Holds a guard's reader side for a scope.
class SwmrReadLock {
public:
    explicit SwmrReadLock(SwmrGuard& guard, uint32_t timeoutMs);
    ~SwmrReadLock();
    SwmrReadLock(const SwmrReadLock&) = delete;
    SwmrReadLock& operator=(const SwmrReadLock&) = delete;
    bool held() const { return held_; }

private:
    SwmrGuard& guard_;
    bool held_;
};

} // namespace kavro
