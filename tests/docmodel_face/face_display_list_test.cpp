// The face picture as recorded: exact integer geometry, colours and the order of the steps.
#include "face_test_support.h"
#include "target_params.h"
#include "com/olecolor.h"
#include "storage/stream/memory_stream.h"

#include <QImage>
#include <algorithm>
#include <functional>

using namespace kavrodoc;
using namespace facetest;
using kavro::GdiRect;
namespace rec = kavro::rec;

namespace {

ComPtr<IEventParams> eventWith(const std::function<void(ITargetParams*)>& setup)
{
    ComPtr<IEventParams> e = CEventParams::create();
    ComPtr<ITargetParams> t;
    EXPECT_EQ(e->get_Target(1, t.put()), S_OK);
    setup(t.get());
    return e;
}

ComPtr<ITargetElement> addElement(ITargetParams* t, enumTargetElementType type, float l, float top, float w, float h)
{
    ComPtr<ITargetElement> e;
    EXPECT_EQ(t->AddElement(type, l, top, w, h, e.put()), S_OK);
    return e;
}

void setRings(ITargetParams* t, std::initializer_list<float> diameters)
{
    int32_t n = 1;
    for (float d : diameters)
        t->put_Ring(n++, d);
}

std::vector<GdiRect> ellipseBoxes(const kavro::Metafile& m)
{
    std::vector<GdiRect> out;
    for (const auto& r : recordsOf<rec::Ellipse>(m))
        out.push_back(r.box);
    return out;
}

// The pen selected when each ellipse was drawn.
std::vector<kavro::GdiPen> ellipsePens(const kavro::Metafile& m)
{
    std::vector<kavro::GdiPen> out;
    kavro::GdiPen pen;
    for (const auto& r : m.records()) {
        if (auto p = std::get_if<rec::SelectPen>(&r))
            pen = p->pen;
        else if (std::holds_alternative<rec::Ellipse>(r))
            out.push_back(pen);
    }
    return out;
}

TEST(FaceGeometry, ScaleFollowsTheFormSize)
{
    struct Case {
        float width, height;
        int32_t unitsPerMm;
    };
    const Case cases[] = {{170, 170, 50}, {300, 300, 10}, {600, 600, 1}, {80, 80, 100}, {150, 150, 100},
                          {200, 200, 50}, {500, 500, 10}, {100, 600, 1}, {250, 100, 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        auto e = eventWith([&](ITargetParams* t) {
            t->put_FormWidth(c.width);
            t->put_FormHeight(c.height);
            t->put_Black(10);
        });
        kavro::Metafile m = faceMetafile(e.get());
        const int32_t s = c.unitsPerMm;
        const int32_t hw = static_cast<int32_t>(c.width) * s / 2, hh = static_cast<int32_t>(c.height) * s / 2;
        EXPECT_EQ(m.frame(), (GdiRect{-hw, -hh, hw, hh}));
        EXPECT_EQ(m.himetricWidth(), static_cast<int32_t>(c.width * 100));
        EXPECT_EQ(m.himetricHeight(), static_cast<int32_t>(c.height * 100));
        auto fills = recordsOf<rec::FillRect>(m);
        ASSERT_EQ(fills.size(), 1u);
        EXPECT_EQ(fills[0].rect, m.frame());
        EXPECT_EQ(ellipseBoxes(m), (std::vector<GdiRect>{{-5 * s, -5 * s, 5 * s, 5 * s}}));
    }
}

TEST(FaceGeometry, CircleAndElementBoxesRoundHalvesToEven)
{
    // At one unit per millimetre every half-millimetre is a tie.
    auto e = eventWith([](ITargetParams* t) {
        t->put_FormWidth(600);
        t->put_FormHeight(600);
        t->put_Black(5); // l = round(-2.5) = -2, d = 5
        setRings(t, {0, 0, 0, 0, 0, 0, 0, 0, 7, 3}); // ring 9: l = -4, d = 7; ring 10: l = -2, d = 3
        t->put_InnerTen(1); // l = round(-0.5) = 0, d = 1
        t->put_RingThickness(1.5f); // round(1.5) = 2
        t->put_RingColor(0x0000FF);
        t->put_InnerRingColor(0x00FF00);
        addElement(t, elementEllipse, -2.5f, 0.5f, 5, 2);
    });
    kavro::Metafile m = faceMetafile(e.get());
    EXPECT_EQ(ellipseBoxes(m),
              (std::vector<GdiRect>{
                  {-2, -2, 3, 3}, // black
                  {-2, -2, 1, 1}, // ring 10, drawn first
                  {-4, -4, 3, 3}, // ring 9
                  {0, 0, 1, 1}, // inner ten
                  {-2, 0, 2, 2}, // element: round(2.5) = 2 on both far edges
              }));
    auto pens = ellipsePens(m);
    ASSERT_EQ(pens.size(), 5u);
    EXPECT_EQ(pens[0].style, kavro::PenStyle::Null);
    EXPECT_EQ(pens[1], kavro::GdiPen::inside(2, 0x00FF00)); // inside the black
    EXPECT_EQ(pens[2], kavro::GdiPen::inside(2, 0x0000FF));
    EXPECT_EQ(pens[3], kavro::GdiPen::solid(0, 0x00FF00));
}

TEST(FaceGeometry, RingOnTheBlacksEdgeIsNotDrawn)
{
    auto e = eventWith([](ITargetParams* t) {
        t->put_FormWidth(80);
        t->put_FormHeight(80);
        t->put_Black(30.5f);
        t->put_RingThickness(0.1f);
        // 30.7 is 0.2 away and drawn; 30.55 and 30.45 lie within the line's width of the black.
        setRings(t, {0, 0, 30.7f, 30.55f, 30.45f, 0, 0, 0, 0, 0});
    });
    kavro::Metafile m = faceMetafile(e.get());
    EXPECT_EQ(ellipseBoxes(m), (std::vector<GdiRect>{{-1525, -1525, 1525, 1525}, {-1535, -1535, 1535, 1535}}));
}

TEST(FaceRings, FillCenterFillsRingTenAndFillInnerTenTheInnerTen)
{
    auto faceWith = [](enumTargetFillCenter fill) {
        return eventWith([&](ITargetParams* t) {
            t->put_FormWidth(80);
            t->put_FormHeight(80);
            setRings(t, {40, 30, 20, 10, 0, 0, 0, 0, 8, 5});
            t->put_InnerTen(2);
            t->put_RingColor(0x112233);
            t->put_InnerRingColor(0x445566);
            t->put_FillCenter(fill);
        });
    };
    auto brushes = [](const kavro::Metafile& m) {
        std::vector<kavro::GdiBrush> out;
        kavro::GdiBrush brush;
        for (const auto& r : m.records()) {
            if (auto b = std::get_if<rec::SelectBrush>(&r))
                brush = b->brush;
            else if (std::holds_alternative<rec::Ellipse>(r))
                out.push_back(brush);
        }
        return out;
    };
    const auto none = kavro::GdiBrush::null();
    // Order: ring 10, 9, 4, 3, 2, 1, inner ten (no black).
    EXPECT_EQ(brushes(faceMetafile(faceWith(NoFill).get())), (std::vector{none, none, none, none, none, none, none}));
    EXPECT_EQ(brushes(faceMetafile(faceWith(FillCenter).get())),
              (std::vector{kavro::GdiBrush::solid(0x112233), none, none, none, none, none, none}));
    EXPECT_EQ(brushes(faceMetafile(faceWith(FillInnerTen).get())),
              (std::vector{none, none, none, none, none, none, kavro::GdiBrush::solid(0x445566)}));
}

struct NumberText {
    QString text;
    GdiRect rect;
    COLORREF color;
};

std::vector<NumberText> texts(const kavro::Metafile& m)
{
    std::vector<NumberText> out;
    COLORREF color = 0;
    for (const auto& r : m.records()) {
        if (auto c = std::get_if<rec::TextColor>(&r))
            color = c->color;
        else if (auto t = std::get_if<rec::DrawText>(&r))
            out.push_back({t->text, t->rect, color});
    }
    return out;
}

ComPtr<IEventParams> numberedTarget(int32_t lastNumbered, int32_t orientation)
{
    return eventWith([&](ITargetParams* t) {
        t->put_FormWidth(80);
        t->put_FormHeight(80);
        setRings(t, {45.5f, 40.5f, 35.5f, 30.5f, 25.5f, 20.5f, 15.5f, 10.5f, 5.5f, 0.5f});
        t->put_Black(30.5f);
        t->put_TextHeight(2);
        t->put_RingColor(0x000001);
        t->put_InnerRingColor(0xFFFFFE);
        t->put_LastNumberedRing(lastNumbered);
        t->put_TextOrientation(orientation);
    });
}

TEST(FaceNumbers, LastNumberedRingTenNumbersRingsOneToNine)
{
    kavro::Metafile m = faceMetafile(numberedTarget(10, 0).get());
    auto all = texts(m);
    ASSERT_EQ(all.size(), 9u * 4u);
    for (int n = 1; n <= 9; ++n)
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(all[static_cast<size_t>((n - 1) * 4 + i)].text, QString::number(n));
    auto fonts = recordsOf<rec::SelectFont>(m);
    ASSERT_EQ(fonts.size(), 1u);
    EXPECT_EQ(fonts[0].font, (kavro::GdiFont{-200, 400, QStringLiteral("Times")}));
    auto modes = recordsOf<rec::SetBkMode>(m);
    ASSERT_EQ(modes.size(), 1u);
    EXPECT_EQ(modes[0].mode, kavro::BkMode::Transparent);
    for (const auto& t : recordsOf<rec::DrawText>(m))
        EXPECT_EQ(t.format, kavro::DT_SINGLELINE | kavro::DT_CENTER | kavro::DT_VCENTER | kavro::DT_NOCLIP);
}

TEST(FaceNumbers, AcrossSpokesSitBetweenTheRingAndTheNextInside)
{
    auto all = texts(faceMetafile(numberedTarget(8, 0).get()));
    ASSERT_EQ(all.size(), 8u * 4u);
    // Ring 1: outer radius 22.75 mm, inner 20.25 mm, at 100 units per mm; black outside it.
    EXPECT_EQ(all[0].rect, (GdiRect{2025, 0, 2275, 0}));
    EXPECT_EQ(all[1].rect, (GdiRect{-2025, 0, -2275, 0}));
    EXPECT_EQ(all[2].rect, (GdiRect{0, 2025, 0, 2275}));
    EXPECT_EQ(all[3].rect, (GdiRect{0, -2025, 0, -2275}));
    EXPECT_EQ(all[0].color, 0x000001u);
    // Ring 4 equals the black: inside it, in the inner colour.
    EXPECT_EQ(all[12].text, QStringLiteral("4"));
    EXPECT_EQ(all[12].rect, (GdiRect{1275, 0, 1525, 0}));
    EXPECT_EQ(all[12].color, 0xFFFFFEu);
    EXPECT_EQ(all[31].text, QStringLiteral("8"));
}

TEST(FaceNumbers, DiagonalSpokes)
{
    auto all = texts(faceMetafile(numberedTarget(1, 1).get()));
    ASSERT_EQ(all.size(), 4u);
    // 0.7071 x 20.25 x 100 = 1431.8, 0.7071 x 22.75 x 100 = 1608.6
    EXPECT_EQ(all[0].rect, (GdiRect{1432, 1432, 1609, 1609}));
    EXPECT_EQ(all[1].rect, (GdiRect{-1432, 1432, -1609, 1609}));
    EXPECT_EQ(all[2].rect, (GdiRect{-1432, -1432, -1609, -1609}));
    EXPECT_EQ(all[3].rect, (GdiRect{1432, -1432, 1609, -1609}));
}

TEST(FaceNumbers, MissingOrUnorderedNeighboursAreNotNumbered)
{
    auto e = eventWith([](ITargetParams* t) {
        t->put_FormWidth(80);
        t->put_FormHeight(80);
        setRings(t, {40, 0, 30, 35, 20, 0, 0, 0, 0, 0}); // 1: no inner; 2: none; 3: inner larger; 4: ok
        t->put_LastNumberedRing(10);
    });
    auto all = texts(faceMetafile(e.get()));
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].text, QStringLiteral("4"));
}

