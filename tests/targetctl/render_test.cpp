// What the control draws, checked pixel by pixel on offscreen images. The event's form is 100 mm
// square in a 200 x 200 window: 2 px per mm, centre at (100, 100), x mm at 100 + 2x.
#include "target_support.h"

#include "target_widget.h"

#include <QDir>

using namespace kt;

namespace {

constexpr int kSize = 200;
constexpr OLE_COLOR kBlue = rgb(0, 0, 255);
constexpr OLE_COLOR kMagenta = rgb(255, 0, 255);
const QRgb kWhite = qRgb(255, 255, 255);

struct Fixture {
    ComPtr<CTarget> target = makeTarget();
    QWidget* widget = nullptr;

    explicit Fixture(const char* eventName, int size = kSize)
    {
        EXPECT_EQ(target->CreateWidget(nullptr, &widget), S_OK);
        widget->resize(size, size);
        target->put_Event(makeEvent(eventName).get());
        target->put_DefaultBackground(VARIANT_FALSE);
        target->put_TraceThickness(0); // one-pixel traces land on exact pixels
        target->put_BreachColor(kBlue);
    }
    ~Fixture() { delete widget; }

    QImage bitmap() { return imageOf(target.get(), false, widget->width(), widget->height()); }
};

int px(float mm)
{
    return 100 + int(2 * mm);
}

void saveForReview(const QImage& image, const char* name)
{
    image.save(QDir(KAVRO_BIN_DIR).filePath(QStringLiteral("../%1.png").arg(QLatin1String(name))));
}

} // namespace

TEST(TargetRender, TraceColoursChangeAtTheShotAndTheBreachSitsAtItsPixels)
{
    Fixture f("TGT-R1");
    f.target->Add(makeAiming(horizontalLine(), 40, {10, -10}).get());
    QImage image = f.bitmap();
    saveForReview(image, "target_render_trace");

    EXPECT_EQ(image.pixel(px(-20), 100), rgbOf(rgb(64, 192, 32)));
    EXPECT_EQ(image.pixel(px(20), 100), rgbOf(rgb(255, 0, 0)));
    EXPECT_EQ(image.pixel(px(0) - 1, 100), rgbOf(rgb(64, 192, 32)));
    EXPECT_EQ(image.pixel(px(-20), 101), kWhite);

    // Calibre 4.5 mm -> 900 * 200 / 10000 = 9 px, box from (120 - 4, 80 - 4) with width 9.
    EXPECT_EQ(image.pixel(120, 80), rgbOf(kBlue));
    EXPECT_EQ(image.pixel(116, 80), rgbOf(kBlue));
    EXPECT_EQ(image.pixel(124, 80), rgbOf(kBlue));
    EXPECT_EQ(image.pixel(115, 80), kWhite);
    EXPECT_EQ(image.pixel(125, 80), kWhite);
}

TEST(TargetRender, IntervalColoursFollowTheProperties)
{
    Fixture f("TGT-R2");
    f.target->Add(makeAiming(horizontalLine(), 40, {10, -10}).get());
    f.target->put_TraceColor(kBlue);
    f.target->put_TraceAfterShotColor(kMagenta);
    // 0.2 s at 50 samples per second: the 10 samples before the shot.
    f.target->AddTraceInterval(-0.2f, 0, rgb(0, 128, 128));
    QImage image = f.bitmap();
    EXPECT_EQ(image.pixel(px(-20), 100), rgbOf(kBlue));
    EXPECT_EQ(image.pixel(px(-5), 100), rgbOf(rgb(0, 128, 128)));
    EXPECT_EQ(image.pixel(px(20), 100), rgbOf(kMagenta));

    f.target->ResetIntervals();
    image = f.bitmap();
    EXPECT_EQ(image.pixel(px(-5), 100), rgbOf(kBlue));
}

