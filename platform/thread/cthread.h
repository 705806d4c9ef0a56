#pragma once
// A thread with a stop event and a virtual run operation. Derived classes call Stop() in their
// own destructor: by the time the base destructor runs, Run()'s object is already gone.
#include "thread/manual_event.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace kavro {

class CThread {
public:
    CThread() = default;
    virtual ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Clears the stop event and starts Run() on a new thread. False while a thread started
    // earlier has not been stopped, or when the system cannot make a thread.
    bool Start();
    // Sets the stop event and waits for Run() to return. Called from Run() itself it only sets
    // the event (a thread cannot join itself); a later Stop() from elsewhere joins.
    void Stop();
    // True from Start() until Stop() has joined.
    bool IsStarted() const;

    ManualEvent& StopEvent() { return stop_; }
    bool StopRequested() const { return stop_.isSet(); }

protected:
    virtual void Run() = 0;

private:
    mutable std::mutex lifecycle_; // held by Start and Stop throughout, so neither sees half of the other
    std::thread thread_;
    std::atomic<std::thread::id> runner_{};
    ManualEvent stop_;
};

} // namespace kavro