ComPtr<IEventParams> fullTarget()
{
    return eventWith([](ITargetParams* t) {
        t->put_FormWidth(80);
        t->put_FormHeight(80);
        setRings(t, {45.5f, 40.5f, 35.5f, 30.5f, 25.5f, 20.5f, 15.5f, 10.5f, 5.5f, 0.5f});
        t->put_Black(30.5f);
        t->put_InnerTen(0.2f);
        t->put_TextHeight(2);
        t->put_LastNumberedRing(8);
        addElement(t, elementRectangle, 30, 30, 5, 5);
        QImage image(20, 10, QImage::Format_RGB32);
        image.fill(Qt::red);
        t->put_Picture(facetest::bitmapPicture(image).get());
    });
}

TEST(FaceSteps, WithoutScoreRingsBlackElementsAndPictureStay)
{
    auto e = fullTarget();
    kavro::Metafile with = faceMetafile(e.get(), 1, true, true);
    kavro::Metafile without = faceMetafile(e.get(), 1, true, false);
    EXPECT_EQ(ellipseBoxes(without), (std::vector<GdiRect>{{-1525, -1525, 1525, 1525}}));
    EXPECT_EQ(recordsOf<rec::Rectangle>(without).size(), 2u); // the form clip and the element
    EXPECT_EQ(recordsOf<rec::DrawPicture>(without).size(), 1u);
    EXPECT_TRUE(recordsOf<rec::DrawText>(without).empty());
    EXPECT_TRUE(recordsOf<rec::SelectFont>(without).empty());
    // With them: black, rings 10 to 5 and 3 to 1 (4 lies on the black), the inner ten.
    EXPECT_EQ(ellipseBoxes(with).size(), 1u + 9u + 1u);
    EXPECT_EQ(recordsOf<rec::DrawText>(with).size(), 8u * 4u);
    EXPECT_EQ(recordsOf<rec::DrawPicture>(with).size(), 1u);
}

