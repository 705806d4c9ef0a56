// What the six charts compute from practices whose values can be worked out by hand.
#include "support/chart_fixture.h"
#include "random_offset.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

using namespace kavro::charts;
using namespace charttest;

namespace {

// Shot 1 rests at (3, -4) mm, 5 mm from the centre; shot 2 crosses the centre at 10 mm/s along x.
std::vector<AimingSpec> handPractice()
{
    AimingSpec a;
    a.before = constant(150, 300, -400);
    a.after = constant(40, 300, -400);
    a.shotTime = 0;
    AimingSpec b;
    b.before = line(150, -1490, 10);
    b.after = line(40, 10, 10);
    b.shotTime = 60;
    return {a, b};
}

float score(IEventParams* event, float x, float y)
{
    float s = 0;
    EXPECT_EQ(event->GetBreachScore(x, y, 1, &s), S_OK);
    return s;
}

double valueAt(const std::vector<std::pair<double, double>>& points, double t)
{
    for (auto [x, y] : points)
        if (std::fabs(x - t) < 1e-4)
            return y;
    ADD_FAILURE() << "no point at " << t;
    return NAN;
}

QStringList labelsOf(const CChartImpl& chart, CChartImpl::MarkerKind kind)
{
    QStringList out;
    for (const ChartMarker& m : chart.markers())
        if (chart.KindOf(m) == kind && !m.label.isEmpty())
            out << m.label;
    return out;
}

float ringHalf(int n)
{
    ComPtr<ITargetParams> t;
    event("AR10")->get_Target(1, t.put());
    float r = 0;
    t->get_Ring(n, &r);
    return r / 2;
}

} // namespace

TEST(DistanceChart, FollowsTheSelectedShotsDistanceAndComponents)
{
    auto doc = makeDocument("AR10", handPractice());
    ChartContext ctx = contextOf(doc.get());
    ctx.selectedShot = matchShot(ctx, 1);
    CChartImpl top, bottom;
    setupDistanceCharts(top, bottom, ctx);
    recalcDistance(top, bottom, ctx);
    const auto d = pointsOf(bottom, 1);
    ASSERT_EQ(d.size(), 131u); // 1 s before the shot to 0.3 s after at 100 samples per second
    EXPECT_NEAR(d.front().first, -1.0, 1e-6);
    EXPECT_NEAR(d.back().first, 0.3, 1e-6);
    for (auto [t, v] : d)
        EXPECT_NEAR(v, 5.0, 1e-5);
    EXPECT_NEAR(valueAt(pointsOf(top, 2), 0), -3.0, 1e-5); // centre x - aiming x
    EXPECT_NEAR(valueAt(pointsOf(top, 3), 0), 4.0, 1e-5);
    // 5 mm rounds up to the nearest ring that holds it (ring 8).
    EXPECT_FLOAT_EQ(float(bottom.yMax), ringHalf(8));
    EXPECT_FLOAT_EQ(float(top.yMin), -ringHalf(8));
    // Rings 8 to 10 are on that scale; the wider ones are not labelled.
    EXPECT_EQ(labelsOf(bottom, CChartImpl::MarkerKind::VerticalAxis).size(), 3u);
    EXPECT_EQ(labelsOf(top, CChartImpl::MarkerKind::VerticalAxis).size(), 6u);
    // No trigger channel: the trigger curve is hidden.
    EXPECT_FALSE(bottom.FindSeries(4)->visible);
    EXPECT_TRUE(pointsOf(bottom, 4).empty());
}