TEST(TargetRender, MetafileAndBitmapAgree)
{
    Fixture f("TGT-R3");
    f.target->Add(makeAiming(horizontalLine(), 40, {10, -10}).get());
    f.target->put_Label(1, "Label");
    f.target->put_Match(VARIANT_FALSE);
    ComPtr<ITargetElement> element;
    f.target->AddElement(elementRectangle, -45, -45, 10, 10, element.put());
    element->put_Fill(VARIANT_TRUE);
    element->put_BodyColor(kMagenta);
    QImage bitmap = f.bitmap();
    QImage metafile = imageOf(f.target.get(), true, kSize, kSize);
    saveForReview(metafile, "target_render_metafile");
    int differing = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            differing += bitmap.pixel(x, y) != metafile.pixel(x, y);
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(bitmap.pixel(px(-40), px(-40)), rgbOf(kMagenta));
    EXPECT_EQ(bitmap.pixel(kSize - 3, 2), rgbOf(rgb(255, 255, 0))); // the sighting mark
}

TEST(TargetRender, OnScreenDrawingMatchesTheImage)
{
    Fixture f("TGT-R4");
    f.target->Add(makeAiming(horizontalLine(), 40, {10, -10}).get());
    QImage screen = f.widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(screen, f.bitmap());
}

TEST(TargetRender, SmallBreachesAreSixPixelsWide)
{
    Fixture f("TGT-R5", 100); // 1 px per mm: 4 px, drawn as 6
    f.target->Add(makeAiming(horizontalLine(), 40, {0, -20}).get());
    QImage image = f.bitmap();
    int coloured = 0;
    for (int x = 0; x < 100; ++x)
        coloured += image.pixel(x, 30) == rgbOf(kBlue);
    EXPECT_EQ(coloured, 6);
    EXPECT_EQ(image.pixel(47, 30), rgbOf(kBlue)); // from 50 - 3
    EXPECT_EQ(image.pixel(46, 30), kWhite);
}

TEST(TargetRender, HiddenShotsGetABlackCross)
{
    Fixture f("TGT-R6");
    auto aiming = makeAiming(horizontalLine(), 40, {10, -10});
    ComPtr<IShot> shot;
    aiming->Shot(1, shot.put());
    shot->put_Hidden(VARIANT_TRUE);
    f.target->Add(aiming.get());
    EXPECT_EQ(f.bitmap().pixel(120, 80), qRgb(0, 0, 0));
}

TEST(TargetRender, InvalidSamplesLeaveGapsAndLoneSamplesVanish)
{
    Fixture f("TGT-R7");
    std::vector<Sample> samples = horizontalLine();
    const float nan = std::nanf("");
    samples[40].x = nan; // x = 0
    samples[19].x = samples[21].x = nan; // x = -21 and -19 leave x = -20 alone
    f.target->Add(makeAiming(samples, -1, {}).get());
    QImage image = f.bitmap();
    EXPECT_EQ(image.pixel(px(-30), 100), rgbOf(rgb(64, 192, 32)));
    EXPECT_EQ(image.pixel(px(0), 100), kWhite);
    EXPECT_EQ(image.pixel(px(-20), 100), kWhite);
    EXPECT_EQ(image.pixel(px(10), 100), rgbOf(rgb(64, 192, 32)));
}

