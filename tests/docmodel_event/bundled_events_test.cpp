// The event files built from data/events: readable by an independent compound-file reader,
// loaded by a fresh event manager, and scored as the ISSF rules say at every ring line.
#include "event_test_support.h"
#include "com/classregistry.h"
#include "kavrodoc.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <cmath>
#include <gtest/gtest.h>

using namespace kavrodoc;

namespace {

const QString binDir = QStringLiteral(KAVRO_BIN_DIR);

QStringList bundledFiles()
{
    return QDir(binDir).entryList({QStringLiteral("*.evl")}, QDir::Files, QDir::Name);
}

class BundledEvents : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(createInstance(CLSID_EventManager, &manager), S_OK); }
    ComPtr<IEventParams> event(const char* shortName)
    {
        ComPtr<IEventParams> e;
        EXPECT_EQ(manager->FindByShortName(QString::fromLatin1(shortName), e.put()), S_OK) << shortName;
        return e;
    }
    EventsFolder folder{binDir};
    ComPtr<IEventManager> manager;
};

TEST_F(BundledEvents, EveryFileReadsWithOlefile)
{
    if (QProcess::execute(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import olefile")})
        != 0)
        GTEST_SKIP() << "python3-olefile is not installed";
    const QStringList files = bundledFiles();
    ASSERT_GE(files.size(), 16);
    QStringList args{QStringLiteral("-c"),
                     QStringLiteral("import olefile, sys\n"
                                    "for p in sys.argv[1:]:\n"
                                    "    o = olefile.OleFileIO(p)\n"
                                    "    print(o.openstream('Contents').read()[:16].hex())\n")};
    for (const QString& f : files)
        args << QDir(binDir).filePath(f);
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), args);
    ASSERT_TRUE(python.waitForFinished(30000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().constData();
    uint8_t id[16];
    CLSID_EventParams.toBytes(id);
    const QByteArray expected = QByteArray(reinterpret_cast<const char*>(id), 16).toHex();
    const QList<QByteArray> lines = python.readAllStandardOutput().trimmed().split('\n');
    ASSERT_EQ(lines.size(), files.size());
    for (const QByteArray& line : lines)
        EXPECT_EQ(line, expected);
}

TEST_F(BundledEvents, AFreshManagerLoadsEveryFile)
{
    int32_t count = 0;
    manager->get_Count(&count);
    EXPECT_EQ(count, bundledFiles().size());
    for (const char* name : {"AR10", "AP10", "SBR50", "SBP50", "SP1", "SP2", "SPF", "N4TL3", "N4TL15", "MRF-22-6",
                             "MRF-22-8", "MRF-22-10", "MRF-32-6", "MRF-32-8", "MRF-32-10", "BTLN"}) {
        ComPtr<IEventParams> e = event(name);
        ASSERT_TRUE(e);
        ComPtr<ITargetParams> t;
        ASSERT_EQ(e->get_Target(1, t.put()), S_OK);
        float w = 0, h = 0;
        t->get_FormWidth(&w);
        t->get_FormHeight(&h);
        EXPECT_GT(w, 0) << name;
        EXPECT_GT(h, 0) << name;
        Variant gun;
        e->get_Value(QStringLiteral("gun"), &gun);
        EXPECT_EQ(gun.vt(), VT_BSTR) << name;
    }
    ComPtr<IEventParams> bySynonym;
    EXPECT_EQ(manager->FindByShortName(QStringLiteral("AR 10"), bySynonym.put()), S_OK);
    EXPECT_EQ(bySynonym.get(), event("AR10").get());
}

struct IssfTarget {
    const char* shortName;
    float caliber;
    float rings[10]; // Ring(1) .. Ring(10), 0 where the ring does not exist
    float innerTen;
    float black;
};

const IssfTarget kIssfTargets[] = {
    {"AR10", 4.5f, {45.5f, 40.5f, 35.5f, 30.5f, 25.5f, 20.5f, 15.5f, 10.5f, 5.5f, 0.5f}, 0, 30.5f},
    {"AP10", 4.5f, {155.5f, 139.5f, 123.5f, 107.5f, 91.5f, 75.5f, 59.5f, 43.5f, 27.5f, 11.5f}, 5, 59.5f},
    {"SBR50", 5.6f, {154.4f, 138.4f, 122.4f, 106.4f, 90.4f, 74.4f, 58.4f, 42.4f, 26.4f, 10.4f}, 5, 112.4f},
    {"SBP50", 5.6f, {500, 450, 400, 350, 300, 250, 200, 150, 100, 50}, 25, 200},
    {"SP1", 5.6f, {500, 450, 400, 350, 300, 250, 200, 150, 100, 50}, 25, 200},
    {"SP2", 5.6f, {0, 0, 0, 0, 500, 420, 340, 260, 180, 100}, 50, 500},
};

// A hole whose edge touches a ring line scores that ring; a hair further out scores less.
TEST_F(BundledEvents, IssfTargetsScoreTouchingHolesTheHigherRing)
{
    for (const IssfTarget& issf : kIssfTargets) {
        SCOPED_TRACE(issf.shortName);
        ComPtr<IEventParams> e = event(issf.shortName);
        ASSERT_TRUE(e);
        float caliber = 0, value = 0;
        e->get_Caliber(&caliber);
        EXPECT_EQ(caliber, issf.caliber);
        ComPtr<ITargetParams> t;
        e->get_Target(1, t.put());
        t->get_InnerTen(&value);
        EXPECT_EQ(value, issf.innerTen);
        t->get_Black(&value);
        EXPECT_EQ(value, issf.black);
        int lowest = 10;
        for (int n = 1; n <= 10; ++n) {
            t->get_Ring(n, &value);
            EXPECT_EQ(value, issf.rings[n - 1]) << "ring " << n;
            if (value > 0)
                lowest = std::min(lowest, n);
        }
        for (int n = lowest; n <= 10; ++n) {
            const float touching = issf.rings[n - 1] * 0.5f + caliber * 0.5f;
            const float missing = std::nextafter(touching, 1e9f);
            for (auto [x, y] : {std::pair{touching, 0.0f}, std::pair{0.0f, -touching}}) {
                float s = 0;
                ASSERT_EQ(e->GetBreachScore(x, y, 1, &s), S_OK);
                EXPECT_EQ(s, static_cast<float>(n)) << "touching ring " << n;
            }
            for (auto [x, y] : {std::pair{-missing, 0.0f}, std::pair{0.0f, missing}}) {
                float s = 0;
                ASSERT_EQ(e->GetBreachScore(x, y, 1, &s), S_OK);
                EXPECT_LT(s, static_cast<float>(n)) << "missing ring " << n;
                if (n > lowest)
                    EXPECT_GE(s, static_cast<float>(n - 1)) << "missing ring " << n;
                else
                    EXPECT_EQ(s, 0.0f) << "missing the last ring";
            }
        }
        float centre = 0;
        e->GetBreachScore(0, 0, 1, &centre);
        EXPECT_FLOAT_EQ(centre, 10.9f);
    }
}

TEST_F(BundledEvents, BiathlonHasFiveNumberedAreasPerPosition)
{
    ComPtr<IEventParams> e = event("BTLN");
    ASSERT_TRUE(e);
    int32_t count = 0;
    e->get_TargetCount(&count);
    ASSERT_EQ(count, 2);
    const float centres[5] = {-500, -250, 0, 250, 500};
    const float zoneRadius[2] = {57.5f, 22.5f}; // standing 115 mm, prone 45 mm
    for (int sub = 1; sub <= 2; ++sub) {
        for (int i = 0; i < 5; ++i) {
            int32_t area = 0;
            float cx = 0, cy = 0;
            ASSERT_EQ(e->GetPointArea(centres[i] + zoneRadius[sub - 1] - 0.1f, 0, sub, &area, &cx, &cy), S_OK);
            EXPECT_EQ(area, i + 1);
            EXPECT_EQ(cx, centres[i]);
            EXPECT_EQ(cy, 0);
            ASSERT_EQ(e->GetPointArea(centres[i] + zoneRadius[sub - 1] + 0.1f, 0, sub, &area, &cx, &cy), S_OK);
            EXPECT_EQ(area, 0) << "sub-target " << sub << " plate " << i + 1;
            ASSERT_EQ(e->GetNearestArea(centres[i] + 100, 40, sub, &area, &cx, &cy), S_OK);
            EXPECT_EQ(area, i + 1);
            ComPtr<ITargetParams> t;
            e->get_Target(sub, t.put());
            ComPtr<ITargetElement> element;
            ASSERT_EQ(t->get_Areas(i + 1, element.put()), S_OK);
            ASSERT_TRUE(element);
        }
    }
}

} // namespace
