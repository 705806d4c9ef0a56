#include "sound/audio_output.h"
#include "sound/mixer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>

#include <mutex>

namespace kavro {

namespace {

// The sink pulls whatever it needs; the mixer always has it.
class MixerDevice : public QIODevice {
public:
    explicit MixerDevice(Mixer& mixer) : mixer_(mixer) { }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return (qint64(1) << 20) + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 frames = maxSize / 4;
        mixer_.render(reinterpret_cast<int16_t*>(data), static_cast<size_t>(frames));
        return frames * 4;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    Mixer& mixer_;
};

// The sink and its timers live on a thread of their own, so a busy window never starves the
// device.
class DeviceOutput : public AudioOutput {
public:
    explicit DeviceOutput(Mixer& mixer) : mixer_(mixer), source_(mixer)
    {
        context_.moveToThread(&thread_);
        thread_.setObjectName(QStringLiteral("kavro-audio"));
        thread_.start();
    }

    ~DeviceOutput() override
    {
        QMetaObject::invokeMethod(
            &context_,
            [this] {
                if (sink_) {
                    sink_->stop();
                    delete sink_;
                    sink_ = nullptr;
                }
                source_.close();
            },
            Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
        std::lock_guard g(fallbackLock_);
        fallback_.reset();
    }

    Kind kind() const override { return Kind::Device; }

    bool open(const QAudioDevice& device)
    {
        bool started = false;
        QMetaObject::invokeMethod(
            &context_,
            [&] {
                QAudioFormat format;
                format.setSampleRate(Mixer::kRate);
                format.setChannelCount(Mixer::kChannels);
                format.setSampleFormat(QAudioFormat::Int16);
                if (!device.isFormatSupported(format))
                    return;
                sink_ = new QAudioSink(device, format);
                // Short enough that a named sound starts promptly, long enough not to underrun.
                sink_->setBufferSize(Mixer::kRate * 4 / 10);
                QObject::connect(sink_, &QAudioSink::stateChanged, &context_,
                                 [this](QAudio::State) { checkFailure(); });
                source_.open(QIODevice::ReadOnly);
                sink_->start(&source_);
                started = sink_->error() == QAudio::NoError;
            },
            Qt::BlockingQueuedConnection);
        return started;
    }

private:
    void checkFailure()
    {
        if (!sink_ || sink_->error() == QAudio::NoError || sink_->error() == QAudio::UnderrunError)
            return;
        std::lock_guard g(fallbackLock_);
        if (!fallback_)
            fallback_ = makeSilentOutput(mixer_);
    }

    Mixer& mixer_;
    MixerDevice source_;
    QThread thread_;
    QObject context_;
    QAudioSink* sink_ = nullptr; // on thread_
    std::mutex fallbackLock_;
    std::unique_ptr<AudioOutput> fallback_;
};

} // namespace

std::unique_ptr<AudioOutput> openAudioOutput(Mixer& mixer)
{
    if (QCoreApplication::instance()) {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (!device.isNull()) {
            auto output = std::make_unique<DeviceOutput>(mixer);
            if (output->open(device))
                return output;
        }
    }
    return makeSilentOutput(mixer);
}

} // namespace kavro
