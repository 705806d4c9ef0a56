#include "thread/control_queue.h"

#include "thread/queue_core.h"

namespace kavro {
namespace detail {

void SendTicket::finish(HRESULT hr)
{
    {
        std::lock_guard lock(m);
        if (state == State::Abandoned || state == State::Finished)
            return;
        state = State::Finished;
        outcome = hr;
    }
    finished.set();
}

bool SendTicket::abandon()
{
    std::lock_guard lock(m);
    if (state != State::Queued)
        return false;
    state = State::Abandoned;
    return true;
}

bool SendTicket::begin()
{
    std::lock_guard lock(m);
    if (state != State::Queued)
        return false;
    state = State::Running;
    return true;
}

QueueCore::QueueCore(QueueHandler handler) : handler_(std::move(handler)), owner_(std::this_thread::get_id())
{
}

bool QueueCore::enqueue(Entry e)
{
    {
        std::lock_guard lock(m_);
        if (closed_)
            return false;
        queue_.push_back(std::move(e));
        if (onPosted)
            onPosted();
    }
    // Outside the lock: a waiter woken under it would at once block on the lock we still hold,
    // which costs both threads a further system call for every post.
    posted_.notify_all();
    return true;
}

bool QueueCore::post(QueueMessage msg)
{
    return enqueue({std::move(msg), nullptr});
}

HRESULT QueueCore::send(QueueMessage msg, const ManualEvent* stop)
{
    if (isOwnerThread()) {
        // Waiting for ourselves would never end: handle it here, as the owner would.
        return deliver(msg) ? S_OK : E_HANDLE;
    }
    auto ticket = std::make_shared<SendTicket>();
    if (!enqueue({std::move(msg), ticket}))
        return E_HANDLE;
    if (ManualEvent::waitAny({&ticket->finished, stop}) == 0)
        return ticket->outcome;
    if (ticket->abandon())
        return E_ABORT;
    // The handler had already begun and cannot be withdrawn; the stop still ends the wait.
    return ticket->finished.isSet() ? ticket->outcome : E_ABORT;
}

size_t QueueCore::dispatchQueued()
{
    // A handler may destroy the queue that owns us.
    const auto keepAlive = shared_from_this();
    size_t budget;
    {
        std::lock_guard lock(m_);
        budget = queue_.size();
    }
    size_t handled = 0;
    while (budget-- > 0) {
        Entry e;
        {
            std::lock_guard lock(m_);
            if (closed_ || queue_.empty())
                break;
            e = std::move(queue_.front());
            queue_.pop_front();
        }
        if (e.ticket && !e.ticket->begin())
            continue;
        handler_(e.msg);
        ++handled;
        if (e.ticket)
            e.ticket->finish(S_OK);
    }
    return handled;
}

bool QueueCore::deliver(const QueueMessage& msg)
{
    if (isClosed())
        return false;
    const auto keepAlive = shared_from_this();
    handler_(msg);
    return true;
}

void QueueCore::close()
{
    std::deque<Entry> dropped;
    {
        std::lock_guard lock(m_);
        closed_ = true;
        dropped.swap(queue_);
        posted_.notify_all();
    }
    for (Entry& e : dropped)
        if (e.ticket)
            e.ticket->finish(E_HANDLE);
}

bool QueueCore::isClosed() const
{
    std::lock_guard lock(m_);
    return closed_;
}

size_t QueueCore::queuedCount() const
{
    std::lock_guard lock(m_);
    return queue_.size();
}

bool QueueCore::waitForMessages(std::chrono::milliseconds realLimit) const
{
    std::unique_lock lock(m_);
    return posted_.wait_for(lock, realLimit, [this] { return closed_ || !queue_.empty(); }) && !closed_;
}

} // namespace detail

bool QueuePoster::post(QueueMessage msg) const
{
    return core_ && core_->post(std::move(msg));
}

bool QueuePoster::post(uint32_t id, intptr_t wParam, intptr_t lParam) const
{
    return post(QueueMessage{id, wParam, lParam, {}});
}

HRESULT QueuePoster::send(QueueMessage msg, const ManualEvent* stop) const
{
    return core_ ? core_->send(std::move(msg), stop) : E_HANDLE;
}

bool QueuePoster::isAlive() const
{
    return core_ && !core_->isClosed();
}

ControlQueue::ControlQueue(QueueHandler handler) : core_(std::make_shared<detail::QueueCore>(std::move(handler)))
{
}

ControlQueue::~ControlQueue()
{
    core_->close();
}

void ControlQueue::destroy()
{
    if (core_->isClosed())
        return;
    core_->close();
    teardown();
}

bool ControlQueue::isDestroyed() const
{
    return core_->isClosed();
}

} // namespace kavro
