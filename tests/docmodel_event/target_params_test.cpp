#include "target_params.h"
#include "storage/stream/memory_stream.h"
#include "com/enumvariant.h"

#include <gtest/gtest.h>

using namespace kavrodoc;
using kavro::MemoryStream;

namespace {

QByteArray saved(ITargetParams* t)
{
    auto s = MemoryStream::create();
    EXPECT_EQ(ComPtr<ITargetParams>(t).query<IPersistStreamInit>()->Save(s.get(), 1), S_OK);
    return s->bytes();
}

TEST(TargetParams, DefaultsAndPutRanges)
{
    ComPtr<ITargetParams> t = CTargetParams::create();
    OLE_COLOR c = 0;
    t->get_BackgroundColor(&c);
    EXPECT_EQ(c, 0xC0C0C0u);
    t->get_InnerRingColor(&c);
    EXPECT_EQ(c, 0xFFFFFFu);
    t->get_BreachColor(&c);
    EXPECT_EQ(c, 0xFFFFFFu);
    t->get_SelectedBreachColor(&c);
    EXPECT_EQ(c, 0xFF00FFu);
    int32_t count = -1;
    t->get_ElementCount(&count);
    EXPECT_EQ(count, 0);

    float v = 0;
    EXPECT_EQ(t->get_Ring(0, &v), E_INVALIDARG);
    EXPECT_EQ(t->get_Ring(11, &v), E_INVALIDARG);
    EXPECT_EQ(t->put_Ring(0, 1), E_INVALIDARG);
    EXPECT_EQ(t->put_Ring(11, 1), E_INVALIDARG);
    EXPECT_EQ(t->put_LastNumberedRing(11), E_INVALIDARG);
    EXPECT_EQ(t->put_TextOrientation(2), E_INVALIDARG);
    EXPECT_EQ(t->put_FillCenter(static_cast<enumTargetFillCenter>(3)), E_INVALIDARG);
    EXPECT_EQ(t->put_TextHeight(-1), E_INVALIDARG);
    EXPECT_EQ(t->put_TraceThickness(-0.1f), E_INVALIDARG);
    EXPECT_EQ(t.query<IPersistStreamInit>()->IsDirty(), S_FALSE); // refused puts change nothing
    EXPECT_EQ(t->put_TextHeight(0), S_OK);
    EXPECT_EQ(t->put_LastNumberedRing(10), S_OK);
}

TEST(TargetParams, ElementsAreasAndEnumeration)
{
    ComPtr<ITargetParams> t = CTargetParams::create();
    ComPtr<ITargetElement> a, b, found;
    ASSERT_EQ(t->AddElement(elementEllipse, 1, 2, 3, 4, a.put()), S_OK);
    ASSERT_EQ(t->AddElement(elementRectangle, 0, 0, 1, 1, b.put()), S_OK);
    a->put_AreaIndex(3);
    b->put_AreaIndex(3);
    ASSERT_EQ(t->get_Areas(3, found.put()), S_OK);
    EXPECT_EQ(found.get(), a.get());
    found = nullptr;
    EXPECT_EQ(t->get_Areas(4, found.put()), S_OK);
    EXPECT_FALSE(found);
    EXPECT_EQ(t->Elements(3, found.put()), E_INVALIDARG);
    ITargetElement* notNull = a.get();
    EXPECT_EQ(t->Elements(1, &notNull), E_POINTER);
    float top = 0;
    a->get_Top(&top);
    EXPECT_EQ(top, 2);

    ComPtr<IUnknown> unknown;
    ASSERT_EQ(t->get__NewEnum(unknown.put()), S_OK);
    auto items = unknown.query<IEnumVARIANT>();
    Variant v[3];
    uint32_t fetched = 0;
    EXPECT_EQ(items->Next(3, v, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(v[1].vt(), VT_DISPATCH);
    EXPECT_TRUE(sameObject(v[1].object(), b.get()));
}

TEST(TargetParams, ExactStreamAndRoundTrip)
{
    ComPtr<ITargetParams> t = CTargetParams::create();
    t->put_FormWidth(80);
    t->put_Ring(1, 45.5f);
    t->put_Ring(10, 0.5f);
    t->put_FillCenter(FillInnerTen);
    QByteArray bytes = saved(t.get());
    QByteArray head = QByteArray::fromHex("01000000"
                                          "c0c0c000"
                                          "00000000"
                                          "ffffff00"
                                          "ffffff00"
                                          "00000000"
                                          "ff00ff00"
                                          "02000000"
                                          "00000000"
                                          "00000000"
                                          "0000a042");
    EXPECT_EQ(bytes.left(head.size()).toHex(), head.toHex());
    EXPECT_EQ(bytes.size(), 17 * 4 + 40 + 1 + 4);
    EXPECT_EQ(bytes.mid(68, 4).toHex(), QByteArray("00003642")); // Ring(1) 45.5
    EXPECT_EQ(bytes.mid(104, 4).toHex(), QByteArray::fromHex("0000003f").toHex());

    ComPtr<ITargetElement> e;
    t->AddElement(elementText, 1, 1, 1, 1, e.put());
    e->put_Value(QStringLiteral("text"), Variant("X"));
    bytes = saved(t.get());
    ComPtr<ITargetParams> copy = CTargetParams::create();
    ASSERT_EQ(copy.query<IPersistStreamInit>()->Load(MemoryStream::create(bytes).get()), S_OK);
    EXPECT_EQ(saved(copy.get()), bytes);

    QByteArray v2 = bytes;
    v2[0] = 2;
    EXPECT_EQ(copy.query<IPersistStreamInit>()->Load(MemoryStream::create(v2).get()), E_FAIL);
    EXPECT_EQ(copy.query<IPersistStreamInit>()->Load(MemoryStream::create(bytes.left(bytes.size() - 3)).get()), E_FAIL);
    int32_t count = 0;
    copy->get_ElementCount(&count);
    EXPECT_EQ(count, 1); // failed loads leave the target as it was
}

} // namespace
