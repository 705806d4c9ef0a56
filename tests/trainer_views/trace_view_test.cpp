// The trace view on a practice document: what it shows after each hint, the replay and pulse
// panels, its keys and the control's events.
#include "fake_frame.h"
#include "support/practice_builder.h"
#include "support/views_support.h"

#include "app_options.h"
#include "doc_helpers.h"
#include "target.h"
#include "trace_view.h"

#include "thread/pumped_control_queue.h"
#include "thread/virtual_clock.h"

#include <QScrollBar>
#include <QSplitter>
#include <QTest>
#include <gtest/gtest.h>

using namespace kavro;
using namespace viewtest;

namespace {

class FakeTone final : public BlindToneGenerator {
public:
    int zone = -1;
    float x = -99;
    float formWidth = -1;
    bool playing = false;
    int starts = 0;
    void update(int z, float px, float w) override
    {
        zone = z;
        x = px;
        formWidth = w;
        if (!playing)
            ++starts;
        playing = true;
    }
    bool isPlaying() const override { return playing; }
    void stop() override { playing = false; }
};

// An aiming of the document's event as the device starts one: match, entered at `enter`, no wrap.
ComPtr<IAiming> liveAiming(CKavroDoc& doc, DATE enter)
{
    ComPtr<IEventParams> event;
    doc.GetEvent(&event);
    ComPtr<IAiming> live;
    EXPECT_EQ(createInstance(kavrodoc::CLSID_Aiming, &live), S_OK);
    ComPtr<IAimingAttr> attr;
    live->get_Attr(attr.put());
    attr->put_SampleRate(100);
    attr->put_Event(event.get());
    attr->put_Match(VARIANT_TRUE);
    attr->put_EnterTime(enter);
    ComPtr<IAimingTrace> trace;
    live->get_Trace(trace.put());
    trace->put_WrapEnabled(VARIANT_FALSE);
    return live;
}

class HintLog final : public CView {
public:
    std::vector<int> hints;
    std::vector<std::pair<float, float>> shifts;
    void OnDocumentUpdate(CView*, int hint, const KavroHint::Payload& payload) override
    {
        hints.push_back(hint);
        if (const auto* shift = KavroHint::payloadOf<KavroHint::ShiftCorrection>(payload))
            shifts.emplace_back(shift->dx, shift->dy);
    }
};

class TraceViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = theAppOptions();
        theAppOptions().AdvancedMode = false;
        theAppOptions().TargetSmoothZoom = false;
        theAppOptions().TargetResult = true;
        theAppOptions().TargetLen = false;
        // Controls made for this test replay in virtual time on a queue the test pumps.
        CTargetHost::setFactory([this] {
            ComPtr<target::CTarget> t = target::CTarget::create();
            t->setReplayTiming(clock, [this](QueueHandler handler) {
                auto q = std::make_unique<PumpedControlQueue>(std::move(handler), clock);
                queue = q.get();
                return q;
            });
            return ComPtr<ITarget>(t.get());
        });
        view = std::make_unique<CTraceView>(doc, nullptr);
        CTargetHost::setFactory(nullptr);
        view->setClock(clock);
        view->resize(800, 600);
        view->show();
    }
    void TearDown() override
    {
        CTraceView::setToneGenerator(nullptr);
        if (ITarget* t = view->target())
            t->put_ReplayShot(nullptr);
        view.reset();
        theAppOptions() = saved_;
    }

    ITarget* target() { return view->target(); }
    float zoom()
    {
        float z = -1;
        target()->get_Zoom(&z);
        return z;
    }
    QString label(int n)
    {
        QString s;
        target()->get_Label(n, &s);
        return s;
    }
    bool flag(HRESULT (ITarget::*get)(VARIANT_BOOL*))
    {
        VARIANT_BOOL v = VARIANT_FALSE;
        (target()->*get)(&v);
        return v == VARIANT_TRUE;
    }
    ComPtr<IShot> selectedOnControl()
    {
        ComPtr<IShot> s;
        target()->get_SelectedShot(s.put());
        return s;
    }
    ComPtr<IAiming> shownAiming()
    {
        ComPtr<IAiming> a;
        int32_t n = 0;
        target()->get_Count(&n);
        if (n == 1)
            target()->get_Item(1, a.put());
        return a;
    }
    static float resultOf(IShot* s)
    {
        float r = 0;
        s->get_Result(&r);
        return r;
    }
    void passReplay(uint32_t ms)
    {
        ASSERT_TRUE(clock.waitForSleepers(1));
        clock.advance(ms);
        ASSERT_TRUE(queue->waitForMessages());
        queue->pump();
    }

    VirtualClock clock{1000, 45123.5};
    PumpedControlQueue* queue = nullptr;
    CKavroDoc doc;
    std::unique_ptr<CTraceView> view;

private:
    AppOptions saved_;
};

} // namespace

