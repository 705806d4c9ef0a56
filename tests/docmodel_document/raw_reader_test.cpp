// Documents of the older raw format, written field by field by a small Python writer: aimings,
// shots, times, comments, position, Windows-1252 text, and the files the reader must refuse.
#include "support/document_fixture.h"
#include "kavro_document.h"
#include "windows1252.h"

#include <QTemporaryDir>

#include <stdexcept>

#include <gtest/gtest.h>

using namespace kavrodoc;
using namespace doctest;

namespace {

class RawReader : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        ProcessResult r = runPython("raw_writer.py", {dir->path()});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    static QTemporaryDir* dir;

    ComPtr<CKavroDocument> load(const char* name, HRESULT expected)
    {
        auto doc = CKavroDocument::create();
        doc->put_FileName(dir->filePath(QString::fromLatin1(name)));
        EXPECT_EQ(doc->Load(), expected) << name;
        VARIANT_BOOL valid = 0;
        doc->get_Valid(&valid);
        EXPECT_EQ(valid == VARIANT_TRUE, SUCCEEDED(expected)) << name;
        return doc;
    }
    static ComPtr<IAiming> aiming(IKavroDocument* doc, int32_t i)
    {
        ComPtr<IAimingCollection> c;
        doc->get_Aimings(c.put());
        ComPtr<IAiming> a;
        if (c->get_Item(i, a.put()) != S_OK)
            throw std::runtime_error("no such aiming");
        return a;
    }
    static std::vector<std::pair<int32_t, int32_t>> points(IAiming* a)
    {
        ComPtr<IAimingTrace> t;
        a->get_Trace(t.put());
        int32_t n = 0;
        t->get_Count(&n);
        std::vector<std::pair<int32_t, int32_t>> out;
        for (int32_t i = 0; i < n; ++i) {
            int32_t x = 0, y = 0;
            t->_GetPoint(i, &x, &y);
            out.emplace_back(x, y);
        }
        return out;
    }
};

QTemporaryDir* RawReader::dir = nullptr;

DATE oldTime(double seconds)
{
    return seconds / 86400.0 + 367.0;
}

QString text(const Variant& v)
{
    return v.vt() == VT_BSTR ? v.bstr() : QStringLiteral("<not text>");
}

} // namespace

TEST_F(RawReader, ThreeAimingsOfEveryLayout)
{
    auto doc = load("sbr50_v7.raw", S_OK);
    int32_t version = 0;
    doc->get_FileVersion(&version);
    EXPECT_EQ(version, 7);
    QString shooter;
    doc->get_ShooterName(&shooter);
    EXPECT_EQ(shooter, QStringLiteral("Jörg M€ller"));
    ComPtr<IEventParams> e;
    ASSERT_EQ(doc->get_Event(e.put()), S_OK);
    QString shortName;
    e->get_ShortName(&shortName);
    EXPECT_EQ(shortName, QStringLiteral("SBR50"));
    Variant v;
    doc->get_Value(QStringLiteral("_position"), &v);
    EXPECT_EQ(text(v), QStringLiteral("prone"));
    doc->get_Value(QStringLiteral("_comments"), &v);
    EXPECT_EQ(text(v), QStringLiteral("first\r\n\r\nsecond"));

    ComPtr<IAimingCollection> c;
    doc->get_Aimings(c.put());
    int32_t count = 0;
    c->get_Count(&count);
    ASSERT_EQ(count, 3);

    // The sighting aiming goes first; its shot time lies before its start, so the start moves to
    // the shot time less the trace's length (400 samples at 200/s).
    auto sighting = aiming(doc.get(), 1);
    ComPtr<IAimingAttr> attr;
    sighting->get_Attr(attr.put());
    VARIANT_BOOL match = -1;
    attr->get_Match(&match);
    EXPECT_EQ(match, VARIANT_FALSE);
    DATE start = 0, enter = 0;
    attr->get_StartTime(&start);
    attr->get_EnterTime(&enter);
    EXPECT_DOUBLE_EQ(start, oldTime(0) - 2.0 / 86400);
    EXPECT_EQ(enter, start);
    int32_t f = 0;
    attr->get_FCoefficient(&f);
    EXPECT_EQ(f, 150);
    auto pts = points(sighting.get());
    ASSERT_EQ(pts.size(), 400u);
    EXPECT_EQ(pts[399], std::make_pair(3990, 3990)); // scale 10, y turned
    ComPtr<IShot> shot;
    ASSERT_EQ(sighting->Shot(1, shot.put()), S_OK);
    VARIANT_BOOL hidden = 0;
    shot->get_Hidden(&hidden);
    EXPECT_EQ(hidden, VARIANT_TRUE);
    shot->get_Value(QStringLiteral("_comments"), &v);
    EXPECT_EQ(text(v), QStringLiteral("a\r\n\r\nb"));
    int32_t index = 0;
    shot->get_TraceIndex(&index);
    EXPECT_EQ(index, 399);

    auto match1 = aiming(doc.get(), 2);
    EXPECT_EQ(points(match1.get()),
              (std::vector<std::pair<int32_t, int32_t>>{{100, 200}, {0, 0}, {-105, -205}, {5, -5}, {16380, 16380}}));
    shot = nullptr;
    ASSERT_EQ(match1->Shot(1, shot.put()), S_OK);
    shot->get_TraceIndex(&index);
    EXPECT_EQ(index, 2); // right after the point of the shot sample
    DATE when = 0;
    shot->get_ShotTime(&when);
    EXPECT_DOUBLE_EQ(when, oldTime(100002));
    shot->get_Hidden(&hidden);
    EXPECT_EQ(hidden, VARIANT_FALSE);
    shot->get_Value(QStringLiteral("_comments"), &v);
    EXPECT_EQ(text(v), QStringLiteral("steady")); // a second part alone stands for itself
    ComPtr<IAimingTrace> trace;
    match1->get_Trace(trace.put());
    VARIANT_BOOL readOnly = 0;
    trace->get_ReadOnly(&readOnly);
    EXPECT_EQ(readOnly, VARIANT_TRUE);
    attr = nullptr;
    match1->get_Attr(attr.put());
    int32_t rate = 0;
    attr->get_SampleRate(&rate);
    EXPECT_EQ(rate, 200);
    attr->get_StartTime(&start);
    EXPECT_DOUBLE_EQ(start, oldTime(100000));

    // A shot sample outside the trace: no shot.
    auto noShot = aiming(doc.get(), 3);
    int32_t shots = -1;
    noShot->get_ShotCount(&shots);
    EXPECT_EQ(shots, 0);
    EXPECT_EQ(points(noShot.get()), (std::vector<std::pair<int32_t, int32_t>>{{-70, 70}}));
}

