// Shots (breach, result, real breaches, offsets, stream) and shot collections (series, event
// rule, sums).
#include "aiming.h"
#include "aiming_attr.h"
#include "com/enumvariant.h"
#include "fake_events.h"
#include "shot.h"
#include "shot_collection.h"
#include "storage/stream/memory_stream.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

using namespace kavrodoc;
using kavro::MemoryStream;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// An aiming at 200/s whose trace moves 1 mm per sample along x from x0, y fixed.
ComPtr<CAiming> makeAiming(IEventParams* event, float x0 = 0, float y = 0, int samples = 3)
{
    auto aiming = CAiming::create();
    auto attr = aiming->attr();
    attr->put_SampleRate(200);
    if (event)
        attr->put_Event(event);
    for (int i = 0; i < samples; ++i)
        aiming->trace()->Add(x0 + float(i), y);
    return aiming;
}

ComPtr<IShot> addShot(CAiming* aiming, VARIANT_BOOL missed = VARIANT_FALSE)
{
    ComPtr<IShot> shot;
    EXPECT_EQ(aiming->AddShot(missed, shot.put()), S_OK);
    return shot;
}

class ShotTest : public ::testing::Test {
protected:
    ComPtr<fake::Event> event = fake::Event::create();
    fake::Installed installed{{ComPtr<IEventParams>(event.get())}};
};

TEST_F(ShotTest, MissedShot)
{
    auto aiming = makeAiming(event.get(), 10, 10);
    auto shot = addShot(aiming.get(), VARIANT_TRUE);
    float r = -1, x = -1, y = -1;
    EXPECT_EQ(shot->get_Result(&r), S_OK);
    EXPECT_EQ(r, 0);
    int32_t area = 0;
    EXPECT_EQ(shot->get_AreaIndex(&area), S_OK);
    EXPECT_EQ(area, -1);
    shot->put_OffsetX(3);
    EXPECT_EQ(shot->Breach(&x, &y), S_OK);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    ComPtr<IRange> range;
    EXPECT_EQ(shot->Range(0, 0, range.put()), E_UNEXPECTED);
}

TEST_F(ShotTest, BreachFollowsTheTraceTangentByTheFCoefficient)
{
    auto aiming = makeAiming(event.get(), 0, 2);
    auto shot = addShot(aiming.get());
    float x = -1, y = -1;
    ASSERT_EQ(shot->Breach(&x, &y), S_OK);
    EXPECT_FLOAT_EQ(x, 2); // F 0: the sample at the shot
    EXPECT_FLOAT_EQ(y, 2);

    // F 100 ms at 200/s: k = 10 samples' half-steps, 2k = 20 samples ahead along the tangent.
    aiming->attr()->put_FCoefficient(100);
    ASSERT_EQ(shot->Breach(&x, &y), S_OK);
    EXPECT_FLOAT_EQ(x, 22);
    // F 7: 7 * 200 / 1000 truncates to 1 before it is halved.
    aiming->attr()->put_FCoefficient(7);
    ASSERT_EQ(shot->get_BreachX(&x), S_OK);
    EXPECT_FLOAT_EQ(x, 3);

    // The microphone phase moves the point along the parabola.
    ComPtr<IShot> early;
    aiming->AddShot2(VARIANT_FALSE, 0.0, early.put());
    aiming->attr()->put_FCoefficient(0);
    ASSERT_EQ(early->Breach(&x, &y), S_OK);
    EXPECT_FLOAT_EQ(x, 1);

    // With fewer than three samples the breach is the raw sample.
    auto shortAiming = makeAiming(event.get(), 5, 6, 2);
    shortAiming->attr()->put_FCoefficient(100);
    auto s2 = addShot(shortAiming.get());
    ASSERT_EQ(s2->Breach(&x, &y), S_OK);
    EXPECT_FLOAT_EQ(x, 6);
    EXPECT_FLOAT_EQ(y, 6);
}

