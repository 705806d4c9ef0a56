// The practice road of the main frame: starting and stopping a practice, the device's events into
// the document, the views, the sounds and the live notifications, and the commands that act on a
// running practice.
#include "main_frame.h"

#include "app_options.h"
#include "calibration_dialog.h"
#include "command_ids.h"
#include "doc_helpers.h"
#include "live_server.h"
#include "options_dialog.h"
#include "practice_rules.h"
#include "sequencer.h"
#include "shots_parameters_dialog.h"
#include "start_practice_dialog.h"
#include "ui_text.h"

#include "com/classregistry.h"
#include "com/connection.h"
#include "thread/clock.h"

#include <QLabel>
#include <QStatusBar>
#include <QStackedWidget>
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

} // namespace

namespace {

class FrameSequencerHost final : public kavro::trainer::SequencerHost {
public:
    explicit FrameSequencerHost(CMainFrame* frame) : frame_(frame) { }

    bool postTick() override
    {
        // Runs on the ticker thread: only post.
        return QMetaObject::invokeMethod(
            frame_, [f = frame_] { f->sequencer().onTickMessage(); }, Qt::QueuedConnection);
    }
    void setRangeLight(enumSemaphoreMode mode) override
    {
        kavro::trainer::applyRangeLight(frame_->GetDevice().get(), mode);
    }
    void concludeCurrentAiming() override
    {
        if (ComPtr<IKavroDevice> d = frame_->GetDevice())
            d->ConcludeCurrentAiming(1);
    }
    void playSound(const QString& name) override { frame_->playSound(name); }
    void setStatusText(const QString& text) override { frame_->SetStatusText(text); }
    void continueAskedChanged(bool) override { frame_->UpdateCommandUI(); }
    int shotCount(bool match) override
    {
        return match ? frame_->doc().MatchShotCount() : frame_->doc().SightingShotCount();
    }
    bool addMissedShot(bool match) override
    {
        ComPtr<IShot> shot;
        if (!frame_->doc().AddMissedShot(match, &shot))
            return false;
        frame_->doc().SetSelectedShot(shot.get(), nullptr);
        return true;
    }
    void runCalibration() override { frame_->OnCalibration(); }
    void switchToMatch() override { frame_->SwitchToMatch(); }
    void stopPractice() override { frame_->StopPractice(); }

private:
    CMainFrame* frame_;
};

} // namespace

std::unique_ptr<kavro::trainer::SequencerHost> makeSequencerHost(CMainFrame* frame)
{
    return std::make_unique<FrameSequencerHost>(frame);
}

void CMainFrame::SetStatusText(const QString& text)
{
    m_paneText = text;
    showPaneText();
}

void CMainFrame::setDeviceFactory(std::function<ComPtr<IKavroDevice>()> factory)
{
    deviceFactory() = std::move(factory);
}

namespace {
kavro::SoundManager::OutputFactory& soundOutputFactory()
{
    static kavro::SoundManager::OutputFactory factory;
    return factory;
}
} // namespace

void CMainFrame::setSoundOutputFactory(kavro::SoundManager::OutputFactory factory)
{
    soundOutputFactory() = std::move(factory);
}

void CMainFrame::createSounds()
{
    m_sounds = std::make_unique<kavro::SoundManager>();
    if (FAILED(m_sounds->Initialize(soundOutputFactory())) || FAILED(m_sounds->SetPrimaryBufferFormat(2, 22050, 16))) {
        m_sounds.reset();
        return;
    }
    kavro::SetSoundManager(m_sounds.get());
    // Without the generator the trainer still speaks; only the blind shooters' tone is missing.
    auto tone = std::make_unique<kavro::BlindTone>();
    if (SUCCEEDED(tone->Create(*m_sounds))) {
        m_tone = std::move(tone);
        kavro::SetBlindTone(m_tone.get());
    }
}

