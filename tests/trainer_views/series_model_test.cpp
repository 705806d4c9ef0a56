// The series table's grouping, numbering, measures, totals and geometry without a window.
#include "support/practice_builder.h"
#include "series_model.h"
#include "support/views_support.h"

#include "app_options.h"

#include "com/classregistry.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kavro;
using namespace kavro::series;
using namespace viewtest;

namespace {

TableTexts englishTexts()
{
    TableTexts t;
    t.missed = QStringLiteral("Missed");
    t.groupFormat = QStringLiteral("%1%2, %3!d! shot(s)");
    t.sighting = QStringLiteral("Sighting");
    t.match = QStringLiteral("Match");
    return t;
}

// What the table shows of a document, as the view builds it.
SeriesTable tableOf(CKavroDoc& doc, bool advanced = true)
{
    AppOptions o;
    o.AdvancedMode = advanced;
    SeriesTable table;
    table.columns = visibleColumns(o, doc.GetTargetKind() == 2);
    ComPtr<IEventParams> event;
    doc.GetEvent(&event);
    ComPtr<IShotCollection> sighting, match;
    ComPtr<IAimingCollection> sa, ma;
    doc.GetSightingShots(&sighting);
    doc.GetMatchShots(&match);
    doc.GetSightingAimings(&sa);
    doc.GetMatchAimings(&ma);
    RowContext ctx;
    ctx.event = event.get();
    ctx.traceSeconds = doc.traceSeconds();
    ctx.fCoefficient = doc.fCoefficient();
    ctx.biathlon = doc.GetTargetKind() == 2;
    ctx.showHidden = doc.showHidden();
    int32_t per = 10;
    event->get_MaxShotsPerSerie(&per);
    table.build(sighting.get(), match.get(), sa.get(), ma.get(), ctx, per);
    table.formatAll(englishTexts(), QString());
    return table;
}

float resultOf(IShot* s)
{
    float r = 0;
    s->get_Result(&r);
    return r;
}

} // namespace

TEST(SeriesModel, ColumnsByModeAndTarget)
{
    AppOptions o;
    o.ShotListIndex = o.ShotListResult = o.ShotListAimingTime = true;
    o.ShotListSteadiness6 = o.ShotListSteadiness9 = o.ShotListSteadiness10center = true;
    o.ShotListSteadiness10p5center = o.ShotListSteadiness10 = o.ShotListSteadiness10p5 = true;
    o.ShotListTraceSpeed = o.ShotListTraceSpeed250 = o.ShotListBreachFromAAP = true;
    o.AdvancedMode = false;
    ColumnFlags normal = visibleColumns(o, false);
    for (int c = 0; c < kColumnCount; ++c)
        EXPECT_EQ(normal[size_t(c)], c <= ColTime) << c;
    o.AdvancedMode = true;
    ColumnFlags all = visibleColumns(o, false);
    for (bool f : all)
        EXPECT_TRUE(f);
    ColumnFlags biathlon = visibleColumns(o, true);
    for (int c = 0; c < kColumnCount; ++c)
        EXPECT_EQ(biathlon[size_t(c)], c < Col6a0 || c > Col10a5) << c;
    o.ShotListSteadiness9 = false;
    o.ShotListResult = false;
    ColumnFlags some = visibleColumns(o, false);
    EXPECT_FALSE(some[Col9a0]);
    EXPECT_FALSE(some[ColResult]);
    EXPECT_TRUE(aimingPointSharesShown(some));
    o.ShotListSteadiness6 = o.ShotListSteadiness10 = o.ShotListSteadiness10p5 = false;
    EXPECT_FALSE(aimingPointSharesShown(visibleColumns(o, false)));
}