TEST(DistanceChart, TriggerIsScaledToItsValueAtTheShotAndAZeroReferenceIsSafe)
{
    auto specs = handPractice();
    specs.resize(1);
    for (int i = 0; i < 190; ++i)
        specs[0].trigger.push_back(2 * i); // 298 at the shot (sample 149)
    AimingSpec flat = specs[0];
    flat.trigger.assign(190, 0);
    flat.shotTime = 30;
    specs.push_back(flat);
    auto doc = makeDocument("AR10", specs);
    ChartContext ctx = contextOf(doc.get());
    ctx.selectedShot = matchShot(ctx, 1);
    CChartImpl top, bottom;
    setupDistanceCharts(top, bottom, ctx);
    recalcDistance(top, bottom, ctx);
    EXPECT_TRUE(bottom.FindSeries(4)->visible);
    const double maxD = bottom.yMax;
    EXPECT_NEAR(valueAt(pointsOf(bottom, 4), 0), maxD / 1.2, 1e-6);
    EXPECT_NEAR(valueAt(pointsOf(bottom, 4), -1), 2 * 49 * maxD / (298 * 1.2), 1e-6);
    EXPECT_EQ(labelsOf(bottom, CChartImpl::MarkerKind::Free),
              (QStringList{"20%", "40%", "60%", "80%", "100%", "120%"}));

    ctx.selectedShot = matchShot(ctx, 2);
    recalcDistance(top, bottom, ctx);
    for (auto [t, v] : pointsOf(bottom, 4))
        EXPECT_EQ(v, 0.0) << t;
}

TEST(DistanceChart, SecondControlIntervalWidensTheWindowButNotTheStoredBand)
{
    auto doc = makeDocument("AR10", handPractice());
    ChartContext ctx = contextOf(doc.get());
    ctx.selectedShot = matchShot(ctx, 1);
    ctx.window = timeWindow(2.0f, true, 5);
    EXPECT_EQ(ctx.window.window, 5.0);
    EXPECT_EQ(timeWindow(2.0f, false, 5).window, 2.0);
    EXPECT_EQ(timeWindow(0.1f, false, 5).before, 1.0);
    CChartImpl top, bottom;
    setupDistanceCharts(top, bottom, ctx);
    recalcDistance(top, bottom, ctx);
    EXPECT_EQ(bottom.xMin, -5.0);
    ASSERT_EQ(bottom.bands().size(), 1u);
    EXPECT_EQ(bottom.bands()[0].x, -2.0);
    EXPECT_EQ(bottom.bands()[0].width, 2.0);
    EXPECT_EQ(labelsOf(bottom, CChartImpl::MarkerKind::HorizontalAxis),
              (QStringList{"1.5", "1", "0.5", "-0.5", "-1", "-1.5", "-2", "-2.5", "-3", "-3.5", "-4", "-4.5", "-5"}));
    // The trace only holds 1.49 s before the shot: the curve starts there.
    EXPECT_NEAR(pointsOf(bottom, 1).front().first, -1.49, 1e-5);
}

TEST(DistanceChart, TwoTargetEventsMarkTheAreasNotTheRings)
{
    IEventParams* btln = event("BTLN");
    ComPtr<ITargetParams> standing;
    btln->get_Target(1, standing.put());
    ComPtr<ITargetElement> area;
    standing->get_Areas(1, area.put());
    ASSERT_TRUE(area);
    float left = 0, top0 = 0, width = 0, height = 0;
    area->get_Left(&left);
    area->get_Top(&top0);
    area->get_Width(&width);
    area->get_Height(&height);
    const int32_t cx = int32_t(std::lround((left + width / 2) * 100)),
                  cy = int32_t(std::lround((top0 + height / 2) * 100));
    AimingSpec s;
    s.before = constant(150, cx, cy);
    s.after = constant(40, cx, cy);
    auto doc = makeDocument("BTLN", {s});
    ChartContext ctx = contextOf(doc.get());
    EXPECT_EQ(ctx.targetKind, 2);
    ctx.selectedShot = matchShot(ctx, 1);
    CChartImpl t, b;
    setupDistanceCharts(t, b, ctx);
    recalcDistance(t, b, ctx);
    const QStringList labels = labelsOf(b, CChartImpl::MarkerKind::VerticalAxis);
    EXPECT_EQ(labels, (QStringList{"Standing", "Prone"}));
    EXPECT_GE(b.yMax, width / 2 - 1e-6);

    // The intervals chart of the pair: a shot at its area's centre stands 95 high.
    CChartImpl intervals;
    IntervalsState state;
    recalcIntervals(intervals, state, ctx);
    ASSERT_EQ(pointsOf(intervals, 1).size(), 2u);
    EXPECT_NEAR(pointsOf(intervals, 1)[1].second, 95.0, 0.5);
    EXPECT_EQ(intervals.minLineWidth, 15);
}