TEST(TargetRender, LiveTracesShowTheirHeadingAndGrowIncrementally)
{
    Fixture f("TGT-R8");
    f.target->put_TraceHeadingColor(kMagenta);
    std::vector<Sample> firstHalf = horizontalLine();
    firstHalf.resize(41);
    auto aiming = makeAiming(firstHalf, -1, {}, false);
    f.target->Add(aiming.get());
    QImage before = f.widget->grab().toImage();
    // 0.1 s at 50 per second: the last 5 samples (x = -5 .. 0) in the heading colour.
    EXPECT_EQ(before.pixel(px(-2), 100), rgbOf(kMagenta));
    EXPECT_EQ(before.pixel(px(-10), 100), rgbOf(rgb(64, 192, 32)));
    EXPECT_EQ(before.pixel(px(20), 100), kWhite);

    ComPtr<IAimingTrace> trace;
    aiming->get_Trace(trace.put());
    for (int x = 1; x <= 40; ++x)
        trace->Add(float(x), 0);
    ASSERT_EQ(f.target->UpdateAiming(aiming.get()), S_OK);
    QImage after = f.widget->grab().toImage();
    saveForReview(after, "target_render_live");
    EXPECT_EQ(after.pixel(px(38), 100), rgbOf(kMagenta));
    EXPECT_EQ(after.pixel(px(20), 100), rgbOf(rgb(64, 192, 32)));
    // The incremental drawing leaves what a full paint would show.
    EXPECT_EQ(after.convertToFormat(QImage::Format_RGB32), f.bitmap());
}

TEST(TargetRender, SplitAtTheShotPhase)
{
    Fixture f("TGT-R9");
    // Samples 1 mm apart; the shot falls half-way through the step to sample 40 (x = 0).
    std::vector<Sample> samples;
    for (int x = -40; x <= 40; ++x)
        samples.push_back({float(x) * 10, 0}); // 10 mm per sample: 20 px per step
    f.target->Add(makeAiming(samples, 44, {0, 40}, true, 50, 0.5).get());
    // The shot's sample is index 44 (x = 40 mm); the step from 43 (30 mm) splits at 35 mm.
    QImage image = f.bitmap();
    EXPECT_EQ(image.pixel(px(32), 100), rgbOf(rgb(64, 192, 32)));
    EXPECT_EQ(image.pixel(px(38), 100), rgbOf(rgb(255, 0, 0)));
}

TEST(TargetRender, WithoutAnEventOnlyTheEmptyPictureIsPainted)
{
    auto t = makeTarget();
    QWidget* widget = nullptr;
    ASSERT_EQ(t->CreateWidget(nullptr, &widget), S_OK);
    widget->resize(50, 50);
    t->Add(makeAiming(horizontalLine(), 40, {0, 0}).get());
    QImage image = widget->grab().toImage();
    EXPECT_EQ(image.pixel(25, 25), rgbOf(systemColor(COLOR_WINDOW)));
    QWidget* second = nullptr;
    EXPECT_EQ(t->CreateWidget(nullptr, &second), E_UNEXPECTED);
    delete widget;
}

TEST(TargetRender, TheEventsFaceIsDrawnUnderTheShots)
{
    auto t = makeTarget();
    QWidget* widget = nullptr;
    ASSERT_EQ(t->CreateWidget(nullptr, &widget), S_OK);
    widget->resize(kSize, kSize);
    ASSERT_EQ(t->put_EventShortName("AR10"), S_OK);
    std::vector<Sample> spiral;
    for (int i = 0; i < 120; ++i)
        spiral.push_back({float(i) * 0.05f * std::cos(i * 0.2f), float(i) * 0.05f * std::sin(i * 0.2f)});
    t->Add(makeAiming(spiral, 90, {1.5f, -2.0f}).get());
    QImage image = widget->grab().toImage();
    saveForReview(image, "target_render_face");
    ComPtr<IEventParams> event;
    t->get_Event(event.put());
    ComPtr<ITargetParams> params;
    event->get_Target(1, params.put());
    OLE_COLOR black = 0, background = 0;
    params->get_BlackColor(&black);
    params->get_BackgroundColor(&background);
    // The black of an air rifle target is 30.5 mm across: a point 12 mm right of the centre,
    // beyond the trace, is in the black; a corner is background.
    float form = 0;
    params->get_FormWidth(&form);
    const int right = 100 + int(12.0f * kSize / form);
    EXPECT_EQ(image.pixel(right, 100), rgbOf(black));
    EXPECT_EQ(image.pixel(3, 3), rgbOf(background));
    delete widget;
}