TEST(SeriesModel, SeriesSizeAndNumbers)
{
    EXPECT_EQ(seriesSize(0), 10);
    EXPECT_EQ(seriesSize(-3), 10);
    EXPECT_EQ(seriesSize(5), 5);
    EXPECT_EQ(seriesSize(40), 10);
    EXPECT_EQ(shotNumber(false, 3, 10, 4), 24);
    EXPECT_EQ(shotNumber(false, 2, 5, 1), 6);
    EXPECT_EQ(shotNumber(true, 3, 5, 4), 4);
    EXPECT_EQ(seriesStarts(11, 10), (std::vector<int>{0, 10}));
    EXPECT_EQ(seriesStarts(10, 10), (std::vector<int>{0}));
    EXPECT_TRUE(seriesStarts(0, 10).empty());
    EXPECT_EQ(aimingTimeText(65.0 / 86400), QStringLiteral("65.0"));
    EXPECT_EQ(aimingTimeText(3.0 / 86400), QStringLiteral("3.0"));
    // Only the seconds within the hour are shown.
    EXPECT_EQ(aimingTimeText(3700.0 / 86400), QStringLiteral("100.0"));
    EXPECT_DOUBLE_EQ(roundToTenthSecond(1.26 / 86400) * 86400, 1.3);
    EXPECT_EQ(groupCaption(QStringLiteral("%1%2, %3!d! shot(s)"), QStringLiteral("Match"), QStringLiteral("Prone"), 7),
              QStringLiteral("Match (Prone), 7 shot(s)"));
    EXPECT_EQ(groupCaption(QStringLiteral("%1%2, %3!d! shot(s)"), QStringLiteral("Sighting"), QString(), 1),
              QStringLiteral("Sighting, 1 shot(s)"));
}

TEST(SeriesModel, TotalsAverageAllButTheResults)
{
    ShotValues a, b, m;
    a.present = b.present = m.present = true;
    a.result = 10.4f;
    b.result = 9.3f;
    a.speed = 10;
    b.speed = 20;
    a.aimingTime = 2.0 / 86400;
    b.aimingTime = 4.0 / 86400;
    a.shares[2] = 100;
    b.shares[2] = 100;
    m.missed = true;
    m.result = 0;
    const Totals one = totalsOf({&a, &m}, false);
    EXPECT_EQ(one.count, 1);
    EXPECT_FLOAT_EQ(float(one.speed), 10.0f); // one shot: its own values, not averages
    EXPECT_NEAR(one.resultSum, 10.4, 1e-5);
    const Totals two = totalsOf({&a, &b, &m}, false);
    EXPECT_EQ(two.count, 2);
    EXPECT_NEAR(two.resultSum, 19.7, 1e-5);
    EXPECT_EQ(two.integerSum, 19);
    EXPECT_DOUBLE_EQ(two.speed, 15.0);
    EXPECT_NEAR(two.aimingTime * 86400, 3.0, 1e-9);
    auto cells = footerCells(two, false);
    EXPECT_EQ(cells[ColNumber].text, QStringLiteral("19"));
    EXPECT_EQ(cells[ColResult].text, QStringLiteral("19.7"));
    EXPECT_EQ(cells[ColTime].text, QStringLiteral("3.0"));
    EXPECT_EQ(cells[Col10Centre].text, QStringLiteral("100%"));
    EXPECT_TRUE(cells[Col10Centre].highlight);
    EXPECT_FALSE(cells[Col6a0].highlight);
    EXPECT_EQ(seriesCaption(2, two), QStringLiteral("#2 19.7 (19)"));
    // Biathlon: the integer sum only, and the aiming times add up.
    const Totals bi = totalsOf({&a, &b}, true);
    EXPECT_NEAR(bi.aimingTime * 86400, 6.0, 1e-9);
    auto biCells = footerCells(bi, true);
    EXPECT_EQ(biCells[ColResult].text, QStringLiteral("19"));
    EXPECT_EQ(biCells[ColNumber].text, QString());
}

