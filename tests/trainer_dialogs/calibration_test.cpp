// Calibration: the pure pieces (direction, signal bar, moving average), a session driven by a fake
// device of each kind, and the dialog on screen.
#include "calibration_dialog.h"
#include "support/fake_device.h"

#include "aiming.h"
#include "aiming_trace.h"
#include "app_registry.h"
#include "event_params.h"
#include "gdi/picture.h"
#include "thread/virtual_clock.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QSignalSpy>
#include <QSlider>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace kavro::trainer::test {
namespace {

using kavrodoc::CAiming;

// The camera's picture as the device hands it out: a grey bitmap of one level.
ComPtr<Picture> greyPicture(int w, int h, uint8_t level)
{
    QImage image(w, h, QImage::Format_Grayscale8);
    image.fill(level);
    return Picture::fromImage(std::move(image));
}

ComPtr<CAiming> aimingEndingAt(float x, float y)
{
    auto aiming = CAiming::create();
    aiming->attr()->put_SampleRate(100);
    aiming->trace()->Add(0, 0);
    aiming->trace()->Add(x, y);
    return aiming;
}

ComPtr<IShot> shotOf(CAiming* aiming)
{
    ComPtr<IShot> shot;
    aiming->AddShot(VARIANT_FALSE, shot.put());
    return shot;
}

TEST(CalibrationPieces, DirectionCountsFromStraightDownTowardsPlusX)
{
    EXPECT_EQ(pointDirection(0, 5), 0); // straight below the centre
    EXPECT_EQ(pointDirection(0, 0), 0);
    EXPECT_EQ(pointDirection(0, -5), 180);
    EXPECT_EQ(pointDirection(5, 5), 44); // 45 degrees less the half degree, truncated
    EXPECT_EQ(pointDirection(5, -5), 136);
    EXPECT_EQ(pointDirection(-5, 5), 315);
    EXPECT_EQ(pointDirection(-5, -5), 225);
    EXPECT_EQ(pointDirection(5, 0), 78); // a zero y counts as 1
}

TEST(CalibrationPieces, SignalBarIsRedWhenWeakGreenWhenGoodAndCappedRedAbove300)
{
    using Segments = std::vector<std::pair<std::pair<int, int>, bool>>;
    const auto segments = [](int v, int h) {
        Segments r;
        for (const BarSegment& s : sensingBarSegments(v, h))
            r.push_back({{s.top, s.bottom}, s.red});
        return r;
    };
    EXPECT_EQ(segments(100, 512), (Segments{{{412, 512}, true}}));
    EXPECT_EQ(segments(101, 512), (Segments{{{411, 512}, false}}));
    EXPECT_EQ(segments(300, 512), (Segments{{{212, 512}, false}}));
    EXPECT_EQ(segments(301, 512), (Segments{{{212, 512}, false}, {{211, 212}, true}})); // one step of red
    EXPECT_EQ(segments(0, 100), (Segments{{{100, 100}, true}}));
    EXPECT_EQ(segments(511, 100), (Segments{{{42, 100}, false}, {{1, 42}, true}}));
    EXPECT_EQ(segments(9999, 100), segments(511, 100));
}

TEST(CalibrationPieces, MovingAverageDropsTheOldestFromAFullRing)
{
    CMovingAverage avg(3);
    EXPECT_EQ(avg.average(), 0.0f);
    for (float v : {1.0f, 2.0f, 3.0f})
        avg.Add(v);
    EXPECT_EQ(avg.average(), 2.0f);
    EXPECT_TRUE(avg.isFull());
    avg.Add(7.0f);
    EXPECT_EQ(avg.average(), 4.0f);
    EXPECT_EQ(avg.lastValue(), 7.0f);
    avg.Reset(20);
    EXPECT_EQ(avg.count(), 0);
    EXPECT_EQ(avg.capacity(), 20);
}

class Calibration : public ::testing::Test {
protected:
    CalibrationHost host()
    {
        CalibrationHost h;
        h.clock = &clock;
        h.activityTick = &activity;
        h.playSound = [this](const QString& name) { sounds.push_back(name); };
        return h;
    }
    void coordinates(CAiming* aiming)
    {
        device->fire([&](_IKavroDeviceEvents* s) { s->NewCoordinates(1, aiming, 1); });
    }