void CMainFrame::releaseSounds()
{
    if (m_tone && kavro::GetBlindTone() == m_tone.get())
        kavro::SetBlindTone(nullptr);
    if (m_sounds && kavro::GetSoundManager() == m_sounds.get())
        kavro::SetSoundManager(nullptr);
    m_tone.reset(); // its stream plays through the manager's mixer
    m_sounds.reset();
}

void CMainFrame::playSound(const QString& name)
{
    kavro::PlayVariantSound(name);
}

bool CMainFrame::timedPractice()
{
    if (!m_device)
        return false;
    int32_t version = 0;
    m_device->get_ModelVersion(&version);
    return kavro::trainer::wantsRangeProcedure(m_doc.GetTargetKind(), version);
}

void CMainFrame::postLive(int message, int32_t wParam, uint32_t lParam)
{
    if (m_live)
        m_live->post(static_cast<Message>(message), wParam, lParam);
}

void CMainFrame::AdviseDeviceSink()
{
    if (m_device && !m_sinkAdvised)
        m_sinkAdvised
            = SUCCEEDED(adviseSink(m_device.get(), _IKavroDeviceEvents::iid, m_deviceSink.get(), &m_sinkCookie));
}

void CMainFrame::UnadviseDeviceSink()
{
    if (m_device && m_sinkAdvised)
        unadviseSink(m_device.get(), _IKavroDeviceEvents::iid, m_sinkCookie);
    m_sinkAdvised = false;
}

bool CMainFrame::NewPractice(const QString& hint1, const QString& hint2)
{
    if (m_device)
        return false;
    m_replayAllRunning = false;
    const bool hadDocument = m_doc.HasDocument();
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
    kavro::practice::CStartPracticeDlg dialog(device.get(), hint1, hint2, this);
    if (dialog.run() != QDialog::Accepted)
        return fail();
    VARIANT_BOOL connected = VARIANT_FALSE;
    if (FAILED(device->get_Connected(&connected)) || connected != VARIANT_TRUE || !m_doc.SaveModified())
        return fail();

    m_doc.Reset();
    m_subTarget = -1;
    ComPtr<IEventParams> event = dialog.chosenEvent();
    QString shortName;
    event->get_ShortName(&shortName);
    int fCoefficient = kavro::practice::presetFCoefficient(event.get());
    int position = dialog.initialPosition();
    if (shortName == QLatin1String("BTLN")) {
        m_subTarget = 2 - position;
        position = -1;
    }
    if (const int stored = kavro::practice::LoadFCoefficient(shortName, dialog.shooterName()))
        fCoefficient = stored;
    QString model, serial;
    device->get_ModelName(&model);
    device->get_SerialNumber(&serial);
    if (!m_doc.NewDocument(event.get(), dialog.shooterName(), position, kavro::practice::deviceText(model, serial),
                           fCoefficient)) {
        m_doc.UpdateAllViews(nullptr, KavroHint::Everything);
        return fail();
    }

    m_device = device;
    if (!hadDocument)
        ShowDefaultView(false);
    if (shotListPaneShown() && m_viewStack->currentWidget())
        m_viewStack->currentWidget()->setFocus();
    m_matchStarted = false;
    m_matchShotsSinceSave = 0;
    m_currentAiming = nullptr;
    m_sequencer->reset();
    UpdateToolbarButtons();
    m_doc.UpdateAllViews(nullptr, KavroHint::Everything);
    m_doc.UpdateAllViews(nullptr, KavroHint::PracticeStarted);
    if (m_subTarget != -1)
        m_doc.UpdateAllViews(nullptr, KavroHint::BiathlonSubTarget, KavroHint::SubTargetArgs{m_subTarget});

    AdviseDeviceSink();
    m_lastSignalTime = kavro::realClock().tickMs();
    ShowView(Cmd::ViewTrace);

    int32_t version = 0;
    VARIANT_BOOL calibration = VARIANT_FALSE;
    m_device->get_ModelVersion(&version);
    m_device->get_CalibrationWanted(1, &calibration);
    const TargetKind::Kind kind = m_doc.GetTargetKind();
    if (version != 600) {
        if (kavro::trainer::wantsRangeProcedure(kind, version)) {
            m_sequencer->start(kind);
            UpdateToolbarButtons();
            return true;
        }
        if (version < 500)
            return true;
    }
    if (calibration == VARIANT_TRUE)
        QMetaObject::invokeMethod(
            this, [this] { OnCommand(Cmd::AdjustSensor); }, Qt::QueuedConnection);
    return true;
}