TEST(CoordinationChart, MeanDistanceOverTheMatchShots)
{
    auto doc = makeDocument("AR10", handPractice());
    ChartContext ctx = contextOf(doc.get());
    CChartImpl c;
    CoordinationState state;
    setupCoordinationChart(c, ctx);
    recalcCoordination(c, state, ctx, true, true, true);
    EXPECT_EQ(state.count[0], 2);
    const auto before = pointsOf(c, 1);
    ASSERT_EQ(before.size(), 101u);
    EXPECT_NEAR(valueAt(before, 0), 2.51, 1e-4); // (5 + 0) / 2, never exactly 0
    EXPECT_NEAR(valueAt(before, -1), 7.51, 1e-4); // (5 + 10) / 2
    EXPECT_TRUE(pointsOf(c, 2).empty()); // never drops: one colour
    EXPECT_EQ(pointsOf(c, 3).size(), 31u);
    EXPECT_NEAR(state.max[0], 7.51, 1e-4);
    EXPECT_FLOAT_EQ(float(c.yMax), ringHalf(7));
    EXPECT_EQ(c.FindSeries(1)->name, QStringLiteral("Coordination: 2 match shots"));
    EXPECT_TRUE(c.FindSeries(4)->name.isEmpty()); // no model

    // A shot with only half a second of trace: where not every trace reaches, the second colour.
    auto specs = handPractice();
    specs[1].before = line(50, -490, 10);
    auto shortDoc = makeDocument("AR10", specs);
    ctx = contextOf(shortDoc.get());
    recalcCoordination(c, state, ctx, true, false, true);
    EXPECT_EQ(pointsOf(c, 1).size(), 50u);
    EXPECT_EQ(pointsOf(c, 2).size(), 51u);
    EXPECT_NEAR(valueAt(pointsOf(c, 2), -1), 5.01, 1e-4); // only the first shot: not averaged
}

TEST(TimeShiftChart, SumsWhatEveryTraceScoresAtEachMoment)
{
    IEventParams* ar10 = event("AR10");
    AimingSpec a;
    a.before = constant(150, 300, -400);
    a.after = constant(40, 300, -400);
    AimingSpec b;
    b.before = constant(50, 120, 80); // half a second of trace only
    b.after = constant(40, 120, 80);
    b.shotTime = 50;
    auto doc = makeDocument("AR10", {a, b});
    ChartContext ctx = contextOf(doc.get());
    CChartImpl c;
    TimeShiftState state;
    setupTimeShiftChart(c, ctx);
    const float sa = score(ar10, 3, -4), sb = score(ar10, 1.2f, 0.8f);
    recalcTimeShift(c, state, ctx, true, true, false);
    EXPECT_EQ(valueAt(pointsOf(c, 1), 0), std::trunc(sa) + std::trunc(sb));
    EXPECT_EQ(valueAt(pointsOf(c, 1), -1), std::trunc(sa)); // the short trace adds nothing there
    recalcTimeShift(c, state, ctx, true, true, true);
    EXPECT_NEAR(valueAt(pointsOf(c, 1), 0), double(sa) + sb, 1e-4);
    EXPECT_EQ(state.count[0], 2);
    EXPECT_EQ(c.FindSeries(1)->name, QStringLiteral("Time shift: 2 match shots"));
    EXPECT_EQ(c.xAxisAt, c.yMin);
    EXPECT_EQ(int(c.yMax) % 5, 0);
    EXPECT_EQ(int(c.yMin) % 5, 0);
    EXPECT_GE(c.yMin, 0);
}

