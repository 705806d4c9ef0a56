#include "app_options.h"
#include "app_registry.h"
#include "support/settings_fixture.h"

#include "com/olecolor.h"

#include <QCoreApplication>

#include <cstring>

using namespace kavro;

namespace {

const QString kOptionsPath = QStringLiteral("software\\Kavro\\Kavro Professional\\Options");

SettingsKey optionsKey()
{
    SettingsKey key;
    EXPECT_EQ(SettingsKey::create(SettingsRoot::CurrentUser, kOptionsPath, &key), S_OK);
    return key;
}

QByteArray floatBytes(float v)
{
    QByteArray b(4, '\0');
    std::memcpy(b.data(), &v, 4);
    return b;
}

QByteArray u32Bytes(uint32_t v)
{
    return QByteArray(reinterpret_cast<const char*>(&v), 4); // little-endian host
}

using TempOptionsTest = SettingsTest;

TEST_F(TempOptionsTest, DefaultsAreWrittenInRecordOrderByteForByte)
{
    ASSERT_TRUE(AppOptions().Save(OpenAppRegistryKey()));
    EXPECT_EQ(readAll(userFile()),
              QByteArray("[software]\n\n"
                         "[software\\Kavro]\n\n"
                         "[software\\Kavro\\Kavro Professional]\n\n"
                         "[software\\Kavro\\Kavro Professional\\Options]\n"
                         "\"ReplayAllPause\"=dword:00000001\n"
                         "\"ReplaySpeed\"=dword:00000064\n"
                         "\"TargetResult\"=dword:00000001\n"
                         "\"TargetLen\"=dword:00000000\n"
                         "\"TargetSmoothZoom\"=dword:00000001\n"
                         "\"AdvancedMode\"=dword:00000001\n"
                         "\"ShowControlInterval2\"=dword:00000001\n"
                         "\"ForceReplay\"=dword:00000000\n"
                         "\"SoundEnabled\"=dword:00000001\n"
                         "\"BlindGen\"=dword:00000000\n"
                         "\"BlindGen0\"=dword:00000000\n"
                         "\"BlindGen1\"=dword:000000c8\n"
                         "\"BlindGen2\"=dword:00000190\n"
                         "\"BlindGen3\"=dword:00000258\n"
                         "\"BlindGen4\"=dword:00000320\n"
                         "\"BlindGen5\"=dword:000003e8\n"
                         "\"BlindGen6\"=dword:000004b0\n"
                         "\"BlindGen7\"=dword:00000578\n"
                         "\"BlindGen8\"=dword:00000640\n"
                         "\"BlindGen9\"=dword:00000708\n"
                         "\"BlindGen10\"=dword:000007d0\n"
                         "\"EnableRS232\"=dword:00000000\n"
                         "\"FiringPoint\"=dword:00000001\n"
                         "\"AutoReplay\"=dword:00000001\n"
                         "\"AutoSwitchToTrace\"=dword:00000001\n"
                         "\"EnableAutoSaveAfterShot\"=dword:00000000\n"
                         "\"DisplayTimeCounter\"=dword:00000001\n"
                         "\"AutoReplaySec\"=dword:00000001\n"
                         "\"SaveSecBeforeShot\"=dword:00000005\n"
                         "\"SaveSecAfterShot\"=dword:00000001\n"
                         "\"AutoSaveAfterShot\"=dword:0000000a\n"
                         "\"PiezoRejectInterval\"=dword:00000001\n"
                         "\"PiezoRejectIntervalMs\"=dword:000003e8\n"
                         "\"PrintAllShots\"=dword:00000001\n"
                         "\"PrintGenInfo\"=dword:00000001\n"
                         "\"PrintSeries\"=dword:00000001\n"
                         "\"PrintCoordination\"=dword:00000001\n"
                         "\"PrintShift\"=dword:00000001\n"
                         "\"PrintSpeed\"=dword:00000001\n"
                         "\"PrintIntervals\"=dword:00000001\n"
                         "\"PrintProbability\"=dword:00000001\n"
                         "\"ShotListIndex\"=dword:00000001\n"
                         "\"ShotListResult\"=dword:00000001\n"
                         "\"ShotListTraceSpeed\"=dword:00000001\n"
                         "\"ShotListTraceSpeed250\"=dword:00000001\n"
                         "\"ShotListAimingTime\"=dword:00000001\n"
                         "\"ShotListSteadiness6\"=dword:00000000\n"
                         "\"ShotListSteadiness9\"=dword:00000000\n"
                         "\"ShotListSteadiness10center\"=dword:00000001\n"
                         "\"ShotListSteadiness10p5center\"=dword:00000000\n"
                         "\"ShotListSteadiness10\"=dword:00000001\n"
                         "\"ShotListSteadiness10p5\"=dword:00000000\n"
                         "\"ShotListBreachFromAAP\"=dword:00000001\n"
                         "\"TraceColors\"=hex:2c,00,00,00,01,00,00,00,cd,cc,cc,3d,00,ff,00,00,ff,00,00,00,"
                         "ff,00,00,00,ff,ff,00,00,01,00,00,00,00,00,ff,00,cd,cc,4c,be,00,00,00,00\n"
                         "\"BreachColor\"=dword:00ffffff\n"
                         "\"SelectedBreachColor\"=dword:00ff00ff\n\n"));
}

TEST_F(TempOptionsTest, FirstStartKeepsTheDefaultsAndReportsNoOptionsKey)
{
    AppOptions o;
    EXPECT_FALSE(o.Load(OpenAppRegistryKey()));
    EXPECT_FALSE(o.Load(SettingsKey()));
    EXPECT_EQ(o.CompareSettings(AppOptions()), 0u);
    ASSERT_EQ(o.TraceIntervals.size(), 1u);
    EXPECT_EQ(o.TraceIntervals[0], (TraceIntervalColor{rgb(0, 0, 255), -0.2f, 0.0f}));
    EXPECT_EQ(o.BlindGenFrequencies[10], 2000);
    SettingsKey options;
    EXPECT_NE(SettingsKey::open(SettingsRoot::CurrentUser, kOptionsPath, &options), S_OK)
        << "loading must not create the options key";
}

TEST_F(TempOptionsTest, EveryFieldRoundTrips)
{
    AppOptions o;
    o.ReplayAllPause = 7;
    o.ReplaySpeed = 250;
    o.TargetResult = false;
    o.TargetLen = true;
    o.AdvancedMode = false;
    o.SoundEnabled = false;
    o.BlindGen = true;
    o.BlindGenFrequencies[3] = 16000;
    o.EnableRS232 = true;
    o.FiringPoint = 1000;
    o.AutoReplaySec = 0;
    o.SaveSecBeforeShot = 60;
    o.SaveSecAfterShot = 2;
    o.AutoSaveAfterShot = 20;
    o.PiezoRejectInterval = 2.75f;
    o.PrintProbability = false;
    o.ShotListSteadiness10p5 = true;
    o.ShotListBreachFromAAP = false;
    o.TraceHeadingEnabled = false;
    o.TraceHeadingLength = 0.37f;
    o.TraceColorBefore = rgb(1, 2, 3);
    o.ControlIntervalColor = rgb(4, 5, 6);
    o.BreachColor = rgb(7, 8, 9);
    o.SelectedBreachColor = rgb(10, 11, 12);
    o.TraceIntervals = {{rgb(20, 30, 40), -60.0f, -1.5f}, {rgb(50, 60, 70), 0.25f, 2.0f}};
    ASSERT_TRUE(o.Save(OpenAppRegistryKey()));

    AppOptions back;
    ASSERT_TRUE(back.Load(OpenAppRegistryKey()));
    EXPECT_EQ(back.CompareSettings(o), 0u);
    EXPECT_EQ(back.PiezoRejectInterval, 2.75f);
    EXPECT_EQ(back.ReplayAllPause, 7);
    EXPECT_EQ(back.AutoReplaySec, 0);
    EXPECT_FALSE(back.AdvancedMode);
    EXPECT_EQ(back.TraceIntervals, o.TraceIntervals);
}

TEST_F(TempOptionsTest, SecondsAloneAsOlderSettingsStoredThemKeepTheWholePart)
{
    AppOptions o;
    o.PiezoRejectInterval = 2.75f;
    ASSERT_TRUE(o.Save(OpenAppRegistryKey()));
    uint32_t seconds = 0;
    ASSERT_EQ(optionsKey().readDword(QStringLiteral("PiezoRejectInterval"), &seconds), S_OK);
    EXPECT_EQ(seconds, 2u);
    ASSERT_EQ(optionsKey().deleteValue(QStringLiteral("PiezoRejectIntervalMs")), S_OK);
    AppOptions back;
    ASSERT_TRUE(back.Load(OpenAppRegistryKey()));
    EXPECT_EQ(back.PiezoRejectInterval, 2.0f);

    o.PiezoRejectInterval = 0.5f;
    ASSERT_TRUE(o.Save(OpenAppRegistryKey()));
    ASSERT_EQ(optionsKey().readDword(QStringLiteral("PiezoRejectInterval"), &seconds), S_OK);
    EXPECT_EQ(seconds, 0u);
    ASSERT_TRUE(back.Load(OpenAppRegistryKey()));
    EXPECT_EQ(back.PiezoRejectInterval, 0.5f);
}

TEST_F(TempOptionsTest, MissingAndMistypedValuesKeepTheirFields)
{
    const SettingsKey key = optionsKey();
    ASSERT_EQ(key.writeDword(QStringLiteral("ReplaySpeed"), 42), S_OK);
    ASSERT_EQ(key.writeString(QStringLiteral("FiringPoint"), QStringLiteral("9")), S_OK);
    ASSERT_EQ(key.writeDword(QStringLiteral("TraceColors"), 1), S_OK);
    AppOptions o;
    o.FiringPoint = 33;
    ASSERT_TRUE(o.Load(OpenAppRegistryKey()));
    EXPECT_EQ(o.ReplaySpeed, 42);
    EXPECT_EQ(o.FiringPoint, 33);
    AppOptions expected;
    expected.ReplaySpeed = 42;
    expected.FiringPoint = 33;
    EXPECT_EQ(o.CompareSettings(expected), 0u);
    EXPECT_EQ(o.TraceIntervals, expected.TraceIntervals);
}

TEST_F(TempOptionsTest, HandEditedValuesAreBroughtIntoTheDialogsRanges)
{
    // One stored value at a time, for each kind of setting: beyond the range, negative to the
    // program that wrote it, or no DWORD at all.
    struct Loaded {
        AppOptions o;
        int piezo = 0;
    };
    using Read = double (*)(const Loaded&);
    const Read replaySpeed = [](const Loaded& l) { return double(l.o.ReplaySpeed); };
    const Read autoReplaySec = [](const Loaded& l) { return double(l.o.AutoReplaySec); };
    const Read frequency4 = [](const Loaded& l) { return double(l.o.BlindGenFrequencies[4]); };
    const Read rejectInterval = [](const Loaded& l) { return double(l.o.PiezoRejectInterval); };
    const Read targetLen = [](const Loaded& l) { return double(l.o.TargetLen); };
    const Read shotListResult = [](const Loaded& l) { return double(l.o.ShotListResult); };
    const Read breachColor = [](const Loaded& l) { return double(l.o.BreachColor); };
    const Read piezo = [](const Loaded& l) { return double(l.piezo); };
    const Read intGroup[] = {
        [](const Loaded& l) { return double(l.o.ReplayAllPause); },
        [](const Loaded& l) { return double(l.o.FiringPoint); },
        [](const Loaded& l) { return double(l.o.SaveSecBeforeShot); },
        [](const Loaded& l) { return double(l.o.SaveSecAfterShot); },
        [](const Loaded& l) { return double(l.o.AutoSaveAfterShot); },
    };
    const auto dword = SettingsValue::fromDword;
    const SettingsValue text = SettingsValue::fromString(QStringLiteral("150"));
    struct Case {
        const char* name;
        SettingsValue stored;
        Read read;
        double expected;
    };
    const Case cases[] = {
        {"ReplaySpeed", dword(5000), replaySpeed, 300},
        {"ReplaySpeed", dword(0xFFFFFFFFu), replaySpeed, 10},
        {"ReplaySpeed", text, replaySpeed, 100},
        {"ReplayAllPause", dword(0), intGroup[0], 1},
        {"FiringPoint", dword(0xFFFFFFFFu), intGroup[1], 1},
        {"FiringPoint", dword(1001), intGroup[1], 1000},
        {"SaveSecBeforeShot", dword(1), intGroup[2], 5},
        {"SaveSecAfterShot", dword(3), intGroup[3], 2},
        {"AutoSaveAfterShot", dword(21), intGroup[4], 20},
        {"AutoReplaySec", dword(61), autoReplaySec, 60},
        {"AutoReplaySec", dword(0xFFFFFFFEu), autoReplaySec, 0},
        {"BlindGen4", dword(99999), frequency4, 16000},
        {"BlindGen4", dword(0xFFFFFF00u), frequency4, 0},
        {"BlindGen4", text, frequency4, 800},
        {"PiezoRejectIntervalMs", dword(60000), rejectInterval, 10},
        {"PiezoRejectIntervalMs", dword(0xFFFFFFFFu), rejectInterval, 0},
        {"PiezoRejectIntervalMs", text, rejectInterval, 1},
        {"PiezoRejectInterval", dword(11), rejectInterval, 10},
        {"PiezoRejectInterval", dword(0xFFFFFFFFu), rejectInterval, 0},
        {"TargetLen", dword(7), targetLen, 1},
        {"TargetLen", text, targetLen, 0},
        {"ShotListResult", dword(2), shotListResult, 0}, // a shot-list column shows only for a stored 1
        {"BreachColor", dword(0x01123456), breachColor, 0x00123456},
        {"BreachColor", text, breachColor, rgb(255, 255, 255)},
        {"PiezoSensitivity", dword(0xFFFFFFFFu), piezo, 40},
        {"PiezoSensitivity", dword(1024), piezo, 40},
        {"PiezoSensitivity", dword(4), piezo, 40},
        {"PiezoSensitivity", text, piezo, 40},
        {"PiezoSensitivity", dword(5), piezo, 5},
        {"PiezoSensitivity", dword(1023), piezo, 1023},
    };
    const SettingsKey root = OpenAppRegistryKey();
    for (const Case& c : cases) {
        const QString name = QString::fromLatin1(c.name);
        root.deleteTree(QStringLiteral("Options"));
        root.deleteValue(QStringLiteral("PiezoSensitivity"));
        const SettingsKey options = optionsKey();
        const SettingsKey key = name == QLatin1String("PiezoSensitivity") ? root : options;
        ASSERT_EQ(key.setValue(name, c.stored), S_OK);
        Loaded l;
        ASSERT_TRUE(l.o.Load(root));
        l.piezo = LoadPiezoSensitivity(root);
        EXPECT_EQ(c.read(l), c.expected) << c.name << " stored as " << c.stored.dword << " of type " << c.stored.type;
    }
}

// A stored "TraceColors" built from its parts: header fields, the stated count, then entries.
QByteArray traceColors(int32_t count, const QList<TraceIntervalColor>& entries, float heading = 0.5f)
{
    QByteArray b = u32Bytes(44) + u32Bytes(0) + floatBytes(heading) + u32Bytes(rgb(1, 1, 1)) + u32Bytes(rgb(2, 2, 2))
        + u32Bytes(rgb(3, 3, 3)) + u32Bytes(rgb(4, 4, 4)) + u32Bytes(static_cast<uint32_t>(count));
    for (const auto& e : entries)
        b += u32Bytes(e.color) + floatBytes(e.begin) + floatBytes(e.end);
    return b;
}

TEST_F(TempOptionsTest, TraceColorsKeepTheEntriesTheyHoldWhateverTheirCountClaims)
{
    const TraceIntervalColor a{rgb(9, 9, 9), -3.0f, -1.0f};
    const TraceIntervalColor b{rgb(8, 8, 8), -0.5f, 0.5f};
    using Entries = std::vector<TraceIntervalColor>;
    const struct {
        QByteArray value;
        Entries expected;
    } cases[] = {
        {traceColors(3, {a, b}), {a, b}}, // claims more than it holds
        {traceColors(7, {a, b}).left(32 + 12 + 11), {a}}, // the second entry is cut short
        {traceColors(1, {a, b}), {a}},
        {traceColors(-1, {a}), {}},
        {traceColors(2, {a, b}) + "x", {a, b}},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(optionsKey().writeBinary(QStringLiteral("TraceColors"), c.value), S_OK);
        AppOptions o;
        ASSERT_TRUE(o.Load(OpenAppRegistryKey()));
        EXPECT_EQ(o.TraceIntervals, c.expected) << c.value.toHex().constData();
        EXPECT_EQ(o.TraceColorBefore, rgb(1, 1, 1)) << c.value.toHex().constData();
        EXPECT_EQ(o.TraceHeadingLength, 0.5f);
    }

    const AppOptions defaults;
    for (const QByteArray& tooShort : {traceColors(0, {}).left(31), QByteArray()}) {
        ASSERT_EQ(optionsKey().writeBinary(QStringLiteral("TraceColors"), tooShort), S_OK);
        AppOptions o;
        ASSERT_TRUE(o.Load(OpenAppRegistryKey()));
        EXPECT_EQ(o.TraceIntervals, defaults.TraceIntervals);
        EXPECT_EQ(o.TraceColorBefore, defaults.TraceColorBefore);
    }

    ASSERT_EQ(optionsKey().writeBinary(QStringLiteral("TraceColors"), traceColors(2, {a, b}, 7.0f)), S_OK);
    AppOptions o;
    ASSERT_TRUE(o.Load(OpenAppRegistryKey()));
    EXPECT_EQ(o.TraceIntervals, (std::vector<TraceIntervalColor>{a, b}));
    EXPECT_FALSE(o.TraceHeadingEnabled);
    EXPECT_EQ(o.TraceHeadingLength, 1.0f) << "clamped to the dialog's range";
    EXPECT_EQ(o.ControlIntervalColor, rgb(4, 4, 4));

    ASSERT_EQ(optionsKey().writeBinary(QStringLiteral("TraceColors"), traceColors(0, {})), S_OK);
    ASSERT_TRUE(o.Load(OpenAppRegistryKey()));
    EXPECT_TRUE(o.TraceIntervals.empty());
}

TEST(AppOptionsMask, EachFieldGroupSetsItsOwnBit)
{
    struct Case {
        const char* what;
        void (*change)(AppOptions&);
        uint32_t mask;
    };
    const Case cases[] = {
        {"before", [](AppOptions& o) { o.SaveSecBeforeShot = 6; }, 0x001},
        {"after", [](AppOptions& o) { o.SaveSecAfterShot = 2; }, 0x001},
        {"print", [](AppOptions& o) { o.PrintAllShots = false; }, 0x002},
        {"print last", [](AppOptions& o) { o.PrintProbability = false; }, 0x002},
        {"shot list", [](AppOptions& o) { o.ShotListIndex = false; }, 0x004},
        {"shot list last", [](AppOptions& o) { o.ShotListBreachFromAAP = false; }, 0x004},
        {"replay speed", [](AppOptions& o) { o.ReplaySpeed = 99; }, 0x008},
        {"heading length", [](AppOptions& o) { o.TraceHeadingLength = 0.11f; }, 0x010},
        {"heading", [](AppOptions& o) { o.TraceHeadingEnabled = false; }, 0x010},
        {"control colour", [](AppOptions& o) { o.ControlIntervalColor = 0; }, 0x010},
        {"breach", [](AppOptions& o) { o.BreachColor = 0; }, 0x010},
        {"selected breach", [](AppOptions& o) { o.SelectedBreachColor = 0; }, 0x010},
        {"interval end", [](AppOptions& o) { o.TraceIntervals[0].end = 0.01f; }, 0x010},
        {"interval count", [](AppOptions& o) { o.TraceIntervals.push_back({}); }, 0x010},
        {"no intervals", [](AppOptions& o) { o.FreeTraceColors(); }, 0x010},
        {"result", [](AppOptions& o) { o.TargetResult = false; }, 0x020},
        {"length", [](AppOptions& o) { o.TargetLen = true; }, 0x020},
        {"counter", [](AppOptions& o) { o.DisplayTimeCounter = false; }, 0x020},
        {"sound", [](AppOptions& o) { o.SoundEnabled = false; }, 0x040},
        {"blind", [](AppOptions& o) { o.BlindGen = true; }, 0x040},
        {"frequency", [](AppOptions& o) { o.BlindGenFrequencies[10] = 1; }, 0x080},
        {"firing point", [](AppOptions& o) { o.FiringPoint = 2; }, 0x100},
        {"auto replay sec", [](AppOptions& o) { o.AutoReplaySec = 9; }, 0},
        {"quiet ones",
         [](AppOptions& o) {
             o.ReplayAllPause = 3;
             o.TargetSmoothZoom = false;
             o.AdvancedMode = false;
             o.ShowControlInterval2 = false;
             o.ForceReplay = true;
             o.EnableRS232 = true;
             o.AutoReplay = false;
             o.AutoSwitchToTrace = false;
             o.EnableAutoSaveAfterShot = true;
             o.AutoSaveAfterShot = 3;
             o.PiezoRejectInterval = 4.5f;
         },
         0},
    };
    for (const Case& c : cases) {
        AppOptions global;
        AppOptions edited;
        c.change(edited);
        EXPECT_EQ(global.CompareSettings(edited), c.mask) << c.what;
        // the global record has taken the edit
        EXPECT_EQ(global.CompareSettings(edited), 0u) << c.what;
    }
}

TEST(AppOptionsMask, ReorderedIntervalsCountAsChangedAndAreCopiedDeeply)
{
    AppOptions global;
    global.TraceIntervals = {{rgb(1, 0, 0), -1.0f, 0.0f}, {rgb(0, 1, 0), -2.0f, -1.0f}};
    AppOptions edited;
    edited.CompareSettings(global); // the dialog's working copy
    EXPECT_EQ(edited.TraceIntervals, global.TraceIntervals);
    std::swap(edited.TraceIntervals[0], edited.TraceIntervals[1]);
    EXPECT_EQ(global.CompareSettings(edited), 0x010u);
    edited.TraceIntervals[0].color = rgb(9, 9, 9);
    EXPECT_EQ(global.TraceIntervals[0].color, rgb(0, 1, 0)) << "the global record has its own copy";
}

TEST_F(TempOptionsTest, SaveOptionsWritesTheProgramsRecordUnderTheRoot)
{
    theAppOptions().ReplaySpeed = 123;
    EXPECT_TRUE(SaveOptions());
    theAppOptions().ReplaySpeed = 100;
    uint32_t v = 0;
    ASSERT_EQ(optionsKey().readDword(QStringLiteral("ReplaySpeed"), &v), S_OK);
    EXPECT_EQ(v, 123u);
}

TEST_F(TempOptionsTest, RootRoutinesCreateTheRootAndItsSubkeys)
{
    EXPECT_TRUE(OpenAppSubKey(QStringLiteral("Calibration")).isValid());
    SettingsKey check;
    EXPECT_EQ(SettingsKey::open(SettingsRoot::CurrentUser,
                                QStringLiteral("software\\Kavro\\Kavro Professional\\Calibration"), &check),
              S_OK);
    // A root that cannot be written or created gives invalid keys, not a crash.
    writeAll(tempPath() + QStringLiteral("/blocked"), "x");
    setenv("KAVRO_CONFIG_HOME", QFile::encodeName(tempPath() + QStringLiteral("/blocked/sub")).constData(), 1);
    EXPECT_FALSE(OpenAppRegistryKey().isValid());
    EXPECT_FALSE(CreateAppSubKey(QStringLiteral("Options")).isValid());
    EXPECT_FALSE(SaveOptions());
}

TEST(ProgramDirectory, IsTheFolderOfTheRunningProgramWithItsSlash)
{
    const QString dir = GetProgramDirectory();
    EXPECT_TRUE(dir.endsWith(QLatin1Char('/')));
    EXPECT_TRUE(FileExists(dir + QStringLiteral("trainer_core_test")));
    EXPECT_FALSE(FileExists(dir));
    EXPECT_FALSE(FileExists(dir + QStringLiteral("no such file")));
    EXPECT_FALSE(FileExists(QString()));
}

} // namespace
