#include "trace_view.h"

#include "app_options.h"
#include "doc_helpers.h"
#include "main_frame_base.h"
#include "trace_look.h"
#include "trace_replay.h"
#include "view_registry.h"

#include <QKeyEvent>
#include <QSplitter>

using namespace kavro;
using namespace kavro::trace;

namespace {

constexpr int kCounterMs = 100;
constexpr int kHeartMs = 10;

} // namespace

// ----- trace window

CTraceWindow::CTraceWindow(QWidget* parent) : QWidget(parent)
{
}

void CTraceWindow::resizeEvent(QResizeEvent*)
{
    if (QWidget* w = m_host.widget())
        w->setGeometry(rect());
}

// ----- view

void CTraceView::setToneGenerator(BlindToneGenerator* generator)
{
    setBlindTone(generator);
}

CTraceView::CTraceView(CKavroDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_clock(&realClock()), m_zoom([this] { OnZoomTimer(); })
{
    setFocusPolicy(Qt::StrongFocus);
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setChildrenCollapsible(true);
    m_traceWindow = new CTraceWindow(m_splitter);
    m_pulse = new CPulseWindow(m_splitter);
    m_splitter->addWidget(m_traceWindow);
    m_splitter->addWidget(m_pulse);
    m_splitter->setStretchFactor(0, 1);
    m_pulse->hide();

    TargetEventHandlers h;
    h.zoomChanged = [this] { OnZoomChanged(); };
    h.rightClick = [this](float, float) { OnRightClick(); };
    h.startDrag = [this](IAiming*, IShot*, float x, float y) { OnStartDrag(x, y); };
    h.endDrag = [this](IAiming*, IShot*, float x, float y) { OnEndDrag(x, y); };
    h.replayPositionChanged = [this] { OnReplayPositionChanged(); };
    h.endReplay = [this] { OnEndReplay(); };
    if (m_traceWindow->host().create(m_traceWindow, h)) {
        ITarget* t = target();
        t->put_DisplayTrace(VARIANT_TRUE);
        t->put_ReplaySpeed(theAppOptions().ReplaySpeed);
        t->put_DisplayReplayMark(VARIANT_FALSE);
        m_traceWindow->host().widget()->installEventFilter(this);
        m_traceWindow->host().widget()->show();
    }

    m_replay = new CReplayControlWindow(this);
    m_replay->onScroll = [this](ScrollCode code, int thumb) { OnReplayScroll(code, thumb); };

    m_counterTimer.setInterval(kCounterMs);
    connect(&m_counterTimer, &QTimer::timeout, this, [this] { UpdateTimeCounter(); });
    m_heartTimer.setInterval(kHeartMs);
    connect(&m_heartTimer, &QTimer::timeout, this, [this] { OnHeartTimer(); });

    m_maxZoom = largestZoomLevel(theAppOptions().AdvancedMode);
    doc.AddView(this);
}

CTraceView::~CTraceView()
{
    if (document())
        document()->RemoveView(this);
}

void CTraceView::selection(ComPtr<IAiming>* aiming, ComPtr<IShot>* shot)
{
    m_doc.GetSelectedAiming(aiming);
    m_doc.GetSelectedShot(shot);
}

bool CTraceView::deviceConnected() const
{
    CMainFrameBase* f = CMainFrameBase::of(m_doc);
    return f && f->IsDeviceConnected();
}

bool CTraceView::matchStarted() const
{
    CMainFrameBase* f = CMainFrameBase::of(m_doc);
    return f && f->IsMatchStarted();
}

void CTraceView::ApplyTraceOptions(bool refresh)
{
    ITarget* t = target();
    if (!t || !m_doc.HasDocument())
        return;
    applyTraceLook(t, theAppOptions(), m_doc.traceSeconds());
    if (refresh)
        t->Refresh();
}

void CTraceView::ReloadSettings()
{
    if (ITarget* t = target())
        t->put_ReplaySpeed(theAppOptions().ReplaySpeed);
    ApplyTraceOptions(true);
}

void CTraceView::ShowShot(IAiming* aiming, IShot* shot, bool zoom)
{
    ITarget* t = target();
    if (!t)
        return;
    VARIANT_BOOL match = toVariantBool(!deviceConnected() || matchStarted());
    if (aiming) {
        ComPtr<IAimingAttr> attr;
        if (SUCCEEDED(aiming->get_Attr(attr.put())) && attr) {
            attr->get_Match(&match);
            int32_t sub = 1;
            if (SUCCEEDED(attr->get_SubTarget(&sub)))
                t->put_SubTarget(sub);
        }
    }
    bool dragable = false;
    QString label;
    int pulse = 0;
    if (shot) {
        t->ClearElements();
        float result = 0;
        shot->get_Result(&result);
        if (m_currentShot && m_currentShot.get() == shot) {
            dragable = true;
            // The control takes a correction only while its breaches may be dragged.
            t->put_Dragable(VARIANT_TRUE);
            t->put_Selectable(VARIANT_TRUE);
            if (m_dx != 0 || m_dy != 0)
                t->SetShotCorrection(shot, m_dx, m_dy);
        }
        const AppOptions& o = theAppOptions();
        const bool showResult = o.TargetResult && m_doc.GetTargetKind() != TargetKind::Biathlon;
        label = markShot(t, shot, showResult ? std::optional<float>(result) : std::nullopt, m_doc.traceSeconds(), o);
        if (zoom) {
            const float level = zoomLevelForResult(result, m_maxZoom);
            float current = 0;
            t->get_Zoom(&current);
            if (level != current)
                SetZoomSmooth(level);
        }
        Variant v;
        if (SUCCEEDED(shot->get_Value(QStringLiteral("_pulse"), &v)) && v.vt() == VT_I2)
            pulse = int(v.integer());
    }
    t->put_Match(match);
    t->put_Label(1, label);
    t->put_Dragable(toVariantBool(dragable));
    t->put_Selectable(toVariantBool(dragable));
    t->put_SelectedShot(shot);
    m_pulse->SetHeartImage(1);
    m_pulse->SetTriggerValue(0);
    m_pulse->SetPulse(pulse);
}

void CTraceView::SetAiming(IAiming* aiming, IShot* shot, bool zoom)
{
    ITarget* t = target();
    if (!t)
        return;
    t->put_EnableUpdate(VARIANT_FALSE);
    t->Clear();
    m_replay->ClearShot();
    m_replayShot = nullptr;
    ComPtr<IShot> s = shot;
    if (aiming) {
        t->Add(aiming);
        if (!s)
            m_doc.GetSelectedShot(&s);
    }
    ShowShot(aiming, s.get(), zoom);
    UpdateTimeCounter();
    t->put_EnableUpdate(VARIANT_TRUE);
}

void CTraceView::StopZoomAnimation()
{
    m_zoom.stop();
}

void CTraceView::SetZoomSmooth(float level)
{
    ITarget* t = target();
    if (!t)
        return;
    ComPtr<IEventParams> event;
    Variant disable;
    const bool smooth = theAppOptions().TargetSmoothZoom && m_doc.GetEvent(&event)
        && SUCCEEDED(event->get_Value(QStringLiteral("_zoom_disable_animation"), &disable)) && disable.isEmpty();
    if (!smooth) {
        StopZoomAnimation();
        t->put_Zoom(level);
        return;
    }
    float start = 0;
    t->get_Zoom(&start);
    const float goal = std::max(level, 0.0f);
    if (start != goal)
        m_zoom.start(start, goal, m_clock->tickMs());
}

void CTraceView::OnZoomTimer()
{
    ITarget* t = target();
    if (!m_zoom.running() || !t) {
        StopZoomAnimation();
        return;
    }
    t->put_Zoom(m_zoom.levelAt(m_clock->tickMs()));
}

void CTraceView::UpdateTimeCounter()
{
    ITarget* t = target();
    if (!t)
        return;
    const TargetKind::Kind kind = m_doc.GetTargetKind();
    if (kind == TargetKind::SP1 || kind == TargetKind::SP2 || kind == TargetKind::SPF)
        return;
    QString text;
    ComPtr<IShotCollection> shots;
    if (deviceConnected() && matchStarted() && theAppOptions().DisplayTimeCounter && m_doc.GetMatchShots(&shots))
        text = timeCounterText(shots.get(), m_clock->localNow());
    t->put_Label(2, text);
}

void CTraceView::OnHeartTimer()
{
    if (m_doc.GetReplayState() != CKavroDoc::ReplayStopped)
        return;
    m_pulse->SetHeartImage(heartImageAt(m_clock->localNow(), m_lastBeat, m_previousBeat));
}

void CTraceView::StopTone()
{
    if (BlindToneGenerator& tone = blindTone(); tone.isPlaying())
        tone.stop();
}

void CTraceView::BlindToneUpdate(float x, float y, IEventParams* event, IAimingAttr* attr)
{
    const AppOptions& o = theAppOptions();
    if (o.SoundEnabled && o.BlindGen && event)
        tuneBlindTone(blindTone(), m_doc.GetTargetKind() == TargetKind::Biathlon, x, y, event, attr);
}

void CTraceView::Layout()
{
    m_splitter->setGeometry(rect());
    const bool any = m_pulse->pulseShown() || m_pulse->triggerShown();
    const int pos = pulseSplitterPosition(width(), m_splitter->handleWidth(), 0, any);
    if (pos < 0) {
        m_pulse->hide();
        m_splitter->setSizes({width(), 0});
    } else {
        m_pulse->show();
        m_splitter->setSizes({pos, width() - pos - m_splitter->handleWidth()});
    }
}

void CTraceView::resizeEvent(QResizeEvent*)
{
    Layout();
}

void CTraceView::OnNewPractice()
{
    m_triggerMax = 0;
    m_fixedTriggerScale = 0;
    m_lastBeat = m_previousBeat = 0;
    m_currentShot = nullptr;
    m_pulse->Reset();
    bool pulseShown = false;
    CMainFrameBase* f = CMainFrameBase::of(m_doc);
    if (const std::optional<SensorRows> rows = connectedSensorRows(f)) {
        pulseShown = rows->pulse;
        m_pulse->SetShowPulse(rows->pulse);
        m_pulse->SetShowTrigger(rows->trigger);
        if (ITarget* t = target())
            t->put_Match(toVariantBool(f->IsMatchStarted()));
    }
    Layout();
    m_counterTimer.start();
    if (pulseShown)
        m_heartTimer.start();
}

void CTraceView::StartReplay()
{
    ITarget* t = target();
    ComPtr<IShot> shot;
    ComPtr<IAiming> aiming;
    if (!t || !m_doc.HasDocument() || !m_doc.GetSelectedShot(&shot) || !m_doc.FindAiming(shot.get(), &aiming))
        return;
    t->put_EnableUpdate(VARIANT_FALSE);
    t->Clear();
    ComPtr<IRange> range;
    shot->Range(0.0f, 0.0f, range.put());
    ComPtr<IAimingAttr> attr;
    int32_t sub = 1;
    if (SUCCEEDED(aiming->get_Attr(attr.put())) && attr && SUCCEEDED(attr->get_SubTarget(&sub)))
        t->put_SubTarget(sub);
    if (const std::optional<ReplaySpan> span = replaySpanOf(range.get()))
        m_replay->SetShot(span->first, span->last, span->start, span->end);
    else
        m_replay->ClearShot();
    m_replayShot = shot;
    t->put_ReplayAiming(aiming.get());
    t->put_ReplayShot(shot.get());

    if (const std::optional<int> scale = replayTriggerScale(shot.get())) {
        m_fixedTriggerScale = *scale;
        m_pulse->SetTriggerScale(m_fixedTriggerScale);
    }
    float left = 0, top = 0, width = 0, height = 0;
    t->get_VisibleLeft(&left);
    t->get_VisibleTop(&top);
    t->get_VisibleWidth(&width);
    t->get_VisibleHeight(&height);
    if (const std::optional<float> sec = firstVisibleSecond(range.get(), left, top, width, height))
        t->put_ReplayPosition(*sec);
    UpdateTimeCounter();
    t->put_ReplayPaused(VARIANT_FALSE);
    t->put_EnableUpdate(VARIANT_TRUE);
}

void CTraceView::UpdateReplayPanel(float x)
{
    if (!m_replayShot)
        return;
    const std::optional<ReplayMoment> m = replayMomentAt(m_replayShot.get(), x, m_doc.PulseSamples());
    if (!m)
        return;
    if (m->point)
        BlindToneUpdate(m->point->x, m->point->y, m->point->event.get(), m->point->attr.get());
    m_replay->SetPosition(m->index, x);
    if (m->trigger)
        m_pulse->SetTriggerValue(*m->trigger);
    if (m->heartImage >= 0)
        m_pulse->SetHeartImage(m->heartImage);
    m_pulse->SetPulse(m->pulse);
}

void CTraceView::OnReplayScroll(ScrollCode code, int thumb)
{
    ITarget* t = target();
    if (!t || !m_replayShot)
        return;
    if (m_doc.GetReplayState() == CKavroDoc::ReplayPlaying)
        m_doc.PauseReplay();
    float position = 0;
    t->get_ReplayPosition(&position);
    if (const std::optional<float> sec = replayScrollSecond(m_replayShot.get(), position, code, thumb)) {
        t->put_ReplayPosition(*sec);
        UpdateReplayPanel(*sec);
    }
}

// ----- control events

void CTraceView::OnZoomChanged()
{
    ITarget* t = target();
    float zoom = 0;
    if (t && SUCCEEDED(t->get_Zoom(&zoom)))
        m_maxZoom = cappedZoomAfterChange(zoom, theAppOptions().AdvancedMode);
    StopZoomAnimation();
}

void CTraceView::OnRightClick()
{
    SetZoomSmooth(0.0f);
}

void CTraceView::OnStartDrag(float x, float y)
{
    m_dragX = x;
    m_dragY = y;
}

void CTraceView::OnEndDrag(float x, float y)
{
    const float ddx = x - m_dragX, ddy = y - m_dragY;
    m_dx += ddx;
    m_dy += ddy;
    m_doc.AskShiftCorrection(this, {ddx, ddy});
}

void CTraceView::OnReplayPositionChanged()
{
    float x = 0;
    if (ITarget* t = target(); t && SUCCEEDED(t->get_ReplayPosition(&x)))
        UpdateReplayPanel(x);
}

void CTraceView::OnEndReplay()
{
    m_replay->ClearShot();
    m_replayShot = nullptr;
    StopTone();
    if (!m_doc.HasDocument()) {
        ShowShot(nullptr, nullptr, false);
        return;
    }
    ComPtr<IShot> shot;
    ComPtr<IAiming> aiming;
    if (ITarget* t = target(); t && SUCCEEDED(t->get_ReplayShot(shot.put())) && shot)
        m_doc.FindAiming(shot.get(), &aiming);
    SetAiming(aiming.get(), shot.get(), false);
    m_doc.UpdateAllViews(this, KavroHint::ReplayStopped);
}

// ----- keys

bool CTraceView::OnKeyDown(int key)
{
    if (key == Qt::Key_Space) {
        switch (m_doc.GetReplayState()) {
        case CKavroDoc::ReplayStopped: m_doc.StartReplay(); break;
        case CKavroDoc::ReplayPaused: m_doc.ResumeReplay(); break;
        default: m_doc.PauseReplay(); break;
        }
        return true;
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        const float level = key == Qt::Key_0 ? 10.0f : float(key - Qt::Key_0);
        SetZoomSmooth(level);
        m_maxZoom = level;
        return true;
    }
    return false;
}

void CTraceView::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() & ~Qt::KeypadModifier || !OnKeyDown(event->key()))
        QWidget::keyPressEvent(event);
}

