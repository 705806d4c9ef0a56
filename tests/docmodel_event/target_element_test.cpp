#include "target_element.h"
#include "target_params.h"
#include "storage/stream/memory_stream.h"

#include <gtest/gtest.h>

using namespace kavrodoc;
using kavro::MemoryStream;

namespace {

ComPtr<ITargetElement> element(enumTargetElementType type, float left, float top, float width, float height)
{
    ComPtr<ITargetElement> e = CTargetElement::create();
    e->put_Type(type);
    e->put_Left(left);
    e->put_Top(top);
    e->put_Width(width);
    e->put_Height(height);
    return e;
}

bool inside(ITargetElement* e, float x, float y, float caliber)
{
    VARIANT_BOOL b = 0;
    EXPECT_EQ(e->IsPointInside(x, y, caliber, &b), S_OK);
    return b == VARIANT_TRUE;
}

QByteArray saved(IUnknown* object)
{
    auto s = MemoryStream::create();
    ComPtr<IPersistStreamInit> p;
    EXPECT_EQ(object->QueryInterface(IPersistStreamInit::iid, p.putVoid()), S_OK);
    EXPECT_EQ(p->Save(s.get(), 1), S_OK);
    return s->bytes();
}

HRESULT loadInto(IUnknown* object, const QByteArray& bytes)
{
    auto s = MemoryStream::create(bytes);
    ComPtr<IPersistStreamInit> p;
    object->QueryInterface(IPersistStreamInit::iid, p.putVoid());
    return p->Load(s.get());
}

TEST(TargetElementShape, RectangleGrowsByHalfTheCalibre)
{
    auto e = element(elementRectangle, 0, 0, 10, 10);
    EXPECT_FALSE(inside(e.get(), 10.5f, 5, 0));
    EXPECT_TRUE(inside(e.get(), 10.5f, 5, 1));
    EXPECT_TRUE(inside(e.get(), 10, 10, 0)); // borders count
    EXPECT_FALSE(inside(e.get(), 5, -0.6f, 1));
}

TEST(TargetElementShape, EllipseIgnoresTheCalibre)
{
    auto e = element(elementEllipse, -10, -5, 20, 10);
    EXPECT_TRUE(inside(e.get(), 10, 0, 0));
    EXPECT_FALSE(inside(e.get(), 10.01f, 0, 0));
    EXPECT_FALSE(inside(e.get(), 10.01f, 0, 100));
    auto flat = element(elementEllipse, 0, 0, 0, 10);
    EXPECT_FALSE(inside(flat.get(), 0, 5, 0));
}

TEST(TargetElementShape, PolygonEdgesCrossingsAndTheCalibreBand)
{
    auto e = element(elementPolygon, 0, 0, 10, 10);
    e->AddPoint(0, 0);
    e->AddPoint(10, 0);
    e->AddPoint(10, 10);
    e->AddPoint(0, 10);
    EXPECT_TRUE(inside(e.get(), 5, 5, 0));
    EXPECT_TRUE(inside(e.get(), 10, 5, 0)); // on an edge
    EXPECT_TRUE(inside(e.get(), 0, 0, 0)); // on a vertex
    EXPECT_FALSE(inside(e.get(), 10.4f, 5, 0));
    EXPECT_TRUE(inside(e.get(), 10.4f, 5, 1)); // within half the calibre of the edge
    EXPECT_FALSE(inside(e.get(), 10.6f, 5, 1));
    EXPECT_FALSE(inside(e.get(), -1, 5, 0));
}

TEST(TargetElementShape, DegeneratePolygonCountsOnlyTheBand)
{
    auto e = element(elementPolyline, 0, 0, 0, 0);
    e->AddPoint(0, 0);
    e->AddPoint(10, 0);
    e->AddPoint(10, 0); // repeated vertex: that edge is skipped
    EXPECT_FALSE(inside(e.get(), 5, 0.5f, 0));
    EXPECT_TRUE(inside(e.get(), 5, 0.5f, 2));
    EXPECT_TRUE(inside(e.get(), -0.5f, 0.5f, 2)); // near the first vertex
    EXPECT_FALSE(inside(e.get(), 5, 1.5f, 2));
    EXPECT_TRUE(inside(e.get(), 5, 0, 0)); // on the segment
}

TEST(TargetElementShape, PictureAndTextAreNeverInside)
{
    for (auto type : {elementPicture, elementText}) {
        auto e = element(type, -10, -10, 20, 20);
        EXPECT_FALSE(inside(e.get(), 0, 0, 5));
    }
}

TEST(TargetElementMembers, PointsValuesAndPointers)
{
    auto e = element(elementPolygon, 0, 0, 0, 0);
    float v = 0;
    EXPECT_EQ(e->get_x(0, &v), E_INVALIDARG);
    e->AddPoint(1, 2);
    EXPECT_EQ(e->get_x(1, &v), S_OK);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(e->get_y(2, &v), E_INVALIDARG);
    EXPECT_EQ(e->get_Left(nullptr), E_POINTER);

    ComPtr<IPersistStreamInit> p = e.query<IPersistStreamInit>();
    EXPECT_EQ(e->put_Value(QStringLiteral("absent"), Variant()), S_OK);
    EXPECT_EQ(p->IsDirty(), S_FALSE);
    EXPECT_EQ(e->put_Value(QStringLiteral("b"), Variant(2)), S_OK);
    EXPECT_EQ(e->put_Value(QStringLiteral("a"), Variant("x")), S_OK);
    EXPECT_EQ(p->IsDirty(), S_OK);
    QString key;
    Variant value;
    EXPECT_EQ(e->KeyValue(0, &key, &value), S_OK);
    EXPECT_EQ(key, QStringLiteral("a"));
    EXPECT_EQ(e->KeyValue(2, &key, &value), E_INVALIDARG);
    EXPECT_TRUE(key.isNull());
    EXPECT_TRUE(value.isEmpty());
    EXPECT_EQ(e->KeyValue(0, nullptr, &value), E_POINTER);
    EXPECT_EQ(e->get_Value(QStringLiteral("a"), nullptr), E_POINTER);
    EXPECT_EQ(e->putref_Value(QStringLiteral("c"), Variant(3)), S_OK);
    EXPECT_EQ(e->get_Value(QStringLiteral("c"), &value), S_OK);
    EXPECT_EQ(value, Variant(3));
    value = Variant(1);
    EXPECT_EQ(e->get_Value(QStringLiteral("A"), &value), S_OK) << "names are case-sensitive";
    EXPECT_TRUE(value.isEmpty());

    IUnknown* picture = nullptr;
    EXPECT_EQ(e->get_Picture(&picture), E_FAIL);
    IUnknown* notNull = e.get();
    EXPECT_EQ(e->get_Picture(&notNull), E_POINTER);
}

TEST(TargetElementStream, ExactLayoutOfVersionFive)
{
    auto e = element(elementEllipse, 1.5f, -2, 3, 4);
    e->put_BodyColor(0x112233);
    e->put_Result(7);
    e->put_AreaIndex(2);
    e->put_CalcAfterRings(VARIANT_TRUE);
    e->AddPoint(1, -1);
    QByteArray expected = QByteArray::fromHex("05000000"
                                              "33221100"
                                              "00000000"
                                              "01000000"
                                              "00000000" // version, body, border, type, border width
                                              "00008040"
                                              "0000c03f"
                                              "0000e040"
                                              "02000000" // height 4, left 1.5, result 7, area 2
                                              "000000c0"
                                              "00004040" // top -2, width 3
                                              "0000"
                                              "ffff"
                                              "0000"
                                              "ffff"
                                              "ffff"
                                              "0000" // before, after rings, clip, fill, visible, ignore
                                              "01000000"
                                              "0000803f"
                                              "000080bf" // one point (1, -1)
                                              "00"
                                              "00000000"); // no picture, no values
    EXPECT_EQ(saved(e.get()).toHex(), expected.toHex());
}

TEST(TargetElementStream, RoundTripWithPictureObjectAndValues)
{
    auto e = element(elementPicture, 1, 2, 3, 4);
    // Any object that persists itself stands in for a picture: its bytes must come back whole.
    ComPtr<ITargetParams> picture = CTargetParams::create();
    picture->put_FormWidth(12.5f);
    e->put_Picture(picture.get());
    e->put_Value(QStringLiteral("text"), Variant("10"));
    QByteArray bytes = saved(e.get());

    ComPtr<ITargetElement> copy = CTargetElement::create();
    ASSERT_EQ(loadInto(copy.get(), bytes), S_OK);
    EXPECT_EQ(saved(copy.get()), bytes);
    ComPtr<IUnknown> loaded;
    ASSERT_EQ(copy->get_Picture(loaded.put()), S_OK);
    ComPtr<ITargetParams> asTarget = loaded.query<ITargetParams>();
    ASSERT_TRUE(asTarget);
    float w = 0;
    asTarget->get_FormWidth(&w);
    EXPECT_EQ(w, 12.5f);
}

TEST(TargetElementStream, OlderVersionsNewerRefusedShortReadsFail)
{
    // Version 1: no area, no after-rings flag, no ignore flag, no values.
    QByteArray v1 = QByteArray::fromHex("01000000"
                                        "ffffff00"
                                        "00000000"
                                        "03000000"
                                        "00000000"
                                        "00002041"
                                        "00000000"
                                        "0000a040"
                                        "00000000"
                                        "00002041"
                                        "ffff"
                                        "0000"
                                        "ffff"
                                        "ffff"
                                        "00000000"
                                        "00");
    ComPtr<ITargetElement> e = CTargetElement::create();
    e->put_AreaIndex(9);
    ASSERT_EQ(loadInto(e.get(), v1), S_OK);
    int32_t area = 0;
    e->get_AreaIndex(&area);
    EXPECT_EQ(area, 9); // absent fields keep their values
    float result = 0;
    e->get_Result(&result);
    EXPECT_EQ(result, 5);
    VARIANT_BOOL before = 0;
    e->get_DrawBeforeRings(&before);
    EXPECT_EQ(before, VARIANT_TRUE);

    QByteArray v6 = saved(ComPtr<ITargetElement>(CTargetElement::create()).get());
    v6[0] = 6;
    EXPECT_EQ(loadInto(e.get(), v6), E_FAIL);
    QByteArray good = saved(element(elementRectangle, 3, 3, 3, 3).get());
    EXPECT_EQ(loadInto(e.get(), good.left(good.size() - 1)), E_FAIL);
    e->get_Result(&result);
    EXPECT_EQ(result, 5); // a failed load leaves the element as it was
}

} // namespace