void CMainFrame::StopPractice()
{
    CommitPendingEdits();
    m_replayAllRunning = false;
    m_autoReplayPending = false;
    if (!m_device)
        return;
    // The procedure switches its light off through the device, so it ends before the device goes.
    m_sequencer->stop();
    UnadviseDeviceSink();
    m_device->put_Connected(VARIANT_FALSE);
    m_device = nullptr;
    m_currentAiming = nullptr;
    m_pendingAnnounceShot = nullptr;

    UpdateToolbarButtons();
    m_doc.UpdateAllViews(nullptr, KavroHint::PracticeStopped);
    UpdateCommandUI();
    QString shortName, shooter;
    if (m_doc.GetEventShortName(&shortName) && !shortName.isEmpty() && m_doc.GetShooterName(&shooter)
        && !shooter.isEmpty())
        kavro::practice::SaveFCoefficient(shortName, shooter, m_doc.fCoefficient());
    // Only a practice without any shot goes; hidden shots are shots whatever the display shows.
    if (m_doc.HasDocument() && m_doc.ShotCountWithHidden() == 0) {
        m_doc.Reset();
        m_doc.UpdateAllViews(nullptr, KavroHint::Everything);
        ShowDefaultView(true);
    }
    postLive(int(Message::State), 5, 0);
}

bool CMainFrame::OnCalibration()
{
    if (!m_device)
        return true;
    UnadviseDeviceSink();
    ComPtr<IKavroDevice> device = m_device;
    kavro::trainer::runCalibrationDialog(
        this, device.get(),
        kavro::trainer::CalibrationHost{&kavro::realClock(), &m_lastSignalTime,
                                        [this](const QString& name) { playSound(name); }});
    AdviseDeviceSink();
    return true;
}

bool CMainFrame::SwitchToMatch()
{
    if (m_matchStarted)
        return true;
    m_matchStarted = true;
    if (m_doc.SightingShotCount() == 0 && kavro::theAppOptions().AdvancedMode)
        m_doc.SetIncludeSightings(false);
    m_doc.SetSelectedShot(nullptr, nullptr);
    m_doc.UpdateAllViews(this, KavroHint::MatchStarted);
    UpdateToolbarButtons();
    return true;
}

void CMainFrame::SelectSubTarget(int value, const QString& positionName)
{
    if (m_doc.GetTargetKind() == TargetKind::Biathlon) {
        m_subTarget = value;
        if (m_device)
            m_device->put_SubTarget(1, value);
        if (!m_currentAiming)
            m_doc.UpdateAllViews(nullptr, KavroHint::BiathlonSubTarget, KavroHint::SubTargetArgs{m_subTarget});
        return;
    }
    if (!m_doc.document())
        return;
    Variant position;
    m_doc.document()->get_Value(QStringLiteral("_position"), &position);
    if (position.vt() == VT_BSTR && position.bstr() == positionName)
        return;
    if (m_doc.IsModified() && m_doc.MatchShotCountWithHidden() > 0 && !m_doc.Save())
        return;
    m_matchStarted = false;
    m_doc.SetPosition(positionName);
    m_doc.ClearFileName();
    m_doc.SetSelectedShot(nullptr, nullptr);
    m_doc.ClearAllShots();
    // The cleared practice has nothing to lose until its next shot.
    m_doc.ClearModified();
    m_matchShotsSinceSave = 0;
    UpdateCommandUI();
    UpdateTitle();
}

