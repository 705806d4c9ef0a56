// The trace: sliding window, growth, narrowing, user-data channels, its stream in every
// version the reader accepts, and damaged streams.
#include "aiming_attr.h"
#include "aiming_trace.h"
#include "support/forwarding_stream.h"
#include "load_budget.h"
#include "sample_slabs.h"
#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_forms.h"
#include "trace_codec.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <thread>

using namespace kavrodoc;
using kavro::MemoryStream;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

ComPtr<CAimingTrace> makeTrace(int32_t rate = 200)
{
    auto attr = CAimingAttr::create();
    EXPECT_EQ(attr->put_SampleRate(rate), S_OK);
    auto trace = CAimingTrace::create();
    trace->setAttr(attr.get());
    return trace;
}

QByteArray saved(CAimingTrace* trace)
{
    auto s = MemoryStream::create();
    EXPECT_EQ(trace->Save(s.get(), 1), S_OK);
    return s->bytes();
}

ComPtr<CAimingTrace> loaded(const QByteArray& bytes, HRESULT expected = S_OK)
{
    auto trace = CAimingTrace::create();
    auto s = MemoryStream::create(bytes);
    EXPECT_EQ(trace->Load(s.get()), expected);
    return trace;
}

std::vector<int32_t> xs(CAimingTrace* t)
{
    int32_t first = 0, last = 0;
    t->get_First(&first);
    t->get_Last(&last);
    std::vector<int32_t> v;
    for (int32_t i = first; i <= last; ++i) {
        int32_t x, y;
        EXPECT_EQ(t->_GetPoint(i, &x, &y), S_OK);
        v.push_back(x);
    }
    return v;
}

// The stored layout of a saved trace, read back without the trace class.
struct StoredTrace {
    int32_t version, first, count;
    uint8_t forms = 0;
    std::vector<int32_t> x, y;
    struct Channel {
        uint8_t forms;
        QString name;
        std::vector<int32_t> values;
    };
    std::vector<Channel> channels;
};

StoredTrace parse(const QByteArray& bytes)
{
    StoredTrace t{};
    auto s = MemoryStream::create(bytes);
    kavro::readValue(s.get(), &t.version);
    kavro::readValue(s.get(), &t.first);
    kavro::readValue(s.get(), &t.count);
    if (t.count <= 0)
        return t;
    kavro::readValue(s.get(), &t.forms);
    t.x.resize(size_t(t.count));
    t.y.resize(size_t(t.count));
    EXPECT_EQ(readCodedChannel(s.get(), t.x.data(), uint32_t(t.count)), S_OK);
    EXPECT_EQ(readCodedChannel(s.get(), t.y.data(), uint32_t(t.count)), S_OK);
    int32_t n = 0;
    kavro::readValue(s.get(), &n);
    for (int32_t i = 0; i < n; ++i) {
        StoredTrace::Channel c{};
        kavro::readValue(s.get(), &c.forms);
        kavro::readBstr(s.get(), &c.name);
        c.values.resize(size_t(t.count));
        EXPECT_EQ(readCodedChannel(s.get(), c.values.data(), uint32_t(t.count)), S_OK);
        t.channels.push_back(std::move(c));
    }
    EXPECT_EQ(s->position(), uint64_t(bytes.size())) << "trailing bytes";
    return t;
}

TEST(AimingTrace, EmptyTraceIsTwelveBytesAndLoadsReadOnly)
{
    auto trace = makeTrace();
    EXPECT_EQ(saved(trace.get()), hex("04000000 00000000 00000000"));
    auto back = loaded(hex("04000000 00000000 00000000"));
    VARIANT_BOOL v = 0;
    back->get_Valid(&v);
    EXPECT_EQ(v, VARIANT_FALSE);
    back->get_ReadOnly(&v);
    EXPECT_EQ(v, VARIANT_TRUE);
    int32_t last = 0;
    back->get_Last(&last);
    EXPECT_EQ(last, -1);
    EXPECT_EQ(back->_Add(1, 1), E_UNEXPECTED);
    EXPECT_EQ(back->IsDirty(), S_FALSE);
}