// The kinds of record in order, to check the order of the steps.
std::vector<size_t> kinds(const kavro::Metafile& m)
{
    std::vector<size_t> out;
    for (const auto& r : m.records())
        if (!std::holds_alternative<rec::SelectPen>(r) && !std::holds_alternative<rec::SelectBrush>(r)
            && !std::holds_alternative<rec::SelectFont>(r) && !std::holds_alternative<rec::TextColor>(r)
            && !std::holds_alternative<rec::SetBkMode>(r) && !std::holds_alternative<rec::DrawText>(r))
            out.push_back(r.index());
    return out;
}

template <class R> constexpr size_t kind()
{
    return kavro::MetafileRecord(R{}).index();
}

TEST(FaceSteps, OrderFromBackgroundToElementsAfterTheRings)
{
    auto e = eventWith([](ITargetParams* t) {
        t->put_FormWidth(80);
        t->put_FormHeight(80);
        t->put_Black(20);
        setRings(t, {0, 0, 0, 0, 0, 0, 0, 0, 0, 30});
        auto after = addElement(t, elementPolygon, 0, 0, 0, 0);
        after->AddPoint(0, 0);
        after->AddPoint(1, 0);
        after->AddPoint(1, 1);
        auto before = addElement(t, elementRectangle, -1, -1, 2, 2);
        before->put_DrawBeforeRings(VARIANT_TRUE);
        auto hidden = addElement(t, elementEllipse, -1, -1, 2, 2);
        hidden->put_Visible(VARIANT_FALSE);
        QImage image(10, 10, QImage::Format_RGB32);
        image.fill(Qt::blue);
        t->put_Picture(facetest::bitmapPicture(image).get());
    });
    kavro::Metafile m = faceMetafile(e.get());
    EXPECT_EQ(kinds(m),
              (std::vector<size_t>{
                  kind<rec::FillRect>(), kind<rec::BeginPath>(), kind<rec::Rectangle>(), kind<rec::EndPath>(),
                  kind<rec::SelectClipPath>(),
                  kind<rec::Rectangle>(), // element before the rings
                  kind<rec::DrawPicture>(), // face picture
                  kind<rec::Ellipse>(), // black
                  kind<rec::Ellipse>(), // ring 10
                  kind<rec::Polygon>(), // element after the rings
              }));
    auto clip = recordsOf<rec::SelectClipPath>(m);
    EXPECT_EQ(clip[0].mode, kavro::ClipMode::Copy);
    EXPECT_EQ(recordsOf<rec::Rectangle>(m)[0].box, m.frame());
}

