#pragma once
// Sounds over the mixer: a sound keeps several buffers of the same data so that it can overlap
// itself; the streaming sound keeps a short buffer filled from an endless source.
#include "com/hresult.h"
#include "sound/mixer.h"
#include "thread/cthread.h"
#include "thread/manual_event.h"
#include "sounds/wave_source.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace kavro {

class CSound {
public:
    CSound(std::vector<std::shared_ptr<SoundBuffer>> buffers, uint32_t bufferSize, std::unique_ptr<CWaveFile> wave,
           uint32_t creationFlags);
    virtual ~CSound();
    CSound(const CSound&) = delete;
    CSound& operator=(const CSound&) = delete;

    // Plays on a free buffer. Volume, frequency (-1 keeps it) and pan are applied only where the
    // buffer was created with the matching control. `priority` has no meaning in a software mix.
    HRESULT Play(uint32_t priority, uint32_t playFlags, long volume, long frequency, long pan);
    // The first buffer that is not playing; when all play, one chosen at random.
    SoundBuffer* GetFreeBuffer();
    // Fills the buffer from the start of the wave: repeated until full, or followed by silence.
    HRESULT FillBuffer(SoundBuffer* buffer, bool repeatWave);
    // Stops every buffer where it is.
    HRESULT Stop();
    bool IsPlaying() const;

    SoundBuffer* GetBuffer(size_t index) const;
    size_t BufferCount() const { return buffers_.size(); }
    uint32_t BufferSize() const { return bufferSize_; }
    CWaveFile* Wave() const { return wave_.get(); }
    uint32_t CreationFlags() const { return flags_; }

protected:
    std::vector<std::shared_ptr<SoundBuffer>> buffers_;
    const uint32_t bufferSize_;
    std::unique_ptr<CWaveFile> wave_;
    const uint32_t flags_;
};

// One buffer of two notification blocks. Each time play passes the end of a block, the
// notification thread refills that block from the source. The thread runs from construction to
// destruction.
class CStreamingSound : public CSound {
public:
    CStreamingSound(std::shared_ptr<SoundBuffer> buffer, uint32_t bufferSize, std::unique_ptr<CWaveFile> wave,
                    uint32_t creationFlags, uint32_t notifySize);
    ~CStreamingSound() override;

    // Fills the buffer afresh from the start of the source, with the play cursor at its start.
    HRESULT Reset();

    uint32_t NotifySize() const { return notifySize_; }
    // How many notifications the thread has handled, and whether it still runs.
    uint64_t NotificationsHandled() const { return handled_.load(); }
    bool ThreadRunning() const { return thread_.IsStarted() && !thread_.finished.load(); }

private:
    class NotificationThread : public CThread {
    public:
        explicit NotificationThread(CStreamingSound& owner) : owner_(owner) { }
        ~NotificationThread() override { Stop(); }
        std::atomic<bool> finished{false};

    private:
        void Run() override;
        CStreamingSound& owner_;
    };

    // Refills the block that has just played; called under the stream lock. With looping, a
    // source that runs out starts again; without, silence follows and play stops once the whole
    // source has been heard.
    HRESULT HandleWaveStreamNotification(bool loopedPlay);
    // Handles one counted pass, if any; false when none was pending.
    bool HandlePendingNotification(HRESULT* hr);

    const uint32_t notifySize_;
    std::mutex streamLock_; // the fill state below: the thread refills while a caller may reset
    uint32_t lastPlayPosition_ = 0;
    uint64_t totalPlayed_ = 0;
    uint32_t nextWriteOffset_ = 0;
    bool fillingSilence_ = false;

    // Each pass of a notification point is counted, so two passes before the thread wakes are
    // both handled.
    ManualEvent notifyEvent_;
    std::atomic<uint32_t> pending_{0};
    std::atomic<uint64_t> handled_{0};
    NotificationThread thread_;
};

} // namespace kavro
