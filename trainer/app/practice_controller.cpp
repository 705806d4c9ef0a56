#include "practice_controller.h"

#include "app_options.h"
#include "calibration_dialog.h"
#include "command_ids.h"
#include "device_event_sink.h"
#include "doc_helpers.h"
#include "live_server.h"
#include "main_frame.h"
#include "practice_rules.h"
#include "start_practice_dialog.h"

#include "com/classregistry.h"
#include "com/connection.h"
#include "thread/clock.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using kavro::live::Message;

namespace {

std::function<ComPtr<IKavroDevice>()>& deviceFactory()
{
    static std::function<ComPtr<IKavroDevice>()> f;
    return f;
}

// Records one heart beat on the aiming's attributes: the next sample index, its bounds.
void AppendHeartBeatSample(IAimingAttr* attr, DATE dateMin, DATE dateMax)
{
    if (!attr || dateMax < dateMin)
        return;
    Variant last;
    int32_t i = 0;
    if (SUCCEEDED(attr->get_Value(QStringLiteral("_pulse_li"), &last)) && !last.isEmpty()) {
        int32_t li = 0;
        if (FAILED(last.toInt32(&li)) || li == INT32_MAX)
            return;
        i = li + 1;
    } else {
        attr->put_Value(QStringLiteral("_pulse_fi"), Variant(int32_t(0)));
    }
    attr->put_Value(QStringLiteral("_pulse_min%1").arg(i), Variant::fromDate(dateMin));
    attr->put_Value(QStringLiteral("_pulse_max%1").arg(i), Variant::fromDate(dateMax));
    attr->put_Value(QStringLiteral("_pulse_li"), Variant(i));
}

// A trigger channel that moved by this much or less over a whole aiming carried nothing.
bool triggerCarriedNothing(IAimingTrace* trace, int32_t channel)
{
    int32_t first = 0, last = -1;
    trace->get_First(&first);
    trace->get_Last(&last);
    int32_t lo = INT32_MAX, hi = INT32_MIN;
    for (int32_t i = first; i <= last; ++i) {
        int32_t v = 0;
        trace->get_UserData(channel, i, &v);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    return last < first || int64_t(hi) - lo <= 5;
}

class FrameSequencerHost final : public kavro::trainer::SequencerHost {
public:
    FrameSequencerHost(CMainFrame& frame, PracticeController& practice) : frame_(frame), practice_(practice) { }

    bool postTick() override
    {
        // Runs on the ticker thread: only post.
        return QMetaObject::invokeMethod(
            &frame_, [p = &practice_] { p->sequencer().onTickMessage(); }, Qt::QueuedConnection);
    }
    void setRangeLight(enumSemaphoreMode mode) override
    {
        kavro::trainer::applyRangeLight(practice_.device().get(), mode);
    }
    void concludeCurrentAiming() override
    {
        if (ComPtr<IKavroDevice> d = practice_.device())
            d->ConcludeCurrentAiming(1);
    }
    void playSound(const QString& name) override { frame_.playSound(name); }
    void setStatusText(const QString& text) override { frame_.SetStatusText(text); }
    void continueAskedChanged(bool) override { frame_.commands().inputsChanged(CommandInput::Practice); }
    int shotCount(bool match) override
    {
        return match ? frame_.doc().MatchShotCount() : frame_.doc().SightingShotCount();
    }
    bool addMissedShot(bool match) override
    {
        ComPtr<IShot> shot;
        if (!frame_.doc().AddMissedShot(match, &shot))
            return false;
        frame_.doc().SetSelectedShot(shot.get(), nullptr);
        return true;
    }
    void runCalibration() override { practice_.OnCalibration(); }
    void switchToMatch() override { practice_.SwitchToMatch(); }
    void stopPractice() override { frame_.StopPractice(); }

private:
    CMainFrame& frame_;
    PracticeController& practice_;
};

} // namespace

void PracticeController::setDeviceFactory(std::function<ComPtr<IKavroDevice>()> factory)
{
    deviceFactory() = std::move(factory);
}

PracticeController::PracticeController(CMainFrame& frame)
    : frame_(frame), deviceSink_(makeDeviceEventSink(this)), resultShownDelayTimer_(new QTimer(&frame))
{
    resultShownDelayTimer_->setObjectName(QStringLiteral("resultShownTimer"));
    resultShownDelayTimer_->setSingleShot(true);
    QObject::connect(resultShownDelayTimer_, &QTimer::timeout, &frame, [this] { setResultShown(true); });
    sequencerHost_ = std::make_unique<FrameSequencerHost>(frame, *this);
    sequencer_ = std::make_unique<kavro::trainer::RangeSequencer>(*sequencerHost_, kavro::realClock());
    live_ = new kavro::live::LiveServer(&frame);
    QString livePath;
    if (FAILED(kavro::live::socketPath(&livePath)))
        qWarning("Live notifications are off: the per-user runtime folder is not private");
    else if (!live_->listen(livePath))
        qWarning("Live notifications are off: %s", qPrintable(live_->errorString()));
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
    frame_.commands().inputsChanged(CommandInput::Practice);
}

void PracticeController::setMatchStarted(bool started)
{
    if (matchStarted_ == started)
        return;
    matchStarted_ = started;
    frame_.commands().inputsChanged(CommandInput::Practice);
}

void PracticeController::shotAdded()
{
    resultShownDelayTimer_->start(1000);
}

bool PracticeController::IsDeviceConnected()
{
    VARIANT_BOOL c = VARIANT_FALSE;
    return device_ && SUCCEEDED(device_->get_Connected(&c)) && c == VARIANT_TRUE;
}

bool PracticeController::signalSeenLately() const
{
    return device_ && kavro::realClock().tickMs() - lastSignalTime_ < 1000;
}

bool PracticeController::timedPractice()
{
    if (!device_)
        return false;
    int32_t version = 0;
    device_->get_ModelVersion(&version);
    return kavro::trainer::wantsRangeProcedure(frame_.doc().GetTargetKind(), version);
}

void PracticeController::postLive(int message, int32_t wParam, uint32_t lParam)
{
    if (live_)
        live_->post(static_cast<Message>(message), wParam, lParam);
}

void PracticeController::AdviseDeviceSink()
{
    if (device_ && !sinkAdvised_)
        sinkAdvised_ = SUCCEEDED(adviseSink(device_.get(), _IKavroDeviceEvents::iid, deviceSink_.get(), &sinkCookie_));
}

void PracticeController::UnadviseDeviceSink()
{
    if (device_ && sinkAdvised_)
        unadviseSink(device_.get(), _IKavroDeviceEvents::iid, sinkCookie_);
    sinkAdvised_ = false;
}

bool PracticeController::NewPractice(const QString& hint1, const QString& hint2)
{
    if (device_)
        return false;
    CKavroDoc& doc = frame_.doc();
    frame_.replay().stopReplayAll();
    const bool hadDocument = doc.HasDocument();
    ComPtr<IKavroDevice> device;
    if (deviceFactory())
        device = deviceFactory()();
    else
        createInstance(kavrodev::CLSID_KavroDevice, &device);
    if (!device)
        return false;

    auto fail = [&device] {
        device->put_Connected(VARIANT_FALSE);
        return false;
    };
    kavro::practice::CStartPracticeDlg dialog(device.get(), hint1, hint2, &frame_);
    if (dialog.run() != QDialog::Accepted)
        return fail();
    VARIANT_BOOL connected = VARIANT_FALSE;
    if (FAILED(device->get_Connected(&connected)) || connected != VARIANT_TRUE || !doc.SaveModified())
        return fail();

    doc.Reset();
    subTarget_ = BiathlonTarget::None;
    ComPtr<IEventParams> event = dialog.chosenEvent();
    QString shortName;
    event->get_ShortName(&shortName);
    int fCoefficient = kavro::practice::presetFCoefficient(event.get());
    int position = dialog.initialPosition();
    if (shortName == QLatin1String("BTLN")) {
        // The dialog lists prone first, then standing.
        subTarget_ = BiathlonTarget::Kind(2 - position);
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

    device_ = device;
    if (!hadDocument)
        frame_.ShowDefaultView(false);
    frame_.panes().focusViewPane();
    matchStarted_ = false;
    matchShotsSinceSave_ = 0;
    currentAiming_ = nullptr;
    sequencer_->reset();
    frame_.UpdateToolbarButtons();
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    doc.UpdateAllViews(nullptr, KavroHint::PracticeStarted);
    if (subTarget_ != BiathlonTarget::None)
        doc.UpdateAllViews(nullptr, KavroHint::BiathlonSubTarget, KavroHint::SubTargetArgs{subTarget_});

    AdviseDeviceSink();
    lastSignalTime_ = kavro::realClock().tickMs();
    frame_.ShowView(Cmd::ViewTrace);

    int32_t version = 0;
    VARIANT_BOOL calibration = VARIANT_FALSE;
    device_->get_ModelVersion(&version);
    device_->get_CalibrationWanted(1, &calibration);
    const TargetKind::Kind kind = doc.GetTargetKind();
    if (version != 600) {
        if (kavro::trainer::wantsRangeProcedure(kind, version)) {
            sequencer_->start(kind);
            frame_.UpdateToolbarButtons();
            return true;
        }
        if (version < 500)
            return true;
    }
    if (calibration == VARIANT_TRUE)
        QMetaObject::invokeMethod(
            &frame_, [f = &frame_] { f->OnCommand(Cmd::AdjustSensor); }, Qt::QueuedConnection);
    return true;
}

void PracticeController::StopPractice()
{
    frame_.CommitPendingEdits();
    frame_.replay().stopReplayAll();
    frame_.replay().cancelAutoReplay();
    if (!device_)
        return;
    CKavroDoc& doc = frame_.doc();
    // The procedure switches its light off through the device, so it ends before the device goes.
    sequencer_->stop();
    UnadviseDeviceSink();
    device_->put_Connected(VARIANT_FALSE);
    device_ = nullptr;
    currentAiming_ = nullptr;
    frame_.sounds().forgetAnnouncement();

    frame_.UpdateToolbarButtons();
    doc.UpdateAllViews(nullptr, KavroHint::PracticeStopped);
    QString shortName, shooter;
    if (doc.GetEventShortName(&shortName) && !shortName.isEmpty() && doc.GetShooterName(&shooter) && !shooter.isEmpty())
        kavro::practice::SaveFCoefficient(shortName, shooter, doc.fCoefficient());
    // Only a practice without any shot goes; hidden shots are shots whatever the display shows.
    if (doc.HasDocument() && doc.ShotCountWithHidden() == 0) {
        doc.Reset();
        doc.UpdateAllViews(nullptr, KavroHint::Everything);
        frame_.ShowDefaultView(true);
    }
    postLive(int(Message::State), 5, 0);
}

bool PracticeController::OnCalibration()
{
    if (!device_)
        return true;
    UnadviseDeviceSink();
    ComPtr<IKavroDevice> device = device_;
    kavro::trainer::runCalibrationDialog(
        &frame_, device.get(),
        kavro::trainer::CalibrationHost{&kavro::realClock(), &lastSignalTime_,
                                        [f = &frame_](const QString& name) { f->playSound(name); }});
    AdviseDeviceSink();
    return true;
}

bool PracticeController::SwitchToMatch()
{
    if (matchStarted_)
        return true;
    setMatchStarted(true);
    CKavroDoc& doc = frame_.doc();
    if (doc.SightingShotCount() == 0 && kavro::theAppOptions().AdvancedMode)
        doc.SetIncludeSightings(false);
    doc.SetSelectedShot(nullptr, nullptr);
    doc.UpdateAllViews(&frame_, KavroHint::MatchStarted);
    frame_.UpdateToolbarButtons();
    return true;
}

void PracticeController::SelectSubTarget(int value, const QString& positionName)
{
    CKavroDoc& doc = frame_.doc();
    if (doc.GetTargetKind() == TargetKind::Biathlon) {
        subTarget_ = BiathlonTarget::Kind(value);
        if (device_)
            device_->put_SubTarget(1, subTarget_);
        if (!currentAiming_)
            doc.UpdateAllViews(nullptr, KavroHint::BiathlonSubTarget, KavroHint::SubTargetArgs{subTarget_});
        frame_.commands().inputsChanged(CommandInput::Practice);
        return;
    }
    if (!doc.document())
        return;
    Variant position;
    doc.document()->get_Value(QStringLiteral("_position"), &position);
    if (position.vt() == VT_BSTR && position.bstr() == positionName)
        return;
    if (doc.IsModified() && doc.MatchShotCountWithHidden() > 0 && !doc.Save())
        return;
    setMatchStarted(false);
    doc.SetPosition(positionName);
    doc.ClearFileName();
    doc.SetSelectedShot(nullptr, nullptr);
    doc.ClearAllShots();
    // The cleared practice has nothing to lose until its next shot.
    doc.ClearModified();
    matchShotsSinceSave_ = 0;
    frame_.UpdateTitle();
}

void PracticeController::OnResetTraceTarget()
{
    if (!resultShown_)
        return;
    setResultShown(false);
    if (device_)
        device_->ConcludeCurrentAiming(1);
}

void PracticeController::OnResetHardware()
{
    if (!device_)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    device_->put_Connected(VARIANT_FALSE);
    device_->put_Connected(VARIANT_TRUE);
    QApplication::restoreOverrideCursor();
}

void PracticeController::addShotByHand()
{
    if (device_)
        device_->AddShot(VARIANT_FALSE);
}

std::optional<KavroHint::ShiftArgs> PracticeController::correctShift(const KavroHint::ShiftArgs& shift)
{
    if (!device_)
        return std::nullopt;
    KavroHint::ShiftArgs totals;
    device_->get_CorrectionX(1, &totals.dx);
    device_->get_CorrectionY(1, &totals.dy);
    totals.dx += shift.dx;
    totals.dy += shift.dy;
    device_->put_CorrectionX(1, totals.dx);
    device_->put_CorrectionY(1, totals.dy);
    return totals;
}

void PracticeController::ApplyOptionsChange(uint32_t mask)
{
    if (!device_)
        return;
    const kavro::AppOptions& options = kavro::theAppOptions();
    if (mask & kavro::kChangeShotSeconds) {
        QString shortName;
        frame_.doc().GetEventShortName(&shortName);
        const kavro::practice::ShotSeconds s
            = kavro::practice::shotSecondsFor(shortName, options.SaveSecBeforeShot, options.SaveSecAfterShot);
        device_->put_MaxTimeBeforeShot(1, float(s.before));
        device_->put_MaxTimeAfterShot(1, float(s.after));
    }
    device_->put_PiezoRejectInterval(1, options.PiezoRejectInterval);
    if (mask & kavro::kChangeFiringPoint)
        device_->put_FiringPoint(options.FiringPoint);
}

void PracticeController::ShowPiezoRejectInterval()
{
    char text[64];
    std::snprintf(text, sizeof text, "PiezoRejectInterval = %3.1f", double(kavro::theAppOptions().PiezoRejectInterval));
    frame_.SetStatusText(QString::fromLatin1(text));
}

void PracticeController::ChangePiezoRejectInterval(float step)
{
    float& interval = kavro::theAppOptions().PiezoRejectInterval;
    // Tenths are kept exact so that repeated steps do not drift.
    interval = std::max(0.0f, std::round((interval + step) * 10.0f) / 10.0f);
    if (device_)
        device_->put_PiezoRejectInterval(1, interval);
    ShowPiezoRejectInterval();
}

// --- device events ---------------------------------------------------------------------------

void PracticeController::OnStartAiming(int32_t, IAiming* aiming)
{
    if (!sequencer_->acceptShots() || !aiming)
        return;
    frame_.replay().stopReplayAll();
    currentAiming_ = aiming;
    CKavroDoc& doc = frame_.doc();
    ComPtr<IAimingAttr> attr;
    if (SUCCEEDED(aiming->get_Attr(attr.put())) && attr) {
        attr->put_Match(toVariantBool(matchStarted_));
        attr->put_FCoefficient(doc.fCoefficient());
        const TargetKind::Kind kind = doc.GetTargetKind();
        if (kind == TargetKind::Biathlon) {
            kavro::trainer::applyRangeLight(device_.get(), SemaphoreOff);
            attr->put_SubTarget(subTarget_);
        } else if (kind == TargetKind::SP2) {
            attr->put_StartTime(sequencer_->seriesStartTime());
            attr->put_EnterTime(sequencer_->seriesStartTime());
        }
    }
    doc.SetSelectedShot(nullptr, nullptr);
    doc.UpdateAllViews(nullptr, KavroHint::AimingStarted, aiming);
    postLive(int(Message::State), 1, 0);
    postLive(int(Message::State), 2, 0);
}

// An event about another aiming than the current one concludes the current one and starts it.
// False while shots are not taken.
bool PracticeController::BeginAimingEvent(int32_t sub, IAiming* aiming)
{
    if (!sequencer_->acceptShots() || !aiming)
        return false;
    if (aiming != currentAiming_.get()) {
        if (ComPtr<IAiming> previous = currentAiming_)
            OnConcludeAiming(sub, previous.get());
        OnStartAiming(sub, aiming);
    }
    frame_.replay().stopReplayAll();
    return true;
}

void PracticeController::OnNewCoordinates(int32_t sub, IAiming* aiming, int32_t count)
{
    if (!BeginAimingEvent(sub, aiming))
        return;
    int32_t level = 0;
    if (device_ && SUCCEEDED(device_->get_SignalLevel(1, &level)) && level > 100)
        lastSignalTime_ = kavro::realClock().tickMs();
    int32_t shots = 0;
    aiming->get_ShotCount(&shots);
    ComPtr<IAimingAttr> attr;
    if (shots == 0 && SUCCEEDED(aiming->get_Attr(attr.put())) && attr)
        attr->put_Match(toVariantBool(matchStarted_));
    frame_.doc().UpdateAllViews(&frame_, KavroHint::TraceCoordinates, aiming);
    if (live_ && live_->hasTraceListeners())
        postTracePoints(aiming, count);
}

void PracticeController::postTracePoints(IAiming* aiming, int32_t count)
{
    ComPtr<IAimingTrace> trace;
    if (FAILED(aiming->get_Trace(trace.put())) || !trace)
        return;
    int32_t first = 0, last = -1, trigger = -1;
    trace->get_First(&first);
    trace->get_Last(&last);
    trace->GetUserData(QStringLiteral("_trigger"), &trigger);
    std::vector<QByteArray> lines;
    for (int i = kavro::practice::firstNewPoint(first, last, count); i <= last; ++i) {
        float x = 0, y = 0;
        trace->get_x(i, &x);
        trace->get_y(i, &y);
        lines.push_back(kavro::live::formatLine(Message::Point, 0, kavro::live::packPoint(x, y)));
        if (trigger > 0) {
            int32_t value = 0;
            trace->get_UserData(trigger, i, &value);
            lines.push_back(kavro::live::formatLine(Message::Trigger, value, 0));
        }
    }
    live_->postTrace(lines);
}

void PracticeController::OnShot(int32_t sub, IAiming* aiming, IShot* shot)
{
    if (!BeginAimingEvent(sub, aiming))
        return;
    if (!shot)
        return;
    CKavroDoc& doc = frame_.doc();
    const int pulse = doc.GetPulse();
    if (pulse != 0) {
        if (matchStarted_ && doc.GetPulseCount() == 0)
            doc.AppendPulseSample(kavro::realClock().localNow(), pulse);
        shot->put_Value(QStringLiteral("_pulse"), Variant::fromInteger(VT_I2, pulse));
    }
    doc.AddShot(shot, currentAiming_.get());
    if (matchStarted_)
        ++matchShotsSinceSave_;
    else
        doc.SetIncludeSightings(true);
    doc.SetSelectedShot(shot, nullptr);
    if (kavro::theAppOptions().AutoReplay)
        frame_.replay().armAutoReplay();
    float result = 0, x = 0, y = 0;
    shot->get_Result(&result);
    shot->get_BreachX(&x);
    shot->get_BreachY(&y);
    postLive(int(Message::Shot), kavro::live::shotResultParam(result), kavro::live::packPoint(x, y));
}

void PracticeController::OnConcludeAiming(int32_t sub, IAiming* aiming)
{
    if (!BeginAimingEvent(sub, aiming))
        return;
    ComPtr<IAimingTrace> trace;
    int32_t trigger = -1;
    if (SUCCEEDED(aiming->get_Trace(trace.put())) && trace
        && SUCCEEDED(trace->GetUserData(QStringLiteral("_trigger"), &trigger)) && trigger > 0
        && triggerCarriedNothing(trace.get(), trigger))
        trace->RemoveUserData(QStringLiteral("_trigger"));
    ComPtr<IAiming> current = currentAiming_;
    frame_.doc().UpdateAllViews(nullptr, KavroHint::AimingConcluded, current.get());
    postLive(int(Message::State), 3, 0);
}

void PracticeController::OnFinalConcludeAiming(int32_t)
{
    if (!sequencer_->acceptShots())
        return;
    currentAiming_ = nullptr;
    const kavro::AppOptions& options = kavro::theAppOptions();
    if (kavro::practice::autoSaveDue(options.EnableAutoSaveAfterShot, matchShotsSinceSave_,
                                     options.AutoSaveAfterShot)) {
        matchShotsSinceSave_ = 0;
        frame_.doc().Save();
    }
    frame_.doc().UpdateAllViews(nullptr, KavroHint::AimingFinal);
    postLive(int(Message::State), 4, 0);
}

void PracticeController::OnPulseChanged(int32_t, int32_t pulse)
{
    CKavroDoc& doc = frame_.doc();
    doc.SetPulse(pulse);
    ComPtr<IAimingCollection> match;
    ComPtr<IShotCollection> shots;
    if (matchStarted_ && doc.GetMatchAimings(&match) && SUCCEEDED(match->Shots(VARIANT_TRUE, shots.put()))
        && countOf(shots.get()) > 0)
        doc.AppendPulseSample(kavro::realClock().localNow(), pulse);
}

void PracticeController::OnHeartBeat(int32_t, DATE dateMin, DATE dateMax)
{
    ComPtr<IAimingAttr> attr;
    if (currentAiming_ && SUCCEEDED(currentAiming_->get_Attr(attr.put())))
        AppendHeartBeatSample(attr.get(), dateMin, dateMax);
    postLive(int(Message::HeartBeat), 0, 0);
    frame_.doc().UpdateAllViews(&frame_, KavroHint::HeartBeat, KavroHint::HeartBeatArgs{dateMin, dateMax});
}

void PracticeController::OnTrigger(int32_t, int32_t count)
{
    if (!device_ || count <= 0)
        return;
    std::vector<int32_t> values(static_cast<size_t>(count));
    for (int32_t i = 1; i <= count; ++i)
        device_->get_Trigger(1, i, &values[size_t(i - 1)]);
    frame_.doc().UpdateAllViews(&frame_, KavroHint::TriggerValues, KavroHint::TriggerArgs{values.data(), count});
}