TEST(TimeShiftChart, OneShotOfConstantScoreStillHasAHeightAndFractionModeKeepsTenths)
{
    IEventParams* ar10 = event("AR10");
    int32_t x = 0;
    while (x < 300 && std::fabs(score(ar10, x / 100.0f, 0) - 10.4f) > 0.05f)
        ++x;
    ASSERT_LT(x, 300);
    AimingSpec a;
    a.before = constant(150, x, 0);
    a.after = constant(40, x, 0);
    auto doc = makeDocument("AR10", {a});
    ChartContext ctx = contextOf(doc.get());
    CChartImpl c;
    TimeShiftState state;
    setupTimeShiftChart(c, ctx);
    recalcTimeShift(c, state, ctx, true, false, false);
    EXPECT_EQ(valueAt(pointsOf(c, 1), 0), 10.0);
    EXPECT_EQ(state.max[0], 11.0); // all sums equal: one more than the maximum
    EXPECT_EQ(c.yMax, 15.0);
    EXPECT_EQ(c.yMin, 10.0);
    EXPECT_EQ(labelsOf(c, CChartImpl::MarkerKind::VerticalAxis), (QStringList{"11", "12", "13", "14", "15"}));
    recalcTimeShift(c, state, ctx, true, false, true);
    EXPECT_NEAR(valueAt(pointsOf(c, 1), 0), score(ar10, x / 100.0f, 0), 1e-5);
}

TEST(TimeShiftChart, PracticesWithoutASummedShotKeepTheRangeOfAnEmptyPractice)
{
    AimingSpec missed;
    missed.before = constant(150, 0, 0);
    missed.missed = true;
    auto none = makeDocument("AR10", {});
    const ChartContext noShots = contextOf(none.get());
    CChartImpl empty;
    TimeShiftState emptyState;
    setupTimeShiftChart(empty, noShots);
    recalcTimeShift(empty, emptyState, noShots, true, true, false);
    const struct {
        int documentShots, modelShots;
    } rows[] = {{1, 0}, {3, 0}, {3, 5}, {0, 4}};
    for (const auto& row : rows) {
        auto doc = makeDocument("AR10", std::vector<AimingSpec>(size_t(row.documentShots), missed));
        auto model = makeDocument("AR10", std::vector<AimingSpec>(size_t(row.modelShots), missed));
        ChartContext ctx = contextOf(doc.get());
        ctx.modelShots = contextOf(model.get()).matchShots;
        CChartImpl c;
        TimeShiftState state;
        setupTimeShiftChart(c, ctx);
        recalcTimeShift(c, state, ctx, true, true, false);
        EXPECT_EQ(state.count[0], row.documentShots);
        EXPECT_LE(c.yMin, c.yMax) << row.documentShots << " " << row.modelShots;
        EXPECT_EQ(c.yMin, empty.yMin) << row.documentShots << " " << row.modelShots;
        EXPECT_EQ(c.yMax, empty.yMax) << row.documentShots << " " << row.modelShots;
        EXPECT_EQ(c.xAxisAt, empty.xAxisAt);
        EXPECT_EQ(labelsOf(c, CChartImpl::MarkerKind::VerticalAxis),
                  labelsOf(empty, CChartImpl::MarkerKind::VerticalAxis));
    }
}

TEST(TimeShiftChart, TwoTargetEventsComputeNothingButKeepTheFrame)
{
    AimingSpec s;
    s.before = constant(150, 0, 0);
    auto doc = makeDocument("BTLN", {s});
    ChartContext ctx = contextOf(doc.get());
    CChartImpl c;
    TimeShiftState state;
    setupTimeShiftChart(c, ctx);
    recalcTimeShift(c, state, ctx, true, true, false);
    EXPECT_TRUE(pointsOf(c, 1).empty());
    EXPECT_EQ(c.bands().size(), 1u);
    EXPECT_EQ(c.xMin, -1.0);
}

