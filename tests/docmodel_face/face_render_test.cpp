// The faces of the bundled events as pixels: colours at computed radii, the same physical size at
// any resolution, and a PNG of every face for a person to look at.
#include "event_manager.h"
#include "face_test_support.h"
#include "com/classregistry.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <cmath>

using namespace kavrodoc;
using namespace facetest;

namespace {

const QString binDir = QStringLiteral(KAVRO_BIN_DIR);

class BundledFaces : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("KAVRO_EVENTS_DIR", binDir.toLocal8Bit());
        ASSERT_EQ(createInstance(CLSID_EventManager, &manager), S_OK);
    }
    void TearDown() override { qunsetenv("KAVRO_EVENTS_DIR"); }

    ComPtr<IEventParams> event(const QString& shortName)
    {
        ComPtr<IEventParams> e;
        EXPECT_EQ(manager->FindByShortName(shortName, e.put()), S_OK) << shortName.toStdString();
        return e;
    }

    ComPtr<IEventManager> manager;
};

constexpr QRgb kUnpainted = 0xFFFF00FF;

// The face drawn into an image of `pixelsPerMm` pixels per millimetre of the form.
QImage render(IEventParams* e, int32_t subTarget, double pixelsPerMm, bool scoreRings = true)
{
    auto picture = appearance(e, subTarget, true, scoreRings);
    if (!picture)
        return {};
    int32_t w = 0, h = 0;
    picture->get_Width(&w);
    picture->get_Height(&h);
    QImage image(int(std::lround(w / 100.0 * pixelsPerMm)), int(std::lround(h / 100.0 * pixelsPerMm)),
                 QImage::Format_RGB32);
    image.fill(kUnpainted);
    QPainter painter(&image);
    EXPECT_EQ(picture->Render(&painter, 0, 0, image.width(), image.height()), S_OK);
    return image;
}

// Colours met going out from the centre along the 45 degree diagonal (clear of the numbers on the
// axes), with the radius in millimetres of each pixel.
struct Sample {
    double radiusMm;
    QRgb color;
};

std::vector<Sample> diagonal(const QImage& image, double pixelsPerMm)
{
    std::vector<Sample> out;
    const double c = image.width() / 2.0;
    for (int t = 0; c + t + 0.5 < image.width(); ++t) {
        const double px = c + t + 0.5;
        const double r = std::hypot(px - c, px - c) / pixelsPerMm;
        out.push_back({r, image.pixel(int(px), int(px)) | 0xFF000000});
    }
    return out;
}

QRgb colorAt(const std::vector<Sample>& s, double radiusMm)
{
    const Sample* best = &s.front();
    for (const Sample& x : s)
        if (std::abs(x.radiusMm - radiusMm) < std::abs(best->radiusMm - radiusMm))
            best = &x;
    return best->color;
}

// True when some pixel within a pixel of the line (the ring's outer edge inward by its width) has
// the colour.
bool lineAt(const std::vector<Sample>& s, double outerMm, double widthMm, double pixelsPerMm, QRgb color)
{
    const double slack = 1.5 / pixelsPerMm;
    for (const Sample& x : s)
        if (x.radiusMm >= outerMm - widthMm - slack && x.radiusMm <= outerMm + slack && x.color == color)
            return true;
    return false;
}

constexpr QRgb kBlack = 0xFF000000, kWhite = 0xFFFFFFFF;

TEST_F(BundledFaces, AirRiflePixels)
{
    auto e = event(QStringLiteral("AR10"));
    ASSERT_TRUE(e);
    const double k = 20;
    QImage image = render(e.get(), 1, k);
    ASSERT_EQ(image.size(), QSize(1600, 1600));
    auto s = diagonal(image, k);
    EXPECT_EQ(image.pixel(0, 0) | 0xFF000000, kWhite); // the form's background
    EXPECT_EQ(image.pixel(1599, 1599) | 0xFF000000, kWhite);
    EXPECT_EQ(colorAt(s, 30.0), kWhite); // outside ring 1
    EXPECT_EQ(colorAt(s, 21.5), kWhite); // between rings 1 and 2
    for (double ring : {22.75, 20.25, 17.75}) // rings 1 to 3: black lines on white
        EXPECT_TRUE(lineAt(s, ring, 0.1, k, kBlack)) << ring;
    EXPECT_EQ(colorAt(s, 14.0), kBlack); // the black (ring 4 is its edge)
    EXPECT_EQ(colorAt(s, 11.5), kBlack);
    for (double ring : {12.75, 10.25, 7.75, 5.25, 2.75}) // rings 5 to 9: white lines on the black
        EXPECT_TRUE(lineAt(s, ring, 0.1, k, kWhite)) << ring;
    // Ring 4 is the black's edge: no line there, the black reaches out to 15.25 mm.
    for (const Sample& x : s) {
        if (x.radiusMm > 14.0 && x.radiusMm < 15.2) {
            EXPECT_EQ(x.color, kBlack) << x.radiusMm;
        }
    }
    EXPECT_EQ(colorAt(s, 15.35), kWhite);
}