TEST_F(TraceViewTest, EverythingShowsTheSelectedShotZoomedByItsResult)
{
    trainertest::startPractice(doc, "AR10");
    ComPtr<IShot> inner = addShot(doc, {.x = 0.2f, .y = 0.1f});
    ComPtr<IShot> outer = addShot(doc, {.x = 9.0f, .y = 4.0f, .at = 40});
    ASSERT_GE(resultOf(inner.get()), 10.0f);
    ASSERT_LT(resultOf(outer.get()), 9.0f);
    doc.SetSelectedShot(inner.get(), nullptr);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);

    ComPtr<IEventParams> event, shown;
    doc.GetEvent(&event);
    ASSERT_EQ(target()->get_Event(shown.put()), S_OK);
    EXPECT_EQ(shown.get(), event.get());
    ComPtr<IAiming> aiming;
    doc.FindAiming(inner.get(), &aiming);
    EXPECT_EQ(shownAiming().get(), aiming.get());
    EXPECT_EQ(selectedOnControl().get(), inner.get());
    // Ten and more asks for level 9 or more, which normal mode caps at 6.
    EXPECT_FLOAT_EQ(zoom(), 6.0f);
    EXPECT_FLOAT_EQ(view->largestZoom(), 6.0f);
    EXPECT_EQ(label(1), QString::asprintf(" %-3.1f ", double(resultOf(inner.get()))));
    // Not the current shot of a running practice: it cannot be dragged.
    EXPECT_FALSE(flag(&ITarget::get_Dragable));

    // Advanced mode allows level 8.
    theAppOptions().AdvancedMode = true;
    doc.UpdateAllViews(nullptr, KavroHint::AdvancedMode);
    EXPECT_FLOAT_EQ(zoom(), 8.0f);

    // A new selection: the other shot, zoomed to its own result less one.
    doc.SetSelectedShot(outer.get(), nullptr);
    doc.FindAiming(outer.get(), &aiming);
    EXPECT_EQ(shownAiming().get(), aiming.get());
    EXPECT_EQ(selectedOnControl().get(), outer.get());
    float wanted = resultOf(outer.get()) - 1.0f;
    if (wanted < 1.0f)
        wanted = 0.0f; // the control shows the whole target below level 1
    EXPECT_FLOAT_EQ(zoom(), wanted);

    // The result is not shown for biathlon, nor when the option is off.
    theAppOptions().TargetResult = false;
    theAppOptions().TargetLen = true;
    doc.UpdateAllViews(nullptr, KavroHint::ShotParameters);
    EXPECT_TRUE(label(1).startsWith(QStringLiteral(" ")));
    EXPECT_TRUE(label(1).endsWith(QStringLiteral(" mm ")));
    saveScreen(view.get(), QStringLiteral("trace_view_shot"));
}

TEST_F(TraceViewTest, HiddenItOnlyNotesChangesAndCatchesUpWhenShown)
{
    trainertest::startPractice(doc, "AR10");
    ComPtr<IShot> inner = addShot(doc, {.x = 0.2f, .y = 0.1f});
    ComPtr<IShot> outer = addShot(doc, {.x = 9.0f, .y = 4.0f, .at = 40});
    doc.SetSelectedShot(inner.get(), nullptr);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    ComPtr<IAiming> innerAiming, outerAiming;
    doc.FindAiming(inner.get(), &innerAiming);
    doc.FindAiming(outer.get(), &outerAiming);
    ASSERT_EQ(shownAiming().get(), innerAiming.get());

    view->hide();
    doc.SetSelectedShot(outer.get(), nullptr);
    EXPECT_TRUE(view->isStale());
    EXPECT_EQ(shownAiming().get(), innerAiming.get());
    EXPECT_EQ(selectedOnControl().get(), inner.get());
    view->show();
    EXPECT_FALSE(view->isStale());
    EXPECT_EQ(shownAiming().get(), outerAiming.get());
    EXPECT_EQ(selectedOnControl().get(), outer.get());

    // A live aiming that starts while hidden is the one shown afterwards, traced so far.
    FakeFrame frame;
    frame.connected = true;
    view->hide();
    ComPtr<IAiming> live = liveAiming(doc, clock.localNow());
    ComPtr<IAimingTrace> trace;
    live->get_Trace(trace.put());
    doc.UpdateAllViews(nullptr, KavroHint::AimingStarted, live.get());
    trace->Add(1.0f, 1.0f);
    doc.UpdateAllViews(nullptr, KavroHint::TraceCoordinates, live.get());
    EXPECT_EQ(shownAiming().get(), outerAiming.get());
    view->show();
    EXPECT_EQ(shownAiming().get(), live.get());
    EXPECT_TRUE(flag(&ITarget::get_Dragable));
}