TEST(SpeedChart, AverageAndCurrentShotSpeeds)
{
    auto doc = makeDocument("AR10", handPractice());
    ChartContext ctx = contextOf(doc.get());
    ctx.selectedShot = matchShot(ctx, 2);
    CChartImpl top, bottom;
    SpeedState state;
    setupSpeedCharts(top, bottom, ctx);
    recalcSpeed(top, bottom, state, ctx, true, true, true);
    for (auto [t, v] : pointsOf(bottom, 1))
        EXPECT_NEAR(v, 10.0, 1e-4) << t;
    EXPECT_NEAR(valueAt(pointsOf(top, 1), -0.5), 5.0, 1e-4); // one shot still, one at 10 mm/s
    EXPECT_EQ(top.yMax, 20.0);
    EXPECT_EQ(bottom.yMax, 20.0);
    EXPECT_EQ(top.FindSeries(1)->name, QStringLiteral("Speed: 2 match shots"));
    EXPECT_EQ(labelsOf(top, CChartImpl::MarkerKind::VerticalAxis),
              (QStringList{"2", "4", "6", "8", "10", "12", "14", "16", "18", "20"}));
}

TEST(SpeedChart, CurrentShotPeakIsRoundedUpAndLabelsCrossDecades)
{
    AimingSpec fast;
    fast.before = line(150, -150 * 35, 35); // 35 mm/s
    fast.after = line(40, 0, 35);
    AimingSpec faster = fast;
    faster.before = line(150, 0, 110); // 110 mm/s
    faster.after = line(40, 150 * 110, 110);
    auto doc = makeDocument("AR10", {fast, faster});
    ChartContext ctx = contextOf(doc.get());
    ctx.selectedShot = matchShot(ctx, 1);
    CChartImpl top, bottom;
    SpeedState state;
    setupSpeedCharts(top, bottom, ctx);
    recalcSpeed(top, bottom, state, ctx, true, false, true);
    EXPECT_NEAR(state.currentMax, 35.0, 1e-4);
    EXPECT_EQ(bottom.yMax, 40.0); // the peak stays on the chart
    EXPECT_EQ(top.yMax, 80.0); // mean of 35 and 110 is 72.5
    ctx.selectedShot = matchShot(ctx, 2);
    recalcSpeed(top, bottom, state, ctx, false, false, true);
    EXPECT_EQ(bottom.yMax, 120.0);
    EXPECT_EQ(labelsOf(bottom, CChartImpl::MarkerKind::VerticalAxis),
              (QStringList{"12", "24", "36", "48", "60", "72", "84", "96", "108", "120"}));
}

TEST(SpeedChart, TheFirstSamplesLookForwardsWithinAShortTrace)
{
    AimingSpec s;
    s.before = {{0, 0}, {0, 0}, {10, 0}, {30, 0}, {60, 0}, {100, 0}};
    auto doc = makeDocument("AR10", {s});
    ChartContext ctx = contextOf(doc.get());
    ctx.selectedShot = matchShot(ctx, 1);
    CChartImpl top, bottom;
    SpeedState state;
    setupSpeedCharts(top, bottom, ctx);
    recalcSpeed(top, bottom, state, ctx, false, false, true);
    const auto p = pointsOf(bottom, 1);
    ASSERT_EQ(p.size(), 6u);
    // Step 4 samples: index -5 looks at -1 (60 units), -1 looks forward past the end: clamped to 0.
    EXPECT_NEAR(p[0].second, 100 * 60 / (4 * 100.0), 1e-4);
    EXPECT_NEAR(p[4].second, 100 * 40 / (4 * 100.0), 1e-4);
    EXPECT_NEAR(p[5].second, 100 * 100 / (4 * 100.0), 1e-4); // backwards from 0 to -4
}