TEST(SeriesModel, PracticeWithSightingMatchHiddenAndMissedShots)
{
    CKavroDoc doc;
    trainertest::startPractice(doc, "AR10");
    std::vector<ComPtr<IShot>> sighting, match;
    for (int k = 0; k < 2; ++k)
        sighting.push_back(addShot(doc, {.match = false, .x = 1.0f + k, .at = 10 * k}));
    for (int k = 0; k < 12; ++k) {
        ShotSpec s{.match = true, .x = 0.3f * float(k % 5), .y = 0.2f, .at = 100 + 10 * k};
        s.hidden = k == 4;
        s.missed = k == 7;
        if (k == 9)
            s.wobble = 2.0f;
        match.push_back(addShot(doc, s));
    }
    SeriesTable table = tableOf(doc);

    // Sighting: one series of two grey rows.
    ASSERT_EQ(table.groups[0].series.size(), 1u);
    EXPECT_EQ(table.groups[0].series[0].shotCount(), 2);
    for (const Cell& c : table.groups[0].series[0].rows[0].cells)
        EXPECT_TRUE(c.grey);
    EXPECT_FALSE(table.groups[1].series[0].rows[0].cells[ColResult].grey);

    // Match: the hidden shot is left out, so eleven shots make two series.
    ASSERT_EQ(table.groups[1].series.size(), 2u);
    const Serie& first = table.groups[1].series[0];
    const Serie& second = table.groups[1].series[1];
    EXPECT_EQ(first.shotCount(), 10);
    EXPECT_EQ(second.shotCount(), 1);
    EXPECT_EQ(second.rows[0].number, 11);
    EXPECT_EQ(second.rows[0].cells[ColNumber].text, QStringLiteral("11"));
    EXPECT_EQ(second.rows[0].shot.get(), match[11].get());
    for (int r = 1; r < kMaxSeriesRows; ++r)
        EXPECT_FALSE(second.rows[size_t(r)].shot);
    for (const StatRow& r : first.rows)
        EXPECT_NE(r.shot.get(), match[4].get());

    // The missed shot: its number, "Missed", dashes.
    const StatRow& missed = first.rows[6];
    ASSERT_EQ(missed.shot.get(), match[7].get());
    EXPECT_EQ(missed.cells[ColNumber].text, QStringLiteral("7"));
    EXPECT_EQ(missed.cells[ColResult].text, QStringLiteral("Missed"));
    EXPECT_EQ(missed.cells[ColTime].text, QStringLiteral("-"));
    EXPECT_EQ(missed.cells[ColDistance].text, QStringLiteral("-"));

    // Measures of a resting shot: 1.5 s of aiming, no movement, all of it inside the ten.
    const StatRow& resting = first.rows[0];
    EXPECT_EQ(resting.cells[ColTime].text, QStringLiteral("1.5"));
    EXPECT_NEAR(resting.values.speed, 0.0f, 1e-3f);
    EXPECT_EQ(resting.cells[Col10Centre].text, QStringLiteral("100%"));
    EXPECT_TRUE(resting.cells[Col10Centre].highlight);
    EXPECT_EQ(resting.cells[ColResult].text, QString::asprintf("%3.1f", double(resultOf(match[0].get()))));
    // A circling trace of radius 2 mm at 0.13 rad a sample, 100 samples a second: a chord of
    // 2 × 2 × sin(0.065) mm a sample.
    const StatRow& circling = first.rows[8];
    ASSERT_EQ(circling.shot.get(), match[9].get());
    const double chordSpeed = 2 * 2 * std::sin(0.065) * 100;
    EXPECT_NEAR(circling.values.speed, chordSpeed, chordSpeed * 0.03);
    EXPECT_NEAR(circling.values.speed250, chordSpeed, chordSpeed * 0.06);
    EXPECT_LT(circling.values.shares[Col10a5 - Col6a0], 100.0f);

    // Footers: sums over the nine real shots of the first series, the one shot of the second.
    double sum = 0;
    int integer = 0;
    for (const StatRow& r : first.rows)
        if (r.shot && !r.values.missed) {
            sum += resultOf(r.shot.get());
            integer += int(resultOf(r.shot.get()));
        }
    EXPECT_EQ(first.footer.cells[ColResult].text, QString::asprintf("%3.1f", sum));
    EXPECT_EQ(first.footer.cells[ColNumber].text, QString::number(integer));
    EXPECT_EQ(first.totals.count, 9);
    EXPECT_EQ(second.footer.cells[ColResult].text, QString::asprintf("%3.1f", double(resultOf(match[11].get()))));
    EXPECT_EQ(second.footer.cells[ColTime].text, QStringLiteral("1.5"));
    // Group totals over both series, and the caption counting every shot row.
    EXPECT_EQ(table.groups[1].totals.cells[ColResult].text,
              QString::asprintf("%3.1f", sum + double(resultOf(match[11].get()))));
    EXPECT_EQ(table.groups[1].caption.text, QStringLiteral("Match, 11 shot(s)"));
    EXPECT_EQ(table.groups[0].caption.text, QStringLiteral("Sighting, 2 shot(s)"));

    // Showing hidden shots brings the fifth shot back in its place.
    ASSERT_TRUE(doc.SetShowHidden(true));
    SeriesTable all = tableOf(doc);
    EXPECT_EQ(all.groups[1].series[0].rows[4].shot.get(), match[4].get());
    EXPECT_EQ(all.groups[1].series[1].shotCount(), 2);
    EXPECT_EQ(all.groups[1].series[1].rows[1].number, 12);
}