TEST_F(TraceViewTest, MarkCrossIsTwoLinesAsLargeAsTheEventSays)
{
    trainertest::startPractice(doc, "AR10");
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    ComPtr<IEventParams> event;
    ASSERT_TRUE(doc.GetEvent(&event));
    float hole = 0;
    event->get_DisplayCaliber(&hole);
    ASSERT_GT(hole, 0);
    // Without "_mark_size", or with a negative one, the cross is as large as a shot hole.
    EXPECT_FLOAT_EQ(markCrossSize(event.get()), hole);
    event->put_Value(QStringLiteral("_mark_size"), Variant(-4.0f));
    EXPECT_FLOAT_EQ(markCrossSize(event.get()), hole);
    event->put_Value(QStringLiteral("_mark_size"), Variant(QStringLiteral("6")));
    EXPECT_FLOAT_EQ(markCrossSize(event.get()), 6.0f);
    event->put_Value(QStringLiteral("_mark_size"), Variant(10.0f));
    EXPECT_FLOAT_EQ(markCrossSize(event.get()), 10.0f);

    target()->ClearElements();
    AddMarkCross(target(), 2.0f, -3.0f);
    event->put_Value(QStringLiteral("_mark_size"), Variant());
    int32_t n = 0;
    target()->get_ElementCount(&n);
    ASSERT_EQ(n, 2);
    const float ends[2][4] = {{-3, -3, 7, -3}, {2, -8, 2, 2}};
    for (int i = 0; i < 2; ++i) {
        ComPtr<ITargetElement> line;
        ASSERT_EQ(target()->Elements(i + 1, line.put()), S_OK);
        enumTargetElementType type = elementRectangle;
        line->get_Type(&type);
        EXPECT_EQ(type, elementPolyline);
        int32_t points = 0;
        line->get_PointCount(&points);
        ASSERT_EQ(points, 2);
        float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        line->get_x(1, &x0);
        line->get_y(1, &y0);
        line->get_x(2, &x1);
        line->get_y(2, &y1);
        EXPECT_FLOAT_EQ(x0, ends[i][0]);
        EXPECT_FLOAT_EQ(y0, ends[i][1]);
        EXPECT_FLOAT_EQ(x1, ends[i][2]);
        EXPECT_FLOAT_EQ(y1, ends[i][3]);
        OLE_COLOR colour = 0;
        line->get_BorderColor(&colour);
        EXPECT_EQ(colour, OLE_COLOR(0x20B7CC));
    }
}

TEST_F(TraceViewTest, WithoutADocumentTheViewShowsNothing)
{
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    int32_t n = -1;
    target()->get_Count(&n);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(label(1), QString());
    EXPECT_FALSE(view->replayPanel()->isVisible());
}

TEST_F(TraceViewTest, LiveAimingDrawsItsTraceAndTunesTheBlindTone)
{
    FakeFrame frame;
    frame.connected = true;
    frame.matchStarted = true;
    FakeTone tone;
    CTraceView::setToneGenerator(&tone);
    theAppOptions().SoundEnabled = true;
    theAppOptions().BlindGen = true;
    trainertest::startPractice(doc, "AR10");
    doc.UpdateAllViews(nullptr, KavroHint::Everything);

    ComPtr<IEventParams> event;
    doc.GetEvent(&event);
    ComPtr<IAiming> live = liveAiming(doc, clock.localNow());
    ComPtr<IAimingTrace> trace;
    live->get_Trace(trace.put());
    doc.UpdateAllViews(nullptr, KavroHint::AimingStarted, live.get());
    EXPECT_EQ(shownAiming().get(), live.get());
    EXPECT_TRUE(flag(&ITarget::get_Dragable));
    EXPECT_TRUE(flag(&ITarget::get_Selectable));
    EXPECT_FLOAT_EQ(zoom(), 6.0f);

    // A point whose score is 7.x tunes the generator to the seventh frequency.
    const QImage before = grab(view->traceWindow());
    float x = 0;
    for (float probe = 0; probe < 40; probe += 0.05f) {
        float score = 0;
        event->GetPointScore(probe, 0, 1, &score);
        if (score >= 7.2f && score < 7.8f) {
            x = probe;
            break;
        }
    }
    ASSERT_GT(x, 0);
    for (int i = 0; i < 10; ++i)
        trace->Add(x, 0);
    doc.UpdateAllViews(nullptr, KavroHint::TraceCoordinates, live.get());
    EXPECT_EQ(tone.zone, 7);
    EXPECT_NEAR(tone.x, x, 0.005); // the trace keeps hundredths of a millimetre
    EXPECT_FLOAT_EQ(tone.formWidth, 80);
    EXPECT_TRUE(tone.playing);
    // The live trace is drawn through the control.
    trace->Add(x - 10, 2);
    trace->Add(x - 12, 4);
    doc.UpdateAllViews(nullptr, KavroHint::TraceCoordinates, live.get());
    QCoreApplication::processEvents();
    EXPECT_NE(grab(view->traceWindow()), before);
    // A point off the target gives the lowest frequency.
    trace->Add(1000, 1000);
    doc.UpdateAllViews(nullptr, KavroHint::TraceCoordinates, live.get());
    EXPECT_EQ(tone.zone, 0);
    EXPECT_EQ(tone.starts, 1);

    // The shot: the current shot, draggable, labelled and zoomed.
    ComPtr<IShot> shot;
    ASSERT_EQ(live->AddShot(VARIANT_FALSE, shot.put()), S_OK);
    shot->put_ShotTime(clock.localNow());
    doc.AddShot(shot.get(), live.get());
    EXPECT_EQ(selectedOnControl().get(), shot.get());
    EXPECT_TRUE(flag(&ITarget::get_Dragable));
    EXPECT_FALSE(label(1).isEmpty());

    // The time counter runs from the first match shot's aiming.
    theAppOptions().DisplayTimeCounter = true;
    clock.advance(65000);
    view->UpdateTimeCounter();
    EXPECT_EQ(label(2), QStringLiteral(" 01:05 "));
    frame.matchStarted = false;
    view->UpdateTimeCounter();
    EXPECT_EQ(label(2), QString());

    // The aiming ends: the tone stops.
    doc.UpdateAllViews(nullptr, KavroHint::AimingConcluded, live.get());
    EXPECT_FALSE(tone.playing);
}