TEST(AimingTrace, WindowDropsTheOldestSampleAtItsLength)
{
    auto trace = makeTrace(200); // window 5.0 s: 1000 samples
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(trace->_Add(i, -i), S_OK);
    int32_t first = -1, count = 0;
    trace->get_First(&first);
    trace->get_Count(&count);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(count, 1000);
    ASSERT_EQ(trace->_Add(1000, -1000), S_OK);
    trace->get_First(&first);
    trace->get_Count(&count);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(count, 1000);
    int32_t x, y;
    EXPECT_EQ(trace->_GetPoint(0, &x, &y), E_INVALIDARG);
    EXPECT_EQ(trace->_GetPoint(1, &x, &y), S_OK);
    EXPECT_EQ(x, 1);

    // Long recording: the kept window moves to the front of its array again and again.
    for (int i = 1001; i < 7000; ++i)
        ASSERT_EQ(trace->_Add(i, -i), S_OK);
    std::vector<int32_t> expected(1000);
    for (int i = 0; i < 1000; ++i)
        expected[size_t(i)] = 6000 + i;
    EXPECT_EQ(xs(trace.get()), expected);

    // Once the window is off the trace grows freely.
    ASSERT_EQ(trace->put_WrapEnabled(VARIANT_FALSE), S_OK);
    for (int i = 7000; i < 9000; ++i)
        ASSERT_EQ(trace->_Add(i, -i), S_OK);
    trace->get_Count(&count);
    EXPECT_EQ(count, 3000);
    trace->get_Last(&x);
    EXPECT_EQ(x, 8999);
    auto back = loaded(saved(trace.get()));
    EXPECT_EQ(xs(back.get()), xs(trace.get()));
    back->get_First(&first);
    EXPECT_EQ(first, 6000);
}

TEST(AimingTrace, ShortenedWindowDoesNotTrim)
{
    auto trace = makeTrace(20); // 100 samples
    for (int i = 0; i < 100; ++i)
        trace->_Add(i, i);
    ASSERT_EQ(trace->put_MaxTimeBeforeShot(1.0f), S_OK); // 20 samples, below Count
    trace->_Add(100, 100);
    int32_t count = 0;
    trace->get_Count(&count);
    EXPECT_EQ(count, 101);
    EXPECT_EQ(trace->put_MaxTimeBeforeShot(0.4f), E_INVALIDARG);
    EXPECT_EQ(trace->put_MaxTimeBeforeShot(NAN), E_INVALIDARG);
}

TEST(AimingTrace, FlagsAndArguments)
{
    auto trace = makeTrace();
    EXPECT_EQ(trace->put_WrapEnabled(VARIANT_TRUE), E_INVALIDARG);
    EXPECT_EQ(trace->put_ReadOnly(VARIANT_FALSE), S_OK);
    ASSERT_EQ(trace->Add(0.125f, -0.375f), S_OK); // halves go to even
    int32_t x, y;
    ASSERT_EQ(trace->_GetPoint(0, &x, &y), S_OK);
    EXPECT_EQ(x, 12);
    EXPECT_EQ(y, -38);
    EXPECT_EQ(trace->Add(NAN, 0), E_INVALIDARG);
    EXPECT_EQ(trace->_GetPoint(0, nullptr, &y), E_POINTER);
    float f = 0;
    EXPECT_EQ(trace->get_x(0, &f), S_OK);
    EXPECT_FLOAT_EQ(f, 0.12f);
    EXPECT_EQ(trace->get_x(1, &f), E_INVALIDARG);
    EXPECT_EQ(trace->AddInvalid(), S_OK);
    EXPECT_EQ(trace->get_x(1, &f), S_OK);
    EXPECT_EQ(f, float(2147483647 / 100.0));
    VARIANT_BOOL valid = 0;
    trace->ValidCoordinate(1, &valid);
    EXPECT_EQ(valid, VARIANT_FALSE);

    int32_t index = 0;
    EXPECT_EQ(trace->Sec2Index(0.5f, &index), S_OK);
    EXPECT_EQ(index, 100);
    EXPECT_EQ(trace->Index2Sec(300, &f), S_OK);
    EXPECT_FLOAT_EQ(f, 1.5f);

    ASSERT_EQ(trace->put_ReadOnly(VARIANT_TRUE), S_OK);
    EXPECT_EQ(trace->put_ReadOnly(VARIANT_FALSE), E_INVALIDARG);
    EXPECT_EQ(trace->put_WrapEnabled(VARIANT_FALSE), E_INVALIDARG);
    EXPECT_EQ(trace->_Add(0, 0), E_UNEXPECTED);
    IAimingAttr* notNull = reinterpret_cast<IAimingAttr*>(trace.get());
    EXPECT_EQ(trace->get_Attr(&notNull), E_POINTER);
}

