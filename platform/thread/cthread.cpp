#include "thread/cthread.h"

#include <system_error>

namespace kavro {

CThread::~CThread()
{
    if (runner_.load() == std::this_thread::get_id()) {
        stop_.set();
        std::lock_guard lock(lifecycle_);
        thread_.detach(); // destroyed from its own Run(): nothing left to wait for
        return;
    }
    Stop();
}

bool CThread::Start()
{
    std::lock_guard lock(lifecycle_);
    if (thread_.joinable())
        return false;
    stop_.reset();
    try {
        thread_ = std::thread([this] {
            runner_.store(std::this_thread::get_id());
            Run();
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CThread::Stop()
{
    stop_.set();
    if (runner_.load() == std::this_thread::get_id())
        return;
    std::lock_guard lock(lifecycle_);
    if (thread_.joinable())
        thread_.join();
    runner_.store(std::thread::id());
}

bool CThread::IsStarted() const
{
    std::lock_guard lock(lifecycle_);
    return thread_.joinable();
}

} // namespace kavro