// --- device events ---------------------------------------------------------------------------

void CMainFrame::OnDeviceStartAiming(int32_t, IAiming* aiming)
{
    if (!m_sequencer->acceptShots() || !aiming)
        return;
    m_replayAllRunning = false;
    m_currentAiming = aiming;
    ComPtr<IAimingAttr> attr;
    if (SUCCEEDED(aiming->get_Attr(attr.put())) && attr) {
        attr->put_Match(toVariantBool(m_matchStarted));
        attr->put_FCoefficient(m_doc.fCoefficient());
        const TargetKind::Kind kind = m_doc.GetTargetKind();
        if (kind == TargetKind::Biathlon) {
            kavro::trainer::applyRangeLight(m_device.get(), SemaphoreOff);
            attr->put_SubTarget(m_subTarget);
        } else if (kind == TargetKind::SP2) {
            attr->put_StartTime(m_sequencer->seriesStartTime());
            attr->put_EnterTime(m_sequencer->seriesStartTime());
        }
    }
    m_doc.SetSelectedShot(nullptr, nullptr);
    m_doc.UpdateAllViews(nullptr, KavroHint::AimingStarted, aiming);
    postLive(int(Message::State), 1, 0);
    postLive(int(Message::State), 2, 0);
}

// An event about another aiming than the current one concludes the current one and starts it.
// False while shots are not taken.
bool CMainFrame::BeginAimingEvent(int32_t sub, IAiming* aiming)
{
    if (!m_sequencer->acceptShots() || !aiming)
        return false;
    if (aiming != m_currentAiming.get()) {
        if (ComPtr<IAiming> previous = m_currentAiming)
            OnDeviceConcludeAiming(sub, previous.get());
        OnDeviceStartAiming(sub, aiming);
    }
    m_replayAllRunning = false;
    return true;
}

void CMainFrame::OnDeviceNewCoordinates(int32_t sub, IAiming* aiming, int32_t count)
{
    if (!BeginAimingEvent(sub, aiming))
        return;
    int32_t level = 0;
    if (m_device && SUCCEEDED(m_device->get_SignalLevel(1, &level)) && level > 100)
        m_lastSignalTime = kavro::realClock().tickMs();
    int32_t shots = 0;
    aiming->get_ShotCount(&shots);
    ComPtr<IAimingAttr> attr;
    if (shots == 0 && SUCCEEDED(aiming->get_Attr(attr.put())) && attr)
        attr->put_Match(toVariantBool(m_matchStarted));
    m_doc.UpdateAllViews(this, KavroHint::TraceCoordinates, aiming);

    if (!m_live || !m_live->hasTraceListeners())
        return;
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
    m_live->postTrace(lines);
}

void CMainFrame::OnDeviceShot(int32_t sub, IAiming* aiming, IShot* shot)
{
    if (!BeginAimingEvent(sub, aiming))
        return;
    if (!shot)
        return;
    const int pulse = m_doc.GetPulse();
    if (pulse != 0) {
        if (m_matchStarted && m_doc.GetPulseCount() == 0)
            m_doc.AppendPulseSample(kavro::realClock().localNow(), pulse);
        shot->put_Value(QStringLiteral("_pulse"), Variant::fromInteger(VT_I2, pulse));
    }
    m_doc.AddShot(shot, m_currentAiming.get());
    if (m_matchStarted)
        ++m_matchShotsSinceSave;
    else
        m_doc.SetIncludeSightings(true);
    m_doc.SetSelectedShot(shot, nullptr);
    if (kavro::theAppOptions().AutoReplay)
        m_autoReplayPending = true;
    float result = 0, x = 0, y = 0;
    shot->get_Result(&result);
    shot->get_BreachX(&x);
    shot->get_BreachY(&y);
    postLive(int(Message::Shot), kavro::live::shotResultParam(result), kavro::live::packPoint(x, y));
}