TEST(AimingTrace, AddingWithoutUsableSampleRateIsRefused)
{
    auto trace = CAimingTrace::create();
    EXPECT_EQ(trace->_Add(1, 1), E_UNEXPECTED);
    trace->setAttr(CAimingAttr::create().get()); // rate not set yet
    EXPECT_EQ(trace->_Add(1, 1), E_UNEXPECTED);
    EXPECT_EQ(trace->AddInvalid(), E_UNEXPECTED);
    int32_t count = -1;
    trace->get_Count(&count);
    EXPECT_EQ(count, 0);
}

TEST(AimingTrace, UserDataChannels)
{
    auto trace = makeTrace();
    int32_t a = 0, b = 0, found = 0;
    ASSERT_EQ(trace->AddUserData(QStringLiteral("_trigger"), &a), S_OK);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(trace->AddUserData(QString(), &b), E_INVALIDARG);
    EXPECT_EQ(trace->AddUserData(QStringLiteral("x"), nullptr), E_INVALIDARG);
    for (int i = 0; i < 5; ++i)
        trace->_Add(i, i);
    ASSERT_EQ(trace->put_UserData(1, 3, 7), S_OK);
    // A channel added later has zeros for the samples already kept.
    ASSERT_EQ(trace->AddUserData(QStringLiteral("late"), &b), S_OK);
    EXPECT_EQ(b, 2);
    int32_t v = -1;
    EXPECT_EQ(trace->get_UserData(2, 4, &v), S_OK);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(trace->AddUserData(QStringLiteral("_trigger"), &found), S_OK);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(trace->GetUserData(QStringLiteral("_Trigger"), &found), S_OK);
    EXPECT_EQ(found, -1);
    EXPECT_EQ(trace->get_UserData(3, 0, &v), E_INVALIDARG);
    EXPECT_EQ(trace->get_UserData(1, 5, &v), E_INVALIDARG);

    // Saving narrows the late channel; the stored forms say which channels are 16-bit.
    ASSERT_EQ(trace->put_UserData(1, 2, 100000), S_OK);
    StoredTrace st = parse(saved(trace.get()));
    ASSERT_EQ(st.channels.size(), 2u);
    EXPECT_EQ(st.channels[0].name, QStringLiteral("_trigger"));
    EXPECT_EQ(st.channels[0].forms, 0);
    EXPECT_EQ(st.channels[0].values, (std::vector<int32_t>{0, 0, 100000, 7, 0}));
    EXPECT_EQ(st.channels[1].forms, 1);

    EXPECT_EQ(trace->RemoveUserData(QStringLiteral("_trigger")), S_OK);
    EXPECT_EQ(trace->GetUserData(QStringLiteral("late"), &found), S_OK);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(trace->RemoveUserData(QStringLiteral("none")), S_OK);
    EXPECT_EQ(trace->RemoveUserData(QString()), E_INVALIDARG);
}

// Loads share the text of a channel name equal to the one loaded before; each keeps its own names.
TEST(AimingTrace, ChannelNamesOfTracesLoadedOneAfterAnother)
{
    const std::vector<std::vector<QString>> names = {
        {QStringLiteral("_trigger"), QStringLiteral("late")},
        {QStringLiteral("late")},
        {QStringLiteral("_trigger"), QStringLiteral("")},
        {QStringLiteral("_trigger")},
    };
    std::vector<QByteArray> streams;
    for (const auto& channels : names) {
        auto trace = makeTrace();
        for (const QString& name : channels) {
            int32_t index = 0;
            ASSERT_EQ(trace->AddUserData(name, &index), S_OK);
        }
        trace->_Add(1, 2);
        streams.push_back(saved(trace.get()));
    }
    for (size_t t = 0; t < streams.size(); ++t) {
        auto trace = loaded(streams[t]);
        for (const QString& name : {QStringLiteral("_trigger"), QStringLiteral("late"), QStringLiteral("")}) {
            const auto& expected = names[t];
            const auto at = std::find(expected.begin(), expected.end(), name);
            const int32_t want = at == expected.end() ? -1 : int32_t(at - expected.begin()) + 1;
            int32_t index = 0;
            ASSERT_EQ(trace->GetUserData(name, &index), S_OK);
            EXPECT_EQ(index, want) << "trace " << t << " channel '" << name.toStdString() << "'";
        }
    }
}

