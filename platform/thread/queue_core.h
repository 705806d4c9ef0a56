#pragma once
// The state a queue shares with its posters; private to the queue back ends.
#include "thread/control_queue.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace kavro::detail {

// What a waiting sender and the owning thread agree on.
struct SendTicket {
    enum class State { Queued, Running, Abandoned, Finished };
    std::mutex m;
    State state = State::Queued;
    HRESULT outcome = E_HANDLE;
    ManualEvent finished;

    void finish(HRESULT hr);
    // False when the handler has already begun: the message can no longer be withdrawn.
    bool abandon();
    // False when the sender has given up: the message must not be handled.
    bool begin();
};

class QueueCore : public std::enable_shared_from_this<QueueCore> {
public:
    explicit QueueCore(QueueHandler handler);

    bool post(QueueMessage msg);
    HRESULT send(QueueMessage msg, const ManualEvent* stop);

    // Owning thread: handles the messages queued at entry (later ones wait for the next call);
    // returns how many were handled.
    size_t dispatchQueued();
    // Owning thread: hands a message straight to the handler (timers); false once closed.
    bool deliver(const QueueMessage& msg);

    void close();
    bool isClosed() const;
    bool isOwnerThread() const { return std::this_thread::get_id() == owner_; }
    size_t queuedCount() const;
    bool waitForMessages(std::chrono::milliseconds realLimit) const;

    // Called under the queue's lock after each post, so that a back end can wake its thread;
    // never called after close().
    std::function<void()> onPosted;

private:
    struct Entry {
        QueueMessage msg;
        std::shared_ptr<SendTicket> ticket;
    };
    bool enqueue(Entry e);

    QueueHandler handler_;
    std::thread::id owner_;
    mutable std::mutex m_;
    mutable std::condition_variable posted_;
    std::deque<Entry> queue_;
    bool closed_ = false;
};

} // namespace kavro::detail
