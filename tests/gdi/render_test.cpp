#include "gdi/metafile_recorder.h"
#include "gdi/painter_canvas.h"
#include "gdi/picture.h"

#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>

using namespace kavro;

namespace {

QImage whiteImage(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

void playInto(QImage* image, const Metafile& m, const QRectF& dest)
{
    QPainter p(image);
    m.play(&p, dest);
}

bool isDark(const QImage& image, int x, int y)
{
    return qGray(image.pixel(x, y)) < 128;
}
bool isRed(const QImage& image, int x, int y)
{
    QRgb c = image.pixel(x, y);
    return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}

struct Box {
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN; // inclusive
    int count = 0;
};

template <class Pred> Box boundsOf(const QImage& image, Pred pred)
{
    Box b;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (pred(image, x, y)) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
                ++b.count;
            }
    return b;
}

// A black disc of radius 50 units centred in a 200 x 200 frame.
Metafile disc()
{
    MetafileRecorder r;
    r.setFrame({-100, -100, 100, 100});
    r.selectPen(GdiPen::null());
    r.selectBrush(GdiBrush::solid(0));
    r.ellipse({-50, -50, 50, 50});
    return r.finish();
}

} // namespace

TEST(MetafilePlay, DiscLandsOnTheSamePlaceAtEveryScale)
{
    for (int scale : {1, 4}) {
        SCOPED_TRACE(scale);
        int size = 200 * scale, offset = 30;
        QImage image = whiteImage(size + 2 * offset, size + 2 * offset);
        playInto(&image, disc(), QRectF(offset, offset, size, size));
        Box b = boundsOf(image, isDark);
        int radius = 50 * scale, centre = offset + 100 * scale;
        EXPECT_EQ(b.left, centre - radius);
        EXPECT_EQ(b.right, centre + radius - 1);
        EXPECT_EQ(b.top, centre - radius);
        EXPECT_EQ(b.bottom, centre + radius - 1);
        double area = M_PI * radius * radius;
        EXPECT_NEAR(b.count, area, area * 0.02);
        EXPECT_FALSE(isDark(image, centre + radius * 3 / 4, centre + radius * 3 / 4)); // outside on the diagonal
        EXPECT_TRUE(isDark(image, centre + radius * 2 / 3, centre + radius * 2 / 3));
    }
}

TEST(MetafilePlay, InsideFramePenStaysInItsBoxAndFillsItsEdge)
{
    for (int scale : {1, 3}) {
        SCOPED_TRACE(scale);
        MetafileRecorder r;
        r.setFrame({0, 0, 120, 80});
        r.selectBrush(GdiBrush::null());
        r.selectPen(GdiPen::inside(8, 0x0000FF));
        r.ellipse({10, 10, 110, 70});
        QImage image = whiteImage(120 * scale, 80 * scale);
        playInto(&image, r.finish(), QRectF(0, 0, 120 * scale, 80 * scale));
        Box b = boundsOf(image, isRed);
        EXPECT_EQ(b.left, 10 * scale);
        EXPECT_EQ(b.top, 10 * scale);
        EXPECT_EQ(b.right, 110 * scale - 1);
        EXPECT_EQ(b.bottom, 70 * scale - 1);
        int ring = 0; // the stroke is as wide as the pen along the horizontal axis
        for (int x = 10 * scale; x < 60 * scale; ++x)
            ring += isRed(image, x, 40 * scale);
        EXPECT_NEAR(ring, 8 * scale, 1);
    }
    // A centred pen of the same width reaches half its width outside.
    MetafileRecorder r;
    r.setFrame({0, 0, 120, 80});
    r.selectBrush(GdiBrush::null());
    r.selectPen(GdiPen::solid(8, 0x0000FF));
    r.ellipse({10, 10, 110, 70});
    QImage image = whiteImage(120, 80);
    playInto(&image, r.finish(), QRectF(0, 0, 120, 80));
    EXPECT_NEAR(boundsOf(image, isRed).left, 6, 1);
}

TEST(MetafilePlay, WidthZeroPenIsOneDevicePixelOnTheBoxEdge)
{
    MetafileRecorder r;
    r.setFrame({0, 0, 100, 100});
    r.selectBrush(GdiBrush::null());
    r.selectPen(GdiPen::solid(0, 0));
    r.rectangle({10, 10, 50, 30});
    QImage image = whiteImage(400, 400);
    playInto(&image, r.finish(), QRectF(0, 0, 400, 400));
    Box b = boundsOf(image, isDark);
    EXPECT_EQ(b.left, 40);
    EXPECT_EQ(b.top, 40);
    EXPECT_EQ(b.right, 199);
    EXPECT_EQ(b.bottom, 119);
    EXPECT_EQ(b.count, 2 * 160 + 2 * 78); // a one-pixel outline, no fill
    EXPECT_TRUE(isDark(image, 100, 40));
    EXPECT_FALSE(isDark(image, 100, 41));
}