TEST(FaceSteps, WithoutBackgroundTwoWhiteDotsSpanTheForm)
{
    auto e = eventWith([](ITargetParams* t) {
        t->put_FormWidth(170);
        t->put_FormHeight(100);
        t->put_BackgroundColor(0x123456);
    });
    kavro::Metafile m = faceMetafile(e.get(), 1, false, true);
    EXPECT_TRUE(recordsOf<rec::FillRect>(m).empty());
    auto dots = recordsOf<rec::SetPixel>(m);
    ASSERT_EQ(dots.size(), 2u);
    EXPECT_EQ(dots[0], (rec::SetPixel{{-4250, -2500}, 0xFFFFFF}));
    EXPECT_EQ(dots[1], (rec::SetPixel{{4249, 2499}, 0xFFFFFF}));
    auto fills = recordsOf<rec::FillRect>(faceMetafile(e.get(), 1, true, true));
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].color, 0x123456u);
}

TEST(FaceSteps, ClipElementsJoinAndAreNotDrawn)
{
    auto e = eventWith([](ITargetParams* t) {
        t->put_FormWidth(80);
        t->put_FormHeight(80);
        addElement(t, elementEllipse, -10, -10, 20, 20)->put_Clip(VARIANT_TRUE);
        addElement(t, elementRectangle, 10, 10, 5, 5)->put_Clip(VARIANT_TRUE);
        auto hidden = addElement(t, elementRectangle, 20, 20, 5, 5);
        hidden->put_Clip(VARIANT_TRUE);
        hidden->put_Visible(VARIANT_FALSE);
    });
    kavro::Metafile m = faceMetafile(e.get());
    EXPECT_EQ(kinds(m),
              (std::vector<size_t>{
                  kind<rec::FillRect>(),
                  kind<rec::BeginPath>(),
                  kind<rec::Ellipse>(),
                  kind<rec::EndPath>(),
                  kind<rec::SelectClipPath>(),
                  kind<rec::BeginPath>(),
                  kind<rec::Rectangle>(),
                  kind<rec::EndPath>(),
                  kind<rec::SelectClipPath>(),
              }));
    auto clip = recordsOf<rec::SelectClipPath>(m);
    EXPECT_EQ(clip[0].mode, kavro::ClipMode::Copy);
    EXPECT_EQ(clip[1].mode, kavro::ClipMode::Or);
    EXPECT_EQ(recordsOf<rec::Rectangle>(m)[0].box, (GdiRect{1000, 1000, 1500, 1500}));
}