TEST(AimingTrace, NarrowingKeepsChannelsWithInvalidSamplesWide)
{
    auto trace = makeTrace();
    int32_t ch = 0;
    trace->AddUserData(QStringLiteral("u"), &ch);
    trace->_Add(100, 200);
    trace->AddInvalid();
    trace->_Add(-300, 32767);
    trace->put_UserData(ch, 1, kInvalidSample);
    ASSERT_EQ(trace->put_ReadOnly(VARIANT_TRUE), S_OK);
    StoredTrace st = parse(saved(trace.get()));
    EXPECT_EQ(st.forms, 0) << "x and y hold an invalid sample";
    ASSERT_EQ(st.channels.size(), 1u);
    EXPECT_EQ(st.channels[0].forms, 0);
    EXPECT_EQ(st.x, (std::vector<int32_t>{100, kInvalidSample, -300}));

    auto clean = makeTrace();
    clean->AddUserData(QStringLiteral("u"), &ch);
    clean->_Add(-32768, 32767);
    clean->put_UserData(ch, 0, -5);
    clean->put_ReadOnly(VARIANT_TRUE);
    st = parse(saved(clean.get()));
    EXPECT_EQ(st.forms, 3);
    EXPECT_EQ(st.channels[0].forms, 1);
    // A 16-bit channel widens again when a put does not fit, even on a read-only trace.
    EXPECT_EQ(clean->IsDirty(), S_FALSE);
    ASSERT_EQ(clean->put_UserData(ch, 0, 1 << 20), S_OK);
    EXPECT_EQ(clean->IsDirty(), S_FALSE);
    int32_t v = 0;
    clean->get_UserData(ch, 0, &v);
    EXPECT_EQ(v, 1 << 20);
}

TEST(AimingTrace, CurrentVersionRoundTrip)
{
    auto trace = makeTrace();
    int32_t ch = 0;
    trace->AddUserData(QStringLiteral("_trigger"), &ch);
    for (int i = 0; i < 1500; ++i) {
        if (i % 97 == 5)
            trace->AddInvalid();
        else
            trace->_Add(int32_t(1000 * std::sin(i / 50.0)), i * 40);
        ASSERT_EQ(trace->put_UserData(ch, i, i % 2), S_OK);
    }
    QByteArray bytes = saved(trace.get());
    EXPECT_EQ(trace->IsDirty(), S_FALSE);
    auto back = loaded(bytes);
    int32_t first = 0, count = 0, n = 0;
    back->get_First(&first);
    back->get_Count(&count);
    EXPECT_EQ(first, 500);
    EXPECT_EQ(count, 1000);
    EXPECT_EQ(xs(back.get()), xs(trace.get()));
    back->GetUserData(QStringLiteral("_trigger"), &n);
    EXPECT_EQ(n, 1);
    for (int i = 500; i < 1500; ++i) {
        int32_t a = 0, b = 0;
        trace->get_UserData(ch, i, &a);
        back->get_UserData(n, i, &b);
        ASSERT_EQ(a, b) << i;
    }
    EXPECT_EQ(saved(back.get()), bytes);
}

