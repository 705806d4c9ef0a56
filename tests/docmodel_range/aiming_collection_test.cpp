// Aiming collections: order of sighting and match aimings, shots, splits, finding the aiming of a
// shot, missed aimings, and the stream with its progress, older version, missing event and
// corruption.
#include "aiming_collection.h"
#include "range_test_support.h"
#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_forms.h"
#include "support/progress_recorder.h"

#include <cmath>

using namespace kavrodoc;
using kavro::MemoryStream;
using rangetest::addShot;
using rangetest::aiming;

namespace {

using ProgressSink = ProgressRecorder<_IAimingCollectionEvents>;

class AimingCollectionTest : public ::testing::Test {
protected:
    ComPtr<IEventParams> ar10 = rangetest::event("AR10");
    ComPtr<IEventParams> ap10 = rangetest::event("AP10");

    std::vector<ComPtr<IAiming>> items(IAimingCollection* c)
    {
        std::vector<ComPtr<IAiming>> out;
        int32_t n = 0;
        c->get_Count(&n);
        for (int32_t i = 1; i <= n; ++i) {
            ComPtr<IAiming> a;
            EXPECT_EQ(c->get_Item(i, a.put()), S_OK);
            out.push_back(a);
        }
        return out;
    }
    static bool matchOf(IAiming* a)
    {
        ComPtr<IAimingAttr> attr;
        a->get_Attr(attr.put());
        VARIANT_BOOL m = VARIANT_FALSE;
        attr->get_Match(&m);
        return m == VARIANT_TRUE;
    }
};

TEST_F(AimingCollectionTest, SightingAimingsGoBeforeTheFirstMatchAiming)
{
    auto c = CAimingCollection::create();
    std::vector<ComPtr<CAiming>> added;
    for (bool match : {false, true, false, true, true})
        added.push_back(aiming(ar10.get(), match));
    for (auto& a : added)
        ASSERT_EQ(c->Add(a.get()), S_OK);
    auto late = aiming(ar10.get(), false);
    ASSERT_EQ(c->Add(late.get()), S_OK);
    ASSERT_EQ(c->Add(late.get()), S_OK); // already held: kept once
    auto list = items(c.get());
    ASSERT_EQ(list.size(), 6u);
    const IUnknown* expected[] = {added[0]->identity(), added[2]->identity(), late->identity(),
                                  added[1]->identity(), added[3]->identity(), added[4]->identity()};
    for (size_t i = 0; i < list.size(); ++i)
        EXPECT_TRUE(sameObject(list[i].get(), const_cast<IUnknown*>(expected[i]))) << i;
    EXPECT_EQ(c->IsDirty(), S_OK);

    ComPtr<IAiming> none;
    EXPECT_EQ(c->get_Item(0, none.put()), E_INVALIDARG);
    EXPECT_EQ(c->get_Item(7, none.put()), E_INVALIDARG);
    EXPECT_EQ(c->get_Item(1, nullptr), E_POINTER);
}

TEST_F(AimingCollectionTest, TakesTheFirstEventAndRefusesAnother)
{
    auto c = CAimingCollection::create();
    ComPtr<IEventParams> e;
    EXPECT_EQ(c->get_Event(e.put()), E_UNEXPECTED);
    EXPECT_EQ(c->Add(nullptr), E_INVALIDARG);
    EXPECT_EQ(c->put_Event(nullptr), E_INVALIDARG);
    ASSERT_EQ(c->Add(aiming(ar10.get(), true).get()), S_OK);
    ASSERT_EQ(c->get_Event(e.put()), S_OK);
    EXPECT_TRUE(sameObject(e.get(), ar10.get()));
    EXPECT_EQ(c->Add(aiming(ap10.get(), true).get()), E_INVALIDARG);
    EXPECT_EQ(c->Add(aiming(nullptr, true).get()), E_INVALIDARG);
    int32_t n = 0;
    c->get_Count(&n);
    EXPECT_EQ(n, 1);
}

TEST_F(AimingCollectionTest, ShotsSplitsAndFindingTheAimingOfAShot)
{
    auto c = CAimingCollection::create();
    auto sighting = aiming(ar10.get(), false, 200, {{0, 0}, {10, 10}});
    auto match = aiming(ar10.get(), true, 200, {{0, 0}, {20, 20}});
    auto s1 = addShot(sighting.get());
    auto m1 = addShot(match.get());
    auto m2 = addShot(match.get(), true);
    ASSERT_EQ(c->Add(match.get()), S_OK);
    ASSERT_EQ(c->Add(sighting.get()), S_OK);
    ASSERT_EQ(m1->put_Hidden(VARIANT_TRUE), S_OK);

    ComPtr<IShotCollection> shots;
    ASSERT_EQ(c->Shots(VARIANT_FALSE, shots.put()), S_OK);
    int32_t n = 0;
    shots->get_Count(&n);
    ASSERT_EQ(n, 2);
    ComPtr<IShot> first, second;
    shots->get_Item(1, first.put());
    shots->get_Item(2, second.put());
    EXPECT_TRUE(sameObject(first.get(), s1.get())); // aiming order: the sighting aiming first
    EXPECT_TRUE(sameObject(second.get(), m2.get()));
    ComPtr<IEventParams> e;
    shots->get_Event(e.put());
    EXPECT_TRUE(sameObject(e.get(), ar10.get()));
    shots = nullptr;
    ASSERT_EQ(c->Shots(VARIANT_TRUE, shots.put()), S_OK);
    shots->get_Count(&n);
    EXPECT_EQ(n, 3);

    ComPtr<IAimingCollection> part;
    ASSERT_EQ(c->Sighting(part.put()), S_OK);
    auto list = items(part.get());
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(sameObject(list[0].get(), sighting->identity()));
    e = nullptr;
    ASSERT_EQ(part->get_Event(e.put()), S_OK);
    EXPECT_TRUE(sameObject(e.get(), ar10.get()));
    part = nullptr;
    ASSERT_EQ(c->Match(part.put()), S_OK);
    list = items(part.get());
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(sameObject(list[0].get(), match->identity()));

    ComPtr<IAiming> found;
    ASSERT_EQ(c->FindAiming(m2.get(), found.put()), S_OK);
    EXPECT_TRUE(sameObject(found.get(), match->identity()));
    found = nullptr;
    auto stranger = aiming(ar10.get(), true);
    auto strangerShot = addShot(stranger.get());
    EXPECT_EQ(c->FindAiming(strangerShot.get(), found.put()), S_OK);
    EXPECT_FALSE(found);
    EXPECT_EQ(c->FindAiming(nullptr, found.put()), E_POINTER);
    EXPECT_EQ(c->FindAiming(m2.get(), nullptr), E_POINTER);
}

TEST_F(AimingCollectionTest, MissedAimingHasAnEmptyReadOnlyTraceAndOneMissedShot)
{
    auto c = CAimingCollection::create();
    ComPtr<IAiming> missed;
    EXPECT_EQ(c->AddMissed(VARIANT_TRUE, missed.put()), E_UNEXPECTED);
    ASSERT_EQ(c->put_Event(ar10.get()), S_OK);
    ASSERT_EQ(c->Add(aiming(ar10.get(), true).get()), S_OK);
    ASSERT_EQ(c->AddMissed(VARIANT_FALSE, missed.put()), S_OK);
    auto list = items(c.get());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_TRUE(sameObject(list[0].get(), missed.get())); // a sighting aiming goes first

    ComPtr<IAimingTrace> trace;
    ComPtr<IAimingAttr> attr;
    missed->get_Trace(trace.put());
    missed->get_Attr(attr.put());
    VARIANT_BOOL ro = VARIANT_FALSE, match = VARIANT_TRUE;
    trace->get_ReadOnly(&ro);
    attr->get_Match(&match);
    EXPECT_EQ(ro, VARIANT_TRUE);
    EXPECT_EQ(match, VARIANT_FALSE);
    int32_t rate = 0, count = -1, shots = 0;
    attr->get_SampleRate(&rate);
    trace->get_Count(&count);
    missed->get_ShotCount(&shots);
    EXPECT_EQ(rate, 200);
    EXPECT_EQ(count, 0);
    ASSERT_EQ(shots, 1);
    ComPtr<IShot> shot;
    missed->Shot(1, shot.put());
    VARIANT_BOOL isMissed = VARIANT_FALSE;
    shot->get_Missed(&isMissed);
    EXPECT_EQ(isMissed, VARIANT_TRUE);
    DATE shotTime = 0, enterTime = 0;
    shot->get_ShotTime(&shotTime);
    attr->get_EnterTime(&enterTime);
    EXPECT_GT(shotTime, 40000.0); // a date of this century
    EXPECT_EQ(shotTime, enterTime);
    ComPtr<IEventParams> e;
    attr->get_Event(e.put());
    EXPECT_TRUE(sameObject(e.get(), ar10.get()));
}

class StreamTest : public AimingCollectionTest {
protected:
    ComPtr<CAimingCollection> filled()
    {
        auto c = CAimingCollection::create();
        auto s = aiming(ar10.get(), false, 200, {{100, -100}, {120, -90}});
        addShot(s.get());
        auto m1 = aiming(ar10.get(), true, 200, {{5, 5}, {6, 7}, {8, 9}});
        addShot(m1.get());
        addShot(m1.get(), true);
        auto m2 = aiming(ar10.get(), true);
        EXPECT_EQ(c->Add(m1.get()), S_OK);
        EXPECT_EQ(c->Add(s.get()), S_OK);
        EXPECT_EQ(c->Add(m2.get()), S_OK);
        return c;
    }
    QByteArray saved(CAimingCollection* c, ProgressSink* sink = nullptr)
    {
        uint32_t cookie = 0;
        if (sink) {
            EXPECT_EQ(adviseSink(c->identity(), _IAimingCollectionEvents::iid, sink->identity(), &cookie), S_OK);
        }
        auto s = MemoryStream::create();
        EXPECT_EQ(c->Save(s.get(), 1), S_OK);
        if (sink) {
            EXPECT_EQ(unadviseSink(c->identity(), _IAimingCollectionEvents::iid, cookie), S_OK);
        }
        return s->bytes();
    }
    HRESULT load(CAimingCollection* c, const QByteArray& bytes, ProgressSink* sink = nullptr)
    {
        uint32_t cookie = 0;
        if (sink)
            adviseSink(c->identity(), _IAimingCollectionEvents::iid, sink->identity(), &cookie);
        auto s = MemoryStream::create(bytes);
        HRESULT hr = c->Load(s.get());
        if (sink)
            unadviseSink(c->identity(), _IAimingCollectionEvents::iid, cookie);
        return hr;
    }
    static QByteArray header(int32_t version, int32_t count, const char* name)
    {
        auto s = MemoryStream::create();
        kavro::writeValue(s.get(), version);
        kavro::writeValue(s.get(), count);
        kavro::writeBstr(s.get(), QString::fromLatin1(name));
        return s->bytes();
    }
};

TEST_F(StreamTest, RoundTripReportsProgressAndKeepsOrder)
{
    auto c = filled();
    auto sink = ProgressSink::create();
    const QByteArray bytes = saved(c.get(), sink.get());
    EXPECT_EQ(c->IsDirty(), S_FALSE);
    using Calls = std::vector<std::pair<int32_t, int32_t>>;
    EXPECT_EQ(sink->calls, (Calls{{1, 3}, {2, 3}, {3, 3}}));
    ASSERT_TRUE(bytes.startsWith(header(2, 3, "AR10")));
    uint8_t id[16];
    CLSID_Aiming.toBytes(id);
    EXPECT_EQ(bytes.mid(header(2, 3, "AR10").size(), 16), QByteArray(reinterpret_cast<char*>(id), 16));

    auto back = CAimingCollection::create();
    auto loadSink = ProgressSink::create();
    ASSERT_EQ(load(back.get(), bytes, loadSink.get()), S_OK);
    EXPECT_EQ(loadSink->calls, (Calls{{1, 3}, {2, 3}, {3, 3}}));
    EXPECT_EQ(back->IsDirty(), S_FALSE);
    ComPtr<IEventParams> e;
    ASSERT_EQ(back->get_Event(e.put()), S_OK);
    EXPECT_TRUE(sameObject(e.get(), ar10.get()));
    auto list = items(back.get());
    ASSERT_EQ(list.size(), 3u);
    EXPECT_FALSE(matchOf(list[0].get()));
    EXPECT_TRUE(matchOf(list[1].get()));
    int32_t shots = 0, points = 0;
    list[1]->get_ShotCount(&shots);
    ComPtr<IAimingTrace> trace;
    list[1]->get_Trace(trace.put());
    trace->get_Count(&points);
    EXPECT_EQ(shots, 2);
    EXPECT_EQ(points, 3);
    EXPECT_EQ(saved(back.get()), bytes);
    QString msg;
    back->get_ReadErrorMsg(&msg);
    EXPECT_TRUE(msg.isEmpty());
}

TEST_F(StreamTest, VersionOneCarriesAnIgnoredWord)
{
    auto c = filled();
    QByteArray bytes = saved(c.get());
    const QByteArray head = header(2, 3, "AR10");
    QByteArray v1 = header(1, 3, "AR10") + QByteArray("\x07\x00\x00\x00", 4) + bytes.mid(head.size());
    auto back = CAimingCollection::create();
    ASSERT_EQ(load(back.get(), v1), S_OK);
    EXPECT_EQ(saved(back.get()), bytes); // written back as the current version
}

TEST_F(StreamTest, MissingEventLeavesTheCollectionEmptyWithAMessage)
{
    auto c = filled();
    QByteArray bytes = saved(c.get());
    bytes = header(2, 3, "NOSUCH") + bytes.mid(header(2, 3, "AR10").size());
    auto back = filled();
    EXPECT_EQ(load(back.get(), bytes), E_FAIL);
    int32_t n = -1;
    back->get_Count(&n);
    EXPECT_EQ(n, 0);
    QString msg;
    ASSERT_EQ(back->get_ReadErrorMsg(&msg), S_OK);
    EXPECT_EQ(msg, QStringLiteral("Missing shooting event NOSUCH. Please install it and restart the program."));
}

TEST_F(StreamTest, TheMessageOfTheLastFailedLoadStaysUntilAnotherLoadFails)
{
    const QByteArray good = saved(filled().get());
    const QByteArray missing = header(2, 3, "NOSUCH") + good.mid(header(2, 3, "AR10").size());
    const QString missingText
        = QStringLiteral("Missing shooting event NOSUCH. Please install it and restart the program.");
    const struct {
        QByteArray bytes;
        HRESULT hr;
        QString message;
    } loads[] = {
        {good, S_OK, QString()},        {missing, E_FAIL, missingText},
        {good, S_OK, missingText},      {good.left(10), E_FAIL, QString()}, // a failure of its own, without text
        {missing, E_FAIL, missingText}, {good, S_OK, missingText},
    };
    auto c = CAimingCollection::create();
    for (size_t i = 0; i < std::size(loads); ++i) {
        EXPECT_EQ(load(c.get(), loads[i].bytes), loads[i].hr) << i;
        QString msg;
        ASSERT_EQ(c->get_ReadErrorMsg(&msg), S_OK);
        EXPECT_EQ(msg, loads[i].message) << i;
    }
}

// The aimings' own streams, joined under a collection header, with one aiming's stored rate
// replaced.
TEST_F(StreamTest, AShotOfAnAimingStoredWithoutUsableRateIsLeftOutOfTheRanges)
{
    uint8_t id[16];
    CLSID_Aiming.toBytes(id);
    auto name = MemoryStream::create();
    kavro::writeBstr(name.get(), QStringLiteral("AR10"));
    // Aiming version and attribute class id, then the attributes' version, event and two dates.
    const qsizetype rateAt = 4 + 16 + 4 + name->bytes().size() + 16;
    std::vector<std::pair<int32_t, int32_t>> points;
    for (int i = 0; i < 40; ++i)
        points.push_back({i * 10, 0});
    for (int32_t rate : {0, -5}) {
        for (int bad = 0; bad < 3; ++bad) {
            QByteArray bytes = header(2, 3, "AR10");
            for (int i = 0; i < 3; ++i) {
                auto a = aiming(ar10.get(), true, 200, points);
                addShot(a.get());
                auto s = MemoryStream::create();
                ASSERT_EQ(a->Save(s.get(), 1), S_OK);
                QByteArray one = s->bytes();
                ASSERT_EQ(one.mid(rateAt, 4), QByteArray("\xc8\0\0\0", 4));
                if (i == bad)
                    one.replace(rateAt, 4, QByteArray(reinterpret_cast<const char*>(&rate), 4));
                bytes += QByteArray(reinterpret_cast<const char*>(id), 16) + one;
            }
            auto back = CAimingCollection::create();
            ASSERT_EQ(load(back.get(), bytes), S_OK);
            ComPtr<IShotCollection> shots;
            ASSERT_EQ(back->Shots(VARIANT_TRUE, shots.put()), S_OK);
            for (auto [first, last] : {std::pair{-0.05f, 0.0f}, std::pair{0.0f, 0.0f}}) {
                ComPtr<IRangeCollection> ranges;
                ASSERT_EQ(shots->Range(first, last, ranges.put()), S_OK) << rate << " " << bad << " " << first;
                int32_t n = 0;
                ranges->get_Count(&n);
                EXPECT_EQ(n, 2) << rate << " " << bad << " " << first;
            }
        }
    }
}

TEST_F(StreamTest, CorruptStreamsFailWithoutPartialContent)
{
    auto c = filled();
    const QByteArray bytes = saved(c.get());
    auto back = CAimingCollection::create();
    for (int cut = 0; cut < bytes.size(); ++cut) {
        ASSERT_EQ(load(back.get(), bytes.left(cut)), E_FAIL) << cut;
        int32_t n = -1;
        back->get_Count(&n);
        ASSERT_EQ(n, 0) << cut;
    }
    QByteArray newer = bytes;
    newer[0] = 3;
    EXPECT_EQ(load(back.get(), newer), E_FAIL);
    QByteArray huge = header(2, 0x7fffffff, "AR10") + bytes.mid(header(2, 3, "AR10").size());
    EXPECT_EQ(load(back.get(), huge), E_FAIL);
    QByteArray negative = header(2, -1, "AR10");
    EXPECT_EQ(load(back.get(), negative), E_FAIL);
    // A stored aiming of another event than the collection's.
    auto other = CAimingCollection::create();
    ASSERT_EQ(other->Add(aiming(ap10.get(), true).get()), S_OK);
    QByteArray foreign = saved(other.get());
    foreign = header(2, 1, "AR10") + foreign.mid(header(2, 1, "AP10").size());
    EXPECT_EQ(load(back.get(), foreign), E_FAIL);
}

TEST_F(StreamTest, SavingNeedsAnEvent)
{
    auto c = CAimingCollection::create();
    auto s = MemoryStream::create();
    EXPECT_EQ(c->Save(s.get(), 1), E_UNEXPECTED);
    EXPECT_TRUE(s->bytes().isEmpty());
}

TEST_F(StreamTest, CreatableByClassIdWithItsConnectionPoint)
{
    ComPtr<IAimingCollection> c;
    ASSERT_EQ(createInstance(CLSID_AimingCollection, &c), S_OK);
    auto container = ComPtr<IAimingCollection>(c).query<IConnectionPointContainer>();
    ASSERT_TRUE(container);
    ComPtr<IConnectionPoint> cp;
    EXPECT_EQ(container->FindConnectionPoint(_IAimingCollectionEvents::iid, cp.put()), S_OK);
    EXPECT_EQ(container->FindConnectionPoint(_IKavroDocumentEvents::iid, cp.put()), CONNECT_E_NOCONNECTION);
}

} // namespace
