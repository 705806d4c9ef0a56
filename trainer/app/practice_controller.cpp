#include "practice_controller.h"

#include "app_options.h"
#include "calibration_dialog.h"
#include "command_ids.h"
#include "device_event_sink.h"
#include "frame_panes.h"
#include "frame_sounds.h"
#include "frame_window.h"
#include "kavro_doc.h"
#include "practice_rules.h"
#include "practice_sequencer_host.h"
#include "replay_controller.h"
#include "start_practice_dialog.h"
#include "target_kind.h"

#include "thread/clock.h"

#include <QTimer>
#include <QWidget>

PracticeController::PracticeController(Parts parts)
    : p_(std::move(parts)), autosave_(p_.doc), resultShownDelayTimer_(new QTimer(p_.window.GetWindow())),
      live_(p_.window.GetWindow())
{
    QWidget* window = p_.window.GetWindow();
    resultShownDelayTimer_->setObjectName(QStringLiteral("resultShownTimer"));
    resultShownDelayTimer_->setSingleShot(true);
    QObject::connect(resultShownDelayTimer_, &QTimer::timeout, window, [this] { setResultShown(true); });
    sequencerHost_ = std::make_unique<PracticeSequencerHost>(*this, p_.doc, session_, p_.sounds, p_.window, p_.changed);
    sequencer_ = std::make_unique<kavro::trainer::RangeSequencer>(*sequencerHost_, kavro::realClock());
    recorder_ = std::make_unique<PracticeRecorder>(
        PracticeRecorder::Parts{p_.doc, p_.view, session_, *sequencer_, live_, autosave_, p_.replay,
                                [this] { return position_->subTarget(); }, p_.changed});
    position_ = std::make_unique<PracticePosition>(p_.doc, session_, *recorder_, autosave_, p_.window, p_.changed);
    deviceOptions_ = std::make_unique<DeviceOptions>(p_.doc, session_, p_.window);
    deviceSink_ = makeDeviceEventSink(recorder_.get());
}

PracticeController::~PracticeController()
{
    StopPractice();
    sequencer_.reset();
    delete resultShownDelayTimer_;
}

void PracticeController::setResultShown(bool shown)
{
    if (resultShown_ == shown)
        return;
    resultShown_ = shown;
    p_.changed();
}

void PracticeController::shotAdded()
{
    resultShownDelayTimer_->start(1000);
}

bool PracticeController::timedPractice()
{
    return session_.timedPractice(p_.doc.GetTargetKind());
}