TEST_F(TraceViewTest, ReplayPanelFollowsTheReplayAndItsScrollBar)
{
    FakeTone tone;
    CTraceView::setToneGenerator(&tone);
    trainertest::startPractice(doc, "AR10");
    // The trace comes in from far left: the replay starts where it enters the zoomed view.
    ShotSpec spec{.x = 0.5f, .y = 0.0f, .samples = 200, .after = 50};
    ComPtr<IShot> shot = addShot(doc, spec);
    ComPtr<IShot> other = addShot(doc, {.x = 0.2f, .at = 40});
    doc.SetSelectedShot(shot.get(), nullptr);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    ASSERT_TRUE(doc.StartReplay());
    CReplayControlWindow* panel = view->replayPanel();
    EXPECT_TRUE(panel->isVisible());
    ComPtr<IRange> range;
    shot->Range(0, 0, range.put());
    int32_t first = 0, last = 0;
    float start = 0, end = 0;
    range->get_First(&first);
    range->get_Last(&last);
    range->Index2Sec(first, &start);
    range->Index2Sec(last, &end);
    EXPECT_EQ(panel->first(), first);
    EXPECT_EQ(panel->last(), last);
    EXPECT_EQ(panel->startText(), QString::asprintf("%-5.2f", double(start)));
    EXPECT_EQ(panel->endText(), QString::asprintf("%-5.2f", double(end)));
    ComPtr<IShot> replaying;
    target()->get_ReplayShot(replaying.put());
    EXPECT_EQ(replaying.get(), shot.get());
    EXPECT_EQ(doc.GetReplayState(), CKavroDoc::ReplayPlaying);

    // Virtual time moves the replay and the panel with it.
    const int at = panel->position();
    passReplay(300);
    EXPECT_GT(panel->position(), at);
    float pos = 0;
    target()->get_ReplayPosition(&pos);
    EXPECT_EQ(panel->currentText(), QString::asprintf("%-5.2f", double(pos)));

    // Scrolling pauses the replay and steps 5 samples at 100 per second, 20 a page.
    const int d = panel->position();
    view->OnReplayScroll(trace::ScrollCode::LineRight, 0);
    EXPECT_EQ(doc.GetReplayState(), CKavroDoc::ReplayPaused);
    EXPECT_EQ(panel->position(), d + 5);
    view->OnReplayScroll(trace::ScrollCode::PageLeft, 0);
    EXPECT_EQ(panel->position(), d + 5 - 20);
    view->OnReplayScroll(trace::ScrollCode::Bottom, 0);
    EXPECT_EQ(panel->position(), last);
    target()->get_ReplayPosition(&pos);
    EXPECT_FLOAT_EQ(pos, end);
    saveScreen(view.get(), QStringLiteral("trace_view_replay"));
    // Positions beyond the trace are held to its ends before any sample is read.
    view->UpdateReplayPanel(1000.0f);
    EXPECT_EQ(panel->position(), last);
    view->UpdateReplayPanel(-1000.0f);
    EXPECT_EQ(panel->position(), first);

    // Replay stopped: the panel goes, the shot is shown again, the tone stops.
    tone.playing = true;
    doc.StopReplay();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(tone.playing);
    EXPECT_EQ(selectedOnControl().get(), shot.get());
    EXPECT_NE(selectedOnControl().get(), other.get());
}