TEST(MetafilePlay, FillRectExcludesRightAndBottom)
{
    QImage image = whiteImage(20, 20);
    {
        QPainter p(&image);
        PainterCanvas c(&p);
        c.fillRect({2, 3, 7, 5}, 0);
        c.fillRect({15, 15, 10, 10}, 0); // inverted: nothing
    }
    Box b = boundsOf(image, isDark);
    EXPECT_EQ(b.left, 2);
    EXPECT_EQ(b.top, 3);
    EXPECT_EQ(b.right, 6);
    EXPECT_EQ(b.bottom, 4);
    EXPECT_EQ(b.count, 10);
}

TEST(MetafilePlay, CentredSingleLineTextIsCentred)
{
    for (double scale : {1.0, 0.25}) { // a 160 and a 40 pixel em
        SCOPED_TRACE(scale);
        MetafileRecorder r;
        r.setFrame({0, 0, 1600, 800});
        r.selectFont({-160, 400, QStringLiteral("Times")});
        r.setBkMode(BkMode::Transparent);
        r.setTextColor(0);
        GdiRect box{0, 0, 1600, 800};
        r.drawText(QStringLiteral("88"), &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        int w = int(1600 * scale), h = int(800 * scale);
        QImage image = whiteImage(w, h);
        playInto(&image, r.finish(), QRectF(0, 0, w, h));
        Box b = boundsOf(image, isDark);
        ASSERT_GT(b.count, 0);
        EXPECT_NEAR((b.left + b.right + 1) / 2.0, w / 2.0, 2.0);
        EXPECT_NEAR((b.top + b.bottom + 1) / 2.0, h / 2.0, 2.0);
        // Digits of the Times metrics are half an em wide: two of them nearly fill one em.
        EXPECT_NEAR(b.right - b.left + 1, 160 * scale * 0.9, 160 * scale * 0.1);
    }
}

TEST(TextLayout, ARightToLeftWidgetDrawsNumbersAndSidesAsGdiDoes)
{
    // Chart labels and table cells of the Arabic interface: "-2" keeps its sign in front and
    // DT_LEFT stays the left side of the box.
    const auto draw = [](Qt::LayoutDirection direction, uint32_t format) {
        QImage image = whiteImage(400, 100);
        QPainter p(&image);
        p.setLayoutDirection(direction);
        PainterCanvas c(&p);
        c.selectFont({-60, 400, QStringLiteral("Arial")});
        c.setBkMode(BkMode::Transparent);
        c.setTextColor(0);
        GdiRect box{0, 0, 400, 100};
        c.drawText(QStringLiteral("-2.5"), &box, format | DT_SINGLELINE);
        p.end();
        return image;
    };
    for (uint32_t format : {uint32_t(DT_LEFT), uint32_t(DT_RIGHT), uint32_t(DT_CENTER)}) {
        SCOPED_TRACE(format);
        EXPECT_EQ(draw(Qt::RightToLeft, format), draw(Qt::LeftToRight, format));
    }
    EXPECT_LT(boundsOf(draw(Qt::RightToLeft, DT_LEFT), isDark).left, 20);
}

TEST(TextLayout, CalcRectUsesTimesMetricsAndDrawsNothing)
{
    QImage image = whiteImage(200, 100);
    QPainter p(&image);
    PainterCanvas c(&p);
    c.selectFont({-80, 400, QStringLiteral("Times New Roman")});
    GdiRect r{10, 20, 0, 0};
    int height = c.drawText(QStringLiteral("88"), &r, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right - r.left, 80); // each digit advances half an em
    EXPECT_EQ(height, r.bottom - r.top);
    EXPECT_NEAR(height, 80 * 1.107, 2); // ascent + descent of the Times metrics
    p.end();
    EXPECT_EQ(boundsOf(image, isDark).count, 0);
}

TEST(MetafilePlay, ClipPathsJoinAndRestoreWithinTheOuterClip)
{
    MetafileRecorder r;
    r.setFrame({0, 0, 100, 100});
    r.beginPath();
    r.rectangle({0, 0, 20, 20});
    r.endPath();
    r.selectClipPath(ClipMode::Copy);
    r.beginPath();
    r.rectangle({50, 50, 70, 70});
    r.endPath();
    r.selectClipPath(ClipMode::Or);
    r.fillRect({0, 0, 100, 100}, 0);
    r.restoreClip();
    r.fillRect({90, 0, 100, 10}, 0);
    Metafile m = r.finish();

    QImage image = whiteImage(100, 100);
    {
        QPainter p(&image);
        p.setClipRect(QRect(0, 0, 95, 60)); // the caller's clip holds throughout
        m.play(&p, QRectF(0, 0, 100, 100));
    }
    EXPECT_TRUE(isDark(image, 10, 10));
    EXPECT_TRUE(isDark(image, 60, 55));
    EXPECT_FALSE(isDark(image, 60, 65));
    EXPECT_FALSE(isDark(image, 30, 30));
    EXPECT_TRUE(isDark(image, 92, 5));
    EXPECT_FALSE(isDark(image, 97, 5));
    EXPECT_EQ(boundsOf(image, isDark).count, 400 + 10 * 20 + 5 * 10);
}

TEST(Picture, BitmapRendersUprightIntoAnyRectangle)
{
    QImage image(2, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(1, 0, qRgb(255, 0, 0));
    image.setPixel(0, 1, qRgb(0, 0, 255));
    image.setPixel(1, 1, qRgb(0, 0, 255));
    auto pic = Picture::fromImage(image);
    QImage out = whiteImage(40, 40);
    QPainter p(&out);
    EXPECT_EQ(pic->Render(&p, 10, 10, 20, 20), S_OK);
    EXPECT_EQ(pic->Render(nullptr, 0, 0, 1, 1), E_POINTER);
    p.end();
    EXPECT_EQ(out.pixel(12, 12), qRgb(255, 0, 0));
    EXPECT_EQ(out.pixel(12, 27), qRgb(0, 0, 255));
    EXPECT_EQ(out.pixel(9, 12), qRgb(255, 255, 255));
    EXPECT_EQ(out.pixel(30, 12), qRgb(255, 255, 255));
}

// The same metafile printed into a 1200 dpi PDF and drawn on a 96 dpi image covers the same
// millimetres: the PDF is rasterised by an independent renderer and compared with the image.
TEST(MetafilePlay, SamePhysicalSizeAt96And1200Dpi)
{
    MetafileRecorder r(10.0); // one unit is 0.1 mm
    r.setFrame({0, 0, 1000, 1000});
    r.selectPen(GdiPen::null());
    r.selectBrush(GdiBrush::solid(0));
    r.rectangle({250, 300, 750, 600});
    r.ellipse({100, 700, 300, 900});
    Metafile m = r.finish();
    auto pic = Picture::fromMetafile(m);
    int32_t w = 0;
    pic->get_Width(&w);
    EXPECT_EQ(w, 10000);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString pdf = dir.filePath(QStringLiteral("page.pdf"));
    {
        QPdfWriter writer(pdf);
        writer.setResolution(1200);
        writer.setPageSize(QPageSize(QSizeF(120, 120), QPageSize::Millimeter));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter p(&writer);
        double dots = 100.0 / 25.4 * 1200; // 100 mm at 1200 dpi, 10 mm from the corner
        double at = 10.0 / 25.4 * 1200;
        ASSERT_EQ(
            pic->Render(&p, int(std::lround(at)), int(std::lround(at)), int(std::lround(dots)), int(std::lround(dots))),
            S_OK);
    }
    QProcess run;
    run.start(QStringLiteral("pdftoppm"),
              {QStringLiteral("-r"), QStringLiteral("96"), QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf,
               dir.filePath(QStringLiteral("page"))});
    ASSERT_TRUE(run.waitForFinished(60000));
    ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    QImage printed(dir.filePath(QStringLiteral("page.png")));
    ASSERT_FALSE(printed.isNull());

    int side = int(std::lround(120 / 25.4 * 96));
    EXPECT_NEAR(printed.width(), side, 1);
    QImage screen = whiteImage(side, side);
    screen.setDotsPerMeterX(3780);
    screen.setDotsPerMeterY(3780);
    playInto(&screen, m, QRectF(10 / 25.4 * 96, 10 / 25.4 * 96, 100 / 25.4 * 96, 100 / 25.4 * 96));

    Box a = boundsOf(printed, isDark), b = boundsOf(screen, isDark);
    double mmPerPixel = 25.4 / 96;
    EXPECT_NEAR(a.left * mmPerPixel, 20.0, 0.6); // 10 mm margin + 10 mm to the disc
    EXPECT_NEAR(a.bottom * mmPerPixel, 100.0, 0.6);
    EXPECT_NEAR(a.right * mmPerPixel, 85.0, 0.6);
    EXPECT_NEAR(a.left, b.left, 1);
    EXPECT_NEAR(a.top, b.top, 1);
    EXPECT_NEAR(a.right, b.right, 1);
    EXPECT_NEAR(a.bottom, b.bottom, 1);
    EXPECT_NEAR(a.count, b.count, b.count * 0.03);
}