    ComPtr<FakeDevice> device = FakeDevice::create();
    VirtualClock clock{5000};
    uint32_t activity = 0;
    std::vector<QString> sounds;
};

TEST_F(Calibration, SerialSensorSessionFollowsSignalPointAndShot)
{
    auto event = kavrodoc::CEventParams::create();
    ComPtr<ITargetParams> target;
    event->get_Target(1, target.put());
    target->put_Ring(1, 155.5f);
    device->event = ComPtr<IEventParams>(event.get());
    device->signalLevel = 250;
    {
        CalibrationSession session(device.get(), host());
        EXPECT_EQ(device->calibrationMode, VARIANT_TRUE);
        EXPECT_EQ(device->resets, 1);
        EXPECT_FLOAT_EQ(session.scaleRadius(), 77.75f);
        EXPECT_EQ(session.circleRadii(), (std::vector<float>{77.75f, 0.3f * 77.75f}));
        session.begin();
        EXPECT_EQ(device->sinkCount(), 1u);
        QSignalSpy repaints(&session, &CalibrationSession::repaintNow);

        auto aiming = aimingEndingAt(3, 4);
        coordinates(aiming.get());
        EXPECT_EQ(session.signalBarValue(), 250);
        EXPECT_EQ(activity, 5000u); // a strong signal counts as activity for the frame
        EXPECT_TRUE(session.pointValid());
        EXPECT_FLOAT_EQ(session.pointX(), 3);
        EXPECT_FLOAT_EQ(session.pointY(), 4);
        EXPECT_EQ(session.direction(), pointDirection(3, 4));
        // Points come faster than the picture is drawn: one repaint per 40 ms at most.
        aiming->trace()->Add(-2, -1);
        coordinates(aiming.get());
        EXPECT_TRUE(session.repaintPending());
        EXPECT_EQ(repaints.count(), 0);
        session.onRepaintTimer();
        EXPECT_EQ(repaints.count(), 1);
        EXPECT_FALSE(session.repaintPending());

        device->signalLevel = 90;
        clock.advance(100);
        aiming->trace()->Add(1, 1);
        coordinates(aiming.get());
        EXPECT_EQ(activity, 5000u);

        auto shot = shotOf(aiming.get());
        device->fire([&](_IKavroDeviceEvents* s) { s->Shot(1, aiming.get(), shot.get()); });
        EXPECT_TRUE(session.shotShown());
        float bx = 0, by = 0;
        shot->get_BreachX(&bx);
        shot->get_BreachY(&by);
        EXPECT_EQ(session.shotX(), bx);
        EXPECT_EQ(session.shotY(), by);
        EXPECT_EQ(sounds, std::vector<QString>{"Shot"});
        // Frozen until the next aiming starts.
        aiming->trace()->Add(20, 20);
        coordinates(aiming.get());
        EXPECT_FLOAT_EQ(session.pointX(), 1);
        device->fire([&](_IKavroDeviceEvents* s) { s->ConcludeAiming(1, aiming.get()); });
        EXPECT_FALSE(session.pointValid());
        device->fire([&](_IKavroDeviceEvents* s) { s->StartAiming(1, aiming.get()); });
        EXPECT_FALSE(session.shotShown());
        coordinates(aiming.get());
        EXPECT_FLOAT_EQ(session.pointX(), 20);
        EXPECT_TRUE(session.pointValid());

        session.end();
        EXPECT_EQ(device->sinkCount(), 0u);
        EXPECT_EQ(device->calibrationMode, VARIANT_FALSE);
        EXPECT_EQ(device->concludes, 1);
    }
    EXPECT_EQ(device->concludes, 1); // ending twice does not conclude twice
}

TEST_F(Calibration, WirelessTargetShowsDistanceOnlyAfterTwentyPointsInTheWorkingCircle)
{
    device->modelVersion = 550;
    device->signalLevel = 4000;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // scale 1, point (5, 5), raw distance 10: 10 m, a working circle of 440 mm.
    device->data = {0, 1.0f, 5, 5, 0, 0, 10.0f, nan, nan};
    CalibrationSession session(device.get(), host());
    session.begin();
    auto aiming = aimingEndingAt(70, 70);
    coordinates(aiming.get());
    EXPECT_EQ(session.signalBarValue(), 425); // 4000 x 425 / 4000
    EXPECT_FLOAT_EQ(session.pointX(), 5); // the target's own reading, not the trace's
    EXPECT_FLOAT_EQ(session.distance(), 10.0f);
    EXPECT_FLOAT_EQ(session.scaleRadius(), 300.0f);
    EXPECT_EQ(session.circleRadii(), (std::vector<float>{300.0f, 220.0f}));
    EXPECT_TRUE(session.inWorkingArea());
    EXPECT_EQ(session.statusLine(), "");
    for (int i = 1; i < 19; ++i)
        coordinates(aiming.get());
    EXPECT_EQ(session.statusLine(), ""); // 19 points
    coordinates(aiming.get());
    EXPECT_EQ(session.statusLine(), "Distance: 10.00 m");
    device->data[7] = 80;
    device->data[8] = 3.7f;
    coordinates(aiming.get());
    EXPECT_EQ(session.statusLine(), "Battery: 80% (3.70V), Distance: 10.00 m");
    // A point outside the working circle starts the count again.
    device->data[2] = 300;
    coordinates(aiming.get());
    EXPECT_FALSE(session.inWorkingArea());
    EXPECT_EQ(session.statusLine(), "Battery: 80% (3.70V)");
    device->data[2] = 5;
    for (int i = 0; i < 19; ++i)
        coordinates(aiming.get());
    EXPECT_EQ(session.statusLine(), "Battery: 80% (3.70V)");
    // The shot lies where the target saw it.
    device->data[2] = 12;
    device->data[3] = -7;
    coordinates(aiming.get());
    auto shot = shotOf(aiming.get());
    device->fire([&](_IKavroDeviceEvents* s) { s->Shot(1, aiming.get(), shot.get()); });
    EXPECT_EQ(session.shotX(), 12);
    EXPECT_EQ(session.shotY(), -7);
}

TEST_F(Calibration, ImageSensorPollsItsPictureAndEndsAtTheShot)
{
    device->modelVersion = 600;
    device->values[0] = Variant::fromBool(true);
    device->values[1] = Variant::fromBool(false);
    device->values[2] = Variant::fromBool(true);
    CalibrationSession session(device.get(), host());
    session.begin();
    EXPECT_TRUE(session.imageOption(0));
    EXPECT_FALSE(session.imageOption(1));
    EXPECT_TRUE(session.imageOption(2));
    EXPECT_FALSE(session.imageOption(7));
    EXPECT_FLOAT_EQ(session.scaleRadius(), 68.5f);

    QSignalSpy finished(&session, &CalibrationSession::finished);
    auto picture = greyPicture(8, 6, 77);
    device->values[6] = Variant::fromObject(static_cast<IPictureDisp*>(picture.get()));
    device->data = {1, 0, 0, 10, -20, 0, 0, 0, 0};
    session.pollImageSensor();
    EXPECT_EQ(session.preview().size(), QSize(8, 6));
    EXPECT_EQ(qGray(session.preview().pixel(3, 3)), 77);
    EXPECT_TRUE(session.targetSeen());
    EXPECT_TRUE(session.pointValid());
    EXPECT_FLOAT_EQ(session.pointX(), 10);
    EXPECT_EQ(session.direction(), pointDirection(10, -20));
    EXPECT_EQ(finished.count(), 0);
    EXPECT_FALSE(session.previewRotation().has_value());
    device->values[9] = Variant(1.0f);
    EXPECT_NEAR(*session.previewRotation(), 1.0 - std::numbers::pi / 2, 1e-6);

    // The options go to the device and, but for the preview, into the settings.
    session.setPreviewGain(120);
    session.setImageOption(1, true);
    EXPECT_TRUE(device->values[1].boolValue());
    uint32_t stored = 0;
    ASSERT_TRUE(SUCCEEDED(OpenAppRegistryKey().readDword("QV_LowLightingMode", &stored)));
    EXPECT_EQ(stored, 1u);
    session.setImageOption(7, true);
    EXPECT_TRUE(device->values[7].boolValue());
    EXPECT_EQ(device->values[8].integer(), 120);

    device->data = {1, 0, 1, 11, -19, 0, 0, 0, 0};
    session.pollImageSensor();
    EXPECT_TRUE(session.shotShown());
    EXPECT_FLOAT_EQ(session.shotX(), 11);
    EXPECT_FLOAT_EQ(session.shotY(), -19);
    EXPECT_EQ(finished.count(), 1);
}

TEST_F(Calibration, PictureMarksTheDirectionOnTheRimAndThePoint)
{
    CalibrationSession session(device.get(), host()); // no event: the fallback scale
    session.begin();
    auto aiming = aimingEndingAt(0, 30);
    coordinates(aiming.get());
    ASSERT_EQ(session.direction(), 0);
    QImage image(250, 250, QImage::Format_RGB32);
    {
        QPainter p(&image);
        paintCalibrationPicture(p, image.rect(), session);
    }
    const int margin = 2 * (250 / 25);
    const int h = (250 - 2 * margin) / 2;
    // The triangle's tip on the rim below the centre, its body outward.
    EXPECT_EQ(image.pixel(128, 125 + h + 2 + margin / 2), qRgb(255, 0, 0)); // beside the vertical line
    EXPECT_NE(image.pixel(128, 125 - h - 2 - margin / 2), qRgb(255, 0, 0));
    // The point at 30 mm below the centre on a 68.5 mm scale, with its cross lines.
    const int py = 125 + int(std::lround(30.0 * h / 68.5));
    EXPECT_EQ(image.pixel(125, py), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(3, py), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(60, 60), qRgb(192, 192, 192));
}

TEST_F(Calibration, DialogRunsTheSessionFromOpeningToClose)
{
    device->ledsAvailable = true;
    device->signalLevel = 320;
    {
        CCalibrationDlg dlg(device.get(), host());
        dlg.show();
        EXPECT_EQ(dlg.windowTitle(), "Kavro calibration");
        EXPECT_EQ(device->calibrationMode, VARIANT_TRUE);
        EXPECT_TRUE(dlg.ledsSlider()->isEnabled());
        EXPECT_EQ(dlg.ledsSlider()->value(), 3);
        EXPECT_FALSE(dlg.lampsSlider()->isEnabled());
        EXPECT_EQ(dlg.lampsSlider()->value(), 0);
        EXPECT_FALSE(dlg.imageOptionBox(0)->isVisible());
        EXPECT_EQ(dlg.piezoLabel()->text(), "Piezo sensitivity: 50.0%");

        auto aiming = aimingEndingAt(-10, 12);
        coordinates(aiming.get());
        EXPECT_EQ(dlg.signalBar()->value(), 320);
        dlg.piezoSlider()->setValue(1023);
        EXPECT_EQ(device->piezo, 1023);
        EXPECT_EQ(dlg.piezoLabel()->text(), "Piezo sensitivity: 100.0%");
        uint32_t stored = 0;
        ASSERT_TRUE(SUCCEEDED(OpenAppRegistryKey().readDword("PiezoSensitivity", &stored)));
        EXPECT_EQ(stored, 1023u);
        dlg.ledsSlider()->setValue(6);
        EXPECT_EQ(device->leds, 6);

        QDir().mkpath(QStringLiteral(KAVRO_BIN_DIR "/../screens"));
        dlg.grab().save(QStringLiteral(KAVRO_BIN_DIR "/../screens/calibration_dialog.png"));
        dlg.accept();
        EXPECT_EQ(device->calibrationMode, VARIANT_FALSE);
        EXPECT_EQ(device->sinkCount(), 0u);
    }
    EXPECT_EQ(device->concludes, 1);
}

TEST_F(Calibration, ImageSensorDialogEndsByItselfAtTheShot)
{
    device->modelVersion = 600;
    device->values[0] = Variant::fromBool(true);
    QTimer::singleShot(0, [this] {
        auto* dlg = qobject_cast<CCalibrationDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        EXPECT_TRUE(dlg->imageOptionBox(0)->isChecked());
        EXPECT_FALSE(dlg->ledsSlider()->isVisible());
        EXPECT_FALSE(dlg->gainSlider()->isVisible());
        dlg->imageOptionBox(7)->setChecked(true);
        EXPECT_TRUE(dlg->gainSlider()->isVisible());
        EXPECT_EQ(dlg->instruction()->text(), "Make shot at the target to calibrate the sensor.");
        device->data = {1, 0, 1, 3, 4, 0, 0, 0, 0};
        dlg->session().pollImageSensor();
    });
    EXPECT_EQ(runCalibrationDialog(nullptr, device.get(), host()), QDialog::Accepted);
    EXPECT_EQ(device->calibrationMode, VARIANT_FALSE);
}

} // namespace
} // namespace kavro::trainer::test