TEST_F(TraceViewTest, AReplayRunToItsEndShowsTheReplayedShotAgain)
{
    trainertest::startPractice(doc, "AR10");
    ComPtr<IShot> shot = addShot(doc, {.x = 0.5f, .samples = 40, .after = 20});
    addShot(doc, {.x = 0.2f, .samples = 40, .after = 20, .at = 40});
    doc.SetSelectedShot(shot.get(), nullptr);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    ASSERT_TRUE(doc.StartReplay());
    HintLog others;
    doc.AddView(&others);
    ComPtr<IAiming> replaying;
    for (int i = 0; i < 100 && SUCCEEDED(target()->get_ReplayAiming(replaying.put())) && replaying; ++i)
        passReplay(100);
    ASSERT_FALSE(replaying);
    doc.RemoveView(&others);

    ComPtr<IAiming> aiming;
    doc.FindAiming(shot.get(), &aiming);
    EXPECT_EQ(shownAiming().get(), aiming.get());
    EXPECT_EQ(selectedOnControl().get(), shot.get());
    EXPECT_FALSE(view->replayPanel()->isVisible());
    EXPECT_EQ(others.hints, std::vector<int>{KavroHint::ReplayStopped});
}

TEST_F(TraceViewTest, ReplayStartsWhereTheTraceEntersTheView)
{
    trainertest::startPractice(doc, "AR10");
    ComPtr<IShot> shot = addShot(doc, {.x = 0.3f, .samples = 200, .after = 20, .approachFrom = -35.0f});
    doc.SetSelectedShot(shot.get(), nullptr);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    float left = 0, width = 0;
    target()->get_VisibleLeft(&left);
    target()->get_VisibleWidth(&width);
    ASSERT_GT(left, -35.0f); // the start of the trace lies outside the zoomed view
    ASSERT_TRUE(doc.StartReplay());
    float pos = 0;
    target()->get_ReplayPosition(&pos);
    ComPtr<IRange> range;
    shot->Range(0, 0, range.put());
    int32_t i = 0, first = 0;
    range->get_First(&first);
    range->Sec2Index(pos, &i);
    float x = 0, px = 0;
    range->get_x(i, &x);
    range->get_x(i - 1, &px);
    EXPECT_GT(i, first);
    EXPECT_GE(x, left);
    EXPECT_LT(px, left);
}

TEST_F(TraceViewTest, PulsePanelBeatsWithTheHeartAndKeepsStillDuringAReplay)
{
    trainertest::startPractice(doc, "AR10");
    ComPtr<IShot> shot = addShot(doc, {.x = 0.5f});
    doc.AppendPulseSample(clock.localNow(), 64);
    doc.SetSelectedShot(shot.get(), nullptr);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    CPulseWindow* pulse = view->pulseWindow();
    EXPECT_TRUE(pulse->pulseShown());
    EXPECT_TRUE(pulse->isVisible());
    EXPECT_EQ(pulse->width(), 32);

    doc.SetPulse(72);
    doc.UpdateAllViews(nullptr, KavroHint::Pulse);
    EXPECT_EQ(pulse->pulse(), 72);

    // Beats one second apart: image 0 for a third of the interval after each beat.
    DATE beat0 = clock.localNow(), min = 0;
    doc.UpdateAllViews(nullptr, KavroHint::HeartBeat, KavroHint::HeartBeatArgs{min, beat0});
    clock.advance(1000);
    DATE beat1 = clock.localNow();
    doc.UpdateAllViews(nullptr, KavroHint::HeartBeat, KavroHint::HeartBeatArgs{min, beat1});
    view->OnHeartTimer();
    EXPECT_EQ(pulse->heartImage(), 0);
    clock.advance(300);
    view->OnHeartTimer();
    EXPECT_EQ(pulse->heartImage(), 0);
    clock.advance(40);
    view->OnHeartTimer();
    EXPECT_EQ(pulse->heartImage(), 1);

    // During a replay neither beats nor pulse reports reach the panel.
    ASSERT_TRUE(doc.StartReplay());
    const int shownPulse = pulse->pulse();
    const int shownImage = pulse->heartImage();
    doc.SetPulse(99);
    doc.UpdateAllViews(nullptr, KavroHint::Pulse);
    DATE beat2 = clock.localNow();
    doc.UpdateAllViews(nullptr, KavroHint::HeartBeat, KavroHint::HeartBeatArgs{min, beat2});
    view->OnHeartTimer();
    EXPECT_EQ(pulse->pulse(), shownPulse);
    EXPECT_EQ(pulse->heartImage(), shownImage);
    int32_t values[] = {5000};
    doc.UpdateAllViews(nullptr, KavroHint::TriggerValues, KavroHint::TriggerArgs{values, 1});
    EXPECT_EQ(pulse->triggerValue(), 0);
}

