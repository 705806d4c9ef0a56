#include "sounds/sound.h"

#include "com/crt_random.h"

#include <algorithm>

namespace kavro {

namespace {

uint8_t silenceOf(const CWaveFile& wave)
{
    return wave.GetFormat().bitsPerSample == 8 ? 128 : 0;
}

// Reads `count` bytes from the wave's current position; with `repeat` the wave starts over
// whenever it runs out. What the wave cannot give is silence. Returns the bytes the wave gave.
uint32_t readWave(CWaveFile& wave, uint8_t* out, uint32_t count, bool repeat)
{
    uint32_t have = 0;
    while (have < count) {
        uint32_t got = 0;
        if (FAILED(wave.Read(out + have, count - have, &got)) || got == 0) {
            if (!repeat || FAILED(wave.Rewind()))
                break;
            // A wave that gives nothing even from its start would repeat forever.
            if (FAILED(wave.Read(out + have, count - have, &got)) || got == 0)
                break;
        }
        have += got;
    }
    std::fill(out + have, out + count, silenceOf(wave));
    return have;
}

} // namespace

CSound::CSound(std::vector<std::shared_ptr<SoundBuffer>> buffers, uint32_t bufferSize, std::unique_ptr<CWaveFile> wave,
               uint32_t creationFlags)
    : buffers_(std::move(buffers)), bufferSize_(bufferSize), wave_(std::move(wave)), flags_(creationFlags)
{
}

CSound::~CSound() = default;

SoundBuffer* CSound::GetBuffer(size_t index) const
{
    return index < buffers_.size() ? buffers_[index].get() : nullptr;
}

SoundBuffer* CSound::GetFreeBuffer()
{
    if (buffers_.empty())
        return nullptr;
    for (const auto& b : buffers_)
        if (!b->isPlaying())
            return b.get();
    return buffers_[static_cast<size_t>(programRandom().next()) % buffers_.size()].get();
}

HRESULT CSound::Play(uint32_t /*priority*/, uint32_t playFlags, long volume, long frequency, long pan)
{
    SoundBuffer* buffer = GetFreeBuffer();
    if (!buffer)
        return E_FAIL;
    const uint32_t caps = buffer->caps();
    HRESULT hr = S_OK;
    if (caps & kSoundCapsCtrlVolume)
        hr = buffer->setVolume(volume);
    if (SUCCEEDED(hr) && frequency != -1 && (caps & kSoundCapsCtrlFrequency))
        hr = frequency >= 0 ? buffer->setFrequency(static_cast<uint32_t>(frequency)) : E_INVALIDARG;
    if (SUCCEEDED(hr) && (caps & kSoundCapsCtrlPan))
        hr = buffer->setPan(pan);
    if (FAILED(hr))
        return hr;
    return buffer->play(playFlags);
}

HRESULT CSound::FillBuffer(SoundBuffer* buffer, bool repeatWave)
{
    if (!buffer || !wave_)
        return E_INVALIDARG;
    std::vector<uint8_t> data;
    try {
        data.resize(buffer->size());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr = wave_->Rewind();
    if (FAILED(hr))
        return hr;
    readWave(*wave_, data.data(), static_cast<uint32_t>(data.size()), repeatWave);
    return buffer->write(0, data.data(), static_cast<uint32_t>(data.size()));
}

HRESULT CSound::Stop()
{
    for (const auto& b : buffers_)
        b->stop();
    return S_OK;
}

bool CSound::IsPlaying() const
{
    return std::any_of(buffers_.begin(), buffers_.end(), [](const auto& b) { return b->isPlaying(); });
}

CStreamingSound::CStreamingSound(std::shared_ptr<SoundBuffer> buffer, uint32_t bufferSize,
                                 std::unique_ptr<CWaveFile> wave, uint32_t creationFlags, uint32_t notifySize)
    : CSound({std::move(buffer)}, bufferSize, std::move(wave), creationFlags), notifySize_(notifySize), thread_(*this)
{
    std::vector<uint32_t> points;
    for (uint32_t at = notifySize_ - 1; at < bufferSize_; at += notifySize_)
        points.push_back(at);
    buffers_[0]->setNotifications(std::move(points), [this] {
        pending_.fetch_add(1);
        notifyEvent_.set();
    });
    Reset();
    thread_.Start();
}

CStreamingSound::~CStreamingSound()
{
    thread_.Stop();
    buffers_[0]->stop();
    buffers_[0]->setNotifications({}, nullptr);
}

HRESULT CStreamingSound::Reset()
{
    std::lock_guard g(streamLock_);
    pending_.store(0); // passes counted before now refer to data being replaced
    nextWriteOffset_ = 0;
    lastPlayPosition_ = 0;
    totalPlayed_ = 0;
    fillingSilence_ = false;
    buffers_[0]->setCurrentPosition(0);
    // The notification thread refills with looping on; the first fill loops alike.
    return FillBuffer(buffers_[0].get(), true);
}

HRESULT CStreamingSound::HandleWaveStreamNotification(bool loopedPlay)
{
    SoundBuffer* buffer = buffers_[0].get();
    std::vector<uint8_t> block(notifySize_);
    if (fillingSilence_) {
        std::fill(block.begin(), block.end(), silenceOf(*wave_));
    } else {
        const uint32_t got = readWave(*wave_, block.data(), notifySize_, loopedPlay);
        if (got < notifySize_ && !loopedPlay)
            fillingSilence_ = true;
    }
    HRESULT hr = buffer->write(nextWriteOffset_, block.data(), notifySize_);
    if (FAILED(hr))
        return hr;

    const uint32_t position = buffer->currentPosition();
    totalPlayed_
        += position >= lastPlayPosition_ ? position - lastPlayPosition_ : bufferSize_ - lastPlayPosition_ + position;
    lastPlayPosition_ = position;
    if (fillingSilence_ && totalPlayed_ >= wave_->GetSize())
        buffer->stop();

    nextWriteOffset_ = (nextWriteOffset_ + notifySize_) % bufferSize_;
    return S_OK;
}

bool CStreamingSound::HandlePendingNotification(HRESULT* hr)
{
    std::lock_guard g(streamLock_);
    uint32_t n = pending_.load();
    do {
        if (n == 0)
            return false;
    } while (!pending_.compare_exchange_weak(n, n - 1));
    *hr = HandleWaveStreamNotification(true);
    if (SUCCEEDED(*hr))
        handled_.fetch_add(1);
    return true;
}

void CStreamingSound::NotificationThread::Run()
{
    for (;;) {
        const int which = ManualEvent::waitAny({&StopEvent(), &owner_.notifyEvent_});
        if (which != 1)
            break;
        // Reset before taking the count: a pass counted after this sets the event again.
        owner_.notifyEvent_.reset();
        HRESULT hr = S_OK;
        while (SUCCEEDED(hr) && owner_.HandlePendingNotification(&hr)) {
        }
        if (FAILED(hr))
            break;
    }
    finished.store(true);
}

} // namespace kavro
