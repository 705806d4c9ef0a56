#include "practice_rules.h"

#include "doc_helpers.h"

#include "app_registry.h"

#include "com/classregistry.h"

#include <gtest/gtest.h>

using namespace kavro;
using namespace kavro::practice;

namespace {

ComPtr<IEventParams> makeEvent(const char* shortName)
{
    ComPtr<IEventParams> e;
    createInstance(kavrodoc::CLSID_EventParams, &e);
    if (e)
        e->put_ShortName(QString::fromLatin1(shortName));
    return e;
}

} // namespace

TEST(PracticeRules, CoefficientPresetsInTheirOrder)
{
    auto e = makeEvent("AR10");
    ASSERT_TRUE(e);
    // The short name wins over a three-position flag and the gun.
    e->put_Value("_three_positions", Variant::fromBool(true));
    e->put_Value("gun", Variant("pistol"));
    EXPECT_EQ(presetFCoefficient(e.get()), 35);
    e = makeEvent("AP10");
    EXPECT_EQ(presetFCoefficient(e.get()), 12);
    e = makeEvent("SBP50");
    e->put_Value("_three_positions", Variant::fromBool(true));
    EXPECT_EQ(presetFCoefficient(e.get()), 40);
    e->put_Value("_three_positions", Variant());
    EXPECT_EQ(presetFCoefficient(e.get()), 10);
    e = makeEvent("BTLN");
    e->put_Value("gun", Variant("rifle"));
    EXPECT_EQ(presetFCoefficient(e.get()), 15);
    e = makeEvent("X");
    e->put_Value("gun", Variant("rifle"));
    EXPECT_EQ(presetFCoefficient(e.get()), 30);
    e->put_Value("gun", Variant("pistol"));
    EXPECT_EQ(presetFCoefficient(e.get()), 10);
    // Compared whole and with case; a number is no gun.
    e->put_Value("gun", Variant("Pistol"));
    EXPECT_EQ(presetFCoefficient(e.get()), 15);
    e->put_Value("gun", Variant(int32_t(1)));
    EXPECT_EQ(presetFCoefficient(e.get()), 15);
    EXPECT_EQ(presetFCoefficient(nullptr), 15);
}

TEST(PracticeRules, StoredCoefficientInRangeOverridesAndNamesStayInTheirKey)
{
    EXPECT_EQ(LoadFCoefficient("AR10", "Nobody"), 0);
    ASSERT_TRUE(SaveFCoefficient("AR10", "Ann", 22));
    EXPECT_EQ(LoadFCoefficient("AR10", "Ann"), 22);
    EXPECT_EQ(LoadFCoefficient("AP10", "Ann"), 0);
    for (int v : {4, 101, -1}) {
        ASSERT_TRUE(SaveFCoefficient("AR10", "Ann", v));
        EXPECT_EQ(LoadFCoefficient("AR10", "Ann"), 0) << v;
    }
    for (int v : {5, 100}) {
        ASSERT_TRUE(SaveFCoefficient("AR10", "Ann", v));
        EXPECT_EQ(LoadFCoefficient("AR10", "Ann"), v);
    }

    // "Bob\AR10" as a shooter name must not write into Bob's own AR10 key.
    ASSERT_TRUE(SaveFCoefficient("AR10", "Bob", 50));
    ASSERT_TRUE(SaveFCoefficient("AR10", "Bob\\AR10", 60));
    ASSERT_TRUE(SaveFCoefficient("AR10", "Bob/AR10", 70));
    EXPECT_EQ(LoadFCoefficient("AR10", "Bob"), 50);
    EXPECT_EQ(LoadFCoefficient("AR10", "Bob\\AR10"), 60);
    EXPECT_EQ(LoadFCoefficient("AR10", "Bob/AR10"), 70);
    EXPECT_EQ(shooterEventKeyPath("a\\b/c%d", "E"), QString("a%5Cb%2Fc%25d\\E"));
    QStringList keys;
    OpenAppRegistryKey().subKeyNames(&keys);
    EXPECT_TRUE(keys.contains("Bob%5CAR10"));
    EXPECT_FALSE(SaveFCoefficient("AR10", "", 20));
}

TEST(PracticeRules, SecondsAroundTheShot)
{
    EXPECT_EQ(shotSecondsFor("BTLN", 3, 1).before, 5);
    EXPECT_EQ(shotSecondsFor("BTLN", 3, 1).after, 5);
    for (const char* n :
         {"MRF-22-6", "MRF-22-8", "MRF-22-10", "MRF-32-6", "MRF-32-8", "MRF-32-10", "N4TL3", "N4TL15"}) {
        EXPECT_EQ(shotSecondsFor(n, 3, 1).before, 15) << n;
        EXPECT_EQ(shotSecondsFor(n, 3, 1).after, 15) << n;
    }
    EXPECT_EQ(shotSecondsFor("AR10", 3, 1).before, 3);
    EXPECT_EQ(shotSecondsFor("AR10", 3, 1).after, 1);
    EXPECT_EQ(shotSecondsFor("MRF-22", 3, 1).before, 3);
}