TEST_F(TraceViewTest, NewPracticeWithATriggerOnlySensor)
{
    FakeFrame frame;
    frame.connected = true;
    frame.device->trigger = true;
    trainertest::startPractice(doc, "AR10");
    doc.UpdateAllViews(nullptr, KavroHint::PracticeStarted);
    CPulseWindow* pulse = view->pulseWindow();
    EXPECT_FALSE(pulse->pulseShown());
    EXPECT_TRUE(pulse->triggerShown());
    EXPECT_TRUE(pulse->isVisible());
    EXPECT_EQ(pulse->width(), 32);
    EXPECT_TRUE(view->timeCounterRunning());
    EXPECT_FALSE(view->heartTimerRunning());
    EXPECT_FALSE(flag(&ITarget::get_Match)); // the match has not started
    doc.UpdateAllViews(nullptr, KavroHint::MatchStarted);
    EXPECT_TRUE(flag(&ITarget::get_Match));

    // Trigger reports scale the bar to the largest value seen.
    int32_t values[] = {100, 400, 250};
    doc.UpdateAllViews(nullptr, KavroHint::TriggerValues, KavroHint::TriggerArgs{values, 3});
    EXPECT_EQ(pulse->triggerScale(), 400);
    EXPECT_EQ(pulse->triggerValue(), 250);
    int32_t full[] = {480};
    doc.UpdateAllViews(nullptr, KavroHint::TriggerValues, KavroHint::TriggerArgs{full, 1});
    EXPECT_EQ(pulse->triggerScale(), 480);
    // 1.2 × the scale would fill the bar; 480 of 480 fills five sixths of it.
    const QImage image = grab(pulse);
    const QRect bar = pulse->rows().triggerBar;
    ASSERT_FALSE(bar.isEmpty());
    EXPECT_EQ(QColor(image.pixel(bar.center().x(), bar.bottom() - 2)), QColor(0, 0, 255));
    EXPECT_EQ(QColor(image.pixel(bar.center().x(), bar.top() + bar.height() / 12)), QColor(Qt::white));
    saveScreen(pulse, QStringLiteral("trace_view_trigger_panel"));

    doc.UpdateAllViews(nullptr, KavroHint::PracticeStopped);
    EXPECT_FALSE(view->timeCounterRunning());
}

TEST_F(TraceViewTest, PulsePanelPixels)
{
    CPulseWindow panel;
    panel.resize(32, 300);
    panel.SetShowPulse(true);
    panel.SetShowTrigger(true);
    panel.SetPulse(66);
    panel.SetTriggerScale(100);
    panel.SetTriggerValue(120);
    QImage image = grab(&panel);
    const auto& rows = panel.rows();
    // The grey gap between the pulse rows and the trigger caption.
    EXPECT_EQ(QColor(image.pixel(16, rows.gap.top() + 1)), QColor(192, 192, 192));
    // 1.2 × the scale fills the whole bar.
    EXPECT_EQ(QColor(image.pixel(16, rows.triggerBar.top())), QColor(0, 0, 255));
    // The pulse number darkens the second row; a pulse of 0 leaves it white.
    auto darkIn = [&](const QRect& r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += qGray(image.pixel(x, y)) < 128;
        return n;
    };
    EXPECT_GT(darkIn(rows.pulseRow2), 0);
    panel.SetPulse(0);
    image = grab(&panel);
    EXPECT_EQ(darkIn(rows.pulseRow2), 0);
    // The two hearts differ.
    panel.SetHeartImage(0);
    const QImage beat = grab(&panel).copy(rows.pulseRow1);
    panel.SetHeartImage(1);
    EXPECT_NE(grab(&panel).copy(rows.pulseRow1), beat);
    // Pulse only: no gap is drawn, and nothing below the rows.
    panel.SetShowTrigger(false);
    image = grab(&panel);
    EXPECT_EQ(QColor(image.pixel(16, 66)), QColor(Qt::white));
}

TEST_F(TraceViewTest, KeysZoomAndControlReplay)
{
    trainertest::startPractice(doc, "AR10");
    ComPtr<IShot> shot = addShot(doc, {.x = 0.5f});
    doc.SetSelectedShot(shot.get(), nullptr);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    QTest::keyClick(view.get(), Qt::Key_3);
    EXPECT_FLOAT_EQ(zoom(), 3.0f);
    EXPECT_FLOAT_EQ(view->largestZoom(), 3.0f);
    // 0 asks for level 10, which the control keeps as 9.
    QTest::keyClick(view.get(), Qt::Key_0);
    EXPECT_FLOAT_EQ(zoom(), 9.0f);
    EXPECT_FLOAT_EQ(view->largestZoom(), 10.0f);
    // A right click returns to the whole target.
    view->OnRightClick();
    EXPECT_FLOAT_EQ(zoom(), 0.0f);
    // Space starts, pauses and resumes the replay.
    QTest::keyClick(view.get(), Qt::Key_Space);
    EXPECT_EQ(doc.GetReplayState(), CKavroDoc::ReplayPlaying);
    QTest::keyClick(view.get(), Qt::Key_Space);
    EXPECT_EQ(doc.GetReplayState(), CKavroDoc::ReplayPaused);
    VARIANT_BOOL paused = VARIANT_FALSE;
    target()->get_ReplayPaused(&paused);
    EXPECT_EQ(paused, VARIANT_TRUE);
    QTest::keyClick(view.get(), Qt::Key_Space);
    EXPECT_EQ(doc.GetReplayState(), CKavroDoc::ReplayPlaying);
}

