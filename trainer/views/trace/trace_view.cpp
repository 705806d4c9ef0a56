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
    if (QWidget* w = host_.widget())
        w->setGeometry(rect());
}

// ----- view

void CTraceView::setToneGenerator(BlindToneGenerator* generator)
{
    setBlindTone(generator);
}

CTraceView::CTraceView(CKavroDoc& doc, QWidget* parent)
    : QWidget(parent), doc_(doc), clock_(&realClock()), zoom_([this] { OnZoomTimer(); })
{
    setFocusPolicy(Qt::StrongFocus);
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setChildrenCollapsible(true);
    traceWindow_ = new CTraceWindow(splitter_);
    pulse_ = new CPulseWindow(splitter_);
    splitter_->addWidget(traceWindow_);
    splitter_->addWidget(pulse_);
    splitter_->setStretchFactor(0, 1);
    pulse_->hide();

    TargetEventHandlers h;
    h.zoomChanged = [this] { OnZoomChanged(); };
    h.rightClick = [this](float, float) { OnRightClick(); };
    h.startDrag = [this](IAiming*, IShot*, float x, float y) { OnStartDrag(x, y); };
    h.endDrag = [this](IAiming*, IShot*, float x, float y) { OnEndDrag(x, y); };
    h.replayPositionChanged = [this] { OnReplayPositionChanged(); };
    h.endReplay = [this] { OnEndReplay(); };
    if (traceWindow_->host().create(traceWindow_, h)) {
        ITarget* t = target();
        t->put_DisplayTrace(VARIANT_TRUE);
        t->put_ReplaySpeed(theAppOptions().ReplaySpeed);
        t->put_DisplayReplayMark(VARIANT_FALSE);
        traceWindow_->host().widget()->installEventFilter(this);
        traceWindow_->host().widget()->show();
    }

    replay_ = new CReplayControlWindow(this);
    replay_->onScroll = [this](ScrollCode code, int thumb) { OnReplayScroll(code, thumb); };

    counterTimer_.setInterval(kCounterMs);
    connect(&counterTimer_, &QTimer::timeout, this, [this] { UpdateTimeCounter(); });
    heartTimer_.setInterval(kHeartMs);
    connect(&heartTimer_, &QTimer::timeout, this, [this] { OnHeartTimer(); });

    maxZoom_ = largestZoomLevel(theAppOptions().AdvancedMode);
    doc.AddView(this);
}

CTraceView::~CTraceView()
{
    if (document())
        document()->RemoveView(this);
}

void CTraceView::selection(ComPtr<IAiming>* aiming, ComPtr<IShot>* shot)
{
    doc_.GetSelectedAiming(aiming);
    doc_.GetSelectedShot(shot);
}

bool CTraceView::deviceConnected() const
{
    CMainFrameBase* f = CMainFrameBase::of(doc_);
    return f && f->IsDeviceConnected();
}

bool CTraceView::matchStarted() const
{
    CMainFrameBase* f = CMainFrameBase::of(doc_);
    return f && f->IsMatchStarted();
}

