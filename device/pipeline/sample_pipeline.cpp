#include "device/pipeline/sample_pipeline.h"

#include <algorithm>
#include <optional>

namespace kavro {

HRESULT SamplePipeline::Open(size_t capacity, QueuePoster window)
{
    if (capacity < 2)
        return E_INVALIDARG;
    std::lock_guard lock(m_);
    ring_.assign(capacity, SampleRecord{});
    read_ = write_ = 0;
    noticePosted_ = false;
    window_ = std::move(window);
    return S_OK;
}

void SamplePipeline::Close()
{
    std::lock_guard lock(m_);
    std::vector<SampleRecord>().swap(ring_);
    read_ = write_ = 0;
    noticePosted_ = false;
    window_ = QueuePoster();
}

bool SamplePipeline::IsOpen() const
{
    std::lock_guard lock(m_);
    return !ring_.empty();
}

size_t SamplePipeline::countLocked() const
{
    return (write_ + ring_.size() - read_) % ring_.size();
}

void SamplePipeline::announceLocked()
{
    if (window_.post(kDeviceNoticeMessage, static_cast<intptr_t>(NoticeKind::RecordsQueued)))
        noticePosted_ = true;
}

bool SamplePipeline::PostEvent(const SampleRecord& record, const ManualEvent* stop)
{
    std::optional<uint32_t> firstFull;
    for (;;) {
        bool announce = false;
        QueuePoster window;
        {
            std::lock_guard lock(m_);
            if (ring_.empty())
                return false;
            if (countLocked() < ring_.size() - 1) {
                ring_[write_] = record;
                write_ = (write_ + 1) % ring_.size();
                if (noticePosted_)
                    return true;
                noticePosted_ = announce = true;
                window = window_;
            }
        }
        if (announce) {
            // Posted outside the lock: the control thread wakes to take the ring's lock.
            if (!window.post(kDeviceNoticeMessage, static_cast<intptr_t>(NoticeKind::RecordsQueued)))
                noticeFailed();
            return true;
        }
        // The clock is read only here: the give-up time counts from the first look at a full ring.
        const uint32_t now = clock_.tickMs();
        if (!firstFull)
            firstFull = now;
        if (static_cast<uint32_t>(now - *firstFull) >= kGiveUpMs)
            break;
        {
            // Announce again even with a notice outstanding: the control thread may have taken
            // the last batch before this record found the ring full.
            std::lock_guard lock(m_);
            if (ring_.empty())
                return false;
            announceLocked();
        }
        if (clock_.sleep(kRetryMs, stop))
            break;
    }
    dropped_.fetch_add(1);
    return false;
}

void SamplePipeline::noticeFailed()
{
    // The queue has gone (the model is closing): no notice is outstanding.
    std::lock_guard lock(m_);
    noticePosted_ = false;
}

bool SamplePipeline::PostNotice(NoticeKind kind, intptr_t argument)
{
    QueuePoster window;
    {
        std::lock_guard lock(m_);
        window = window_;
    }
    return window.post(kDeviceNoticeMessage, static_cast<intptr_t>(kind), argument);
}

HRESULT SamplePipeline::SendNotice(NoticeKind kind, intptr_t argument, const ManualEvent* stop)
{
    QueuePoster window;
    {
        std::lock_guard lock(m_);
        window = window_;
    }
    return window.send(QueueMessage{kDeviceNoticeMessage, static_cast<intptr_t>(kind), argument, {}}, stop);
}

void SamplePipeline::HandleMessage(const QueueMessage& msg, NoticeSink& sink)
{
    if (!IsOpen())
        return;
    switch (msg.id) {
    case kDeviceNoticeMessage:
        switch (static_cast<NoticeKind>(msg.wParam)) {
        case NoticeKind::RecordsQueued: Drain(sink); break;
        case NoticeKind::Disconnected: sink.OnDisconnected(); break;
        case NoticeKind::Reconnected: sink.OnReconnected(); break;
        case NoticeKind::Timeout: sink.OnTimeout(msg.lParam); break;
        }
        break;
    case kTargetNoticeMessage: sink.OnTargetNotice(msg.wParam, msg.lParam); break;
    case kSensorNoticeMessage: sink.OnSensorNotice(msg.wParam, msg.lParam); break;
    case kTimerMessage: sink.OnTimer(msg.wParam, msg.lParam); break;
    default: break;
    }
}

size_t SamplePipeline::Drain(NoticeSink& sink)
{
    std::vector<SampleRecord> batch;
    {
        std::lock_guard lock(m_);
        if (ring_.empty())
            return 0;
        const size_t n = countLocked();
        batch.reserve(n);
        for (size_t i = 0, at = read_; i < n; ++i, at = (at + 1) % ring_.size())
            batch.push_back(ring_[at]);
        read_ = write_;
        // Cleared with the take, under the lock: a record queued while the batch is processed
        // announces itself, so none waits unannounced for the next one.
        noticePosted_ = false;
    }
    if (!batch.empty())
        sink.ProcessSamples(batch.data(), batch.size());
    return batch.size();
}

void SamplePipeline::Empty()
{
    std::lock_guard lock(m_);
    read_ = write_ = 0;
    noticePosted_ = false;
}

size_t SamplePipeline::Capacity() const
{
    std::lock_guard lock(m_);
    return ring_.size();
}

size_t SamplePipeline::QueuedCount() const
{
    std::lock_guard lock(m_);
    return ring_.empty() ? 0 : countLocked();
}

bool SamplePipeline::IsNoticePosted() const
{
    std::lock_guard lock(m_);
    return noticePosted_;
}

} // namespace kavro