TEST(FaceElements, OnePointPolygonDrawsNothingTwoPointsDo)
{
    auto e = eventWith([](ITargetParams* t) {
        t->put_FormWidth(80);
        t->put_FormHeight(80);
        addElement(t, elementPolygon, 0, 0, 0, 0)->AddPoint(1, 1);
        addElement(t, elementPolyline, 0, 0, 0, 0)->AddPoint(1, 1);
        auto line = addElement(t, elementPolyline, 0, 0, 0, 0);
        line->AddPoint(-1.005f, 2);
        line->AddPoint(3, -4);
        line->put_BorderWidth(0.5f);
        line->put_BorderColor(0x0A0B0C);
    });
    kavro::Metafile m = faceMetafile(e.get());
    EXPECT_TRUE(recordsOf<rec::Polygon>(m).empty());
    auto lines = recordsOf<rec::Polyline>(m);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].points, (std::vector<kavro::GdiPoint>{{-100, 200}, {300, -400}}));
    EXPECT_EQ(recordsOf<rec::SelectPen>(m).back().pen, kavro::GdiPen::inside(50, 0x0A0B0C));
}

TEST(FaceElements, TextTakesItsFontValueElseTimes)
{
    auto e = eventWith([](ITargetParams* t) {
        t->put_FormWidth(80);
        t->put_FormHeight(80);
        t->put_TextHeight(3);
        auto a = addElement(t, elementText, -5, -5, 10, 4);
        a->put_Value(QStringLiteral("text"), Variant("A&B"));
        a->put_Value(QStringLiteral("font"), Variant("Arial"));
        a->put_BodyColor(0x00AA00);
        auto b = addElement(t, elementText, -5, 1, 10, 4);
        b->put_Value(QStringLiteral("text"), Variant("X"));
        b->put_Value(QStringLiteral("font"), Variant(int32_t(7))); // not a face name
        addElement(t, elementText, 0, 0, 1, 1)->put_Value(QStringLiteral("text"), Variant(int32_t(10)));
    });
    kavro::Metafile m = faceMetafile(e.get(), 1, true, false);
    auto all = texts(m);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].text, QStringLiteral("A&B"));
    EXPECT_EQ(all[0].rect, (GdiRect{-500, -500, 500, -100}));
    EXPECT_EQ(all[0].color, 0x00AA00u);
    auto fonts = recordsOf<rec::SelectFont>(m);
    ASSERT_EQ(fonts.size(), 2u);
    EXPECT_EQ(fonts[0].font, (kavro::GdiFont{-300, 400, QStringLiteral("Arial")}));
    EXPECT_EQ(fonts[1].font.face, QStringLiteral("Times"));
}

