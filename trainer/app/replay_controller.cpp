#include "replay_controller.h"

#include "app_options.h"
#include "doc_helpers.h"
#include "frame_commands.h"
#include "kavro_doc.h"

#include <QTimer>

namespace {
QTimer* oneShotTimer(QObject* parent, const char* name)
{
    auto* t = new QTimer(parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setSingleShot(true);
    return t;
}
} // namespace

ReplayController::ReplayController(QObject* owner, CKavroDoc& doc, FrameCommands& commands)
    : doc_(doc), commands_(commands), pauseBeforeNextShotTimer_(oneShotTimer(owner, "replayAllTimer")),
      autoReplayDelayTimer_(oneShotTimer(owner, "autoReplayTimer"))
{
    QObject::connect(pauseBeforeNextShotTimer_, &QTimer::timeout, owner, [this] { replayNextShot(); });
    QObject::connect(autoReplayDelayTimer_, &QTimer::timeout, owner, [this] { autoReplayDue(); });
}

void ReplayController::setReplayAllRunning(bool running)
{
    if (replayAllRunning_ == running)
        return;
    replayAllRunning_ = running;
    commands_.inputsChanged(CommandInput::Replay);
}

void ReplayController::OnReplay()
{
    if (doc_.GetReplayState() != CKavroDoc::ReplayStopped)
        doc_.StopReplay();
    else
        doc_.StartReplay();
}

void ReplayController::ReplayAll()
{
    if (replayAllRunning_) {
        setReplayAllRunning(false);
        pauseBeforeNextShotTimer_->stop();
        doc_.StopReplay();
        return;
    }
    ComPtr<IShot> selected;
    if (!doc_.GetSelectedShot(&selected)) {
        ComPtr<IShot> first;
        if (!doc_.Navigate(nullptr, &first, NavigateStep::Next))
            return;
        doc_.SetSelectedShot(first.get(), nullptr);
    }
    // Set after the selection, whose hint ends Replay all.
    setReplayAllRunning(true);
    if (doc_.GetReplayState() == CKavroDoc::ReplayPaused)
        doc_.ResumeReplay();
    else if (!doc_.StartReplay())
        setReplayAllRunning(false);
}

void ReplayController::replayStopped()
{
    if (replayAllRunning_)
        pauseBeforeNextShotTimer_->start(kavro::theAppOptions().ReplayAllPause * 1000);
}

void ReplayController::replayNextShot()
{
    if (!replayAllRunning_)
        return;
    ComPtr<IShotCollection> list;
    if (!(doc_.includeSightings() ? doc_.GetShots(&list) : doc_.GetMatchShots(&list)) || countOf(list.get()) < 2) {
        setReplayAllRunning(false);
        return;
    }
    ComPtr<IShot> selected, next;
    doc_.GetSelectedShot(&selected);
    if (!selected || !doc_.Navigate(selected.get(), &next, NavigateStep::Next))
        next = shotAt(list.get(), 1); // after the last shot comes the first again
    doc_.SetSelectedShot(next.get(), nullptr);
    setReplayAllRunning(true); // the selection hint switched it off
    if (!doc_.StartReplay())
        setReplayAllRunning(false);
}

void ReplayController::StartAutoReplay()
{
    if (!autoReplayPending_)
        return;
    const int seconds = kavro::theAppOptions().AutoReplaySec;
    if (seconds < 1) {
        autoReplayPending_ = false;
        doc_.StartReplay();
        return;
    }
    autoReplayDelayTimer_->start(seconds * 1000);
}

void ReplayController::autoReplayDue()
{
    if (!autoReplayPending_)
        return;
    autoReplayPending_ = false;
    doc_.StartReplay();
}