TEST_F(ShotTest, RealBreachOnlyWhenBothCoordinatesAreSet)
{
    auto aiming = makeAiming(event.get(), 0, 1);
    aiming->attr()->put_UseRealBreaches(VARIANT_TRUE);
    auto shot = addShot(aiming.get());
    shot->put_RealBreachX(7);
    float x = 0, y = 0;
    shot->get_RealBreachX(&x);
    EXPECT_EQ(x, 0);
    VARIANT_BOOL valid = -1;
    shot->get_IsRealBreachValid(&valid);
    EXPECT_EQ(valid, VARIANT_FALSE);
    shot->Breach(&x, &y);
    EXPECT_FLOAT_EQ(x, 2);
    shot->put_RealBreachY(-4);
    shot->put_OffsetX(0.5f);
    shot->put_OffsetY(-1);
    shot->Breach(&x, &y);
    EXPECT_FLOAT_EQ(x, 7.5f);
    EXPECT_FLOAT_EQ(y, -5);
    aiming->attr()->put_UseRealBreaches(VARIANT_FALSE);
    shot->Breach(&x, &y);
    EXPECT_FLOAT_EQ(x, 2.5f);
    EXPECT_FLOAT_EQ(y, 0);
}

TEST_F(ShotTest, ResultAndAreaComeFromTheEvent)
{
    auto aiming = makeAiming(event.get(), 10, 0); // breach (12, 0)
    aiming->attr()->put_SubTarget(2);
    auto shot = addShot(aiming.get());
    float r = 0;
    ASSERT_EQ(shot->get_Result(&r), S_OK);
    EXPECT_EQ(r, 8);
    EXPECT_EQ(event->lastSubTarget, 2);
    int32_t area = 0;
    ASSERT_EQ(shot->get_AreaIndex(&area), S_OK);
    EXPECT_EQ(area, 0);
    shot->put_OffsetX(-4);
    shot->get_AreaIndex(&area);
    EXPECT_EQ(area, 1);

    auto noEvent = makeAiming(nullptr);
    auto orphan = addShot(noEvent.get());
    r = 5;
    EXPECT_EQ(orphan->get_Result(&r), E_FAIL);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(orphan->get_AreaIndex(&area), E_FAIL);
    EXPECT_EQ(area, -1);
}

TEST_F(ShotTest, ValuesAndPhase)
{
    auto shot = CShot::create();
    double phase = 0;
    shot->get_microphonePhase(&phase);
    EXPECT_EQ(std::bit_cast<uint64_t>(phase), ~uint64_t(0));
    shot->put_Value(QStringLiteral("_microphone_phase"), Variant(int32_t(1)));
    shot->get_microphonePhase(&phase);
    EXPECT_TRUE(std::isnan(phase)) << "only VT_R8 counts";
    EXPECT_EQ(shot->IsDirty(), S_OK);
    auto s = MemoryStream::create();
    shot->Save(s.get(), 1);
    EXPECT_EQ(shot->put_Value(QStringLiteral("none"), Variant()), S_OK);
    EXPECT_EQ(shot->IsDirty(), S_FALSE);
    // Callers learn from the flag that a put happened, also one that changed nothing.
    EXPECT_EQ(shot->put_Value(QStringLiteral("_microphone_phase"), Variant(int32_t(1))), S_OK);
    EXPECT_EQ(shot->IsDirty(), S_OK);
    shot->Save(s.get(), 1);
    EXPECT_EQ(shot->putref_Value(QStringLiteral("_microphone_phase"), Variant(int32_t(1))), S_OK);
    EXPECT_EQ(shot->IsDirty(), S_OK);
    shot->Save(s.get(), 1);
    EXPECT_EQ(shot->put_Value(QStringLiteral("_microphone_phase"), Variant()), S_OK);
    EXPECT_EQ(shot->IsDirty(), S_OK) << "a removal changes the shot";
    shot->Save(s.get(), 1);
    shot->put_Hidden(VARIANT_TRUE);
    EXPECT_EQ(shot->IsDirty(), S_FALSE);
    VARIANT_BOOL hidden = 0;
    shot->get_Hidden(&hidden);
    EXPECT_EQ(hidden, VARIANT_TRUE);
    shot->put_Hidden(1);
    shot->get_Hidden(&hidden);
    EXPECT_EQ(hidden, VARIANT_FALSE);
}