// Loaded traces decode into slabs they share: a change to one trace leaves the others as read,
// and slabs that fall free are used again by the next traces read.
TEST(AimingTrace, LoadedTracesShareKeptSlabsAndChangeAlone)
{
    auto trace = makeTrace();
    int32_t ch = 0;
    trace->AddUserData(QStringLiteral("_trigger"), &ch);
    for (int i = 0; i < 1000; ++i) {
        trace->_Add(i, -i);
        trace->put_UserData(ch, i, i % 3);
    }
    trace->put_ReadOnly(VARIANT_TRUE);
    const QByteArray bytes = saved(trace.get());
    // More than a slab's worth of decoded samples.
    const size_t count = SampleSlabs::kSlabBytes / (1000 * 3 * sizeof(int16_t)) * 2;
    const auto readAll = [&] {
        std::vector<ComPtr<CAimingTrace>> traces;
        for (size_t i = 0; i < count; ++i) {
            traces.push_back(loaded(bytes));
            int32_t v = 0;
            EXPECT_EQ(traces.back()->get_UserData(1, 999, &v), S_OK);
        }
        return traces;
    };
    auto traces = readAll();
    // Each a value the other traces' storage could not hold, the second widening a 16-bit channel.
    const std::pair<int32_t, int32_t> changes[] = {{998, 7}, {999, 100000}};
    for (size_t k = 0; k < std::size(changes); ++k)
        ASSERT_EQ(traces[k]->put_UserData(1, changes[k].first, changes[k].second), S_OK);
    for (size_t k = 0; k < std::size(changes); ++k) {
        int32_t v = 0;
        traces[k]->get_UserData(1, changes[k].first, &v);
        EXPECT_EQ(v, changes[k].second);
        traces[k + 2]->get_UserData(1, changes[k].first, &v);
        EXPECT_EQ(v, changes[k].first % 3) << "a change reached another trace";
        EXPECT_EQ(xs(traces[k].get()), xs(trace.get()));
    }
    EXPECT_EQ(saved(traces[2].get()), bytes);
    traces.clear();
    const size_t spare = SampleSlabs::spareSlabs();
    EXPECT_GE(spare, 1u) << "freed slabs are kept";
    traces = readAll();
    EXPECT_LT(SampleSlabs::spareSlabs(), spare) << "kept slabs are used again";
}

// A channel marked 16-bit whose values do not fit is read whole as 32-bit, and what follows it
// is still read from the right place.
TEST(AimingTrace, ChannelMarkedNarrowWithAWideValueLoadsExactly)
{
    auto trace = makeTrace();
    for (int i = 0; i < 700; ++i)
        trace->_Add(i == 650 ? 40000 : i * 3, -i);
    trace->put_ReadOnly(VARIANT_TRUE);
    const QByteArray bytes = saved(trace.get());
    ASSERT_EQ(parse(bytes).forms, 2) << "x is stored 32-bit, y 16-bit";
    QByteArray marked = bytes;
    marked[12] = char(3);
    auto back = loaded(marked);
    EXPECT_EQ(xs(back.get()), xs(trace.get()));
    int32_t last = 0, x = 0, y = 0;
    back->get_Last(&last);
    ASSERT_EQ(back->_GetPoint(last, &x, &y), S_OK);
    EXPECT_EQ(y, -699);
    EXPECT_EQ(saved(back.get()), bytes);
}

TEST(AimingTrace, OlderVersionsLoad)
{
    // Version 1: an ignored int32 after First, then 16-bit pairs.
    auto v1 = loaded(hex("01000000 05000000 63000000 02000000 01000000 0100FEFF 0300FCFF"));
    EXPECT_EQ(xs(v1.get()), (std::vector<int32_t>{1, 3}));
    int32_t x, y;
    v1->_GetPoint(6, &x, &y);
    EXPECT_EQ(y, -4);
    // Version 2 with 32-bit pairs.
    auto v2 = loaded(hex("02000000 00000000 02000000 00000000 A0860100 FFFFFF7F 01000000 02000000"));
    EXPECT_EQ(xs(v2.get()), (std::vector<int32_t>{100000, 1}));
    // Version 3: coded channels, no user data.
    auto v3 = loaded(hex("03000000 00000000 02000000 03 1102 0102 1102 0304"));
    EXPECT_EQ(xs(v3.get()), (std::vector<int32_t>{1, 3}));
    StoredTrace st = parse(saved(v3.get()));
    EXPECT_EQ(st.version, 4);
    EXPECT_EQ(st.forms, 3);
    EXPECT_EQ(st.y, (std::vector<int32_t>{3, 7}));
    EXPECT_TRUE(st.channels.empty());
    // Each older form saved and loaded again keeps its samples.
    for (auto* t : {v1.get(), v2.get(), v3.get()})
        EXPECT_EQ(xs(loaded(saved(t)).get()), xs(t));
    loaded(hex("05000000 00000000 00000000"), E_FAIL);
    loaded(hex("00000000 00000000 00000000"), E_FAIL);
}