TEST(PracticeRules, AutomaticSaveOnceTheCountIsReached)
{
    EXPECT_FALSE(autoSaveDue(true, 1, 2));
    EXPECT_TRUE(autoSaveDue(true, 2, 2));
    // An aiming with two shots steps from 1 to 3: the save is still due.
    EXPECT_TRUE(autoSaveDue(true, 3, 2));
    EXPECT_FALSE(autoSaveDue(false, 3, 2));
    EXPECT_FALSE(autoSaveDue(true, 3, 0));
}

TEST(PracticeRules, NewPointsAreClampedToTheTrace)
{
    EXPECT_EQ(firstNewPoint(0, 99, 10), 90);
    EXPECT_EQ(firstNewPoint(0, 99, 1000), 0);
    EXPECT_EQ(firstNewPoint(50, 99, 60), 50);
    EXPECT_EQ(firstNewPoint(0, 99, 0), 100);
    EXPECT_EQ(firstNewPoint(0, 99, -5), 100);
    EXPECT_EQ(firstNewPoint(0, INT32_MAX - 1, INT32_MAX), 0);
    EXPECT_EQ(firstNewPoint(5, 4, 3), 5);
}

TEST(PracticeRules, EventFilterByTagAndImageSensorDistance)
{
    auto e = makeEvent("AR10");
    e->put_Value("tags", Variant("nra"));
    EventFilter f;
    EXPECT_TRUE(eventPasses(e.get(), f, false, 0));
    f.nra = false;
    EXPECT_FALSE(eventPasses(e.get(), f, false, 0));
    e->put_Value("tags", Variant("NRA"));
    EXPECT_TRUE(eventPasses(e.get(), f, false, 0)); // any other text falls to "Other"
    f.other = false;
    EXPECT_FALSE(eventPasses(e.get(), f, false, 0));

    f = EventFilter();
    EXPECT_FALSE(eventPasses(e.get(), f, true, 0)); // no "_qv_target"
    e->put_Value("_qv_target", Variant(int32_t(3)));
    EXPECT_TRUE(eventPasses(e.get(), f, true, 0));
    EXPECT_TRUE(eventPasses(e.get(), f, true, 10000));
    EXPECT_FALSE(eventPasses(e.get(), f, true, 25000)); // 10 m events not at 25 m
    EXPECT_FALSE(eventPasses(e.get(), f, true, 700));
    auto far = makeEvent("SBR50");
    far->put_Value("_qv_target", Variant("255"));
    EXPECT_TRUE(eventPasses(far.get(), f, true, 50000));
    far->put_Value("_qv_target", Variant(int32_t(256)));
    EXPECT_FALSE(eventPasses(far.get(), f, true, 50000));
    far->put_Value("_qv_target", Variant(int32_t(-1)));
    EXPECT_FALSE(eventPasses(far.get(), f, true, 50000));
}

TEST(PracticeRules, PositionsAndDisplayName)
{
    auto e = makeEvent("BTLN");
    int selected = -5;
    EXPECT_EQ(initialPositions(e.get(), &selected), QStringList({"Prone", "Standing"}));
    EXPECT_EQ(selected, 1);
    e = makeEvent("X");
    EXPECT_TRUE(initialPositions(e.get(), &selected).isEmpty());
    EXPECT_EQ(selected, -1);
    e->put_Value("_three_positions", Variant::fromBool(true));
    EXPECT_EQ(initialPositions(e.get(), &selected), QStringList({"Prone", "Standing", "Kneeling"}));
    EXPECT_EQ(selected, 1);

    e->put_Caliber(4.5f);
    EXPECT_EQ(FormatEventName(e.get(), 1033), QString("X (4.5 mm)"));
    e->put_Name("Air rifle");
    EXPECT_EQ(FormatEventName(e.get(), 1033), QString("Air rifle (4.5 mm)"));
    e->put_Value("_name_1049", Variant("Vintovka"));
    EXPECT_EQ(FormatEventName(e.get(), 1049), QString("Vintovka (4.5 mm)"));
    EXPECT_EQ(deviceText("Vantage", "SIM123"), QString("Vantage SIM123"));
    EXPECT_EQ(deviceText("Vantage", ""), QString("Vantage"));
}