bool CTraceView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!(key->modifiers() & ~Qt::KeypadModifier) && OnKeyDown(key->key()))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ----- hints

void CTraceView::OnDocumentUpdate(CView*, int hint, const KavroHint::Payload& payload)
{
    ITarget* t = target();
    if (!t)
        return;
    if (m_refresh.defers(*this) && NoteWhileHidden(hint, payload))
        return;
    const bool advanced = theAppOptions().AdvancedMode;
    switch (hint) {
    case KavroHint::Everything: {
        t->put_EnableUpdate(VARIANT_FALSE);
        if (!deviceConnected()) {
            m_currentShot = nullptr;
            m_liveAiming = nullptr;
        }
        m_maxZoom = largestZoomLevel(advanced);
        m_dx = m_dy = 0;
        if (m_doc.HasDocument()) {
            ComPtr<IEventParams> event;
            if (m_doc.GetEvent(&event)) {
                t->put_Event(event.get());
                t->put_Zoom(m_maxZoom);
                ApplyTraceOptions(false);
            }
            m_pulse->SetShowPulse(m_doc.GetPulseCount() > 0);
            m_pulse->SetShowTrigger(m_doc.HasTriggerData());
            Layout();
            ComPtr<IAiming> aiming;
            ComPtr<IShot> shot;
            selection(&aiming, &shot);
            SetAiming(aiming.get(), shot.get(), true);
        } else {
            SetAiming(nullptr, nullptr, false);
        }
        UpdateTimeCounter();
        t->put_EnableUpdate(VARIANT_TRUE);
        break;
    }
    case KavroHint::Language: UpdateTimeCounter(); break;
    case KavroHint::SelectedShot:
        if (m_doc.HasDocument()) {
            ComPtr<IAiming> aiming;
            ComPtr<IShot> shot;
            selection(&aiming, &shot);
            SetAiming(aiming.get(), shot.get(), true);
        }
        break;
    case KavroHint::ShotParameters:
        if (m_doc.HasDocument()) {
            ComPtr<IAiming> aiming;
            ComPtr<IShot> shot;
            selection(&aiming, &shot);
            ShowShot(aiming.get(), shot.get(), true);
            ApplyTraceOptions(true);
        }
        break;
    case KavroHint::AimingStarted:
        m_liveAiming = KavroHint::aimingOf(payload);
        ShowLiveAiming(m_liveAiming.get());
        break;
    case KavroHint::TraceCoordinates: {
        IAiming* aiming = KavroHint::aimingOf(payload);
        if (!aiming)
            break;
        t->UpdateAiming(aiming);
        ToneForNewestPoint(aiming);
        break;
    }
    case KavroHint::ShotAdded: {
        const auto* added = std::get_if<KavroHint::ShotAddedArgs>(&payload);
        IAiming* aiming = added ? added->aiming : nullptr;
        if (aiming)
            t->UpdateAiming(aiming);
        m_currentShot = added ? added->shot : nullptr;
        ShowShot(aiming, m_currentShot.get(), true);
        UpdateTimeCounter();
        break;
    }
    case KavroHint::AimingConcluded:
        if (IAiming* aiming = KavroHint::aimingOf(payload))
            t->UpdateAiming(aiming);
        StopTone();
        break;
    case KavroHint::ReplayStarts: StartReplay(); break;
    case KavroHint::ReplayStopped: {
        m_replay->ClearShot();
        m_replayShot = nullptr;
        ComPtr<IAiming> aiming;
        ComPtr<IShot> shot;
        selection(&aiming, &shot);
        SetAiming(aiming.get(), shot.get(), false);
        StopTone();
        break;
    }
    case KavroHint::ReplayPaused: {
        const auto* pause = std::get_if<KavroHint::ReplayPausedArgs>(&payload);
        t->put_ReplayPaused(toVariantBool(pause && pause->paused));
        break;
    }
    case KavroHint::Pulse:
        if (m_doc.GetReplayState() == CKavroDoc::ReplayStopped)
            m_pulse->SetPulse(m_doc.GetPulse());
        break;
    case KavroHint::PracticeStarted: OnNewPractice(); break;
    case KavroHint::MatchStarted: t->put_Match(VARIANT_TRUE); break;
    case KavroHint::AimingFinal: m_liveAiming = nullptr; break;
    case KavroHint::PracticeStopped:
        m_currentShot = nullptr;
        m_liveAiming = nullptr;
        UpdateTimeCounter();
        m_counterTimer.stop();
        m_heartTimer.stop();
        break;
    case KavroHint::TriggerValues: {
        const auto* trigger = std::get_if<KavroHint::TriggerArgs>(&payload);
        if (!trigger || !trigger->values || trigger->count <= 0 || m_doc.GetReplayState() != CKavroDoc::ReplayStopped)
            break;
        for (int i = 0; i < trigger->count; ++i)
            m_triggerMax = std::max(m_triggerMax, int(trigger->values[i]));
        m_pulse->SetTriggerScale(m_fixedTriggerScale > 1 ? m_fixedTriggerScale : m_triggerMax);
        m_pulse->SetTriggerValue(trigger->values[trigger->count - 1]);
        break;
    }
    case KavroHint::BiathlonSubTarget:
        SetAiming(nullptr, nullptr, false);
        if (const auto* sub = std::get_if<KavroHint::SubTargetArgs>(&payload))
            t->put_SubTarget(sub->subTarget);
        break;
    case KavroHint::HeartBeat:
        m_previousBeat = m_lastBeat;
        if (const auto* beat = std::get_if<KavroHint::HeartBeatArgs>(&payload))
            m_lastBeat = beat->dateMax;
        if (m_doc.GetReplayState() == CKavroDoc::ReplayStopped)
            m_pulse->SetPulse(m_doc.GetPulse());
        break;
    case KavroHint::AdvancedMode:
        m_maxZoom = largestZoomLevel(advanced);
        if (m_doc.HasDocument()) {
            ComPtr<IAiming> aiming;
            ComPtr<IShot> shot;
            selection(&aiming, &shot);
            ShowShot(aiming.get(), shot.get(), true);
            ApplyTraceOptions(false);
        }
        break;
    default: break;
    }
}