TEST(AimingTrace, DamagedStreamsFailWithoutChangingTheTrace)
{
    auto trace = makeTrace();
    int32_t ch = 0;
    trace->AddUserData(QStringLiteral("_trigger"), &ch);
    for (int i = 0; i < 300; ++i)
        trace->_Add(i * i, -i);
    QByteArray bytes = saved(trace.get());
    auto target = loaded(hex("04000000 07000000 01000000 00 1101 05 1101 06 00000000"));
    for (qsizetype cut = 0; cut < bytes.size(); ++cut) {
        auto s = MemoryStream::create(bytes.left(cut));
        ASSERT_EQ(target->Load(s.get()), E_FAIL) << cut;
    }
    int32_t first = 0, x = 0, y = 0;
    target->get_First(&first);
    target->_GetPoint(7, &x, &y);
    EXPECT_EQ(first, 7);
    EXPECT_EQ(x, 5);

    // Counts that the stream cannot hold are refused before anything is allocated.
    loaded(hex("04000000 00000000 FFFFFF7F 00 30FFFFFF7F 30FFFFFF7F 00000000"), E_FAIL);
    loaded(hex("02000000 00000000 FFFFFF7F 00000000 01000000"), E_FAIL);
    loaded(hex("04000000 00000000 64000000 00 3000010000 1064"), E_FAIL);
    loaded(hex("04000000 00000000 01000000 00 1001 1001 FFFFFF7F"), E_FAIL);
    loaded(hex("04000000 FFFFFF7F 02000000 00 1002 1002 00000000"), E_FAIL);
    // Invalid runs alone are fine when the counts agree.
    auto invalid = loaded(hex("04000000 00000000 00010000 00 200001 200001 00000000"));
    VARIANT_BOOL valid = VARIANT_TRUE;
    invalid->ValidCoordinate(255, &valid);
    EXPECT_EQ(valid, VARIANT_FALSE);
}

} // namespace

namespace {

// What a trace may hold it can also store and read back: the bounds apply to recording too.
TEST(AimingTrace, RecordingStopsAtTheBoundsAStoredTraceMayClaim)
{
    auto trace = makeTrace(500);
    ASSERT_EQ(trace->put_WrapEnabled(VARIANT_FALSE), S_OK);
    int32_t index = 0;
    for (int32_t i = 1; i <= CAimingTrace::kMostUserChannels; ++i) {
        ASSERT_EQ(trace->AddUserData(QStringLiteral("c%1").arg(i), &index), S_OK);
        EXPECT_EQ(index, i);
    }
    EXPECT_EQ(trace->AddUserData(QStringLiteral("one more"), &index), E_OUTOFMEMORY);
    EXPECT_EQ(trace->AddUserData(QStringLiteral("c1"), &index), S_OK) << "an existing channel is still found";
    for (int32_t i = CAimingTrace::kMostUserChannels; i > 2; --i)
        ASSERT_EQ(trace->RemoveUserData(QStringLiteral("c%1").arg(i)), S_OK);

    for (int32_t i = 0; i < CAimingTrace::kMostSamples; ++i)
        ASSERT_EQ(trace->_Add(i % 100, 0), S_OK) << i;
    EXPECT_EQ(trace->_Add(0, 0), E_OUTOFMEMORY);
    EXPECT_EQ(trace->AddInvalid(), E_OUTOFMEMORY);
    int32_t count = 0;
    trace->get_Count(&count);
    EXPECT_EQ(count, CAimingTrace::kMostSamples);

    auto back = loaded(saved(trace.get()));
    back->get_Count(&count);
    EXPECT_EQ(count, CAimingTrace::kMostSamples);
}

} // namespace