TEST_F(TraceViewTest, SmoothZoomTakesHalfASecondUnlessTheEventForbidsIt)
{
    theAppOptions().TargetSmoothZoom = true;
    trainertest::startPractice(doc, "AR10");
    ComPtr<IShot> shot = addShot(doc, {.x = 0.5f});
    doc.SetSelectedShot(shot.get(), nullptr);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    view->OnRightClick();
    ASSERT_TRUE(view->zoomAnimating());
    const float from = zoom();
    clock.advance(250);
    view->OnZoomTimer();
    EXPECT_FLOAT_EQ(zoom(), from / 2 < 1 ? 0.0f : from / 2);
    clock.advance(300);
    view->OnZoomTimer();
    EXPECT_FLOAT_EQ(zoom(), 0.0f);
    EXPECT_FALSE(view->zoomAnimating());

    ComPtr<IEventParams> event;
    doc.GetEvent(&event);
    event->put_Value(QStringLiteral("_zoom_disable_animation"), Variant(int32_t(1)));
    QTest::keyClick(view.get(), Qt::Key_5);
    EXPECT_FALSE(view->zoomAnimating());
    EXPECT_FLOAT_EQ(zoom(), 5.0f);
    event->put_Value(QStringLiteral("_zoom_disable_animation"), Variant());
}

TEST_F(TraceViewTest, DraggingTheCurrentShotAccumulatesTheCorrection)
{
    HintLog log;
    trainertest::startPractice(doc, "AR10");
    doc.AddView(&log);
    view->OnStartDrag(1.0f, 1.0f);
    view->OnEndDrag(3.0f, 0.5f);
    view->OnStartDrag(3.0f, 0.5f);
    view->OnEndDrag(3.5f, 1.5f);
    EXPECT_FLOAT_EQ(view->correctionX(), 2.5f);
    EXPECT_FLOAT_EQ(view->correctionY(), 0.5f);
    ASSERT_EQ(log.shifts.size(), 2u);
    EXPECT_FLOAT_EQ(log.shifts[0].first, 2.0f);
    EXPECT_FLOAT_EQ(log.shifts[0].second, -0.5f);
    EXPECT_FLOAT_EQ(log.shifts[1].first, 0.5f);
    EXPECT_FLOAT_EQ(log.shifts[1].second, 1.0f);
    doc.RemoveView(&log);
}

// The control takes a correction only while its breach may be dragged: coming back from a shot
// that may not, the current shot must show where the shooter moved it.
TEST_F(TraceViewTest, TheCurrentShotShowsItsCorrectionAgainAfterAnOlderShot)
{
    trainertest::startPractice(doc, "AR10");
    ComPtr<IShot> older = addShot(doc, {.x = 0.2f});
    ComPtr<IShot> current = addShot(doc, {.x = 0.5f, .at = 40});
    ComPtr<IAiming> aiming;
    doc.FindAiming(current.get(), &aiming);
    doc.UpdateAllViews(nullptr, KavroHint::ShotAdded, aiming.get(), current.get());
    ASSERT_TRUE(flag(&ITarget::get_Dragable));
    view->OnStartDrag(1.0f, 1.0f);
    view->OnEndDrag(2.0f, 0.5f);

    doc.SetSelectedShot(older.get(), nullptr);
    EXPECT_FALSE(flag(&ITarget::get_Dragable));
    doc.SetSelectedShot(current.get(), nullptr);
    EXPECT_TRUE(flag(&ITarget::get_Dragable));
    const target::MouseState& mouse = static_cast<target::CTarget*>(target())->state().mouse;
    EXPECT_EQ(mouse.dragShot.get(), current.get());
    EXPECT_EQ(mouse.current.x - mouse.grab.x, 100);
    EXPECT_EQ(mouse.current.y - mouse.grab.y, -50);
}

TEST_F(TraceViewTest, BiathlonSubTargetHintClearsTheView)
{
    trainertest::startPractice(doc, "BTLN");
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    doc.UpdateAllViews(nullptr, KavroHint::BiathlonSubTarget, KavroHint::SubTargetArgs{BiathlonTarget::Prone});
    int32_t sub = 0, n = -1;
    target()->get_SubTarget(&sub);
    target()->get_Count(&n);
    EXPECT_EQ(sub, BiathlonTarget::Prone);
    EXPECT_EQ(n, 0);
}