TEST(FacePicture, KeepsItsAspectRatioCentredInTheForm)
{
    auto pictureBox = [](float formWidth, float formHeight, int w, int h) {
        auto e = eventWith([&](ITargetParams* t) {
            t->put_FormWidth(formWidth);
            t->put_FormHeight(formHeight);
            QImage image(w, h, QImage::Format_RGB32);
            image.fill(Qt::green);
            image.setDotsPerMeterX(10000); // one pixel is 0.1 mm: w x 10 HIMETRIC
            image.setDotsPerMeterY(10000);
            t->put_Picture(facetest::bitmapPicture(image).get());
        });
        auto pictures = recordsOf<rec::DrawPicture>(faceMetafile(e.get()));
        return pictures.empty() ? GdiRect{} : pictures[0].box;
    };
    // Ratio 2000 in an 8000 x 8000 square: (8000 - 4000 + 1) / 2 = 2000 trimmed top and bottom.
    EXPECT_EQ(pictureBox(80, 80, 20, 10), (GdiRect{-4000, -2000, 4000, 2000}));
    // Ratio 333 in 8000 x 8000: (8000 - 8000 * 333 / 1000 + 1) / 2 = 2668 trimmed left and right.
    EXPECT_EQ(pictureBox(80, 80, 10, 30), (GdiRect{-1332, -4000, 1332, 4000}));
    EXPECT_EQ(pictureBox(80, 80, 10, 10), (GdiRect{-4000, -4000, 4000, 4000}));
}

TEST(FacePicture, NoSizeOrNoFormHeightSkipsThePicture)
{
    auto count = [](float formHeight, QImage image) {
        auto e = eventWith([&](ITargetParams* t) {
            t->put_FormWidth(80);
            t->put_FormHeight(formHeight);
            t->put_Picture(facetest::bitmapPicture(image).get());
        });
        return recordsOf<rec::DrawPicture>(faceMetafile(e.get())).size();
    };
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::green);
    EXPECT_EQ(count(80, image), 1u);
    EXPECT_EQ(count(0, image), 0u);
    EXPECT_EQ(count(80, QImage()), 0u);
}

