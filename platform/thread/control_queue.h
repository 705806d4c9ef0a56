#pragma once
// The message queue of a control's owning thread (what a hidden window is on Windows): any thread
// posts, `send` waits until the owner has handled the message, and timers tick on the owner.
// Handlers always run on the owning thread, one message at a time.
#include "com/hresult.h"
#include "thread/manual_event.h"

#include <any>
#include <cstdint>
#include <functional>
#include <memory>

namespace kavro {

struct QueueMessage {
    uint32_t id = 0;
    intptr_t wParam = 0;
    intptr_t lParam = 0;
    std::any payload;
};

// The id of timer messages; wParam carries the timer id.
constexpr uint32_t kTimerMessage = 0x0113;

using QueueHandler = std::function<void(const QueueMessage&)>;

namespace detail {
class QueueCore;
}

// A handle to post to a queue from other threads. It stays safe to use after the queue has been
// destroyed: posts then fail and sends return E_HANDLE.
class QueuePoster {
public:
    QueuePoster() = default;

    // False when the queue is gone (the message is dropped).
    bool post(QueueMessage msg) const;
    bool post(uint32_t id, intptr_t wParam = 0, intptr_t lParam = 0) const;
    // Posts and waits until the message was handled: S_OK. E_ABORT when `stop` (may be null) was
    // set first; the message is then withdrawn unless its handler had already begun. E_HANDLE
    // when the queue is or becomes destroyed. On the owning thread the handler runs at once.
    HRESULT send(QueueMessage msg, const ManualEvent* stop) const;
    bool isAlive() const;

private:
    friend class ControlQueue;
    explicit QueuePoster(std::shared_ptr<detail::QueueCore> core) : core_(std::move(core)) { }
    std::shared_ptr<detail::QueueCore> core_;
};

class ControlQueue {
public:
    virtual ~ControlQueue();
    ControlQueue(const ControlQueue&) = delete;
    ControlQueue& operator=(const ControlQueue&) = delete;

    bool post(QueueMessage msg) const { return poster().post(std::move(msg)); }
    bool post(uint32_t id, intptr_t wParam = 0, intptr_t lParam = 0) const { return poster().post(id, wParam, lParam); }
    HRESULT send(QueueMessage msg, const ManualEvent* stop) const { return poster().send(std::move(msg), stop); }
    QueuePoster poster() const { return QueuePoster(core_); }

    // Starts or restarts timer `timerId` with a period of `periodMs` (at least 1). Call on the
    // owning thread. False once the queue is destroyed.
    virtual bool setTimer(uint32_t timerId, uint32_t periodMs) = 0;
    // Stops the timer; an unknown id is ignored.
    virtual void killTimer(uint32_t timerId) = 0;

    // Drops every queued message, releases waiting senders, stops the timers; nothing is handled
    // from now on. Call on the owning thread (the destructor does).
    void destroy();
    bool isDestroyed() const;

protected:
    explicit ControlQueue(QueueHandler handler);
    // The backend lets go of its own machinery (timers, event-loop objects).
    virtual void teardown() = 0;

    std::shared_ptr<detail::QueueCore> core_;
};

} // namespace kavro