TEST_F(TraceViewTest, PictureOfAPractice)
{
    theAppOptions().TargetLen = true;
    realPractice(doc, 10);
    doc.AppendPulseSample(clock.localNow(), 64);
    doc.SetSelectedShot(trainertest::listShot(doc, 5).get(), nullptr);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    doc.SetPulse(68);
    doc.UpdateAllViews(nullptr, KavroHint::Pulse);
    EXPECT_TRUE(label(1).contains(QStringLiteral(" mm ")));
    int32_t elements = 0;
    target()->get_ElementCount(&elements);
    EXPECT_EQ(elements, 2); // the average aiming point: a cross of two lines
    saveScreen(view.get(), QStringLiteral("trace_view_practice"));
}

TEST_F(TraceViewTest, ReplayDrivesTriggerAndHeartFromTheShotsOwnRecords)
{
    trainertest::startPractice(doc, "AR10");
    ComPtr<IShot> shot = addShot(doc, {.x = 0.5f, .samples = 200, .after = 50, .trigger = true});
    shot->put_Value(QStringLiteral("_pulse"), Variant::fromInteger(VT_I2, 77));
    // One stored heartbeat from 1.0 s to 0.5 s before the shot.
    DATE shotTime = 0;
    shot->get_ShotTime(&shotTime);
    ComPtr<IAimingAttr> attr;
    shot->get_Attr(attr.put());
    attr->put_Value(QStringLiteral("_pulse_fi"), Variant(int32_t(0)));
    attr->put_Value(QStringLiteral("_pulse_li"), Variant(int32_t(0)));
    attr->put_Value(QStringLiteral("_pulse_min0"), Variant::fromDate(shotTime - 1.0 / 86400));
    attr->put_Value(QStringLiteral("_pulse_max0"), Variant::fromDate(shotTime - 0.5 / 86400));
    doc.SetSelectedShot(shot.get(), nullptr);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    CPulseWindow* pulse = view->pulseWindow();
    EXPECT_EQ(pulse->pulse(), 77); // the shot's own pulse
    EXPECT_TRUE(pulse->triggerShown());

    ASSERT_TRUE(doc.StartReplay());
    // The bar is scaled to the largest pressure of the trace: 10 × its last sample index.
    EXPECT_EQ(pulse->triggerScale(), 10 * 249);
    view->UpdateReplayPanel(-0.75f);
    EXPECT_EQ(pulse->heartImage(), 0);
    ComPtr<IAimingTrace> trace;
    shot->get_Trace(trace.put());
    int32_t traceIndex = 0, offset = 0, expected = 0, channel = -1;
    shot->get_TraceIndex(&traceIndex);
    trace->Sec2Index(-0.75f, &offset);
    trace->GetUserData(QStringLiteral("_trigger"), &channel);
    trace->get_UserData(channel, traceIndex + offset, &expected);
    EXPECT_EQ(pulse->triggerValue(), expected);
    EXPECT_GT(expected, 0);
    view->UpdateReplayPanel(-0.25f);
    EXPECT_EQ(pulse->heartImage(), 1);
    view->UpdateReplayPanel(-1.0f);
    EXPECT_EQ(pulse->heartImage(), 0);
}

TEST_F(TraceViewTest, TraceOptionsReachTheControl)
{
    trainertest::startPractice(doc, "AR10");
    ComPtr<IShot> shot = addShot(doc, {.x = 0.5f});
    doc.SetSelectedShot(shot.get(), nullptr);
    theAppOptions().TraceHeadingEnabled = false;
    theAppOptions().TraceColorBefore = 0x00123456;
    theAppOptions().TraceColorAfter = 0x00654321;
    theAppOptions().BreachColor = 0x0000FF00;
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    float heading = -1;
    OLE_COLOR before = 0, after = 0, breach = 0, labelColour = 0;
    target()->get_TraceHeadingLength(&heading);
    target()->get_TraceColor(&before);
    target()->get_TraceAfterShotColor(&after);
    target()->get_BreachColor(&breach);
    target()->get_LabelColor(&labelColour);
    EXPECT_FLOAT_EQ(heading, 0.0f);
    EXPECT_EQ(before, 0x00123456u);
    EXPECT_EQ(after, 0x00654321u);
    EXPECT_EQ(breach, 0x0000FF00u);
    EXPECT_EQ(labelColour, 0x00FFFFFFu);

    theAppOptions().TraceHeadingEnabled = true;
    theAppOptions().TraceHeadingLength = 0.4f;
    theAppOptions().ReplaySpeed = 50;
    view->ReloadSettings();
    int32_t speed = 0;
    target()->get_TraceHeadingLength(&heading);
    target()->get_ReplaySpeed(&speed);
    EXPECT_FLOAT_EQ(heading, 0.4f);
    EXPECT_EQ(speed, 50);
}