namespace {

// Tiny streams that once made the reader allocate hundreds of megabytes: a day of invalid
// samples, in x and y alone and in three channels more. No trace holds that long an aiming.
TEST(AimingTrace, TinyStreamsClaimingADayOfSamplesAreRefused)
{
    for (const char* name : {"claims_a_day", "claims_a_day_in_channels"}) {
        QFile file(QStringLiteral(KAVRO_TEST_SOURCE_DIR "/docmodel_aiming/corpus/trace/") + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        const QByteArray bytes = file.readAll();
        EXPECT_LE(bytes.size(), 57);
        loaded(bytes, E_FAIL);
    }
}

} // namespace

namespace {

TEST(AimingTrace, TheLargestTraceTheBoundsAllowFitsTheFixedLoadBudget)
{
    const uint64_t largest = uint64_t(CAimingTrace::kMostSamples) * (2 + CAimingTrace::kMostUserChannels) * 4;
    EXPECT_LE(largest, LoadBudget::kFixedBytes);
}

// Charges put off until a later charge needs them answer from the bytes they were asked about,
// kept by the budget after their holders are gone, each array once however many questions.
TEST(LoadBudget, PutOffChargesAreAnsweredFromTheirOwnBytesWhenNeeded)
{
    const LoadBudget budget(0);
    const uint64_t half = LoadBudget::kFixedBytes / 2;
    const auto firstIsOne = [](const uint8_t* data, size_t size, uint32_t) { return size > 0 && data[0] == 1; };
    {
        QByteArray one(1, '\1'), zero(1, '\0');
        EXPECT_TRUE(LoadBudget::chargeIf(half / 4, {one, 0, 1, 1, firstIsOne}));
        EXPECT_TRUE(LoadBudget::chargeIf(half / 4, {one, 0, 1, 1, firstIsOne}));
        EXPECT_TRUE(LoadBudget::chargeIf(half + half / 2, {zero, 0, 1, 1, firstIsOne}));
        one.fill('\0');
        zero.fill('\1');
    }
    // Only the charges about `one` as it was asked are needed: three halves are left.
    EXPECT_TRUE(LoadBudget::charge(half));
    EXPECT_TRUE(LoadBudget::charge(half / 2));
    EXPECT_FALSE(LoadBudget::charge(1));
}

// A finished trace as the device leaves it: x and y narrow, a trigger channel, and a second
// channel that holds a value beyond 16 bits.
ComPtr<CAimingTrace> finishedTrace()
{
    auto trace = makeTrace(500);
    trace->put_WrapEnabled(VARIANT_FALSE);
    int32_t trigger = 0, force = 0;
    trace->AddUserData(QStringLiteral("_trigger"), &trigger);
    trace->AddUserData(QStringLiteral("force"), &force);
    for (int i = 0; i < 3000; ++i) {
        trace->_Add(int32_t(900 * std::sin(i * 0.01)), int32_t(700 * std::cos(i * 0.013)) + i % 7);
        trace->put_UserData(trigger, i, i > 2500 ? 1 : 0);
        trace->put_UserData(force, i, i == 2000 ? 100000 : i);
    }
    trace->put_ReadOnly(VARIANT_TRUE);
    return trace;
}

// Every sample of every channel, as the trace's members give them.
std::vector<int32_t> everything(IAimingTrace* t)
{
    int32_t first = 0, last = 0, channels = 0;
    t->get_First(&first);
    t->get_Last(&last);
    for (int32_t c = 1; t->get_UserData(c, first, &channels) == S_OK; ++c)
        channels = c;
    std::vector<int32_t> v;
    for (int32_t i = first; i <= last; ++i) {
        int32_t x = 0, y = 0;
        EXPECT_EQ(t->_GetPoint(i, &x, &y), S_OK);
        v.push_back(x);
        v.push_back(y);
        for (int32_t c = 1; c <= channels; ++c) {
            int32_t u = 0;
            EXPECT_EQ(t->get_UserData(c, i, &u), S_OK);
            v.push_back(u);
        }
    }
    return v;
}

// A loaded trace reads its samples when first asked, long after the stream (and the bytes it
// was read from) are gone, whatever kind of stream it was; saved untouched, it gives the same bytes.
TEST(AimingTrace, LoadedSamplesOutliveTheirStream)
{
    auto original = finishedTrace();
    const QByteArray bytes = saved(original.get());
    const std::vector<int32_t> expected = everything(original.get());
    for (bool memory : {true, false}) {
        auto trace = CAimingTrace::create();
        {
            QByteArray copy(bytes.constData(), bytes.size()); // not shared with `bytes`
            ComPtr<IStream> stream;
            if (memory)
                stream = MemoryStream::create(std::move(copy));
            else
                stream = ForwardingStream::create(std::move(copy));
            ASSERT_EQ(trace->Load(stream.get()), S_OK);
        }
        EXPECT_EQ(saved(trace.get()), bytes) << memory;
        auto again = loaded(bytes);
        EXPECT_EQ(everything(again.get()), expected) << memory;
        EXPECT_EQ(everything(trace.get()), expected) << memory;
    }
}

// Two readers of one never-decoded trace: one decodes it, the other waits and reads the result.
TEST(AimingTrace, TwoThreadsReadANeverDecodedTraceAtOnce)
{
    auto original = finishedTrace();
    const QByteArray bytes = saved(original.get());
    const std::vector<int32_t> expected = everything(original.get());
    for (int round = 0; round < 20; ++round) {
        auto trace = loaded(bytes);
        std::vector<int32_t> a, b;
        std::thread one([&] { a = everything(trace.get()); });
        std::thread two([&] { b = everything(trace.get()); });
        one.join();
        two.join();
        ASSERT_EQ(a, expected) << round;
        ASSERT_EQ(b, expected) << round;
    }
}

// A channel is held in the form the stream gave it, corrected only where a value does not fit:
// a wide mark on values that fit stays wide, a narrow mark on a value that does not is dropped.
TEST(AimingTrace, LoadedChannelsKeepTheFormTheStreamGave)
{
    auto original = finishedTrace();
    const QByteArray bytes = saved(original.get());
    StoredTrace stored = parse(bytes);
    ASSERT_EQ(stored.forms, 3);
    ASSERT_EQ(stored.channels.size(), 2u);
    ASSERT_EQ(stored.channels[0].forms, 1);
    ASSERT_EQ(stored.channels[1].forms, 0) << "the force channel holds 100000";

    const qsizetype formsAt = 12;
    QByteArray wideMarked = bytes;
    wideMarked[formsAt] = char(0);
    auto wide = loaded(wideMarked);
    EXPECT_EQ(everything(wide.get()), everything(original.get()));
    EXPECT_EQ(saved(wide.get()), wideMarked);

    // The force channel's mark is the last forms byte before its name "force".
    const qsizetype forceAt = bytes.lastIndexOf(QByteArray("f\0o\0r\0c\0e\0", 10)) - 5;
    ASSERT_EQ(bytes[forceAt], char(0));
    QByteArray narrowMarked = bytes;
    narrowMarked[forceAt] = char(1);
    auto corrected = loaded(narrowMarked);
    EXPECT_EQ(saved(corrected.get()), bytes);
    // Untouched too: the correction is the decoder's, not the saver's.
    EXPECT_EQ(everything(corrected.get()), everything(original.get()));
}

// Channels removed or added before the samples are first read keep their own values.
TEST(AimingTrace, ChannelsChangedBeforeTheFirstReadKeepTheirValues)
{
    auto original = finishedTrace();
    const QByteArray bytes = saved(original.get());
    auto trace = loaded(bytes);
    ASSERT_EQ(trace->RemoveUserData(QStringLiteral("_trigger")), S_OK);
    int32_t value = 0;
    ASSERT_EQ(trace->get_UserData(1, 2000, &value), S_OK);
    EXPECT_EQ(value, 100000);
    EXPECT_EQ(trace->get_UserData(2, 2000, &value), E_INVALIDARG);

    auto grown = loaded(bytes);
    int32_t added = 0;
    ASSERT_EQ(grown->AddUserData(QStringLiteral("extra"), &added), S_OK);
    EXPECT_EQ(added, 3);
    ASSERT_EQ(grown->get_UserData(3, 2999, &value), S_OK);
    EXPECT_EQ(value, 0);
    ASSERT_EQ(grown->get_UserData(1, 2999, &value), S_OK);
    EXPECT_EQ(value, 1);
}

// Damage anywhere, in any channel, through any kind of stream, fails the load itself.
TEST(AimingTrace, DamageInAnyChannelFailsTheLoad)
{
    auto original = finishedTrace();
    const QByteArray bytes = saved(original.get());
    for (qsizetype cut = 0; cut < bytes.size(); cut += 7) {
        auto target = CAimingTrace::create();
        auto s = ForwardingStream::create(bytes.left(cut));
        ASSERT_EQ(target->Load(s.get()), E_FAIL) << cut;
    }
    // The last channel's first run header names class 4.
    const qsizetype lastRun = bytes.lastIndexOf(QByteArray("e\0\0\0", 4)) + 4;
    QByteArray damaged = bytes;
    damaged[lastRun] = char((uint8_t(bytes[lastRun]) & 0xF0) | 4);
    loaded(damaged, E_FAIL);
}

} // namespace
