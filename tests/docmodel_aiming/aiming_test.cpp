// Aimings and their attributes: creation by class id, shots, and both streams with their
// older versions.
#include "aiming.h"
#include "aiming_attr.h"
#include "com/classregistry.h"
#include "fake_events.h"
#include "shot.h"
#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_forms.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kavrodoc;
using kavro::MemoryStream;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

QByteArray bstr(const char* text)
{
    auto s = MemoryStream::create();
    kavro::writeBstr(s.get(), QString::fromUtf8(text));
    return s->bytes();
}

class AimingTest : public ::testing::Test {
protected:
    ComPtr<fake::Event> event = fake::Event::create();
    fake::Installed installed{{ComPtr<IEventParams>(event.get())}};
};

TEST_F(AimingTest, ClassesAreCreatableByClassIdAndProgId)
{
    ComPtr<IAiming> aiming;
    ASSERT_EQ(createInstance(CLSID_Aiming, &aiming), S_OK);
    ComPtr<IAimingTrace> trace;
    ComPtr<IAimingAttr> attr, traceAttr;
    ASSERT_EQ(aiming->get_Trace(trace.put()), S_OK);
    ASSERT_EQ(aiming->get_Attr(attr.put()), S_OK);
    ASSERT_EQ(trace->get_Attr(traceAttr.put()), S_OK);
    EXPECT_TRUE(sameObject(attr.get(), traceAttr.get()));
    for (const auto& c : kClasses) {
        if (*c.clsid == CLSID_Aiming || *c.clsid == CLSID_AimingTrace || *c.clsid == CLSID_AimingAttr
            || *c.clsid == CLSID_Shot || *c.clsid == CLSID_ShotCollection) {
            EXPECT_EQ(kavro::classIdFromProgId(QString::fromUtf8(c.progId)), *c.clsid) << c.progId;
            ComPtr<IUnknown> obj;
            EXPECT_EQ(createInstance(*c.clsid, &obj), S_OK) << c.progId;
        }
    }
}

TEST_F(AimingTest, ShotsTakeTheTraceEnd)
{
    auto aiming = CAiming::create();
    ComPtr<IShot> shot;
    ASSERT_EQ(aiming->AddShot(VARIANT_FALSE, shot.put()), S_OK);
    int32_t index = 0;
    shot->get_TraceIndex(&index);
    EXPECT_EQ(index, -1);

    auto trace = aiming->trace();
    aiming->attr()->put_SampleRate(200);
    for (int i = 0; i < 10; ++i)
        trace->_Add(i, i);
    ComPtr<IShot> second;
    ASSERT_EQ(aiming->AddShot2(VARIANT_TRUE, 0.25, second.put()), S_OK);
    second->get_TraceIndex(&index);
    EXPECT_EQ(index, 9);
    VARIANT_BOOL missed = 0;
    second->get_Missed(&missed);
    EXPECT_EQ(missed, VARIANT_TRUE);
    double phase = 0;
    second->get_microphonePhase(&phase);
    EXPECT_EQ(phase, 0.25);
    // Only VARIANT_TRUE counts as missed.
    ComPtr<IShot> third;
    aiming->AddShot(1, third.put());
    third->get_Missed(&missed);
    EXPECT_EQ(missed, VARIANT_FALSE);

    int32_t n = 0;
    aiming->get_ShotCount(&n);
    EXPECT_EQ(n, 3);
    ComPtr<IShot> got;
    EXPECT_EQ(aiming->Shot(2, got.put()), S_OK);
    EXPECT_TRUE(sameObject(got.get(), second.get()));
    EXPECT_EQ(aiming->Shot(4, got.put()), E_INVALIDARG);
    EXPECT_EQ(aiming->Shot(0, got.put()), E_INVALIDARG);
    EXPECT_EQ(aiming->AddShot(0, nullptr), E_POINTER);
    IShot* notNull = second.get();
    EXPECT_EQ(aiming->AddShot(0, &notNull), E_POINTER);
    aiming->get_ShotCount(&n);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(aiming->IsDirty(), S_OK);
}