TEST_F(BundledFaces, AirPistolPixels)
{
    auto e = event(QStringLiteral("AP10"));
    ASSERT_TRUE(e);
    const double k = 8;
    QImage image = render(e.get(), 1, k);
    ASSERT_EQ(image.size(), QSize(1360, 1360));
    auto s = diagonal(image, k);
    EXPECT_EQ(colorAt(s, 80.0), kWhite);
    EXPECT_EQ(colorAt(s, 74.0), kWhite);
    for (double ring : {77.75, 69.75, 61.75, 53.75, 45.75, 37.75}) // rings 1 to 6
        EXPECT_TRUE(lineAt(s, ring, 0.2, k, kBlack)) << ring;
    EXPECT_EQ(colorAt(s, 25.0), kBlack);
    for (double ring : {21.75, 13.75, 5.75}) // rings 8 to 10 inside the black
        EXPECT_TRUE(lineAt(s, ring, 0.2, k, kWhite)) << ring;
    EXPECT_TRUE(lineAt(s, 2.5, 0.0, k, kWhite)); // the inner ten, one pixel wide
    EXPECT_EQ(colorAt(s, 4.0), kBlack);
}

// Qt's own picture format rescales by the ratio of device resolutions; ours must not.
TEST_F(BundledFaces, SamePhysicalSizeAt96And1200Dpi)
{
    auto e = event(QStringLiteral("AR10"));
    ASSERT_TRUE(e);
    auto picture = appearance(e.get(), 1, true, false);
    ASSERT_TRUE(picture);
    int32_t w = 0, h = 0;
    picture->get_Width(&w);
    picture->get_Height(&h);
    EXPECT_EQ(w, 8000);
    EXPECT_EQ(h, 8000);
    for (int dpi : {96, 1200}) {
        SCOPED_TRACE(dpi);
        const int side = int(std::lround(w * dpi / 2540.0));
        QImage image(side + 20, side + 20, QImage::Format_RGB32);
        image.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
        image.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
        image.fill(kUnpainted);
        {
            QPainter painter(&image);
            ASSERT_EQ(picture->Render(&painter, 10, 10, side, side), S_OK);
        }
        // The painted form and the black along the middle row, in millimetres.
        const int y = 10 + side / 2;
        int painted = 0, black = 0;
        for (int x = 0; x < image.width(); ++x) {
            QRgb c = image.pixel(x, y) | 0xFF000000;
            painted += c != kUnpainted;
            black += c == kBlack;
        }
        const double mmPerPixel = 25.4 / dpi;
        EXPECT_NEAR(painted * mmPerPixel, 80.0, 1.5 * mmPerPixel);
        EXPECT_NEAR(black * mmPerPixel, 30.5, 1.5 * mmPerPixel);
    }
}

TEST_F(BundledFaces, EveryFaceIsWrittenForReview)
{
    const QString facesDir = QStringLiteral(KAVRO_FACES_DIR);
    ASSERT_TRUE(QDir().mkpath(facesDir));
    const QStringList files = QDir(binDir).entryList({QStringLiteral("*.evl")}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 16);
    for (const QString& file : files) {
        const QString shortName = QFileInfo(file).completeBaseName();
        auto e = event(shortName);
        ASSERT_TRUE(e);
        int32_t count = 0;
        e->get_TargetCount(&count);
        for (int32_t sub = 1; sub <= count; ++sub) {
            SCOPED_TRACE(shortName.toStdString() + " " + std::to_string(sub));
            float formWidth = 0, formHeight = 0;
            ComPtr<ITargetParams> t;
            ASSERT_EQ(e->get_Target(sub, t.put()), S_OK);
            t->get_FormWidth(&formWidth);
            t->get_FormHeight(&formHeight);
            ASSERT_GT(formWidth, 0);
            QImage image = render(e.get(), sub, 800.0 / std::max(formWidth, formHeight));
            ASSERT_FALSE(image.isNull());
            // Fully painted, with more than one colour.
            bool unpainted = false, varied = false;
            for (int y = 0; y < image.height(); y += 4)
                for (int x = 0; x < image.width(); x += 4) {
                    unpainted |= (image.pixel(x, y) | 0xFF000000) == kUnpainted;
                    varied |= image.pixel(x, y) != image.pixel(0, 0);
                }
            EXPECT_FALSE(unpainted);
            EXPECT_TRUE(varied);
            const QString name = count == 1 ? shortName : shortName + QStringLiteral("-%1").arg(sub);
            EXPECT_TRUE(image.save(QDir(facesDir).filePath(name + QStringLiteral(".png"))));
        }
    }
}

} // namespace