TEST(IntervalsChart, OneBarPerMatchShotColouredByResult)
{
    AimingSpec centre;
    centre.before = constant(150, 0, 0);
    AimingSpec off = centre;
    off.before = constant(150, 300, -400);
    off.shotTime = 300;
    AimingSpec last = centre;
    last.shotTime = 600;
    auto doc = makeDocument("AR10", {centre, off, last});
    ChartContext ctx = contextOf(doc.get());
    ctx.selectedShot = matchShot(ctx, 3);
    CChartImpl c;
    IntervalsState state;
    setupIntervalsChart(c, ctx);
    recalcIntervals(c, state, ctx);
    ASSERT_EQ(state.count, 3);
    EXPECT_EQ(c.FindSeries(1)->color, 0x0000FFu); // 10.x: red
    EXPECT_EQ(c.FindSeries(2)->color, 0x00FF00u); // below 10: green
    EXPECT_EQ(c.FindSeries(3)->color, ctx.highlight); // selected
    EXPECT_EQ(c.FindSeries(1)->name, QStringLiteral("First shot 09:00:00"));
    EXPECT_EQ(c.FindSeries(3)->name, QStringLiteral("Last shot 09:10:00"));
    EXPECT_EQ(c.yAxisAt, c.xMax);
    EXPECT_FLOAT_EQ(float(c.yMax), 10.9f);
    EXPECT_EQ(labelsOf(c, CChartImpl::MarkerKind::HorizontalAxis),
              (QStringList{"02:00", "04:00", "06:00", "00:00", "10:00"}));

    // Selection only recolours; a click on a bar selects that match shot.
    ctx.selectedShot = matchShot(ctx, 2);
    updateIntervalsSelection(c, state, ctx);
    EXPECT_EQ(c.FindSeries(2)->color, ctx.highlight);
    EXPECT_EQ(c.FindSeries(3)->color, 0x0000FFu);
    EXPECT_TRUE(sameObject(intervalsShotForSeries(state, ctx, 1).get(), matchShot(ctx, 1).get()));
    EXPECT_FALSE(intervalsShotForSeries(state, ctx, 0));
    EXPECT_FALSE(intervalsShotForSeries(state, ctx, 4));

    // With pulse samples a silver staircase is scaled into the result range.
    ctx.pulse = {{kMorning, 60}, {kMorning + 100.0 / 86400, 120}};
    recalcIntervals(c, state, ctx);
    const auto pulse = pointsOf(c, 0);
    ASSERT_EQ(pulse.size(), 4u);
    EXPECT_NEAR(pulse[1].second, c.yMin + (c.yMax - c.yMin) * 60 / 120, 1e-9);
    EXPECT_EQ(pulse[3].first, c.xMax);
}

TEST(IntervalsChart, TimeLabelsRunToOneStepBeforeTheWholeSpan)
{
    // 10 min 24 s: a step of 2 minutes, and 8 minutes still lies a step before the end.
    AimingSpec first;
    first.before = constant(150, 0, 0);
    AimingSpec last = first;
    last.shotTime = 624;
    auto doc = makeDocument("AR10", {first, last});
    ChartContext ctx = contextOf(doc.get());
    CChartImpl c;
    IntervalsState state;
    recalcIntervals(c, state, ctx);
    EXPECT_EQ(labelsOf(c, CChartImpl::MarkerKind::HorizontalAxis),
              (QStringList{"02:00", "04:00", "06:00", "08:00", "00:00", "10:24"}));
}

TEST(IntervalsChart, OneMatchShotShowsNoBars)
{
    AimingSpec s;
    s.before = constant(150, 0, 0);
    auto doc = makeDocument("AR10", {s});
    ChartContext ctx = contextOf(doc.get());
    CChartImpl c;
    IntervalsState state;
    recalcIntervals(c, state, ctx);
    EXPECT_TRUE(c.series().empty());
    EXPECT_FALSE(intervalsShotForSeries(state, ctx, 1));
}

