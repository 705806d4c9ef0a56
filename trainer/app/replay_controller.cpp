#include "replay_controller.h"

#include "app_options.h"
#include "doc_helpers.h"
#include "main_frame.h"

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

ReplayController::ReplayController(CMainFrame& frame)
    : frame_(frame), pauseBeforeNextShotTimer_(oneShotTimer(&frame, "replayAllTimer")),
      autoReplayDelayTimer_(oneShotTimer(&frame, "autoReplayTimer"))
{
    QObject::connect(pauseBeforeNextShotTimer_, &QTimer::timeout, &frame, [this] { replayNextShot(); });
    QObject::connect(autoReplayDelayTimer_, &QTimer::timeout, &frame, [this] { autoReplayDue(); });
}

void ReplayController::setReplayAllRunning(bool running)
{
    if (replayAllRunning_ == running)
        return;
    replayAllRunning_ = running;
    frame_.commands().inputsChanged(CommandInput::Replay);
}

void ReplayController::OnReplay()
{
    CKavroDoc& doc = frame_.doc();
    if (doc.GetReplayState() != CKavroDoc::ReplayStopped)
        doc.StopReplay();
    else
        doc.StartReplay();
}

void ReplayController::ReplayAll()
{
    CKavroDoc& doc = frame_.doc();
    if (replayAllRunning_) {
        setReplayAllRunning(false);
        pauseBeforeNextShotTimer_->stop();
        doc.StopReplay();
        return;
    }
    ComPtr<IShot> selected;
    if (!doc.GetSelectedShot(&selected)) {
        ComPtr<IShot> first;
        if (!doc.Navigate(nullptr, &first, NavigateStep::Next))
            return;
        doc.SetSelectedShot(first.get(), nullptr);
    }
    // Set after the selection, whose hint ends Replay all.
    setReplayAllRunning(true);
    if (doc.GetReplayState() == CKavroDoc::ReplayPaused)
        doc.ResumeReplay();
    else if (!doc.StartReplay())
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
    CKavroDoc& doc = frame_.doc();
    ComPtr<IShotCollection> list;
    if (!(doc.includeSightings() ? doc.GetShots(&list) : doc.GetMatchShots(&list)) || countOf(list.get()) < 2) {
        setReplayAllRunning(false);
        return;
    }
    ComPtr<IShot> selected, next;
    doc.GetSelectedShot(&selected);
    if (!selected || !doc.Navigate(selected.get(), &next, NavigateStep::Next))
        next = shotAt(list.get(), 1); // after the last shot comes the first again
    doc.SetSelectedShot(next.get(), nullptr);
    setReplayAllRunning(true); // the selection hint switched it off
    if (!doc.StartReplay())
        setReplayAllRunning(false);
}

void ReplayController::StartAutoReplay()
{
    if (!autoReplayPending_)
        return;
    const int seconds = kavro::theAppOptions().AutoReplaySec;
    if (seconds < 1) {
        autoReplayPending_ = false;
        frame_.doc().StartReplay();
        return;
    }
    autoReplayDelayTimer_->start(seconds * 1000);
}

void ReplayController::autoReplayDue()
{
    if (!autoReplayPending_)
        return;
    autoReplayPending_ = false;
    frame_.doc().StartReplay();
}