void CTraceView::ApplyTraceOptions(bool refresh)
{
    ITarget* t = target();
    if (!t || !doc_.HasDocument())
        return;
    applyTraceLook(t, theAppOptions(), doc_.traceSeconds());
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
        if (currentShot_ && currentShot_.get() == shot) {
            dragable = true;
            // The control takes a correction only while its breaches may be dragged.
            t->put_Dragable(VARIANT_TRUE);
            t->put_Selectable(VARIANT_TRUE);
            if (dx_ != 0 || dy_ != 0)
                t->SetShotCorrection(shot, dx_, dy_);
        }
        const AppOptions& o = theAppOptions();
        const bool showResult = o.TargetResult && doc_.GetTargetKind() != TargetKind::Biathlon;
        label = markShot(t, shot, showResult ? std::optional<float>(result) : std::nullopt, doc_.traceSeconds(), o);
        if (zoom) {
            const float level = zoomLevelForResult(result, maxZoom_);
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
    pulse_->SetHeartImage(1);
    pulse_->SetTriggerValue(0);
    pulse_->SetPulse(pulse);
}

void CTraceView::SetAiming(IAiming* aiming, IShot* shot, bool zoom)
{
    ITarget* t = target();
    if (!t)
        return;
    t->put_EnableUpdate(VARIANT_FALSE);
    t->Clear();
    replay_->ClearShot();
    replayShot_ = nullptr;
    ComPtr<IShot> s = shot;
    if (aiming) {
        t->Add(aiming);
        if (!s)
            doc_.GetSelectedShot(&s);
    }
    ShowShot(aiming, s.get(), zoom);
    UpdateTimeCounter();
    t->put_EnableUpdate(VARIANT_TRUE);
}

void CTraceView::StopZoomAnimation()
{
    zoom_.stop();
}

void CTraceView::SetZoomSmooth(float level)
{
    ITarget* t = target();
    if (!t)
        return;
    ComPtr<IEventParams> event;
    Variant disable;
    const bool smooth = theAppOptions().TargetSmoothZoom && doc_.GetEvent(&event)
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
        zoom_.start(start, goal, clock_->tickMs());
}

void CTraceView::OnZoomTimer()
{
    ITarget* t = target();
    if (!zoom_.running() || !t) {
        StopZoomAnimation();
        return;
    }
    t->put_Zoom(zoom_.levelAt(clock_->tickMs()));
}

void CTraceView::UpdateTimeCounter()
{
    ITarget* t = target();
    if (!t)
        return;
    const TargetKind::Kind kind = doc_.GetTargetKind();
    if (kind == TargetKind::SP1 || kind == TargetKind::SP2 || kind == TargetKind::SPF)
        return;
    QString text;
    ComPtr<IShotCollection> shots;
    if (deviceConnected() && matchStarted() && theAppOptions().DisplayTimeCounter && doc_.GetMatchShots(&shots))
        text = timeCounterText(shots.get(), clock_->localNow());
    t->put_Label(2, text);
}

void CTraceView::OnHeartTimer()
{
    if (doc_.GetReplayState() != CKavroDoc::ReplayStopped)
        return;
    pulse_->SetHeartImage(heartImageAt(clock_->localNow(), lastBeat_, previousBeat_));
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
        tuneBlindTone(blindTone(), doc_.GetTargetKind() == TargetKind::Biathlon, x, y, event, attr);
}

void CTraceView::Layout()
{
    splitter_->setGeometry(rect());
    const bool any = pulse_->pulseShown() || pulse_->triggerShown();
    const int pos = pulseSplitterPosition(width(), splitter_->handleWidth(), 0, any);
    if (pos < 0) {
        pulse_->hide();
        splitter_->setSizes({width(), 0});
    } else {
        pulse_->show();
        splitter_->setSizes({pos, width() - pos - splitter_->handleWidth()});
    }
}

void CTraceView::resizeEvent(QResizeEvent*)
{
    Layout();
}

void CTraceView::OnNewPractice()
{
    triggerMax_ = 0;
    fixedTriggerScale_ = 0;
    lastBeat_ = previousBeat_ = 0;
    currentShot_ = nullptr;
    pulse_->Reset();
    bool pulseShown = false;
    CMainFrameBase* f = CMainFrameBase::of(doc_);
    if (const std::optional<SensorRows> rows = connectedSensorRows(f)) {
        pulseShown = rows->pulse;
        pulse_->SetShowPulse(rows->pulse);
        pulse_->SetShowTrigger(rows->trigger);
        if (ITarget* t = target())
            t->put_Match(toVariantBool(f->IsMatchStarted()));
    }
    Layout();
    counterTimer_.start();
    if (pulseShown)
        heartTimer_.start();
}

void CTraceView::StartReplay()
{
    ITarget* t = target();
    ComPtr<IShot> shot;
    ComPtr<IAiming> aiming;
    if (!t || !doc_.HasDocument() || !doc_.GetSelectedShot(&shot) || !doc_.FindAiming(shot.get(), &aiming))
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
        replay_->SetShot(span->first, span->last, span->start, span->end);
    else
        replay_->ClearShot();
    replayShot_ = shot;
    t->put_ReplayAiming(aiming.get());
    t->put_ReplayShot(shot.get());

    if (const std::optional<int> scale = replayTriggerScale(shot.get())) {
        fixedTriggerScale_ = *scale;
        pulse_->SetTriggerScale(fixedTriggerScale_);
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
    if (!replayShot_)
        return;
    const std::optional<ReplayMoment> m = replayMomentAt(replayShot_.get(), x, doc_.PulseSamples());
    if (!m)
        return;
    if (m->point)
        BlindToneUpdate(m->point->x, m->point->y, m->point->event.get(), m->point->attr.get());
    replay_->SetPosition(m->index, x);
    if (m->trigger)
        pulse_->SetTriggerValue(*m->trigger);
    if (m->heartImage >= 0)
        pulse_->SetHeartImage(m->heartImage);
    pulse_->SetPulse(m->pulse);
}

void CTraceView::OnReplayScroll(ScrollCode code, int thumb)
{
    ITarget* t = target();
    if (!t || !replayShot_)
        return;
    if (doc_.GetReplayState() == CKavroDoc::ReplayPlaying)
        doc_.PauseReplay();
    float position = 0;
    t->get_ReplayPosition(&position);
    if (const std::optional<float> sec = replayScrollSecond(replayShot_.get(), position, code, thumb)) {
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
        maxZoom_ = cappedZoomAfterChange(zoom, theAppOptions().AdvancedMode);
    StopZoomAnimation();
}

void CTraceView::OnRightClick()
{
    SetZoomSmooth(0.0f);
}

void CTraceView::OnStartDrag(float x, float y)
{
    dragX_ = x;
    dragY_ = y;
}

void CTraceView::OnEndDrag(float x, float y)
{
    const float ddx = x - dragX_, ddy = y - dragY_;
    dx_ += ddx;
    dy_ += ddy;
    doc_.AskShiftCorrection(this, {ddx, ddy});
}

void CTraceView::OnReplayPositionChanged()
{
    float x = 0;
    if (ITarget* t = target(); t && SUCCEEDED(t->get_ReplayPosition(&x)))
        UpdateReplayPanel(x);
}

void CTraceView::OnEndReplay()
{
    replay_->ClearShot();
    replayShot_ = nullptr;
    StopTone();
    if (!doc_.HasDocument()) {
        ShowShot(nullptr, nullptr, false);
        return;
    }
    ComPtr<IShot> shot;
    ComPtr<IAiming> aiming;
    if (ITarget* t = target(); t && SUCCEEDED(t->get_ReplayShot(shot.put())) && shot)
        doc_.FindAiming(shot.get(), &aiming);
    SetAiming(aiming.get(), shot.get(), false);
    doc_.UpdateAllViews(this, KavroHint::ReplayStopped);
}

// ----- keys

bool CTraceView::OnKeyDown(int key)
{
    if (key == Qt::Key_Space) {
        switch (doc_.GetReplayState()) {
        case CKavroDoc::ReplayStopped: doc_.StartReplay(); break;
        case CKavroDoc::ReplayPaused: doc_.ResumeReplay(); break;
        default: doc_.PauseReplay(); break;
        }
        return true;
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        const float level = key == Qt::Key_0 ? 10.0f : float(key - Qt::Key_0);
        SetZoomSmooth(level);
        maxZoom_ = level;
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
    if (refresh_.defers(*this) && NoteWhileHidden(hint, payload))
        return;
    const bool advanced = theAppOptions().AdvancedMode;
    switch (hint) {
    case KavroHint::Everything: {
        t->put_EnableUpdate(VARIANT_FALSE);
        if (!deviceConnected()) {
            currentShot_ = nullptr;
            liveAiming_ = nullptr;
        }
        maxZoom_ = largestZoomLevel(advanced);
        dx_ = dy_ = 0;
        if (doc_.HasDocument()) {
            ComPtr<IEventParams> event;
            if (doc_.GetEvent(&event)) {
                t->put_Event(event.get());
                t->put_Zoom(maxZoom_);
                ApplyTraceOptions(false);
            }
            pulse_->SetShowPulse(doc_.GetPulseCount() > 0);
            pulse_->SetShowTrigger(doc_.HasTriggerData());
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
        if (doc_.HasDocument()) {
            ComPtr<IAiming> aiming;
            ComPtr<IShot> shot;
            selection(&aiming, &shot);
            SetAiming(aiming.get(), shot.get(), true);
        }
        break;
    case KavroHint::ShotParameters:
        if (doc_.HasDocument()) {
            ComPtr<IAiming> aiming;
            ComPtr<IShot> shot;
            selection(&aiming, &shot);
            ShowShot(aiming.get(), shot.get(), true);
            ApplyTraceOptions(true);
        }
        break;
    case KavroHint::AimingStarted:
        liveAiming_ = KavroHint::aimingOf(payload);
        ShowLiveAiming(liveAiming_.get());
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
        const auto* added = KavroHint::payloadOf<KavroHint::ShotAdded>(payload);
        IAiming* aiming = added ? added->aiming : nullptr;
        if (aiming)
            t->UpdateAiming(aiming);
        currentShot_ = added ? added->shot : nullptr;
        ShowShot(aiming, currentShot_.get(), true);
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
        replay_->ClearShot();
        replayShot_ = nullptr;
        ComPtr<IAiming> aiming;
        ComPtr<IShot> shot;
        selection(&aiming, &shot);
        SetAiming(aiming.get(), shot.get(), false);
        StopTone();
        break;
    }
    case KavroHint::ReplayPaused: {
        const auto* pause = KavroHint::payloadOf<KavroHint::ReplayPaused>(payload);
        t->put_ReplayPaused(toVariantBool(pause && pause->paused));
        break;
    }
    case KavroHint::Pulse:
        if (doc_.GetReplayState() == CKavroDoc::ReplayStopped)
            pulse_->SetPulse(doc_.GetPulse());
        break;
    case KavroHint::PracticeStarted: OnNewPractice(); break;
    case KavroHint::MatchStarted: t->put_Match(VARIANT_TRUE); break;
    case KavroHint::AimingFinal: liveAiming_ = nullptr; break;
    case KavroHint::PracticeStopped:
        currentShot_ = nullptr;
        liveAiming_ = nullptr;
        UpdateTimeCounter();
        counterTimer_.stop();
        heartTimer_.stop();
        break;
    case KavroHint::TriggerValues: {
        const auto* trigger = KavroHint::payloadOf<KavroHint::TriggerValues>(payload);
        if (!trigger || !trigger->values || trigger->count <= 0 || doc_.GetReplayState() != CKavroDoc::ReplayStopped)
            break;
        for (int i = 0; i < trigger->count; ++i)
            triggerMax_ = std::max(triggerMax_, int(trigger->values[i]));
        pulse_->SetTriggerScale(fixedTriggerScale_ > 1 ? fixedTriggerScale_ : triggerMax_);
        pulse_->SetTriggerValue(trigger->values[trigger->count - 1]);
        break;
    }
    case KavroHint::BiathlonSubTarget:
        SetAiming(nullptr, nullptr, false);
        if (const auto* sub = KavroHint::payloadOf<KavroHint::BiathlonSubTarget>(payload))
            t->put_SubTarget(sub->subTarget);
        break;
    case KavroHint::HeartBeat:
        previousBeat_ = lastBeat_;
        if (const auto* beat = KavroHint::payloadOf<KavroHint::HeartBeat>(payload))
            lastBeat_ = beat->dateMax;
        if (doc_.GetReplayState() == CKavroDoc::ReplayStopped)
            pulse_->SetPulse(doc_.GetPulse());
        break;
    case KavroHint::AdvancedMode:
        maxZoom_ = largestZoomLevel(advanced);
        if (doc_.HasDocument()) {
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
    dx_ = dy_ = 0;
    SetAiming(aiming, nullptr, false);
    t->put_Dragable(VARIANT_TRUE);
    t->put_Selectable(VARIANT_TRUE);
    t->put_Zoom(maxZoom_);
    const std::optional<SensorRows> rows = connectedSensorRows(CMainFrameBase::of(doc_));
    if (rows && rows->device && (rows->pulse != pulse_->pulseShown() || rows->trigger != pulse_->triggerShown())) {
        pulse_->SetShowPulse(rows->pulse);
        pulse_->SetShowTrigger(rows->trigger);
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
            currentShot_ = nullptr;
            liveAiming_ = nullptr;
        }
        break;
    case KavroHint::AimingStarted: liveAiming_ = KavroHint::aimingOf(payload); break;
    case KavroHint::TraceCoordinates:
        // The tone guides the shooter whichever view is shown.
        if (IAiming* aiming = KavroHint::aimingOf(payload))
            ToneForNewestPoint(aiming);
        break;
    case KavroHint::ShotAdded: {
        const auto* added = KavroHint::payloadOf<KavroHint::ShotAdded>(payload);
        currentShot_ = added ? added->shot : nullptr;
        break;
    }
    case KavroHint::AimingConcluded: StopTone(); break;
    case KavroHint::Language:
    case KavroHint::SelectedShot:
    case KavroHint::ShotParameters:
    case KavroHint::AdvancedMode: break;
    default: return false;
    }
    refresh_.owe(1);
    return true;
}

void CTraceView::RefreshIfNeeded()
{
    // Everything from the document, as after a new document; then the aiming in progress, if any.
    refresh_.catchUp([this](unsigned) {
        const ComPtr<IShot> current = currentShot_;
        OnDocumentUpdate(nullptr, KavroHint::Everything, {});
        currentShot_ = current;
        if (liveAiming_) {
            ShowLiveAiming(liveAiming_.get());
            if (ITarget* t = target())
                t->UpdateAiming(liveAiming_.get());
        }
    });
}

void CTraceView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    RefreshIfNeeded();
}

KAVRO_REGISTER_VIEW(ViewId::Trace, 32789, [](CKavroDoc& d, QWidget* p) -> QWidget* { return new CTraceView(d, p); });
