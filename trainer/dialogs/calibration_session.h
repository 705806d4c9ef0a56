#pragma once
// What the calibration dialog knows and does, without a window: the device in calibration mode,
// its events, the signal level, the aiming point and its direction, the last shot, the wireless
// target's readings and the image sensor's options and preview.
#include "moving_average.h"

#include "kavrodev.h"
#include "thread/clock.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>
#include <optional>

namespace kavro::trainer {

enum class CalibrationVariant { Serial, Wireless, ImageSensor };
CalibrationVariant calibrationVariant(int32_t modelVersion);

// Direction of a point seen from the centre in whole degrees 0..359: 0 straight down (y grows
// downward), 90 towards +x, as the picture's rim marker is placed.
int pointDirection(float x, float y);

// The signal bar: value 0..511 over `height` pixels; red up to 100, green above, and above 300
// a red cap over green. Each segment is [top, bottom) in pixels from the top.
struct BarSegment {
    int top;
    int bottom;
    bool red;
};
std::vector<BarSegment> sensingBarSegments(int value, int height);

struct CalibrationHost {
    Clock* clock = nullptr; // for the activity tick
    uint32_t* activityTick = nullptr; // the frame's last-signal time; may be null
    std::function<void(const QString&)> playSound;
};

// Image-sensor options: check box id, device value index and settings value (none for preview).
struct ImageSensorOption {
    uint16_t controlId;
    int32_t valueIndex;
    const char* settingsName;
};
const std::array<ImageSensorOption, 4>& imageSensorOptions();

class CalibrationSession final : public QObject {
    Q_OBJECT
public:
    static constexpr int kPreviewGainMin = 10;
    static constexpr int kPreviewGainMax = 500;

    // Puts the device into calibration mode (after a reset of its aiming) until end().
    CalibrationSession(IKavroDevice* device, CalibrationHost host, QObject* parent = nullptr);
    ~CalibrationSession() override;

    // Listens to the device's events; image sensors are polled every 100 ms from now on.
    void begin();
    // Stops listening, ends calibration mode and concludes the aiming in progress. Idempotent.
    void end();

    // Device events.
    void onStartAiming();
    void onNewCoordinates(int32_t subDevice, IAiming* aiming, int32_t count);
    void onShot(int32_t subDevice, IAiming* aiming, IShot* shot);
    void onConcludeAiming();
    // Timers: the coalesced repaint (40 ms) and the image sensor's poll (100 ms).
    void onRepaintTimer();
    void pollImageSensor();

    // Controls.
    int piezoPosition() const { return piezo_; }
    void setPiezo(int position);
    int leds() const { return leds_; }
    int lamps() const { return lamps_; }
    void setLeds(int position);
    void setLamps(int position);
    bool ledsAvailable() const { return ledsAvailable_; }
    bool lampsAvailable() const { return lampsAvailable_; }
    bool imageOption(int valueIndex) const;
    void setImageOption(int valueIndex, bool on);
    int previewGain() const { return gain_; }
    void setPreviewGain(int position);

    // State for the picture.
    int32_t modelVersion() const { return modelVersion_; }
    CalibrationVariant variant() const { return calibrationVariant(modelVersion_); }
    int signalBarValue() const { return bar_; }
    bool pointValid() const { return pointValid_; }
    float pointX() const { return x_; }
    float pointY() const { return y_; }
    int direction() const { return direction_; }
    bool shotShown() const { return shotShown_; }
    float shotX() const { return shotX_; }
    float shotY() const { return shotY_; }
    bool targetSeen() const { return targetSeen_; }
    bool repaintPending() const { return repaintPending_; }
    // The scale radius R in mm (what the outer circle stands for) and the white circles' radii.
    float scaleRadius() const;
    std::vector<float> circleRadii() const;
    float distance() const { return distance_; }
    bool inWorkingArea() const { return inWorkingArea_; }
    // The wireless target's status line, empty when nothing is known.
    QString statusLine() const;
    const QImage& preview() const { return preview_; }
    // The preview's rotation, radians; none when the device gives no angle.
    std::optional<double> previewRotation() const;

signals:
    void repaintNow();
    // The image sensor saw the calibration shot: the dialog ends by itself.
    void finished();
    // The signal bar's value changed.
    void signalChanged(int value);

private:
    class Sink;
    void scheduleRepaint();
    void setPoint(float x, float y, bool valid);
    void readWirelessData();

    ComPtr<IKavroDevice> device_;
    CalibrationHost host_;
    ComPtr<Sink> sink_;
    uint32_t cookie_ = 0;
    bool advised_ = false;
    bool ended_ = false;
    QTimer repaintTimer_;
    QTimer pollTimer_;

    int32_t modelVersion_ = 0;
    bool ledsAvailable_ = false;
    bool lampsAvailable_ = false;
    ComPtr<ITargetParams> target_;
    bool targetSeen_ = false;
    bool repaintPending_ = false;
    bool shotShown_ = false;
    bool pointValid_ = false;
    int direction_ = -1;
    float shotX_ = 0, shotY_ = 0;
    float x_ = 0, y_ = 0;
    // The last point the device's Data call gave (wireless targets and image sensors).
    float dataX_ = 0, dataY_ = 0;
    float battery_;
    float voltage_;
    float distance_ = 5.0f;
    float scale_ = 0.18f;
    bool inWorkingArea_ = false;
    CMovingAverage average_{20};
    QImage preview_;
    int bar_ = 0;
    int piezo_ = 5;
    int leds_ = 0;
    int lamps_ = 0;
    int gain_ = 250;
    bool options_[8] = {};
};

} // namespace kavro::trainer