TEST_F(RawReader, VersionTwoWithAShortHeader)
{
    auto doc = load("ap10_v2.raw", S_OK);
    int32_t version = 0;
    doc->get_FileVersion(&version);
    EXPECT_EQ(version, 2);
    Variant v;
    doc->get_Value(QStringLiteral("_comments"), &v);
    EXPECT_TRUE(v.isEmpty()); // a second part without a first is not used
    doc->get_Value(QStringLiteral("_position"), &v);
    EXPECT_TRUE(v.isEmpty()); // positions only for the smallbore rifle
    EXPECT_EQ(points(aiming(doc.get(), 1).get()), (std::vector<std::pair<int32_t, int32_t>>{{100, -200}, {300, -400}}));
}

TEST_F(RawReader, MixedPositionsNameNone)
{
    auto doc = load("mixed_positions.raw", S_OK);
    Variant v;
    doc->get_Value(QStringLiteral("_position"), &v);
    EXPECT_TRUE(v.isEmpty());
}

TEST_F(RawReader, AimingsWithoutUsableRateOrScaleArePassedOver)
{
    // Every aiming of the file is reported before it is read, counted from 0, also those passed over.
    auto doc = CKavroDocument::create();
    auto sink = ProgressSink::create();
    uint32_t cookie = 0;
    ASSERT_EQ(adviseSink(doc->identity(), _IKavroDocumentEvents::iid, sink->identity(), &cookie), S_OK);
    doc->put_FileName(dir->filePath(QStringLiteral("some_unusable.raw")));
    ASSERT_EQ(doc->Load(), S_OK);
    EXPECT_EQ(sink->calls, (std::vector<std::pair<int32_t, int32_t>>{{0, 5}, {1, 5}, {2, 5}, {3, 5}, {4, 5}}));
    unadviseSink(doc->identity(), _IKavroDocumentEvents::iid, cookie);

    ComPtr<IAimingCollection> aimings;
    doc->get_Aimings(aimings.put());
    int32_t count = 0;
    aimings->get_Count(&count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(points(aiming(doc.get(), 1).get()), (std::vector<std::pair<int32_t, int32_t>>{{100, -100}}));
    // The reading goes on after the fields of each aiming passed over.
    EXPECT_EQ(points(aiming(doc.get(), 2).get()), (std::vector<std::pair<int32_t, int32_t>>{{200, 200}, {300, -300}}));
}

TEST_F(RawReader, FilesThatCannotBeReadFail)
{
    // A file whose only aiming has no usable rate or scale has nothing to show.
    for (const char* name : {"scale0.raw", "rate10.raw", "rate501.raw", "unknown_event.raw", "header_length.raw",
                             "count_beyond_file.raw", "points_missing.raw"})
        load(name, E_FAIL);
    // A point count no trace of the format holds is told apart from a damaged file.
    for (const char* name : {"points0.raw", "points16381.raw", "points_negative.raw"})
        load(name, E_OUTOFMEMORY);
    // The file's version is known before the failure.
    auto doc = load("scale0.raw", E_FAIL);
    int32_t version = 0;
    doc->get_FileVersion(&version);
    EXPECT_EQ(version, 7);
}

TEST(Windows1252, TheHighControlsAreTypography)
{
    EXPECT_EQ(fromWindows1252(QByteArray("\x80\x8a\x9f\xa0\xff\x81", 6)),
              QString::fromUtf16(u"\u20ac\u0160\u0178\u00a0\u00ff\u0081"));
}
