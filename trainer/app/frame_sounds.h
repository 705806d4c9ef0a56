#pragma once
// The frame's sounds: the sound manager and the blind shooters' tone it owns, the sound of each
// shot and the result spoken shortly after it.
#include "kavrodoc.h"

#include "sounds/blind_tone.h"
#include "sounds/sound_manager.h"

#include <QString>

#include <memory>

class QTimer;
class QWidget;

class FrameSounds {
public:
    explicit FrameSounds(QWidget* window);
    ~FrameSounds();

    void play(const QString& name);
    // A shot was added: its sound now, its result once the sound has had its turn.
    void shotAdded(IShot* shot);
    void forgetAnnouncement() { pendingAnnounceShot_ = nullptr; }
    void ToggleSound();
    void ApplyOptionsChange(uint32_t mask);

    kavro::SoundManager* manager() const { return sounds_.get(); }
    kavro::BlindTone* tone() const { return tone_.get(); }

    // Where the frames made from now on send their sound (tests record it); empty: the desktop's
    // audio device, or silence without one.
    static void setOutputFactory(kavro::SoundManager::OutputFactory factory);

private:
    std::unique_ptr<kavro::SoundManager> sounds_;
    std::unique_ptr<kavro::BlindTone> tone_; // null when the generator could not be made
    ComPtr<IShot> pendingAnnounceShot_;
    QTimer* announceDelayTimer_;
};