TEST(ProbabilityChart, ReferenceTotalAtNoDispersionAndSpreadBelowIt)
{
    AimingSpec s;
    s.before = constant(150, 0, 0);
    s.shots = 1;
    std::vector<AimingSpec> specs(6, s);
    for (size_t i = 0; i < specs.size(); ++i)
        specs[i].shotTime = 30.0 * i;
    auto doc = makeDocument("AR10", specs);
    ChartContext ctx = contextOf(doc.get());
    kavro::CrtRandom random(1);
    RandomOffsetTable table(random);
    int calls = 0;
    ctx.randomOffset = [&](float radius) {
        ++calls;
        return table.next(radius);
    };
    CChartImpl top, bottom;
    setupProbabilityCharts(top, bottom, ctx);
    recalcProbability(top, bottom, ctx, false);
    EXPECT_EQ(calls, 6 * 30 * 40); // no spread drawn at dispersion 0
    ASSERT_EQ(pointsOf(top, 1).size(), 41u);
    EXPECT_EQ(pointsOf(top, 1)[0].second, 100.0);
    EXPECT_EQ(pointsOf(top, 2)[0].second, 0.0);
    for (int id = 3; id <= 5; ++id)
        EXPECT_EQ(pointsOf(bottom, id)[0].second, 0.0);
    // Every shot in the ten: spreading them can only lose points.
    EXPECT_LT(pointsOf(bottom, 3).back().second, 0.0);
    EXPECT_EQ(pointsOf(top, 2).back().second, 0.0);
    EXPECT_EQ(labelsOf(bottom, CChartImpl::MarkerKind::VerticalAxis), (QStringList{"-7", "-5", "-3", "-1", "1", "3"}));
    EXPECT_EQ(labelsOf(top, CChartImpl::MarkerKind::VerticalAxis), (QStringList{"20%", "40%", "60%", "80%", "100%"}));
}

TEST(AllCharts, EmptyDocumentsAndNoDocumentDrawNothingAndDoNotFail)
{
    auto empty = makeDocument("AR10", {});
    AimingSpec missed;
    missed.missed = true;
    auto onlyMissed = makeDocument("AR10", {missed});
    for (IKavroDocument* doc : {empty.get(), onlyMissed.get(), static_cast<IKavroDocument*>(nullptr)}) {
        ChartContext ctx = contextOf(doc);
        if (doc)
            ctx.selectedShot = ctx.matchShots ? matchShot(ctx, 1) : nullptr;
        CChartImpl a, b;
        setupDistanceCharts(a, b, ctx);
        recalcDistance(a, b, ctx);
        EXPECT_TRUE(pointsOf(b, 1).empty());
        CoordinationState cs;
        setupCoordinationChart(a, ctx);
        recalcCoordination(a, cs, ctx, true, true, true);
        EXPECT_TRUE(pointsOf(a, 1).empty());
        TimeShiftState ts;
        setupTimeShiftChart(a, ctx);
        recalcTimeShift(a, ts, ctx, true, true, false);
        EXPECT_TRUE(pointsOf(a, 1).empty());
        SpeedState ss;
        setupSpeedCharts(a, b, ctx);
        recalcSpeed(a, b, ss, ctx, true, true, true);
        EXPECT_TRUE(pointsOf(b, 1).empty());
        IntervalsState is;
        recalcIntervals(a, is, ctx);
        EXPECT_TRUE(a.series().empty());
        setupProbabilityCharts(a, b, ctx);
        recalcProbability(a, b, ctx, false);
        if (!doc) {
            EXPECT_TRUE(pointsOf(a, 1).empty());
        }
        // Whatever is left draws without trouble.
        render(a, 300, 200);
        render(b, 300, 200);
    }
}

TEST(AllCharts, HiddenShotsCountOnlyWhileShownAndSightingShotsNever)
{
    auto specs = handPractice();
    AimingSpec sighting = specs[0];
    sighting.match = false;
    sighting.shotTime = -60;
    specs[1].hidden = true;
    specs.insert(specs.begin(), sighting);
    auto doc = makeDocument("AR10", specs);
    CChartImpl c;
    TimeShiftState ts;
    CoordinationState cs;
    for (bool shown : {false, true}) {
        ChartContext ctx = contextOf(doc.get(), shown);
        recalcTimeShift(c, ts, ctx, true, false, false);
        EXPECT_EQ(ts.count[0], shown ? 2 : 1);
        recalcCoordination(c, cs, ctx, true, false, true);
        EXPECT_EQ(cs.count[0], shown ? 2 : 1);
        EXPECT_NEAR(cs.max[0], shown ? 7.51 : 5.01, 1e-4);
    }
}

