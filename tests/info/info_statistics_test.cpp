// The information page's statistics against practices worked out by hand, and the page model's
// texts for them.
#include "doc_helpers.h"
#include "info_page_model.h"
#include "support/info_shooting.h"
#include "info_statistics.h"
#include "kavro_doc.h"
#include "language_module.h"
#include "support/practice_builder.h"

#include <gtest/gtest.h>
#include <cmath>

using namespace kavro::info;
using namespace infotest;

namespace {

const trainertest::TestEnvironment environment;

constexpr double kSecond = 1.0 / 86400;

float score(CKavroDoc& doc, float x, float y)
{
    ComPtr<IEventParams> ev;
    EXPECT_TRUE(doc.GetEvent(&ev));
    float s = 0;
    ev->GetBreachScore(x, y, 1, &s);
    return s;
}

float resultOf(CKavroDoc& doc, int k)
{
    ComPtr<IShotCollection> match;
    EXPECT_TRUE(doc.GetMatchShots(&match));
    float r = 0;
    shotAt(match.get(), k)->get_Result(&r);
    return r;
}

} // namespace

charttest::AimingSpec sighting(double time)
{
    charttest::AimingSpec s = still(time, 100, 100);
    s.match = false;
    return s;
}

// Three hits on (0, 0), (3, 4) and (-3, 0) mm and a missed shot; shots at 0, 40, 100 and 130 s,
// each aiming entered 5 s before its shot; a sighting shot before them counts nowhere.
void shootHandPractice(CKavroDoc& doc)
{
    start(doc);
    shoot(doc, {sighting(-60), still(0, 0, 0), still(40, 300, 400), still(100, -300, 0), still(130, 0, 0, true)});
}

TEST(InfoStatistics, EveryRowOfAHandComputedPractice)
{
    CKavroDoc doc;
    shootHandPractice(doc);
    const auto s = documentStatistics(doc);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->matchShots, 4);
    EXPECT_EQ(s->hits, 3);
    const float r1 = resultOf(doc, 1), r2 = resultOf(doc, 2), r3 = resultOf(doc, 3);
    EXPECT_FLOAT_EQ(r1, score(doc, 0, 0));
    EXPECT_EQ(s->resultInt, int(r1) + int(r2) + int(r3));
    EXPECT_FLOAT_EQ(s->resultDecimal, r1 + r2 + r3);
    EXPECT_DOUBLE_EQ(s->resultAverage, std::nearbyint(double(r1 + r2 + r3) * 1000 / 4) / 1000);
    // Group centre (0, 4/3): the hits scored again around it.
    ASSERT_TRUE(s->hasCentredResult);
    const float c = 4.0f / 3;
    EXPECT_NEAR(s->resultCentred, score(doc, 0, -c) + score(doc, 3, 4 - c) + score(doc, -3, -c), 1e-4);
    EXPECT_NEAR(s->meanBreachY, c, 1e-5);
    // Times: entered at -5 s, last shot (the missed one) at 130 s; intervals 40, 60, 30 s.
    ASSERT_TRUE(s->hasTimes);
    EXPECT_NEAR(s->totalTime / kSecond, 135, 1e-3);
    EXPECT_NEAR(*s->averageTimePerShot() / kSecond, 135.0 / 4, 1e-3);
    EXPECT_NEAR(s->shortestInterval / kSecond, 30, 1e-3);
    EXPECT_NEAR(s->longestInterval / kSecond, 60, 1e-3);
    // Largest spread (3, 4)-(-3, 0); the still traces aim where they hit.
    EXPECT_NEAR(s->diametralDispersion, std::sqrt(52.0f), 1e-4);
    EXPECT_NEAR(s->stabilityOfAiming, std::sqrt(52.0f), 1e-3);
    EXPECT_NEAR(s->accuracyOfShooting, c, 1e-3);
    EXPECT_FLOAT_EQ(s->ellipticalGroup, 6.0f / 4.0f);
    // Still traces: no length, so no trace ellipse either.
    EXPECT_FLOAT_EQ(s->avgLength, 0);
    EXPECT_FLOAT_EQ(s->ellipticalTrace, 0);
    // Only the centre shot rests inside (ring 10 + calibre) / 2 = 2.5 mm: 100 / 3 in integers.
    ASSERT_TRUE(s->hasSteadiness);
    EXPECT_EQ(s->avgSteadiness, 33);

    const InfoPageModel page = BuildInfoPage(doc, computeColumns(doc));
    EXPECT_EQ(page.text("idShotCount"), "4");
    EXPECT_EQ(page.text("idTotalShootingTime"), "00:02:15");
    EXPECT_EQ(page.text("idAvgTimePerShot"), "00:00:34 (00:00:30, 00:01:00)");
    EXPECT_EQ(page.text("idDiametralDispersion"), "7.2 mm");
    EXPECT_EQ(page.text("idEllipticalFactorGroup"), "1.50");
    EXPECT_EQ(page.text("idAvgSteadiness"), "33%");
    EXPECT_EQ(page.text("idControlInterval"), QString::asprintf("%-5.1f sec", double(doc.traceSeconds())));
    EXPECT_EQ(page.text("idResultTitle"), "Result");
    EXPECT_EQ(page.text("idResultIntTitle"), "integer ");
    EXPECT_FALSE(page.model("idShotCount").has_value());
    EXPECT_FALSE(page.visible("idModelInfoRow"));
    EXPECT_TRUE(page.visible("idStatRow"));
    EXPECT_FALSE(page.visible("idIntro"));
}