void CMainFrame::OnDeviceConcludeAiming(int32_t sub, IAiming* aiming)
{
    if (!BeginAimingEvent(sub, aiming))
        return;
    ComPtr<IAimingTrace> trace;
    int32_t trigger = -1;
    if (SUCCEEDED(aiming->get_Trace(trace.put())) && trace
        && SUCCEEDED(trace->GetUserData(QStringLiteral("_trigger"), &trigger)) && trigger > 0) {
        int32_t first = 0, last = -1;
        trace->get_First(&first);
        trace->get_Last(&last);
        int32_t lo = INT32_MAX, hi = INT32_MIN;
        for (int32_t i = first; i <= last; ++i) {
            int32_t v = 0;
            trace->get_UserData(trigger, i, &v);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        if (last < first || int64_t(hi) - lo <= 5)
            trace->RemoveUserData(QStringLiteral("_trigger"));
    }
    ComPtr<IAiming> current = m_currentAiming;
    m_doc.UpdateAllViews(nullptr, KavroHint::AimingConcluded, current.get());
    postLive(int(Message::State), 3, 0);
}

void CMainFrame::OnDeviceFinalConcludeAiming(int32_t)
{
    if (!m_sequencer->acceptShots())
        return;
    m_currentAiming = nullptr;
    const kavro::AppOptions& options = kavro::theAppOptions();
    if (kavro::practice::autoSaveDue(options.EnableAutoSaveAfterShot, m_matchShotsSinceSave,
                                     options.AutoSaveAfterShot)) {
        m_matchShotsSinceSave = 0;
        m_doc.Save();
    }
    m_doc.UpdateAllViews(nullptr, KavroHint::AimingFinal);
    postLive(int(Message::State), 4, 0);
}

void CMainFrame::OnDevicePulseChanged(int32_t, int32_t pulse)
{
    m_doc.SetPulse(pulse);
    ComPtr<IAimingCollection> match;
    ComPtr<IShotCollection> shots;
    if (m_matchStarted && m_doc.GetMatchAimings(&match) && SUCCEEDED(match->Shots(VARIANT_TRUE, shots.put()))
        && countOf(shots.get()) > 0)
        m_doc.AppendPulseSample(kavro::realClock().localNow(), pulse);
}

void CMainFrame::OnDeviceHeartBeat(int32_t, DATE dateMin, DATE dateMax)
{
    ComPtr<IAimingAttr> attr;
    if (m_currentAiming && SUCCEEDED(m_currentAiming->get_Attr(attr.put())))
        AppendHeartBeatSample(attr.get(), dateMin, dateMax);
    postLive(int(Message::HeartBeat), 0, 0);
    m_doc.UpdateAllViews(this, KavroHint::HeartBeat, KavroHint::HeartBeatArgs{dateMin, dateMax});
}

void CMainFrame::OnDeviceTrigger(int32_t, int32_t count)
{
    if (!m_device || count <= 0)
        return;
    std::vector<int32_t> values(static_cast<size_t>(count));
    for (int32_t i = 1; i <= count; ++i)
        m_device->get_Trigger(1, i, &values[size_t(i - 1)]);
    m_doc.UpdateAllViews(this, KavroHint::TriggerValues, KavroHint::TriggerArgs{values.data(), count});
}

void CMainFrame::OnDeviceDisconnected()
{
}
void CMainFrame::OnDeviceReconnected()
{
}
void CMainFrame::OnDeviceTimeout(int32_t)
{
}

// --- automatic replay ------------------------------------------------------------------------

void CMainFrame::StartAutoReplay()
{
    if (!m_autoReplayPending)
        return;
    const int seconds = kavro::theAppOptions().AutoReplaySec;
    if (seconds < 1) {
        m_autoReplayPending = false;
        m_doc.StartReplay();
        return;
    }
    m_timer4->start(seconds * 1000);
}

void CMainFrame::OnAutoReplayTimer()
{
    if (!m_autoReplayPending)
        return;
    m_autoReplayPending = false;
    m_doc.StartReplay();
}

// --- commands on a practice ----------------------------------------------------------------------

void CMainFrame::OnOptions()
{
    const std::optional<uint32_t> mask = kavro::trainer::runOptionsDialog(this, kavro::theAppOptions());
    if (mask)
        ApplyOptionsChange(*mask);
}

void CMainFrame::ApplyOptionsChange(uint32_t mask)
{
    const kavro::AppOptions& options = kavro::theAppOptions();
    if ((mask & kavro::kChangeShotSeconds) && m_device) {
        QString shortName;
        m_doc.GetEventShortName(&shortName);
        const kavro::practice::ShotSeconds s
            = kavro::practice::shotSecondsFor(shortName, options.SaveSecBeforeShot, options.SaveSecAfterShot);
        m_device->put_MaxTimeBeforeShot(1, float(s.before));
        m_device->put_MaxTimeAfterShot(1, float(s.after));
    }
    // The views read these options only when they are made or told to reload them.
    auto reload = [](QWidget* view) {
        if (auto* extras = dynamic_cast<CFrameViewExtras*>(view))
            extras->ReloadSettings();
    };
    if (mask & (kavro::kChangeReplaySpeed | kavro::kChangeTraceColors))
        reload(viewForCommand(Cmd::ViewTrace));
    if (mask & (kavro::kChangeShotList | kavro::kChangeTraceColors))
        reload(m_seriesTable);
    if (mask & kavro::kChangeTraceColors)
        reload(viewForCommand(Cmd::ViewInfo));
    if (mask & (kavro::kChangePrint | kavro::kChangeShotList))
        refreshPreview();
    if (mask & (kavro::kChangeTraceColors | kavro::kChangeTraceDisplay | kavro::kChangeReplaySpeed))
        m_doc.UpdateAllViews(nullptr, KavroHint::ShotParameters);
    if (m_tone)
        m_tone->ApplyOptionsChange(mask);
    if (m_device) {
        m_device->put_PiezoRejectInterval(1, options.PiezoRejectInterval);
        if (mask & kavro::kChangeFiringPoint)
            m_device->put_FiringPoint(options.FiringPoint);
    }
    ShowPiezoRejectInterval();
    kavro::SaveOptions();
}

void CMainFrame::ShowPiezoRejectInterval()
{
    char text[64];
    std::snprintf(text, sizeof text, "PiezoRejectInterval = %3.1f", double(kavro::theAppOptions().PiezoRejectInterval));
    SetStatusText(QString::fromLatin1(text));
}

void CMainFrame::ChangePiezoRejectInterval(float step)
{
    float& interval = kavro::theAppOptions().PiezoRejectInterval;
    // Tenths are kept exact so that repeated steps do not drift.
    interval = std::max(0.0f, std::round((interval + step) * 10.0f) / 10.0f);
    if (m_device)
        m_device->put_PiezoRejectInterval(1, interval);
    ShowPiezoRejectInterval();
}

void CMainFrame::OnShotsParameters()
{
    kavro::trainer::ShotsParameters values;
    values.fCoefficient = m_doc.fCoefficient();
    values.controlInterval = m_doc.traceSeconds();
    values.controlInterval2 = m_doc.controlInterval2();
    values.shotMoment = m_doc.shotTimeOffset();
    values.dispersion = m_doc.dispersion();
    values.coincideGrouping = m_doc.centreGroups() ? 1 : 0;
    if (!kavro::trainer::runShotsParametersDialog(this, m_doc.GetTargetKind(), &values))
        return;
    m_doc.SetShotsParameters(values.fCoefficient, values.controlInterval, values.controlInterval2, values.shotMoment,
                             values.dispersion, values.coincideGrouping != 0);
}