TEST(AllCharts, LabelsAreWrittenInTheCLocale)
{
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    // A locale with a decimal comma: the system's, else one compiled for this test.
    QTemporaryDir dir;
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
        QProcess::execute(QStringLiteral("localedef"),
                          {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"), QStringLiteral("UTF-8"),
                           dir.filePath(QStringLiteral("de_DE.UTF-8"))});
        qputenv("LOCPATH", dir.path().toUtf8());
        if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
            qunsetenv("LOCPATH");
            GTEST_SKIP() << "no locale with a decimal comma can be had";
        }
    }
    ASSERT_EQ(std::localeconv()->decimal_point, std::string(","));
    CChartImpl c;
    addTimeFrame(c, timeWindow(1.0f, false, 2), 0);
    std::setlocale(LC_NUMERIC, saved.c_str());
    qunsetenv("LOCPATH");
    EXPECT_EQ(labelsOf(c, CChartImpl::MarkerKind::HorizontalAxis).first(), QStringLiteral("0.3"));
}

TEST(AllCharts, TheModelPracticeIsDrawnBesideOnScreenOnly)
{
    auto doc = makeDocument("AR10", handPractice());
    auto specs = handPractice();
    specs.push_back(specs[0]);
    specs.back().shotTime = 120;
    auto model = makeDocument("AR10", specs);
    ChartContext ctx = contextOf(doc.get());
    ctx.modelShots = contextOf(model.get()).matchShots;
    CChartImpl c;
    CoordinationState cs;
    setupCoordinationChart(c, ctx);
    recalcCoordination(c, cs, ctx, true, true, true);
    EXPECT_EQ(cs.count[1], 3);
    EXPECT_EQ(c.FindSeries(4)->name, QStringLiteral("Model: 3 match shots"));
    EXPECT_FALSE(c.FindSeries(4)->printable);
    EXPECT_NEAR(valueAt(pointsOf(c, 4), 0), (5 + 0 + 5) / 3.0 + 0.01, 1e-4);

    TimeShiftState ts;
    setupTimeShiftChart(c, ctx);
    recalcTimeShift(c, ts, ctx, true, true, false);
    EXPECT_EQ(ts.count[1], 3);
    EXPECT_GE(c.yMax, ts.max[1]); // the model's larger total stays on the chart
    EXPECT_EQ(c.yMin,
              std::floor(std::min({33.0, ts.min[0], ts.min[1]}) / 5)
                  * 5); // 11 per shot of the larger practice, or lower
}

TEST(AllCharts, ClosingTheDocumentEmptiesTheCharts)
{
    auto doc = makeDocument("AR10", handPractice());
    ChartContext ctx = contextOf(doc.get());
    ctx.selectedShot = matchShot(ctx, 1);
    const ChartContext none = contextOf(nullptr);
    CChartImpl a, b;
    setupDistanceCharts(a, b, ctx);
    recalcDistance(a, b, ctx);
    ASSERT_FALSE(pointsOf(b, 1).empty());
    recalcDistance(a, b, none);
    EXPECT_TRUE(pointsOf(b, 1).empty());
    EXPECT_TRUE(pointsOf(a, 2).empty());

    TimeShiftState ts;
    setupTimeShiftChart(a, ctx);
    recalcTimeShift(a, ts, ctx, true, true, false);
    ASSERT_FALSE(pointsOf(a, 1).empty());
    recalcTimeShift(a, ts, none, true, true, false);
    EXPECT_TRUE(pointsOf(a, 1).empty());
    EXPECT_TRUE(a.markers().empty());

    CoordinationState cs;
    setupCoordinationChart(a, ctx);
    recalcCoordination(a, cs, ctx, true, true, true);
    recalcCoordination(a, cs, none, true, true, true);
    EXPECT_TRUE(pointsOf(a, 1).empty());
    SpeedState ss;
    setupSpeedCharts(a, b, ctx);
    recalcSpeed(a, b, ss, ctx, true, true, true);
    recalcSpeed(a, b, ss, none, true, true, true);
    EXPECT_TRUE(pointsOf(a, 1).empty());
}
