#include "gdi/metafile_recorder.h"
#include "gdi/picture.h"
#include "storage/stream/memory_stream.h"

#include <gtest/gtest.h>
#include <climits>

using namespace kavro;

TEST(MulDiv, RoundsHalfAwayFromZeroAndFlagsFailures)
{
    EXPECT_EQ(MulDiv(5, 1, 2), 3);
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(10, 3, 4), 8);
    EXPECT_EQ(MulDiv(10, -3, 4), -8);
    EXPECT_EQ(MulDiv(2, 3, -4), -2);
    EXPECT_EQ(MulDiv(7, 1, 3), 2);
    EXPECT_EQ(MulDiv(100000, 100000, 100000), 100000); // the product needs 64 bits
    EXPECT_EQ(MulDiv(7, 1, 0), -1);
    EXPECT_EQ(MulDiv(INT_MAX, 2, 1), -1);
    EXPECT_EQ(MulDiv(INT_MIN, 1, 1), INT_MIN);
    EXPECT_EQ(MulDiv(INT_MIN, -1, 1), -1);
}

TEST(MetafileRecorder, RecordsTheDrawingSequenceAndItsExtent)
{
    MetafileRecorder r(2.0); // one unit is 0.02 mm
    r.selectPen(GdiPen::solid(0, 0xFFFFFF));
    r.setPixel({-850, -850}, 0xFFFFFF);
    r.setPixel({849, 849}, 0xFFFFFF);
    r.selectPen(GdiPen::inside(25, 0x0000FF));
    r.selectBrush(GdiBrush::null());
    r.ellipse({-500, -500, 500, 500});
    r.beginPath();
    r.rectangle({-2000, -2000, 2000, 2000}); // a path draws nothing, so the extent keeps
    r.endPath();
    r.selectClipPath(ClipMode::Copy);
    GdiPoint tri[] = {{0, 0}, {10, 0}, {5, 7}};
    r.polygon(tri, FillMode::Winding);
    GdiRect box{10, 20, 30, 40};
    r.drawText(QStringLiteral("7"), &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    r.restoreClip();
    GdiRect measure{0, 0, 0, 0};
    r.drawText(QStringLiteral("7"), &measure, DT_SINGLELINE | DT_CALCRECT); // measured, not recorded
    Metafile m = r.finish();

    EXPECT_EQ(m.frame(), (GdiRect{-850, -850, 850, 850}));
    EXPECT_EQ(m.himetricWidth(), 3400);
    EXPECT_EQ(m.himetricHeight(), 3400);
    std::vector<MetafileRecord> expected = {
        rec::SelectPen{GdiPen::solid(0, 0xFFFFFF)},
        rec::SetPixel{{-850, -850}, 0xFFFFFF},
        rec::SetPixel{{849, 849}, 0xFFFFFF},
        rec::SelectPen{GdiPen::inside(25, 0x0000FF)},
        rec::SelectBrush{GdiBrush::null()},
        rec::Ellipse{{-500, -500, 500, 500}},
        rec::BeginPath{},
        rec::Rectangle{{-2000, -2000, 2000, 2000}},
        rec::EndPath{},
        rec::SelectClipPath{ClipMode::Copy},
        rec::Polygon{{{0, 0}, {10, 0}, {5, 7}}, FillMode::Winding},
        rec::DrawText{QStringLiteral("7"), {10, 20, 30, 40}, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP},
        rec::RestoreClip{},
    };
    EXPECT_EQ(m.records(), expected);
    EXPECT_TRUE(r.finish().records().empty());
}

TEST(MetafileRecorder, ExtentCountsPensReachingOutsideAndClampsCoordinates)
{
    MetafileRecorder r;
    r.selectPen(GdiPen::solid(10, 0));
    r.rectangle({0, 0, 100, 100}); // centred pen: half its width outside
    GdiPoint line[] = {{0, 0}, {INT_MAX, 0}};
    r.selectPen(GdiPen::solid(0, 0));
    r.polyline(line);
    Metafile m = r.finish();
    EXPECT_EQ(m.frame(), (GdiRect{-5, -5, kMaxCoordinate, 105}));
    const auto& pl = std::get<rec::Polyline>(m.records().back());
    EXPECT_EQ(pl.points[1].x, kMaxCoordinate);

    MetafileRecorder framed;
    framed.setFrame({0, 0, 96, 48});
    framed.fillRect({10, 10, 20, 20}, 0);
    Metafile f = framed.finish();
    EXPECT_EQ(f.frame(), (GdiRect{0, 0, 96, 48}));
    EXPECT_EQ(f.himetricWidth(), 2540); // 96 pixels of a 96 dpi screen are one inch
    EXPECT_EQ(f.himetricHeight(), 1270);
}

TEST(MetafileStream, ExactBytesOfAOneRecordMetafile)
{
    Metafile m({-1, -2, 3, 4}, 10, 20, {rec::FillRect{{0, 0, 2, 2}, 0x00112233}});
    auto s = MemoryStream::create();
    ASSERT_EQ(m.write(s.get()), S_OK);
    const uint8_t expected[] = {
        0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 4, 0, 0, 0, // frame
        10,   0,    0,    0,    20,   0,    0,    0, // physical size
        1,    0,    0,    0, // record count
        7,    0,    0,    0,    20,   0,    0,    0, // fill rect, 20 bytes
        0,    0,    0,    0,    0,    0,    0,    0,    2, 0, 0, 0, 2, 0, 0, 0, 0x33, 0x22, 0x11, 0,
    };
    EXPECT_EQ(s->bytes(), QByteArray(reinterpret_cast<const char*>(expected), sizeof expected));
}

TEST(MetafileStream, EveryRecordKindRoundTrips)
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    auto inner = Picture::fromImage(image);

    MetafileRecorder r;
    r.selectPen({PenStyle::Dash, 1, 0x123456, false});
    r.selectBrush(GdiBrush::solid(0x00FF00));
    r.selectFont({-150, 700, QStringLiteral("Times")});
    r.setTextColor(0x0000FF);
    r.setBkMode(BkMode::Transparent);
    r.setBkColor(0x808080);
    r.fillRect({0, 0, 10, 10}, 0xFFFFFF);
    r.setPixel({5, 5}, 0);
    r.rectangle({1, 2, 3, 4});
    r.ellipse({-4, -3, 2, 1});
    GdiPoint pts[] = {{0, 0}, {5, -5}, {10, 0}};
    r.polyline(pts);
    r.polygon(pts, FillMode::Alternate);
    GdiRect box{0, 0, 100, 50};
    r.drawText(QStringLiteral("Zehn & 10 \u00e4"), &box, DT_CENTER | DT_WORDBREAK);
    r.beginPath();
    r.ellipse({0, 0, 10, 10});
    r.endPath();
    r.selectClipPath(ClipMode::Copy);
    r.beginPath();
    r.rectangle({20, 0, 30, 10});
    r.endPath();
    r.selectClipPath(ClipMode::Or);
    r.restoreClip();
    r.drawPicture(inner.get(), {0, 0, 30, 20});
    Metafile m = r.finish();

    auto s = MemoryStream::create();
    ASSERT_EQ(m.write(s.get()), S_OK);
    ASSERT_EQ(s->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
    Metafile back;
    ASSERT_EQ(back.read(s.get()), S_OK);
    EXPECT_EQ(s->position(), uint64_t(s->bytes().size()));
    EXPECT_EQ(back.frame(), m.frame());
    ASSERT_EQ(back.records().size(), m.records().size());
    for (size_t i = 0; i + 1 < m.records().size(); ++i)
        EXPECT_EQ(back.records()[i], m.records()[i]) << "record " << i;
    const auto& pic = std::get<rec::DrawPicture>(back.records().back());
    EXPECT_EQ(pic.box, (GdiRect{0, 0, 30, 20}));
    auto loaded = static_cast<Picture*>(pic.picture.get());
    EXPECT_EQ(loaded->image().convertToFormat(QImage::Format_RGB32), image);
}
