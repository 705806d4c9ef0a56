#include "practice_sequencer_host.h"

#include "device_session.h"
#include "frame_sounds.h"
#include "frame_window.h"
#include "kavro_doc.h"
#include "practice_controller.h"
#include "sequencer.h"

#include <QWidget>

PracticeSequencerHost::PracticeSequencerHost(PracticeController& practice, CKavroDoc& doc, DeviceSession& session,
                                             FrameSounds& sounds, FrameWindow& window, std::function<void()> changed)
    : practice_(practice), doc_(doc), session_(session), sounds_(sounds), window_(window),
      tickReceiver_(window.GetWindow()), changed_(std::move(changed))
{
}

bool PracticeSequencerHost::postTick()
{
    // Runs on the ticker thread: only post.
    return QMetaObject::invokeMethod(
        tickReceiver_, [p = &practice_] { p->sequencer().onTickMessage(); }, Qt::QueuedConnection);
}

void PracticeSequencerHost::setRangeLight(enumSemaphoreMode mode)
{
    kavro::trainer::applyRangeLight(session_.device().get(), mode);
}

void PracticeSequencerHost::concludeCurrentAiming()
{
    session_.concludeCurrentAiming();
}

void PracticeSequencerHost::playSound(const QString& name)
{
    sounds_.play(name);
}

void PracticeSequencerHost::setStatusText(const QString& text)
{
    window_.SetStatusText(text);
}

int PracticeSequencerHost::shotCount(bool match)
{
    return match ? doc_.MatchShotCount() : doc_.SightingShotCount();
}

bool PracticeSequencerHost::addMissedShot(bool match)
{
    ComPtr<IShot> shot;
    if (!doc_.AddMissedShot(match, &shot))
        return false;
    doc_.SetSelectedShot(shot.get(), nullptr);
    return true;
}

void PracticeSequencerHost::runCalibration()
{
    practice_.OnCalibration();
}

void PracticeSequencerHost::switchToMatch()
{
    practice_.SwitchToMatch();
}

void PracticeSequencerHost::stopPractice()
{
    practice_.StopPractice();
}