TEST(SeriesModel, ShotsAddedOneByOneFillTheLastSeries)
{
    CKavroDoc doc;
    trainertest::startPractice(doc, "AR10");
    ComPtr<IEventParams> event;
    doc.GetEvent(&event);
    SeriesTable table;
    table.size = 10;
    RowContext ctx;
    ctx.event = event.get();
    for (int k = 0; k < 11; ++k) {
        ComPtr<IShot> s = addShot(doc, {.x = 0.5f, .at = 10 * k});
        ComPtr<IAiming> a;
        doc.FindAiming(s.get(), &a);
        const SeriesTable::Placement p = table.addShot(a.get(), s.get(), ctx);
        EXPECT_EQ(p.group, 1);
        EXPECT_EQ(p.serie, k / 10);
        EXPECT_EQ(p.created, k % 10 == 0);
    }
    table.formatAll(englishTexts(), QStringLiteral("Standing"));
    EXPECT_EQ(table.groups[1].series[1].rows[0].number, 11);
    EXPECT_EQ(table.groups[1].caption.text, QStringLiteral("Match (Standing), 11 shot(s)"));
}

TEST(SeriesModel, SteadinessRadiusFromTheEventWhenTheTenHasNoDiameter)
{
    ComPtr<IEventManager> manager;
    ASSERT_EQ(createInstance(kavrodoc::CLSID_EventManager, &manager), S_OK);
    ComPtr<IEventParams> event;
    ASSERT_EQ(manager->Add(QStringLiteral("SteadyTest"), event.put()), S_OK);
    ComPtr<ITargetParams> params;
    event->get_Target(1, params.put());
    params->put_FormWidth(100);
    params->put_FormHeight(100);
    for (int32_t r = 1; r <= 10; ++r)
        params->put_Ring(r, 0);
    event->put_Caliber(0.5f);
    ComPtr<IAiming> aiming;
    ASSERT_EQ(createInstance(kavrodoc::CLSID_Aiming, &aiming), S_OK);
    ComPtr<IAimingAttr> attr;
    aiming->get_Attr(attr.put());
    attr->put_SampleRate(100);
    attr->put_Event(event.get());
    ComPtr<IAimingTrace> trace;
    aiming->get_Trace(trace.put());
    for (int i = 0; i < 150; ++i)
        trace->Add(4.0f, 0.0f); // 4 mm from the centre
    ComPtr<IShot> shot;
    ASSERT_EQ(aiming->AddShot(VARIANT_FALSE, shot.put()), S_OK);
    RowContext ctx;
    ctx.event = event.get();
    event->put_Value(QStringLiteral("_steadiness_diam"), Variant(10.0f)); // radius 5.25
    EXPECT_FLOAT_EQ(computeShotValues(aiming.get(), shot.get(), ctx).shares[Col10Centre - Col6a0], 100.0f);
    event->put_Value(QStringLiteral("_steadiness_diam"), Variant(QStringLiteral("6"))); // radius 3.25
    EXPECT_FLOAT_EQ(computeShotValues(aiming.get(), shot.get(), ctx).shares[Col10Centre - Col6a0], 0.0f);
}

