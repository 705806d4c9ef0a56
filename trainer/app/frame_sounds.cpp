#include "frame_sounds.h"

#include "app_options.h"

#include <QTimer>
#include <QWidget>

namespace {
kavro::SoundManager::OutputFactory& soundOutputFactory()
{
    static kavro::SoundManager::OutputFactory factory;
    return factory;
}
} // namespace

void FrameSounds::setOutputFactory(kavro::SoundManager::OutputFactory factory)
{
    soundOutputFactory() = std::move(factory);
}

FrameSounds::FrameSounds(QWidget* window) : announceDelayTimer_(new QTimer(window))
{
    announceDelayTimer_->setObjectName(QStringLiteral("announceTimer"));
    announceDelayTimer_->setSingleShot(true);
    QObject::connect(announceDelayTimer_, &QTimer::timeout, window, [this] {
        kavro::AnnounceResult(pendingAnnounceShot_.get());
        pendingAnnounceShot_ = nullptr;
    });
    sounds_ = std::make_unique<kavro::SoundManager>();
    if (FAILED(sounds_->Initialize(soundOutputFactory())) || FAILED(sounds_->SetPrimaryBufferFormat(2, 22050, 16))) {
        sounds_.reset();
        return;
    }
    kavro::SetSoundManager(sounds_.get());
    // Without the generator the trainer still speaks; only the blind shooters' tone is missing.
    auto tone = std::make_unique<kavro::BlindTone>();
    if (SUCCEEDED(tone->Create(*sounds_))) {
        tone_ = std::move(tone);
        kavro::SetBlindTone(tone_.get());
    }
}

FrameSounds::~FrameSounds()
{
    delete announceDelayTimer_;
    if (tone_ && kavro::GetBlindTone() == tone_.get())
        kavro::SetBlindTone(nullptr);
    if (sounds_ && kavro::GetSoundManager() == sounds_.get())
        kavro::SetSoundManager(nullptr);
    tone_.reset(); // its stream plays through the manager's mixer
    sounds_.reset();
}

void FrameSounds::play(const QString& name)
{
    kavro::PlayVariantSound(name);
}

void FrameSounds::shotAdded(IShot* shot)
{
    pendingAnnounceShot_ = shot;
    announceDelayTimer_->start(500);
    play(QStringLiteral("Shot"));
}

void FrameSounds::ToggleSound()
{
    kavro::AppOptions& options = kavro::theAppOptions();
    options.SoundEnabled = !options.SoundEnabled;
    kavro::SaveOptions();
    // The next aiming point starts the tone again when sound is on.
    if (tone_)
        tone_->Stop();
}

void FrameSounds::ApplyOptionsChange(uint32_t mask)
{
    if (tone_)
        tone_->ApplyOptionsChange(mask);
}
