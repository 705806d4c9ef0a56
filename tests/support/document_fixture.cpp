#include "support/document_fixture.h"

#include "com/classregistry.h"
#include "target_element.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace doctest {

// Documents find their events through the per-process manager, also in tests that never ask for
// an event themselves.
[[maybe_unused]] const bool eventsFromTheBinFolder = qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR));

IEventManager* manager()
{
    static ComPtr<IEventManager> m = [] {
        ComPtr<IEventManager> created;
        createInstance(kavrodoc::CLSID_EventManager, &created);
        return created;
    }();
    return m.get();
}

ComPtr<IEventParams> event(const char* shortName)
{
    ComPtr<IEventParams> e;
    EXPECT_EQ(manager()->FindByShortName(QString::fromLatin1(shortName), e.put()), S_OK) << shortName;
    return e;
}

namespace {

constexpr DATE kMorning = 45123.375; // 2023-07-16 09:00

ComPtr<IAiming> newAiming(IEventParams* event, bool match, int32_t rate, DATE enter)
{
    ComPtr<IAiming> a;
    EXPECT_EQ(createInstance(kavrodoc::CLSID_Aiming, &a), S_OK);
    ComPtr<IAimingAttr> attr;
    a->get_Attr(attr.put());
    EXPECT_EQ(attr->put_SampleRate(rate), S_OK);
    EXPECT_EQ(attr->put_Event(event), S_OK);
    attr->put_Match(toVariantBool(match));
    attr->put_StartTime(enter - 2.0 / 86400);
    attr->put_EnterTime(enter);
    attr->put_FCoefficient(match ? 120 : 0);
    ComPtr<IAimingTrace> trace;
    a->get_Trace(trace.put());
    trace->put_WrapEnabled(VARIANT_FALSE);
    return a;
}

ComPtr<IAimingTrace> traceOf(IAiming* a)
{
    ComPtr<IAimingTrace> t;
    a->get_Trace(t.put());
    return t;
}

// A wandering aiming point near the centre, with invalid runs and jumps that need every run class.
void fillTrace(IAimingTrace* trace, int n, int seed, bool trigger)
{
    int32_t triggerIndex = 0, pressureIndex = 0;
    if (trigger) {
        EXPECT_EQ(trace->AddUserData(QStringLiteral("_trigger"), &triggerIndex), S_OK);
        EXPECT_EQ(trace->AddUserData(QStringLiteral("pressure"), &pressureIndex), S_OK);
    }
    int32_t first = 0;
    trace->get_First(&first);
    for (int i = 0; i < n; ++i) {
        if (i % 97 == 13 || (i > 50 && i < 55)) {
            EXPECT_EQ(trace->AddInvalid(), S_OK);
        } else {
            const double t = (i + seed) * 0.01;
            int32_t x = int32_t(std::lround(800 * std::sin(t * 3.1) + 40 * std::cos(t * 17)));
            int32_t y = int32_t(std::lround(600 * std::cos(t * 2.3) - 25 * std::sin(t * 23)));
            if (i % 211 == 100)
                x += 70000; // a class 3 jump
            EXPECT_EQ(trace->_Add(x, y), S_OK);
        }
        if (trigger) {
            trace->put_UserData(triggerIndex, first + i, i > n / 2 ? 1 : 0);
            trace->put_UserData(pressureIndex, first + i, i == n - 1 ? INT_MIN + 5 : i * 1000);
        }
    }
}

ComPtr<IShot> shoot(IAiming* a, bool missed = false, double phase = NAN)
{
    ComPtr<IShot> s;
    EXPECT_EQ(a->AddShot2(toVariantBool(missed), phase, s.put()), S_OK);
    return s;
}

void putDocumentValues(IKavroDocument* doc)
{
    auto put = [doc](const char* name, const Variant& v) {
        EXPECT_EQ(doc->put_Value(QString::fromLatin1(name), v), S_OK) << name;
    };
    put("v_i1", Variant::fromInteger(VT_I1, -128));
    put("v_ui1", Variant::fromInteger(VT_UI1, 255));
    put("v_i2", Variant::fromInteger(VT_I2, -32768));
    put("v_bool", Variant::fromBool(true));
    put("v_ui2", Variant::fromInteger(VT_UI2, 65535));
    put("v_i4", Variant(int32_t(-2147483647 - 1)));
    put("v_r4", Variant(-0.0f));
    put("v_error", Variant::fromError(int32_t(0x80020004)));
    put("v_ui4", Variant::fromInteger(VT_UI4, 4294967295LL));
    put("v_int", Variant::fromInteger(VT_INT, 7));
    put("v_uint", Variant::fromInteger(VT_UINT, 3000000000LL));
    put("v_r8", Variant(1.0 / 3.0));
    put("v_cy", Variant::fromCurrency(-123456789));
    put("v_date", Variant::fromDate(kMorning));
    put("v_i8", Variant::fromInteger(VT_I8, INT64_MIN));
    put("v_ui8", Variant::fromInteger(VT_UI8, -1)); // all bits set
    put("v_bstr", Variant(QStringLiteral("Zielübung \U0001F3AF")));
    put("v_bstr_empty", Variant(QStringLiteral("")));
    put("v_bstr_null", Variant(QString()));
    put("v_dispatch_null", Variant::fromObject(nullptr, VT_DISPATCH));
    auto element = kavrodoc::CTargetElement::create();
    element->put_Type(elementEllipse);
    element->put_Left(-5.5f);
    element->put_Width(11.0f);
    element->put_Value(QStringLiteral("tag"), Variant(QStringLiteral("inner")));
    put("zzz_object", Variant::fromObject(element->identity(), VT_UNKNOWN));
}

} // namespace