// The attributes and the trace are handed out as references of the caller's own, which outlive
// the aiming; an out-pointer that is missing or not null is refused.
TEST_F(AimingTest, HeldObjectsAreHandedOutAsNewReferences)
{
    auto aiming = CAiming::create();
    ComPtr<IAimingAttr> attr;
    ComPtr<IAimingTrace> trace;
    ASSERT_EQ(aiming->get_Attr(attr.put()), S_OK);
    ASSERT_EQ(aiming->get_Trace(trace.put()), S_OK);
    ASSERT_TRUE(attr && trace);
    IAimingAttr* notNull = attr.get();
    EXPECT_EQ(aiming->get_Attr(&notNull), E_POINTER);
    EXPECT_EQ(notNull, attr.get());
    EXPECT_EQ(aiming->get_Trace(nullptr), E_POINTER);
    ComPtr<IShot> shot;
    ASSERT_EQ(aiming->AddShot(0, shot.put()), S_OK);
    IShot* notNullShot = shot.get();
    EXPECT_EQ(aiming->Shot(1, &notNullShot), E_POINTER);

    aiming = nullptr;
    EXPECT_EQ(attr->put_FCoefficient(12), S_OK);
    int32_t f = 0;
    EXPECT_EQ(attr->get_FCoefficient(&f), S_OK);
    EXPECT_EQ(f, 12);
    int32_t count = -1;
    EXPECT_EQ(trace->get_Count(&count), S_OK);
    EXPECT_EQ(count, 0);
}