TEST(FaceCache, FourSlotsPerEventKeyedBySubTarget)
{
    auto e = eventWith([](ITargetParams* t) {
        t->put_FormWidth(80);
        t->put_FormHeight(80);
        t->put_Black(10);
    });
    ComPtr<ITargetParams> second;
    ASSERT_EQ(e->get_Target(2, second.put()), S_OK);
    second->put_FormWidth(300);
    second->put_FormHeight(300);

    auto first = appearance(e.get(), 1, true, true);
    EXPECT_EQ(appearance(e.get(), 1, true, true), first);
    auto other = appearance(e.get(), 1, false, true);
    EXPECT_NE(other, first);
    EXPECT_NE(appearance(e.get(), 1, true, false), first);
    EXPECT_NE(appearance(e.get(), 1, false, false), first);
    EXPECT_EQ(appearance(e.get(), 1, true, true), first); // the other slots left it alone

    auto sub2 = appearance(e.get(), 2, true, true);
    ASSERT_TRUE(sub2);
    EXPECT_NE(sub2, first);
    EXPECT_EQ(sub2->metafile()->frame(), (GdiRect{-1500, -1500, 1500, 1500}));
    EXPECT_EQ(appearance(e.get(), 2, true, true), sub2);
    auto again = appearance(e.get(), 1, true, true);
    EXPECT_NE(again, sub2);
    EXPECT_EQ(again->metafile()->frame(), (GdiRect{-4000, -4000, 4000, 4000}));
    EXPECT_EQ(appearance(e.get(), 1, false, true), other); // a slot of its own
}

TEST(FaceCache, OnlyMinusOneIsTrue)
{
    auto e = eventWith([](ITargetParams* t) {
        t->put_FormWidth(80);
        t->put_FormHeight(80);
        t->put_Black(10);
    });
    ComPtr<IUnknown> one;
    ASSERT_EQ(e->GetTargetAppearance(1, 1, 1, one.put()), S_OK);
    EXPECT_EQ(one.get(), appearance(e.get(), 1, false, false).query<IUnknown>().get());
}

TEST(FaceCache, LoadingTheEventDropsFacesOfTheOldTargets)
{
    auto source = eventWith([](ITargetParams* t) {
        t->put_FormWidth(300);
        t->put_FormHeight(300);
    });
    auto stream = kavro::MemoryStream::create();
    ASSERT_EQ(source.query<IPersistStreamInit>()->Save(stream.get(), 1), S_OK);

    auto e = eventWith([](ITargetParams* t) {
        t->put_FormWidth(80);
        t->put_FormHeight(80);
    });
    auto before = appearance(e.get(), 1, true, true);
    auto loaded = kavro::MemoryStream::create(stream->bytes());
    ASSERT_EQ(e.query<IPersistStreamInit>()->Load(loaded.get()), S_OK);
    auto after = appearance(e.get(), 1, true, true);
    ASSERT_TRUE(after);
    EXPECT_NE(after, before);
    EXPECT_EQ(after->metafile()->frame(), (GdiRect{-1500, -1500, 1500, 1500}));
}

TEST(FaceCache, ArgumentErrors)
{
    ComPtr<IEventParams> e = CEventParams::create();
    EXPECT_EQ(e->GetTargetAppearance(1, VARIANT_TRUE, VARIANT_TRUE, nullptr), E_POINTER);
    ComPtr<IUnknown> p;
    EXPECT_EQ(e->GetTargetAppearance(0, VARIANT_TRUE, VARIANT_TRUE, p.put()), E_INVALIDARG);
    EXPECT_EQ(e->GetTargetAppearance(2, VARIANT_TRUE, VARIANT_TRUE, p.put()), E_INVALIDARG);
    EXPECT_FALSE(p);
    ASSERT_EQ(e->GetTargetAppearance(1, VARIANT_TRUE, VARIANT_TRUE, p.put()), S_OK);
    EXPECT_TRUE(p.query<kavro::IPictureDisp>());
}

} // namespace