TEST_F(ShotTest, StreamVersions)
{
    auto aiming = makeAiming(event.get());
    ComPtr<IShot> shot;
    aiming->AddShot2(VARIANT_TRUE, 0.5, shot.put());
    shot->put_ShotTime(2.0);
    shot->put_Hidden(VARIANT_TRUE);
    auto persist = shot.query<IPersistStreamInit>();
    auto s = MemoryStream::create();
    ASSERT_EQ(persist->Save(s.get(), 1), S_OK);
    // version 3, missed, hidden, trace index, time, then the bag
    EXPECT_EQ(s->bytes().left(18), hex("03000000 01 01 02000000 0000000000000040"));

    auto back = CShot::create();
    back->put_OffsetX(4);
    s->Seek(0, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(back->Load(s.get()), S_OK);
    float off = 1;
    back->get_OffsetX(&off);
    EXPECT_EQ(off, 0);
    double phase = 0;
    back->get_microphonePhase(&phase);
    EXPECT_EQ(phase, 0.5);
    VARIANT_BOOL b = 0;
    back->get_Missed(&b);
    EXPECT_EQ(b, VARIANT_TRUE);
    back->get_Hidden(&b);
    EXPECT_EQ(b, VARIANT_TRUE);

    // Version 1: missed as int32, no hidden flag, no bag.
    auto v1 = MemoryStream::create(hex("01000000 01000000 09000000 0000000000000840"));
    back->put_Hidden(VARIANT_TRUE);
    ASSERT_EQ(back->Load(v1.get()), S_OK);
    back->get_Missed(&b);
    EXPECT_EQ(b, VARIANT_TRUE);
    back->get_Hidden(&b);
    EXPECT_EQ(b, VARIANT_FALSE);
    int32_t index = 0;
    back->get_TraceIndex(&index);
    EXPECT_EQ(index, 9);
    back->get_microphonePhase(&phase);
    EXPECT_TRUE(std::isnan(phase));
    // Version 2: missed byte, no hidden flag, bag.
    auto v2 = MemoryStream::create(hex("02000000 00 04000000 0000000000000000 00000000"));
    ASSERT_EQ(back->Load(v2.get()), S_OK);
    back->get_TraceIndex(&index);
    EXPECT_EQ(index, 4);
    auto v4 = MemoryStream::create(hex("04000000 00 00 04000000 0000000000000000 00000000"));
    EXPECT_EQ(back->Load(v4.get()), E_FAIL);
    auto cut = MemoryStream::create(hex("03000000 00 00 04000000 00000000"));
    EXPECT_EQ(back->Load(cut.get()), E_FAIL);
    back->get_TraceIndex(&index);
    EXPECT_EQ(index, 4);
}

TEST_F(ShotTest, CollectionSeriesAndSums)
{
    auto aiming = makeAiming(event.get(), 10, 0); // every shot scores 8
    auto collection = CShotCollection::create();
    std::vector<ComPtr<IShot>> shots;
    for (int i = 0; i < 25; ++i) {
        shots.push_back(addShot(aiming.get()));
        ASSERT_EQ(collection->Add(shots.back().get()), S_OK);
    }
    ASSERT_EQ(collection->Add(shots[3].get()), S_OK);
    int32_t n = 0;
    collection->get_Count(&n);
    EXPECT_EQ(n, 25);
    collection->get_SerieCount(&n);
    EXPECT_EQ(n, 3);
    ComPtr<IShotCollection> serie;
    ASSERT_EQ(collection->Serie(3, serie.put()), S_OK);
    serie->get_Count(&n);
    ASSERT_EQ(n, 5);
    for (int i = 1; i <= 5; ++i) {
        ComPtr<IShot> s;
        serie->get_Item(i, s.put());
        EXPECT_TRUE(sameObject(s.get(), shots[size_t(19 + i)].get())) << i;
    }
    ComPtr<IEventParams> e;
    serie->get_Event(e.put());
    EXPECT_TRUE(sameObject(e.get(), event.get()));
    ASSERT_EQ(collection->Serie(4, serie.put()), S_OK);
    serie->get_Count(&n);
    EXPECT_EQ(n, 0);
    for (int32_t none : {0, -1, INT32_MIN}) {
        ASSERT_EQ(collection->Serie(none, serie.put()), S_OK);
        serie->get_Count(&n);
        EXPECT_EQ(n, 0);
    }

    float r = 0;
    collection->get_Result(&r);
    EXPECT_EQ(r, 200);
    collection->get_AverageResult(&r);
    EXPECT_EQ(r, 8);

    ComPtr<IShot> item;
    EXPECT_EQ(collection->get_Item(26, item.put()), E_INVALIDARG);
    EXPECT_EQ(collection->get_Item(0, item.put()), E_INVALIDARG);
    IShot* notNull = shots[0].get();
    EXPECT_EQ(collection->get_Item(1, &notNull), E_POINTER);

    ComPtr<IUnknown> unk;
    ASSERT_EQ(collection->get__NewEnum(unk.put()), S_OK);
    auto en = unk.query<IEnumVARIANT>();
    ASSERT_TRUE(en);
    std::vector<Variant> items(30);
    uint32_t fetched = 0;
    EXPECT_EQ(en->Next(30, items.data(), &fetched), S_FALSE);
    EXPECT_EQ(fetched, 25u);
    EXPECT_EQ(items[0].vt(), VT_DISPATCH);
    EXPECT_TRUE(sameObject(items[24].object(), shots[24].get()));
}

TEST_F(ShotTest, CollectionKeepsToOneEvent)
{
    auto other = fake::Event::create(QStringLiteral("P10"), 5);
    auto a = makeAiming(event.get());
    auto b = makeAiming(other.get());
    auto collection = CShotCollection::create();
    ComPtr<IEventParams> e;
    collection->get_Event(e.put());
    EXPECT_FALSE(e);
    int32_t n = 0;
    collection->get_SerieCount(&n);
    EXPECT_EQ(n, 0);
    float r = 1;
    collection->get_AverageResult(&r);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(collection->Add(nullptr), E_INVALIDARG);
    ASSERT_EQ(collection->Add(addShot(b.get()).get()), S_OK);
    EXPECT_EQ(collection->Add(addShot(a.get()).get()), E_INVALIDARG);
    collection->get_Event(e.put());
    EXPECT_TRUE(sameObject(e.get(), other.get()));
    for (int i = 0; i < 5; ++i)
        collection->Add(addShot(b.get()).get());
    collection->get_SerieCount(&n);
    EXPECT_EQ(n, 2) << "6 shots in series of 5";
}

// A collection built from many shots at once keeps each shot once, where it first came.
TEST_F(ShotTest, CollectionBuiltAtOnceKeepsEachShotOnce)
{
    auto aiming = makeAiming(event.get());
    const ComPtr<IShot> a = addShot(aiming.get()), b = addShot(aiming.get()), c = addShot(aiming.get());
    struct Case {
        std::vector<std::vector<ComPtr<IShot>>> batches;
        std::vector<IShot*> kept;
    };
    const Case cases[] = {
        {{{a, b, c}}, {a.get(), b.get(), c.get()}},
        {{{a, b, a}}, {a.get(), b.get()}},
        {{{b}, {a, b, c}}, {b.get(), a.get(), c.get()}},
        {{{}, {}}, {}},
    };
    for (const Case& k : cases) {
        auto collection = CShotCollection::withEvent(event.get());
        for (const auto& batch : k.batches)
            collection->appendAll(batch);
        const std::vector<ComPtr<IShot>> held = collection->shots();
        ASSERT_EQ(held.size(), k.kept.size());
        for (size_t i = 0; i < held.size(); ++i)
            EXPECT_EQ(held[i].get(), k.kept[i]) << i;
    }
}

TEST_F(ShotTest, CollectionSplitsSightingAndMatch)
{
    auto sighting = makeAiming(event.get());
    sighting->attr()->put_Match(VARIANT_FALSE);
    auto match = makeAiming(event.get());
    auto collection = CShotCollection::create();
    collection->Add(addShot(sighting.get()).get());
    collection->Add(addShot(match.get()).get());
    collection->Add(addShot(sighting.get()).get());
    ComPtr<IShotCollection> part;
    int32_t n = 0;
    ASSERT_EQ(collection->Sighting(part.put()), S_OK);
    part->get_Count(&n);
    EXPECT_EQ(n, 2);
    ASSERT_EQ(collection->Match(part.put()), S_OK);
    part->get_Count(&n);
    EXPECT_EQ(n, 1);
}

} // namespace
