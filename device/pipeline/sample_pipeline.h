#pragma once
// The road of samples from a reader thread to the control thread: a ring of records under a lock,
// announced on the model's control queue with at most one notice outstanding.
#include "device/pipeline/notices.h"
#include "device/pipeline/sample_record.h"
#include "thread/clock.h"
#include "thread/control_queue.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace kavro {

// What the control thread does with the notices; the device model implements it.
class NoticeSink {
public:
    virtual void ProcessSamples(const SampleRecord* records, size_t count) = 0;
    virtual void OnDisconnected() = 0;
    virtual void OnReconnected() = 0;
    virtual void OnTimeout(intptr_t seconds) = 0;
    virtual void OnTargetNotice(intptr_t, intptr_t) { }
    virtual void OnSensorNotice(intptr_t, intptr_t) { }
    virtual void OnTimer(intptr_t, intptr_t) { }

protected:
    ~NoticeSink() = default;
};

class SamplePipeline {
public:
    // A reader facing a full ring retries this often, and gives the record up after this long.
    static constexpr uint32_t kRetryMs = 50;
    static constexpr uint32_t kGiveUpMs = 1000;

    explicit SamplePipeline(Clock& clock = realClock()) : clock_(clock) { }
    ~SamplePipeline() { Close(); }
    SamplePipeline(const SamplePipeline&) = delete;
    SamplePipeline& operator=(const SamplePipeline&) = delete;

    // Control thread: an empty ring of `capacity` slots (it holds capacity - 1 records) and the
    // queue that hears of them. E_INVALIDARG below 2 slots.
    HRESULT Open(size_t capacity, QueuePoster window);
    // Frees the ring: later records are dropped and later notices do nothing.
    void Close();
    bool IsOpen() const;

    // Reader thread: queues a copy of `record`. While the ring is full the control thread is
    // nudged every kRetryMs; after kGiveUpMs, or once `stop` is set, the record is given up
    // (false, counted in DroppedCount). False without a ring.
    bool PostEvent(const SampleRecord& record, const ManualEvent* stop = nullptr);
    // Reader thread: a time-out notice (posted).
    bool PostNotice(NoticeKind kind, intptr_t argument);
    // Reader thread: a disconnect or reconnect notice, waiting until it has been handled or
    // `stop` is set (E_ABORT), so that closing the model never waits on its reader.
    HRESULT SendNotice(NoticeKind kind, intptr_t argument, const ManualEvent* stop);

    // Control thread: one message of the model's queue, routed to `sink`. Nothing once closed.
    void HandleMessage(const QueueMessage& msg, NoticeSink& sink);
    // Control thread: hands every queued record, oldest first, to `sink` in one batch; returns
    // how many.
    size_t Drain(NoticeSink& sink);
    // Control thread: forgets every queued record (after a reconnect).
    void Empty();

    size_t Capacity() const;
    size_t QueuedCount() const;
    bool IsNoticePosted() const;
    uint32_t DroppedCount() const { return dropped_.load(); }

private:
    size_t countLocked() const;
    void announceLocked();
    void noticeFailed();

    Clock& clock_;
    mutable std::mutex m_;
    std::vector<SampleRecord> ring_;
    size_t read_ = 0;
    size_t write_ = 0;
    bool noticePosted_ = false;
    QueuePoster window_;
    std::atomic<uint32_t> dropped_{0};
};

} // namespace kavro
