#include "thread/qt_control_queue.h"

#include "thread/queue_core.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimerEvent>

#include <algorithm>
#include <atomic>
#include <map>

namespace kavro {
namespace {

QEvent::Type wakeEventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

} // namespace

class QtControlQueue::Receiver final : public QObject {
public:
    explicit Receiver(std::shared_ptr<detail::QueueCore> core) : core_(std::move(core)) { }

    // Under the queue's lock: one wake-up event covers any number of posts. The event is made on
    // the posting thread and read on this one; Qt's queue hands it over under locks the sanitizer
    // cannot see, so the hand-over is published here as well.
    void requestWake()
    {
        if (pendingWake_.load(std::memory_order_relaxed))
            return;
        auto* wake = new QEvent(wakeEventType());
        pendingWake_.store(wake, std::memory_order_release);
        QCoreApplication::postEvent(this, wake);
    }

    bool setTimer(uint32_t timerId, uint32_t periodMs)
    {
        killTimer(timerId);
        const int qtId = startTimer(static_cast<int>(std::clamp<uint32_t>(periodMs, 1, 0x7FFFFFFF)));
        if (qtId == 0)
            return false;
        timers_[timerId] = qtId;
        return true;
    }

    void killTimer(uint32_t timerId)
    {
        const auto it = timers_.find(timerId);
        if (it == timers_.end())
            return;
        QObject::killTimer(it->second);
        timers_.erase(it);
    }

    bool isDispatching() const { return depth_ > 0; }

protected:
    bool event(QEvent* e) override
    {
        // Compared before it is read: only the acquire makes a wake-up event's contents ours.
        if (e != pendingWake_.load(std::memory_order_acquire))
            return QObject::event(e);
        // Cleared before taking the messages, so a post from now on asks for another round.
        pendingWake_.store(nullptr, std::memory_order_relaxed);
        ++depth_;
        core_->dispatchQueued();
        --depth_;
        return true;
    }

    void timerEvent(QTimerEvent* e) override
    {
        for (const auto& [ours, qtId] : timers_) {
            if (qtId == e->timerId()) {
                const uint32_t id = ours; // the handler may kill timers and so change the map
                ++depth_;
                core_->deliver(QueueMessage{kTimerMessage, static_cast<intptr_t>(id), 0, {}});
                --depth_;
                return;
            }
        }
    }

private:
    std::shared_ptr<detail::QueueCore> core_;
    std::atomic<QEvent*> pendingWake_{nullptr}; // the wake-up event posted and not yet handled
    std::map<uint32_t, int> timers_;
    int depth_ = 0;
};

QtControlQueue::QtControlQueue(QueueHandler handler) : ControlQueue(std::move(handler)), receiver_(new Receiver(core_))
{
    Receiver* r = receiver_;
    core_->onPosted = [r] { r->requestWake(); };
}

QtControlQueue::~QtControlQueue()
{
    destroy();
}

bool QtControlQueue::setTimer(uint32_t timerId, uint32_t periodMs)
{
    if (isDestroyed() || !core_->isOwnerThread())
        return false;
    return receiver_->setTimer(timerId, periodMs);
}

void QtControlQueue::killTimer(uint32_t timerId)
{
    if (!isDestroyed() && core_->isOwnerThread())
        receiver_->killTimer(timerId);
}

void QtControlQueue::teardown()
{
    // The queue is closed, so no post reaches the receiver any more. A receiver inside its own
    // handler must outlive that call.
    Receiver* r = std::exchange(receiver_, nullptr);
    if (r->isDispatching())
        r->deleteLater();
    else
        delete r;
}

} // namespace kavro