TEST(InfoStatistics, OneHitIsItsOwnMeanAndTwoHitsMakeAGroup)
{
    CKavroDoc doc;
    start(doc);
    shoot(doc, {still(0, 200, -100)});
    auto s = documentStatistics(doc);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->hits, 1);
    EXPECT_FLOAT_EQ(s->meanBreachX, 2.0f);
    EXPECT_FLOAT_EQ(s->diametralDispersion, 0);
    EXPECT_FLOAT_EQ(s->accuracyOfShooting, 0); // needs two hits
    EXPECT_FLOAT_EQ(s->ellipticalGroup, 0);
    EXPECT_FALSE(s->hasIntervals);
    EXPECT_EQ(formatFigure(Figure::AccuracyOfShooting, *s), "n/a");
    EXPECT_EQ(formatFigure(Figure::IntervalStability, *s), "n/a");
    {
        // The page is translated in full: "n/a" too.
        auto& module = kavro::LanguageModule::instance();
        const QString folder = module.languageFolder();
        const QLocale locale;
        module.setLanguageFolder(QStringLiteral(KAVRO_BIN_DIR "/lang"));
        ASSERT_EQ(module.switchTo(1049), kavro::LanguageModule::SwitchResult::Switched);
        EXPECT_EQ(formatFigure(Figure::IntervalStability, *s), QString::fromUtf8("н/д"));
        module.switchTo(1033);
        module.setLanguageFolder(folder);
        QLocale::setDefault(locale);
    }

    shoot(doc, {still(20, 200, 300)});
    s = documentStatistics(doc);
    EXPECT_EQ(s->hits, 2);
    EXPECT_NEAR(s->accuracyOfShooting, std::hypot(2.0f, 1.0f), 1e-3);
    EXPECT_FLOAT_EQ(s->ellipticalGroup, 0.0f); // no x spread over a y spread of 4
}

TEST(InfoStatistics, AGroupWithoutHeightHasFactorOneAndMissedOnlyPracticesScoreNothing)
{
    CKavroDoc doc;
    start(doc);
    shoot(doc, {still(0, -100, 0), still(10, 100, 0)});
    auto s = documentStatistics(doc);
    EXPECT_FLOAT_EQ(s->ellipticalGroup, 1.0f);

    CKavroDoc missedOnly;
    start(missedOnly);
    shoot(missedOnly, {still(0, 0, 0, true)});
    s = documentStatistics(missedOnly);
    EXPECT_EQ(s->matchShots, 1);
    EXPECT_EQ(s->hits, 0);
    const InfoPageModel page = BuildInfoPage(missedOnly, computeColumns(missedOnly));
    EXPECT_EQ(page.text("idResultInt"), "0");
    EXPECT_EQ(page.text("idResultFractional"), "0.0 ");
    EXPECT_EQ(page.text("idDiametralDispersion"), ""); // group cells only when some column has hits
    // A single shot has no time to share: never "nan" or "inf".
    EXPECT_FALSE(page.text("idAvgTimePerShot").contains("nan"));
    EXPECT_FALSE(page.text("idAvgTimePerShot").contains("inf"));
}