bool PracticeController::NewPractice(const QString& hint1, const QString& hint2)
{
    if (session_.hasDevice())
        return false;
    CKavroDoc& doc = p_.doc;
    p_.replay.stopReplayAll();
    const bool hadDocument = doc.HasDocument();
    ComPtr<IKavroDevice> device = DeviceSession::createDevice();
    if (!device)
        return false;

    auto fail = [&device] {
        device->put_Connected(VARIANT_FALSE);
        return false;
    };
    kavro::practice::CStartPracticeDlg dialog(device.get(), hint1, hint2, p_.window.GetWindow());
    if (dialog.run() != QDialog::Accepted)
        return fail();
    VARIANT_BOOL connected = VARIANT_FALSE;
    if (FAILED(device->get_Connected(&connected)) || connected != VARIANT_TRUE || !doc.SaveModified())
        return fail();

    doc.Reset();
    position_->setSubTarget(BiathlonTarget::None);
    ComPtr<IEventParams> event = dialog.chosenEvent();
    QString shortName;
    event->get_ShortName(&shortName);
    int fCoefficient = kavro::practice::presetFCoefficient(event.get());
    int position = dialog.initialPosition();
    if (targetKindOfShortName(shortName) == TargetKind::Biathlon) {
        // The dialog lists prone first, then standing.
        position_->setSubTarget(BiathlonTarget::Kind(2 - position));
        position = -1;
    }
    if (const int stored = kavro::practice::LoadFCoefficient(shortName, dialog.shooterName()))
        fCoefficient = stored;
    QString model, serial;
    device->get_ModelName(&model);
    device->get_SerialNumber(&serial);
    if (!doc.NewDocument(event.get(), dialog.shooterName(), position, kavro::practice::deviceText(model, serial),
                         fCoefficient)) {
        doc.UpdateAllViews(nullptr, KavroHint::Everything);
        return fail();
    }

    session_.begin(device, deviceSink_);
    if (!hadDocument)
        p_.panes.ShowDefaultView(false);
    p_.panes.focusViewPane();
    recorder_->reset();
    autosave_.reset();
    sequencer_->reset();
    p_.window.UpdateToolbarButtons();
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    doc.UpdateAllViews(nullptr, KavroHint::PracticeStarted);
    if (const BiathlonTarget::Kind subTarget = position_->subTarget(); subTarget != BiathlonTarget::None)
        doc.UpdateAllViews(nullptr, KavroHint::BiathlonSubTarget, KavroHint::SubTargetArgs{subTarget});

    session_.startEvents();
    p_.panes.ShowView(Cmd::ViewTrace);

    int32_t version = 0;
    VARIANT_BOOL calibration = VARIANT_FALSE;
    device->get_ModelVersion(&version);
    device->get_CalibrationWanted(1, &calibration);
    const TargetKind::Kind kind = doc.GetTargetKind();
    if (version != ModelVersion::ImageSensor) {
        if (kavro::trainer::wantsRangeProcedure(kind, version)) {
            sequencer_->start(kind);
            p_.window.UpdateToolbarButtons();
            return true;
        }
        if (version < ModelVersion::FirstUsb)
            return true;
    }
    if (calibration == VARIANT_TRUE)
        QMetaObject::invokeMethod(
            p_.window.GetWindow(), [w = &p_.window] { w->OnCommand(Cmd::AdjustSensor); }, Qt::QueuedConnection);
    return true;
}

void PracticeController::StopPractice()
{
    p_.panes.CommitPendingEdits();
    p_.replay.stopReplayAll();
    p_.replay.cancelAutoReplay();
    if (!session_.hasDevice())
        return;
    CKavroDoc& doc = p_.doc;
    // The procedure switches its light off through the device, so it ends before the device goes.
    sequencer_->stop();
    session_.end();
    recorder_->releaseCurrentAiming();
    p_.sounds.forgetAnnouncement();

    p_.window.UpdateToolbarButtons();
    doc.UpdateAllViews(nullptr, KavroHint::PracticeStopped);
    QString shortName, shooter;
    if (doc.GetEventShortName(&shortName) && !shortName.isEmpty() && doc.GetShooterName(&shooter) && !shooter.isEmpty())
        kavro::practice::SaveFCoefficient(shortName, shooter, doc.fCoefficient());
    // Only a practice without any shot goes; hidden shots are shots whatever the display shows.
    if (doc.HasDocument() && doc.ShotCountWithHidden() == 0) {
        doc.Reset();
        doc.UpdateAllViews(nullptr, KavroHint::Everything);
        p_.panes.ShowDefaultView(true);
    }
    live_.practiceStopped();
}

bool PracticeController::OnCalibration()
{
    const ComPtr<IKavroDevice> device = session_.device();
    if (!device)
        return true;
    session_.UnadviseDeviceSink();
    FrameSounds& sounds = p_.sounds;
    kavro::trainer::runCalibrationDialog(
        p_.window.GetWindow(), device.get(),
        kavro::trainer::CalibrationHost{&kavro::realClock(), session_.activityTick(),
                                        [&sounds](const QString& name) { sounds.play(name); }});
    session_.AdviseDeviceSink();
    return true;
}

bool PracticeController::SwitchToMatch()
{
    if (recorder_->matchStarted())
        return true;
    recorder_->setMatchStarted(true);
    CKavroDoc& doc = p_.doc;
    if (doc.SightingShotCount() == 0 && kavro::theAppOptions().AdvancedMode)
        doc.SetIncludeSightings(false);
    doc.SetSelectedShot(nullptr, nullptr);
    doc.UpdateAllViews(p_.view, KavroHint::MatchStarted);
    p_.window.UpdateToolbarButtons();
    return true;
}

void PracticeController::OnResetTraceTarget()
{
    if (!resultShown_)
        return;
    setResultShown(false);
    session_.concludeCurrentAiming();
}