ComPtr<IKavroDocument> syntheticPractice(int scale)
{
    ComPtr<IKavroDocument> doc;
    EXPECT_EQ(createInstance(kavrodoc::CLSID_KavroDocument, &doc), S_OK);
    auto ar10 = event("AR10");
    EXPECT_EQ(doc->put_Event(ar10.get()), S_OK);
    doc->put_ShooterName(QStringLiteral("Jörg Ünal"));
    ComPtr<IAimingCollection> aimings;
    doc->get_Aimings(aimings.put());

    // Sighting: one shot with comments and a microphone phase.
    auto sighting = newAiming(ar10.get(), false, 200, kMorning);
    fillTrace(traceOf(sighting.get()).get(), 600 * scale, 1, true);
    auto s1 = shoot(sighting.get(), false, 0.25);
    s1->put_ShotTime(kMorning + 3.0 / 86400);
    s1->put_Value(QStringLiteral("_comments"), Variant(QStringLiteral("flinched")));
    fillTrace(traceOf(sighting.get()).get(), 200, 7, false);
    traceOf(sighting.get())->put_ReadOnly(VARIANT_TRUE);
    ComPtr<IAimingAttr> attr;
    sighting->get_Attr(attr.put());
    attr->put_Value(QStringLiteral("note"), Variant(QStringLiteral("warm-up")));
    attr->put_SubTarget(2);

    // Match at 500/s with a hidden shot; a second match aiming with two shots.
    auto match = newAiming(ar10.get(), true, 500, kMorning + 60.0 / 86400);
    fillTrace(traceOf(match.get()).get(), 1500 * scale, 2, true);
    auto m1 = shoot(match.get());
    m1->put_ShotTime(kMorning + 63.0 / 86400);
    m1->put_Hidden(VARIANT_TRUE);
    m1->put_Value(QStringLiteral("label"), Variant::fromInteger(VT_I2, 9));
    traceOf(match.get())->put_ReadOnly(VARIANT_TRUE);
    attr = nullptr;
    match->get_Attr(attr.put());
    attr->put_Value(QStringLiteral("count"), Variant(int32_t(3)));
    attr->put_Value(QStringLiteral("flag"), Variant::fromBool(false));

    auto match2 = newAiming(ar10.get(), true, 250, kMorning + 120.0 / 86400);
    fillTrace(traceOf(match2.get()).get(), 700 * scale, 3, false);
    shoot(match2.get())->put_ShotTime(kMorning + 122.0 / 86400);
    fillTrace(traceOf(match2.get()).get(), 300, 4, false);
    shoot(match2.get())->put_ShotTime(kMorning + 124.0 / 86400);

    // Added before the sighting aiming on purpose: the collection puts sighting first.
    EXPECT_EQ(aimings->Add(match.get()), S_OK);
    EXPECT_EQ(aimings->Add(sighting.get()), S_OK);
    EXPECT_EQ(aimings->Add(match2.get()), S_OK);
    ComPtr<IAiming> missed;
    EXPECT_EQ(aimings->AddMissed(VARIANT_TRUE, missed.put()), S_OK);

    putDocumentValues(doc.get());
    return doc;
}

ComPtr<IKavroDocument> longPractice(int aimingCount, int seconds, int rate)
{
    ComPtr<IKavroDocument> doc;
    EXPECT_EQ(createInstance(kavrodoc::CLSID_KavroDocument, &doc), S_OK);
    auto ar10 = event("AR10");
    doc->put_Event(ar10.get());
    doc->put_ShooterName(QStringLiteral("Long Practice"));
    ComPtr<IAimingCollection> aimings;
    doc->get_Aimings(aimings.put());
    for (int i = 0; i < aimingCount; ++i) {
        auto a = newAiming(ar10.get(), true, rate, kMorning + i * 70.0 / 86400);
        auto trace = traceOf(a.get());
        fillTrace(trace.get(), seconds * rate - rate, i, true);
        shoot(a.get())->put_ShotTime(kMorning + (i * 70.0 + seconds) / 86400);
        fillTrace(trace.get(), rate, i + 1000, false);
        trace->put_ReadOnly(VARIANT_TRUE);
        aimings->Add(a.get());
    }
    return doc;
}

ProcessResult run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    ProcessResult r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

ProcessResult runPython(const char* script, const QStringList& args)
{
    return run(QStringLiteral("/usr/bin/python3"),
               QStringList{QStringLiteral(KAVRO_TEST_SOURCE_DIR "/docmodel_document/") + QString::fromLatin1(script)}
                   + args);
}

QJsonObject dumpInFreshProcess(const QString& path)
{
    ProcessResult r = run(QStringLiteral(KAVRO_DOCUMENT_DUMP), {path});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    return QJsonDocument::fromJson(r.out).object();
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

} // namespace doctest