void CTraceView::ShowLiveAiming(IAiming* aiming)
{
    ITarget* t = target();
    m_dx = m_dy = 0;
    SetAiming(aiming, nullptr, false);
    t->put_Dragable(VARIANT_TRUE);
    t->put_Selectable(VARIANT_TRUE);
    t->put_Zoom(m_maxZoom);
    const std::optional<SensorRows> rows = connectedSensorRows(CMainFrameBase::of(m_doc));
    if (rows && rows->device && (rows->pulse != m_pulse->pulseShown() || rows->trigger != m_pulse->triggerShown())) {
        m_pulse->SetShowPulse(rows->pulse);
        m_pulse->SetShowTrigger(rows->trigger);
        Layout();
    }
}

void CTraceView::ToneForNewestPoint(IAiming* aiming)
{
    if (const std::optional<TonePoint> p = newestTracePoint(aiming))
        BlindToneUpdate(p->x, p->y, p->event.get(), p->attr.get());
}

bool CTraceView::IsReplayRunning(CView*)
{
    ComPtr<IShot> replaying;
    ITarget* t = target();
    return t && SUCCEEDED(t->get_ReplayShot(replaying.put())) && replaying;
}

bool CTraceView::NoteWhileHidden(int hint, const KavroHint::Payload& payload)
{
    switch (hint) {
    case KavroHint::Everything:
        if (!deviceConnected()) {
            m_currentShot = nullptr;
            m_liveAiming = nullptr;
        }
        break;
    case KavroHint::AimingStarted: m_liveAiming = KavroHint::aimingOf(payload); break;
    case KavroHint::TraceCoordinates:
        // The tone guides the shooter whichever view is shown.
        if (IAiming* aiming = KavroHint::aimingOf(payload))
            ToneForNewestPoint(aiming);
        break;
    case KavroHint::ShotAdded: {
        const auto* added = std::get_if<KavroHint::ShotAddedArgs>(&payload);
        m_currentShot = added ? added->shot : nullptr;
        break;
    }
    case KavroHint::AimingConcluded: StopTone(); break;
    case KavroHint::Language:
    case KavroHint::SelectedShot:
    case KavroHint::ShotParameters:
    case KavroHint::AdvancedMode: break;
    default: return false;
    }
    m_refresh.owe(1);
    return true;
}

void CTraceView::RefreshIfNeeded()
{
    // Everything from the document, as after a new document; then the aiming in progress, if any.
    m_refresh.catchUp([this](unsigned) {
        const ComPtr<IShot> current = m_currentShot;
        OnDocumentUpdate(nullptr, KavroHint::Everything, {});
        m_currentShot = current;
        if (m_liveAiming) {
            ShowLiveAiming(m_liveAiming.get());
            if (ITarget* t = target())
                t->UpdateAiming(m_liveAiming.get());
        }
    });
}

void CTraceView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    RefreshIfNeeded();
}

KAVRO_REGISTER_VIEW(ViewId::Trace, 32789, [](CKavroDoc& d, QWidget* p) -> QWidget* { return new CTraceView(d, p); });