TEST(InfoStatistics, CentredGroupsAndInvalidShotTimesLeaveTheirRowsOut)
{
    // Shots out of order: the times are not real, as an opened document finds.
    QTemporaryDir dir;
    savePractice(dir.filePath("disordered.kavro"), {still(100, 0, 0), still(40, 300, 400)});
    CKavroDoc doc;
    ASSERT_TRUE(doc.OpenDocument(dir.filePath("disordered.kavro")));
    ASSERT_FALSE(doc.HasValidShotTimes());
    auto s = documentStatistics(doc);
    EXPECT_FALSE(s->hasTimes);
    EXPECT_EQ(s->dateTime, 0);
    EXPECT_EQ(s->intervalStability, 0);
    InfoPageModel page = BuildInfoPage(doc, computeColumns(doc));
    EXPECT_EQ(page.text("idTotalShootingTime"), "n/a");
    EXPECT_EQ(page.text("idAvgTimePerShot"), "n/a");
    EXPECT_EQ(page.text("idDateTime"), "");

    doc.SetShotsParameters(doc.fCoefficient(), doc.traceSeconds(), doc.controlInterval2(), doc.shotTimeOffset(),
                           doc.dispersion(), true);
    ASSERT_TRUE(doc.centreGroups());
    s = documentStatistics(doc);
    EXPECT_FALSE(s->hasCentredResult);
    page = BuildInfoPage(doc, computeColumns(doc));
    EXPECT_FALSE(page.visible("idResultIntCoinsidedRow"));
}

TEST(InfoStatistics, TheModelColumnFollowsTheValuesInRed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("model.kavro");
    savePractice(path, {still(0, 0, 0), still(30, 100, 0)});

    CKavroDoc doc;
    shootHandPractice(doc);
    ASSERT_TRUE(doc.OpenModel(path));
    const InfoColumns c = computeColumns(doc);
    ASSERT_TRUE(c.model);
    EXPECT_EQ(c.model->matchShots, 2);
    const InfoPageModel page = BuildInfoPage(doc, c);
    EXPECT_EQ(page.text("idShotCount"), "4");
    EXPECT_EQ(page.model("idShotCount"), QString("2"));
    EXPECT_EQ(page.model("idShooterNameModel"), std::nullopt);
    EXPECT_EQ(page.text("idShooterNameModel"), "Anna");
    EXPECT_TRUE(page.visible("idModelInfoRow"));
    EXPECT_TRUE(page.visible("idTargetRow2"));
}

TEST(InfoStatistics, TheTwoTargetLayoutSplitsStandingAndProne)
{
    CKavroDoc doc;
    start(doc, "BTLN");
    charttest::AimingSpec prone = still(0, 0, 0), standing = still(30, 0, 0), standing2 = still(60, 100, 0);
    prone.subTarget = 2;
    standing.subTarget = standing2.subTarget = 1;
    shoot(doc, {prone, standing, standing2});
    const auto s = documentStatistics(doc);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->standingShots, 2);
    EXPECT_EQ(s->proneShots, 1);
    EXPECT_FALSE(s->hasSteadiness);
    EXPECT_FALSE(s->hasCentredResult);
    const InfoPageModel page = BuildInfoPage(doc, computeColumns(doc));
    EXPECT_FALSE(page.visible("idResultFractionalTitle"));
    EXPECT_FALSE(page.visible("idResultAverageTitle"));
    EXPECT_EQ(page.text("idResultFractional"), "");
    EXPECT_EQ(page.text("idDiametralDispersion"), "");
    EXPECT_FALSE(page.text("idAvgTimePerShot").contains("(")); // no intervals
    EXPECT_TRUE(page.visible("idTargetStandingRow1"));
    EXPECT_TRUE(page.visible("idTargetProneRow1"));
    EXPECT_FALSE(page.visible("idTargetRow1"));
    EXPECT_FALSE(page.visible("idTargetStandingRow2")); // no model
}

TEST(InfoStatistics, TwoTargetIntervalStabilityCountsHiddenShotsOnlyWhileTheyAreShown)
{
    CKavroDoc doc;
    start(doc, "BTLN");
    charttest::AimingSpec standing = still(0, 0, 0);
    standing.shots = 3;
    shoot(doc, {standing});
    ComPtr<IAimingCollection> aimings;
    ASSERT_TRUE(doc.GetMatchAimings(&aimings));
    ComPtr<IAiming> aiming = aimingAt(aimings.get(), 1);
    ComPtr<IShot> second, third;
    ASSERT_TRUE(SUCCEEDED(aiming->Shot(2, second.put())) && second);
    ASSERT_TRUE(SUCCEEDED(aiming->Shot(3, third.put())) && third);
    DATE t = 0;
    third->get_ShotTime(&t);
    third->put_ShotTime(t + 8 * kSecond); // shots at 0, 1 and 10 s: uneven
    auto stability = [&] {
        const auto s = documentStatistics(doc);
        return s ? s->intervalStability : -1;
    };
    ASSERT_FALSE(doc.showHidden());
    EXPECT_LT(stability(), 50);
    // Hidden and not shown, the middle shot leaves two shots and one interval: perfectly even.
    second->put_Hidden(VARIANT_TRUE);
    EXPECT_EQ(stability(), 100);
    doc.SetShowHidden(true);
    EXPECT_LT(stability(), 50);
}