TEST_F(AimingTest, SaveAndLoad)
{
    auto aiming = CAiming::create();
    auto attr = aiming->attr();
    attr->put_Event(event.get());
    attr->put_SampleRate(300);
    attr->put_FCoefficient(40);
    attr->put_Match(VARIANT_FALSE);
    attr->put_SubTarget(2);
    attr->put_StartTime(45000.5);
    attr->put_EnterTime(45000.25);
    attr->put_UseRealBreaches(VARIANT_TRUE);
    attr->put_Value(QStringLiteral("_comments"), Variant("calm"));
    auto trace = aiming->trace();
    for (int i = 0; i < 50; ++i)
        trace->_Add(i * 10, 500 - i);
    ComPtr<IShot> shot;
    aiming->AddShot2(VARIANT_FALSE, 0.5, shot.put());
    shot->put_ShotTime(45000.75);
    trace->put_ReadOnly(VARIANT_TRUE);

    auto s = MemoryStream::create();
    ASSERT_EQ(aiming->Save(s.get(), 1), S_OK);
    EXPECT_EQ(aiming->IsDirty(), S_FALSE);
    QByteArray bytes = s->bytes();
    // version, then the attributes in object form
    EXPECT_EQ(bytes.left(4), hex("02000000"));
    Guid id;
    auto r = MemoryStream::create(bytes.mid(4, 16));
    kavro::readGuid(r.get(), &id);
    EXPECT_EQ(id, CLSID_AimingAttr);

    auto back = CAiming::create();
    s->Seek(0, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(back->Load(s.get()), S_OK);
    auto backAttr = back->attr();
    int32_t v = 0;
    backAttr->get_SampleRate(&v);
    EXPECT_EQ(v, 300);
    backAttr->get_FCoefficient(&v);
    EXPECT_EQ(v, 40);
    backAttr->get_SubTarget(&v);
    EXPECT_EQ(v, 2);
    VARIANT_BOOL b = 0;
    backAttr->get_Match(&b);
    EXPECT_EQ(b, VARIANT_FALSE);
    backAttr->get_UseRealBreaches(&b);
    EXPECT_EQ(b, VARIANT_FALSE) << "not stored";
    DATE d = 0;
    backAttr->get_StartTime(&d);
    EXPECT_EQ(d, 45000.5);
    backAttr->get_EnterTime(&d);
    EXPECT_EQ(d, 45000.25);
    Variant comment;
    backAttr->get_Value(QStringLiteral("_comments"), &comment);
    EXPECT_EQ(comment.bstr(), QStringLiteral("calm"));
    ComPtr<IEventParams> backEvent;
    backAttr->get_Event(backEvent.put());
    EXPECT_TRUE(sameObject(backEvent.get(), event.get()));

    ComPtr<IShot> backShot;
    ASSERT_EQ(back->Shot(1, backShot.put()), S_OK);
    backShot->get_TraceIndex(&v);
    EXPECT_EQ(v, 49);
    double phase = 0;
    backShot->get_microphonePhase(&phase);
    EXPECT_EQ(phase, 0.5);
    ComPtr<IAimingTrace> shotTrace;
    backShot->get_Trace(shotTrace.put());
    EXPECT_TRUE(sameObject(shotTrace.get(), back->trace().get()));
    ComPtr<IAimingAttr> traceAttr;
    back->trace()->get_Attr(traceAttr.put());
    EXPECT_TRUE(sameObject(traceAttr.get(), backAttr.get()));

    auto again = MemoryStream::create();
    ASSERT_EQ(back->Save(again.get(), 1), S_OK);
    EXPECT_EQ(again->bytes(), bytes);

    // Every truncation fails and leaves the aiming as it was.
    for (qsizetype cut = 0; cut < bytes.size(); cut += 7) {
        auto t = MemoryStream::create(bytes.left(cut));
        ASSERT_EQ(back->Load(t.get()), E_FAIL) << cut;
    }
    back->get_ShotCount(&v);
    EXPECT_EQ(v, 1);
}

TEST_F(AimingTest, VersionOneAimingStream)
{
    auto aiming = CAiming::create();
    aiming->attr()->put_Event(event.get());
    aiming->attr()->put_SampleRate(200);
    auto s = MemoryStream::create();
    ASSERT_EQ(aiming->Save(s.get(), 1), S_OK);
    QByteArray bytes = s->bytes();
    // Version 1 puts a further class id and a 0/1 flag before the shot count.
    QByteArray v1 = hex("01000000") + bytes.mid(4, bytes.size() - 8) + QByteArray(16, '\x11');
    auto ok = MemoryStream::create(v1 + hex("01000000 00000000"));
    EXPECT_EQ(aiming->Load(ok.get()), S_OK);
    auto bad = MemoryStream::create(v1 + hex("02000000 00000000"));
    EXPECT_EQ(aiming->Load(bad.get()), E_FAIL);
    auto newer = MemoryStream::create(hex("03000000") + bytes.mid(4));
    EXPECT_EQ(aiming->Load(newer.get()), E_FAIL);
}

TEST_F(AimingTest, AttributeRules)
{
    auto attr = CAimingAttr::create();
    EXPECT_EQ(attr->put_SampleRate(19), E_INVALIDARG);
    EXPECT_EQ(attr->put_SampleRate(501), E_INVALIDARG);
    EXPECT_EQ(attr->put_SampleRate(200), S_OK);
    EXPECT_EQ(attr->put_SampleRate(200), E_UNEXPECTED);
    ComPtr<IEventParams> none;
    EXPECT_EQ(attr->get_Event(none.put()), E_UNEXPECTED);
    EXPECT_EQ(attr->put_Event(nullptr), E_INVALIDARG);
    // Saving needs the event's name.
    auto s = MemoryStream::create();
    EXPECT_EQ(attr->Save(s.get(), 1), E_UNEXPECTED);

    attr->Save(s.get(), 1);
    EXPECT_EQ(attr->IsDirty(), S_OK);
    ASSERT_EQ(attr->put_Event(event.get()), S_OK);
    ASSERT_EQ(attr->Save(s.get(), 1), S_OK);
    EXPECT_EQ(attr->IsDirty(), S_FALSE);
    attr->put_SubTarget(3);
    EXPECT_EQ(attr->IsDirty(), S_FALSE);
    attr->put_Match(VARIANT_TRUE);
    EXPECT_EQ(attr->IsDirty(), S_FALSE) << "unchanged";
    attr->put_Match(1);
    EXPECT_EQ(attr->IsDirty(), S_OK) << "only -1 is TRUE";
    VARIANT_BOOL m = -1;
    attr->get_Match(&m);
    EXPECT_EQ(m, VARIANT_FALSE);

    const QByteArray expected = hex("03000000") + bstr("AR10") + hex("0000000000000000 0000000000000000")
        + hex("C8000000 00000000 01 01000000 00000000");
    EXPECT_EQ(s->bytes(), expected);
}

TEST_F(AimingTest, AttributeStreamVersions)
{
    auto attr = CAimingAttr::create();
    // Version 1: a further ignored text, match as int32 and two ignored int32; no SubTarget,
    // no Value bag.
    QByteArray v1 = hex("01000000") + bstr("AR10") + bstr("old") + hex("0000000000000040 0000000000000840")
        + hex("64000000 0A000000 01000000 07000000 08000000");
    auto s = MemoryStream::create(v1);
    ASSERT_EQ(attr->Load(s.get()), S_OK);
    int32_t v = 0;
    attr->get_SubTarget(&v);
    EXPECT_EQ(v, 1);
    attr->get_SampleRate(&v);
    EXPECT_EQ(v, 100);
    attr->get_FCoefficient(&v);
    EXPECT_EQ(v, 10);
    DATE d = 0;
    attr->get_StartTime(&d);
    EXPECT_EQ(d, 2.0);
    attr->get_EnterTime(&d);
    EXPECT_EQ(d, 3.0);
    VARIANT_BOOL m = 0;
    attr->get_Match(&m);
    EXPECT_EQ(m, VARIANT_TRUE);
    EXPECT_EQ(attr->IsDirty(), S_FALSE);

    // Version 2: match byte and bag, no SubTarget.
    QByteArray v2 = hex("02000000") + bstr("AR10") + hex("0000000000000000 0000000000000000")
        + hex("F4010000 00000000 00 00000000");
    s = MemoryStream::create(v2);
    ASSERT_EQ(attr->Load(s.get()), S_OK);
    attr->get_Match(&m);
    EXPECT_EQ(m, VARIANT_FALSE);

    auto load = [&](const QByteArray& bytes) {
        auto st = MemoryStream::create(bytes);
        return CAimingAttr::create()->Load(st.get());
    };
    // A stored rate is taken as stored, even one the put refuses or none at all.
    for (int32_t stored : {0, 10, 1000, -5, INT32_MAX}) {
        QByteArray rate = v2;
        rate.replace(4 + 14 + 16, 4, QByteArray(reinterpret_cast<const char*>(&stored), 4));
        auto loaded = CAimingAttr::create();
        auto st = MemoryStream::create(rate);
        ASSERT_EQ(loaded->Load(st.get()), S_OK) << stored;
        loaded->get_SampleRate(&v);
        EXPECT_EQ(v, stored);
    }
    QByteArray other = hex("02000000") + bstr("XX") + v2.mid(4 + 14);
    EXPECT_EQ(load(other), E_FAIL) << "event not installed";
    EXPECT_EQ(load(hex("04000000") + v2.mid(4)), E_FAIL);
    EXPECT_EQ(load(v2.left(v2.size() - 1)), E_FAIL);
}

// An aiming of `samples` points along x whose attributes were stored with `rate`.
QByteArray storedAiming(CAiming* source, int32_t rate, int samples)
{
    source->attr()->put_Event(nullptr);
    auto trace = source->trace();
    for (int i = 0; i < samples; ++i)
        trace->_Add(i * 100, 0);
    ComPtr<IShot> shot;
    source->AddShot(VARIANT_FALSE, shot.put());
    trace->put_ReadOnly(VARIANT_TRUE);
    auto s = MemoryStream::create();
    EXPECT_EQ(source->Save(s.get(), 1), S_OK);
    QByteArray bytes = s->bytes();
    // The attributes follow the aiming's version and class id; their rate follows version,
    // event name and two dates.
    const qsizetype at = 4 + 16 + 4 + bstr("AR10").size() + 16;
    bytes.replace(at, 4, QByteArray(reinterpret_cast<const char*>(&rate), 4));
    return bytes;
}

TEST_F(AimingTest, StoredRatesOutsideThePutRangeLoadAndAreGuardedWhereUsed)
{
    for (int32_t rate : {1000, 10, 0, -5}) {
        auto source = CAiming::create();
        source->attr()->put_Event(event.get());
        source->attr()->put_SampleRate(200);
        source->attr()->put_FCoefficient(1000);
        const QByteArray bytes = storedAiming(source.get(), rate, 400);
        auto aiming = CAiming::create();
        auto s = MemoryStream::create(bytes);
        ASSERT_EQ(aiming->Load(s.get()), S_OK) << rate;
        auto trace = aiming->trace();
        int32_t count = 0;
        trace->get_Count(&count);
        EXPECT_EQ(count, 400);
        float seconds = -1;
        int32_t index = -1;
        ComPtr<IShot> shot;
        ASSERT_EQ(aiming->Shot(1, shot.put()), S_OK);
        float x = 0, y = 0;
        EXPECT_EQ(shot->Breach(&x, &y), S_OK) << rate;
        if (rate > 0) {
            EXPECT_EQ(trace->Index2Sec(400, &seconds), S_OK);
            EXPECT_FLOAT_EQ(seconds, 400.0f / float(rate));
            EXPECT_EQ(trace->Sec2Index(0.5f, &index), S_OK);
            EXPECT_EQ(index, rate / 2);
        } else {
            // No time-based result, and no division by the rate.
            EXPECT_EQ(trace->Index2Sec(400, &seconds), E_UNEXPECTED);
            EXPECT_EQ(trace->Sec2Index(0.5f, &index), E_UNEXPECTED);
            ComPtr<IRange> range;
            EXPECT_EQ(aiming->Range(-1, 0, range.put()), E_FAIL) << "no window in seconds";
            ASSERT_EQ(aiming->Range(0, 0, range.put()), S_OK);
            EXPECT_EQ(range->Index2Sec(10, &seconds), E_UNEXPECTED);
            EXPECT_EQ(range->Sec2Index(0.5f, &index), E_UNEXPECTED);
        }
        // A loaded trace never grows, whatever its rate.
        EXPECT_EQ(trace->_Add(0, 0), E_UNEXPECTED);
    }
}

} // namespace
