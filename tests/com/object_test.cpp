#include "com/classregistry.h"
#include "com/connection.h"
#include "com/enumvariant.h"

#include <gtest/gtest.h>

namespace {

struct ICounterSink : IUnknown {
    static constexpr Guid iid = Guid::parse("8C1D3F4E-2B7A-4C55-9E21-0A6B5D7C3E11");
    virtual HRESULT Tick(int32_t n) = 0;
};

struct IThing : IUnknown {
    static constexpr Guid iid = Guid::parse("2F6A0E9B-7D14-4A8C-B3E5-6C1F0D2A9B47");
    virtual HRESULT Fire(int32_t n) = 0;
};

class Source final : public ComObject<Source, IThing, IConnectionPointContainer> {
public:
    static constexpr Guid clsid = Guid::parse("5B2E9C71-0F3D-4E86-A4B2-7D9C1E6F3A08");
    HRESULT Fire(int32_t n) override
    {
        point.fire([&](ICounterSink* s) { s->Tick(n); });
        return S_OK;
    }
    HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** out) override
    {
        return kavro::findConnectionPoint(iid, out, point);
    }
    kavro::ConnectionPoint<ICounterSink> point{identity()};
};
KAVRO_REGISTER_CLASS(Source, "KavroTest.Source.1");

class Sink final : public ComObject<Sink, ICounterSink> {
public:
    HRESULT Tick(int32_t n) override
    {
        ticks.push_back(n);
        if (onTick)
            onTick();
        return S_OK;
    }
    std::vector<int32_t> ticks;
    std::function<void()> onTick;
};

TEST(ClassRegistry, CreatesByClassIdAndProgId)
{
    ComPtr<IThing> thing;
    ASSERT_EQ(createInstance(Source::clsid, &thing), S_OK);
    ASSERT_TRUE(thing);
    EXPECT_EQ(kavro::classIdFromProgId("KavroTest.Source"), Source::clsid);
    EXPECT_EQ(kavro::classIdFromProgId("kavrotest.source.1"), Source::clsid);
    ComPtr<IThing> none;
    EXPECT_EQ(createInstance(Guid::parse("00000000-1111-2222-3333-444444444444"), &none), REGDB_E_CLASSNOTREG);
}

TEST(ObjectBase, IdentityAndReferenceCounting)
{
    long before = kavro::detail::liveObjects();
    {
        auto src = Source::create();
        ComPtr<IConnectionPointContainer> cpc = src.query<IConnectionPointContainer>();
        ASSERT_TRUE(cpc);
        EXPECT_TRUE(sameObject(cpc.get(), static_cast<IThing*>(src.get())));
        ComPtr<IConnectionPoint> cp;
        ASSERT_EQ(cpc->FindConnectionPoint(ICounterSink::iid, cp.put()), S_OK);
        EXPECT_FALSE(src.query<ICounterSink>());
    }
    EXPECT_EQ(kavro::detail::liveObjects(), before);
}

TEST(ConnectionPoint, EverySinkIsCalledInAdviseOrder)
{
    auto src = Source::create();
    auto a = Sink::create(), b = Sink::create();
    uint32_t ca = 0, cb = 0;
    ASSERT_EQ(adviseSink(static_cast<IThing*>(src.get()), ICounterSink::iid, static_cast<ICounterSink*>(a.get()), &ca),
              S_OK);
    ASSERT_EQ(adviseSink(static_cast<IThing*>(src.get()), ICounterSink::iid, static_cast<ICounterSink*>(b.get()), &cb),
              S_OK);
    EXPECT_NE(ca, cb);
    src->Fire(7);
    EXPECT_EQ(a->ticks, std::vector<int32_t>{7});
    EXPECT_EQ(b->ticks, std::vector<int32_t>{7});
    EXPECT_EQ(unadviseSink(static_cast<IThing*>(src.get()), ICounterSink::iid, ca), S_OK);
    EXPECT_EQ(unadviseSink(static_cast<IThing*>(src.get()), ICounterSink::iid, ca), CONNECT_E_NOCONNECTION);
    src->Fire(8);
    EXPECT_EQ(a->ticks.size(), 1u);
    EXPECT_EQ(b->ticks.size(), 2u);
    // With none advised nothing is called; one advised again is.
    EXPECT_EQ(unadviseSink(static_cast<IThing*>(src.get()), ICounterSink::iid, cb), S_OK);
    src->Fire(9);
    EXPECT_EQ(b->ticks.size(), 2u);
    ASSERT_EQ(adviseSink(static_cast<IThing*>(src.get()), ICounterSink::iid, static_cast<ICounterSink*>(a.get()), &ca),
              S_OK);
    src->Fire(10);
    EXPECT_EQ(a->ticks, (std::vector<int32_t>{7, 10}));
}

TEST(ConnectionPoint, SinksMayUnadviseThemselvesAndOthersWhileFired)
{
    auto src = Source::create();
    auto a = Sink::create(), b = Sink::create();
    uint32_t ca = 0, cb = 0;
    src->point.Advise(static_cast<ICounterSink*>(a.get()), &ca);
    src->point.Advise(static_cast<ICounterSink*>(b.get()), &cb);
    // a drops itself and b during the fire; b must not be called, nothing may crash
    a->onTick = [&] {
        src->point.Unadvise(ca);
        src->point.Unadvise(cb);
    };
    Sink* raw = a.get();
    a = nullptr; // only the connection point keeps a alive now
    src->Fire(1);
    EXPECT_EQ(b->ticks.size(), 0u);
    EXPECT_EQ(src->point.count(), 0u);
    (void)raw;
}

TEST(ConnectionPoint, RefusesSinksOfAnotherInterface)
{
    auto src = Source::create();
    auto other = Source::create();
    uint32_t cookie = 99;
    EXPECT_EQ(src->point.Advise(static_cast<IThing*>(other.get()), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    ComPtr<IConnectionPoint> cp;
    EXPECT_EQ(src->FindConnectionPoint(IThing::iid, cp.put()), CONNECT_E_NOCONNECTION);
}

TEST(Enumerator, SnapshotNextSkipReset)
{
    std::vector<ComPtr<IThing>> things{Source::create(), Source::create(), Source::create()};
    auto e = kavro::VariantEnumerator::ofObjects(things);
    Variant out[2];
    uint32_t got = 0;
    EXPECT_EQ(e->Next(2, out, &got), S_OK);
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(out[0].vt(), VT_DISPATCH);
    EXPECT_TRUE(sameObject(out[1].object(), static_cast<IThing*>(things[1].get())));
    EXPECT_EQ(e->Next(2, out, &got), S_FALSE);
    EXPECT_EQ(got, 1u);
    e->Reset();
    EXPECT_EQ(e->Skip(4), S_FALSE);
}

TEST(Guid, TextAndByteForms)
{
    Guid g = Guid::parse("{00112233-4455-6677-8899-AABBCCDDEEFF}");
    uint8_t b[16];
    g.toBytes(b);
    const uint8_t expected[16]
        = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    EXPECT_EQ(0, memcmp(b, expected, 16));
    EXPECT_EQ(Guid::fromBytes(b), g);
    EXPECT_EQ(g.toString(), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
    EXPECT_FALSE(Guid::fromString("00112233-4455-6677-8899-AABBCCDDEEF"));
    EXPECT_FALSE(Guid::fromString("0011223x-4455-6677-8899-AABBCCDDEEFF"));
}

} // namespace