TEST(SeriesModel, GridPicksTheLargestSquares)
{
    EXPECT_EQ(chooseGrid(4, 400, 400).columns, 2);
    EXPECT_EQ(chooseGrid(4, 400, 400).side, 197);
    EXPECT_EQ(chooseGrid(3, 600, 200).columns, 3);
    EXPECT_EQ(chooseGrid(3, 600, 200).side, 196);
    // Equal squares: the fuller last row wins.
    EXPECT_EQ(chooseGrid(5, 305, 305).columns, 3);
    EXPECT_EQ(chooseGrid(5, 305, 305).side, 98);
    const std::vector<QRect> rects = gridRects(4, 400, 400);
    ASSERT_EQ(rects.size(), 4u);
    EXPECT_EQ(rects[0], QRect(0, 0, 197, 197));
    EXPECT_EQ(rects[3].right(), 399);
    EXPECT_GE(rects[1].left() - rects[0].right() - 1, kGridGap);
    EXPECT_TRUE(gridRects(0, 400, 400).empty());
}

TEST(SeriesModel, ScrollingSteps)
{
    EXPECT_EQ(pageStep(300), 290);
    EXPECT_EQ(pageStep(15), 10);
    WheelAccumulator wheel;
    EXPECT_EQ(wheel.add(60, 3), 0);
    EXPECT_EQ(wheel.add(60, 3), -60);
    EXPECT_EQ(wheel.add(-240, 1), 40);
    EXPECT_EQ(scrollToShow(100, 200, 50, 70), 50);
    EXPECT_EQ(scrollToShow(100, 200, 350, 370), 170);
    EXPECT_EQ(scrollToShow(100, 200, 150, 170), 100);
}

TEST(SeriesModel, CommonZoomRoundsOutToARing)
{
    ComPtr<IEventParams> ar10 = trainertest::event("AR10");
    // Ring 9 is 5.5 mm across, ring 8 10.5 mm, ring 7 15.5 mm.
    EXPECT_FLOAT_EQ(float(commonHalfExtent(ar10.get(), 3.0f, 1.0f, true).width()), 5.25f);
    EXPECT_FLOAT_EQ(float(commonHalfExtent(ar10.get(), 3.0f, 1.0f, true).height()), 2.75f);
    EXPECT_FLOAT_EQ(float(commonHalfExtent(ar10.get(), 3.0f, 1.0f, false).width()), 7.75f);
    EXPECT_FLOAT_EQ(float(commonHalfExtent(ar10.get(), 100.0f, 1.0f, false).width()), 100.0f);
}

TEST(SeriesModel, BiathlonHasASeriesPerAimingNumberedFromOne)
{
    CKavroDoc doc;
    trainertest::startPractice(doc, "BTLN");
    ASSERT_EQ(doc.GetTargetKind(), 2);
    ComPtr<IAiming> first = trainertest::addAiming(doc, true, 5, 0);
    ComPtr<IAiming> second = trainertest::addAiming(doc, true, 3, 100);
    ComPtr<IShot> hidden;
    second->Shot(2, hidden.put());
    doc.SetShotHidden(hidden.get(), true);
    SeriesTable table = tableOf(doc);
    for (int c = Col6a0; c <= Col10a5; ++c)
        EXPECT_FALSE(table.columns[size_t(c)]) << c;
    ASSERT_EQ(table.groups[1].series.size(), 2u);
    const Serie& a = table.groups[1].series[0];
    const Serie& b = table.groups[1].series[1];
    EXPECT_EQ(a.shotCount(), 5);
    EXPECT_EQ(b.shotCount(), 2); // the hidden shot is left out
    EXPECT_EQ(a.rows[4].number, 5);
    EXPECT_EQ(b.rows[0].number, 1);
    EXPECT_EQ(b.rows[1].number, 2);
    // The result is a hit-or-miss picture, and the footer holds the integer sum only.
    EXPECT_TRUE(a.rows[0].cells[ColResult].picture);
    EXPECT_TRUE(a.rows[0].cells[ColResult].text.isEmpty());
    EXPECT_TRUE(a.footer.cells[ColNumber].text.isEmpty());
    // Each biathlon shot is timed from the one before it on the same aiming: one second apart.
    EXPECT_EQ(a.rows[1].cells[ColTime].text, QStringLiteral("1.0"));
    // The second shot of the second aiming follows a hidden one: timed from the first shot.
    EXPECT_EQ(b.rows[1].cells[ColTime].text, QStringLiteral("2.0"));
}
