#include "calibration_session.h"

#include "app_registry.h"
#include "dialog_texts.h"
#include "gdi/picture.h"

#include "com/connection.h"

#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

namespace kavro::trainer {

namespace {

const std::array<ImageSensorOption, 4> kImageOptions = {{
    {1094, 0, "QV_IndoorMode"},
    {1098, 1, "QV_LowLightingMode"},
    {1096, 2, "QV_FilterForeignShots"},
    {1099, 7, nullptr},
}};

constexpr int32_t kPreviewGainValue = 8;
constexpr int32_t kCameraImageValue = 6;
constexpr int32_t kTargetAngleValue = 9;

void writeSetting(const QString& name, uint32_t value)
{
    const SettingsKey root = OpenAppRegistryKey();
    if (root.isValid())
        root.writeDword(name, value);
}

// The camera's grey picture as the device hands it out: a bitmap picture, rendered back to its
// pixels (96 dpi, as the device made it) so the dialog can scale and rotate it.
QImage greyImageOf(const Variant& v)
{
    if ((v.vt() != VT_UNKNOWN && v.vt() != VT_DISPATCH) || !v.object())
        return {};
    ComPtr<IUnknown> object(v.object());
    ComPtr<IPicture> picture = object.query<IPicture>();
    int16_t type = PICTYPE_NONE;
    int32_t cx = 0, cy = 0;
    if (!picture || FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP || FAILED(picture->get_Width(&cx))
        || FAILED(picture->get_Height(&cy)))
        return {};
    const auto pixels = [](int32_t himetric) { return int(std::lround(himetric * 96.0 / 2540.0)); };
    const int w = pixels(cx), h = pixels(cy);
    if (w <= 0 || h <= 0 || int64_t(w) * h > 64ll * 1024 * 1024)
        return {};
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    picture->Render(&painter, 0, 0, w, h);
    painter.end();
    return image.convertToFormat(QImage::Format_Grayscale8);
}

} // namespace

CalibrationVariant calibrationVariant(int32_t modelVersion)
{
    if (modelVersion >= ModelVersion::ImageSensor)
        return CalibrationVariant::ImageSensor;
    if (modelVersion >= ModelVersion::FirstUsb)
        return CalibrationVariant::Wireless;
    return CalibrationVariant::Serial;
}

int pointDirection(float x, float y)
{
    const double ay = y == 0 ? 1.0 : std::fabs(double(y));
    int d = int((std::atan2(double(x), ay) - 0.008726646) / 0.017453292);
    if (y < 0)
        d = 180 - d;
    if (d < 0)
        d += 360;
    return d;
}

std::vector<BarSegment> sensingBarSegments(int value, int height)
{
    value = std::clamp(value, 0, 511);
    const auto topOf = [height](int v) { return height - int((int64_t(v) * height) >> 9); };
    if (value <= 100)
        return {{topOf(value), height, true}};
    if (value <= 300)
        return {{topOf(value), height, false}};
    return {{topOf(300), height, false}, {topOf(value), topOf(300), true}};
}

const std::array<ImageSensorOption, 4>& imageSensorOptions()
{
    return kImageOptions;
}

class CalibrationSession::Sink final : public ComObject<Sink, _IKavroDeviceEvents> {
public:
    explicit Sink(CalibrationSession* owner) : owner_(owner) { }
    void detach() { owner_ = nullptr; }

    HRESULT StartAiming(int32_t, IAiming*) override
    {
        if (owner_)
            owner_->onStartAiming();
        return S_OK;
    }
    HRESULT NewCoordinates(int32_t sub, IAiming* aiming, int32_t count) override
    {
        if (owner_)
            owner_->onNewCoordinates(sub, aiming, count);
        return S_OK;
    }
    HRESULT Shot(int32_t sub, IAiming* aiming, IShot* shot) override
    {
        if (owner_)
            owner_->onShot(sub, aiming, shot);
        return S_OK;
    }
    HRESULT ConcludeAiming(int32_t, IAiming*) override
    {
        if (owner_)
            owner_->onConcludeAiming();
        return S_OK;
    }
    HRESULT FinalConcludeAiming(int32_t) override { return S_OK; }
    HRESULT PulseChanged(int32_t, int32_t) override { return S_OK; }
    HRESULT Trigger(int32_t, int32_t) override { return S_OK; }
    HRESULT HeartBeat(int32_t, DATE, DATE) override { return S_OK; }
    HRESULT Disconnected() override { return S_OK; }
    HRESULT Reconnected() override { return S_OK; }
    HRESULT Timeout(int32_t) override { return S_OK; }

private:
    CalibrationSession* owner_;
};

CalibrationSession::CalibrationSession(IKavroDevice* device, CalibrationHost host, QObject* parent)
    : QObject(parent), device_(device), host_(std::move(host)), battery_(std::numeric_limits<float>::quiet_NaN()),
      voltage_(std::numeric_limits<float>::quiet_NaN())
{
    repaintTimer_.setSingleShot(true);
    repaintTimer_.setInterval(40);
    connect(&repaintTimer_, &QTimer::timeout, this, &CalibrationSession::onRepaintTimer);
    pollTimer_.setInterval(100);
    connect(&pollTimer_, &QTimer::timeout, this, &CalibrationSession::pollImageSensor);
    if (!device_)
        return;
    device_->get_ModelVersion(&modelVersion_);
    VARIANT_BOOL available = VARIANT_FALSE;
    ledsAvailable_ = SUCCEEDED(device_->get_LedsBrightnessAvailable(&available)) && isTrue(available);
    available = VARIANT_FALSE;
    lampsAvailable_ = SUCCEEDED(device_->get_LampsBrightnessAvailable(&available)) && isTrue(available);
    ComPtr<IEventParams> event;
    if (SUCCEEDED(device_->get_Event(1, event.put())) && event)
        event->get_Target(1, target_.put());
    int32_t value = 0;
    if (SUCCEEDED(device_->get_PiezoSensitivity(1, &value)))
        piezo_ = std::clamp(value, 5, 1023);
    if (ledsAvailable_ && SUCCEEDED(device_->get_LedsBrightness(&value)))
        leds_ = std::clamp(value, 0, 7);
    if (lampsAvailable_ && SUCCEEDED(device_->get_LampsBrightness(&value)))
        lamps_ = std::clamp(value, 0, 7);
    device_->Reset(1);
    device_->put_CalibrationMode(1, VARIANT_TRUE);
}

CalibrationSession::~CalibrationSession()
{
    end();
}

void CalibrationSession::begin()
{
    if (!device_ || advised_ || ended_)
        return;
    sink_ = Sink::create(this);
    advised_ = SUCCEEDED(adviseSink(device_.get(), _IKavroDeviceEvents::iid, sink_->identity(), &cookie_));
    if (variant() == CalibrationVariant::ImageSensor) {
        for (const ImageSensorOption& o : kImageOptions) {
            Variant v;
            bool on = false;
            if (o.settingsName && SUCCEEDED(device_->get_Value(o.valueIndex, &v)) && SUCCEEDED(v.toBool(&on)))
                options_[o.valueIndex] = on;
        }
        pollTimer_.start();
    }
}

void CalibrationSession::end()
{
    if (ended_)
        return;
    ended_ = true;
    repaintTimer_.stop();
    pollTimer_.stop();
    if (sink_)
        sink_->detach();
    if (!device_)
        return;
    if (advised_)
        unadviseSink(device_.get(), _IKavroDeviceEvents::iid, cookie_);
    advised_ = false;
    device_->put_CalibrationMode(1, VARIANT_FALSE);
    device_->ConcludeCurrentAiming(1);
}

void CalibrationSession::onStartAiming()
{
    shotShown_ = false;
}

void CalibrationSession::onNewCoordinates(int32_t subDevice, IAiming* aiming, int32_t)
{
    if (shotShown_ || !device_)
        return;
    int32_t level = 0;
    device_->get_SignalLevel(subDevice, &level);
    if (level > 100 && host_.activityTick && host_.clock)
        *host_.activityTick = host_.clock->tickMs();
    if (modelVersion_ >= ModelVersion::FirstUsb)
        level = int32_t(int64_t(level) * 425 / 4000);
    if (level != bar_) {
        bar_ = level;
        emit signalChanged(bar_);
    }

    float x = x_, y = y_;
    ComPtr<IRange> range;
    int32_t last = 0;
    if (aiming && SUCCEEDED(aiming->Range(0, 0, range.put())) && range && SUCCEEDED(range->get_Last(&last))) {
        range->get_x(last, &x);
        range->get_y(last, &y);
    }
    if (variant() == CalibrationVariant::Wireless) {
        readWirelessData();
        x = dataX_;
        y = dataY_;
    }
    setPoint(x, y, true);
}

void CalibrationSession::readWirelessData()
{
    float v[9] = {};
    if (FAILED(device_->Data(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8])))
        return;
    scale_ = v[1];
    dataX_ = v[2];
    dataY_ = v[3];
    battery_ = v[7];
    voltage_ = v[8];
    distance_ = scale_ * v[6];
    const float working = std::max(0.0f, distance_ * 0.06f * 1000.0f - 160.0f);
    if (std::isfinite(distance_) && std::hypot(dataX_, dataY_) <= working / 2) {
        inWorkingArea_ = true;
        average_.Add(distance_);
    } else {
        inWorkingArea_ = false;
        average_.Reset(20);
    }
}

void CalibrationSession::setPoint(float x, float y, bool valid)
{
    const int direction = pointDirection(x, y);
    if (pointValid_ == valid && direction == direction_ && x == x_ && y == y_)
        return;
    x_ = x;
    y_ = y;
    direction_ = direction;
    pointValid_ = valid;
    scheduleRepaint();
}

void CalibrationSession::scheduleRepaint()
{
    if (repaintPending_)
        return;
    repaintPending_ = true;
    repaintTimer_.start();
}

void CalibrationSession::onRepaintTimer()
{
    repaintPending_ = false;
    repaintTimer_.stop();
    emit repaintNow();
}

void CalibrationSession::onShot(int32_t, IAiming*, IShot* shot)
{
    if (shot) {
        shot->get_BreachX(&shotX_);
        shot->get_BreachY(&shotY_);
    }
    // The sensors of wireless targets and image sensors know better where the shot went than
    // the trace does.
    if (modelVersion_ >= ModelVersion::FirstUsb) {
        shotX_ = dataX_;
        shotY_ = dataY_;
    }
    shotShown_ = true;
    if (host_.playSound)
        host_.playSound(QStringLiteral("Shot"));
    emit repaintNow();
}

void CalibrationSession::onConcludeAiming()
{
    pointValid_ = false;
    emit repaintNow();
}

void CalibrationSession::pollImageSensor()
{
    if (!device_ || ended_)
        return;
    Variant picture;
    if (SUCCEEDED(device_->get_Value(kCameraImageValue, &picture))) {
        QImage image = greyImageOf(picture);
        if (!image.isNull()) {
            preview_ = std::move(image);
            emit repaintNow();
        }
    }
    float v[9] = {};
    if (FAILED(device_->Data(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8])))
        return;
    const bool seen = v[0] > 0;
    if (seen != targetSeen_ || v[3] != dataX_ || v[4] != dataY_) {
        targetSeen_ = seen;
        dataX_ = v[3];
        dataY_ = v[4];
        x_ = dataX_;
        y_ = dataY_;
        pointValid_ = seen;
        direction_ = pointDirection(x_, y_);
        emit repaintNow();
    }
    if (v[2] > 0) {
        shotX_ = x_;
        shotY_ = y_;
        shotShown_ = true;
        emit repaintNow();
        pollTimer_.stop();
        emit finished();
    }
}

void CalibrationSession::setPiezo(int position)
{
    piezo_ = std::clamp(position, 5, 1023);
    if (device_)
        device_->put_PiezoSensitivity(1, piezo_);
    // The start-practice dialog gives the next practice this sensitivity.
    writeSetting(QStringLiteral("PiezoSensitivity"), uint32_t(piezo_));
}

void CalibrationSession::setLeds(int position)
{
    leds_ = std::clamp(position, 0, 7);
    if (device_ && ledsAvailable_)
        device_->put_LedsBrightness(leds_);
}

void CalibrationSession::setLamps(int position)
{
    lamps_ = std::clamp(position, 0, 7);
    if (device_ && lampsAvailable_)
        device_->put_LampsBrightness(lamps_);
}

bool CalibrationSession::imageOption(int valueIndex) const
{
    return valueIndex >= 0 && valueIndex < 8 && options_[valueIndex];
}

void CalibrationSession::setImageOption(int valueIndex, bool on)
{
    const auto it = std::find_if(kImageOptions.begin(), kImageOptions.end(),
                                 [valueIndex](const ImageSensorOption& o) { return o.valueIndex == valueIndex; });
    if (it == kImageOptions.end())
        return;
    options_[valueIndex] = on;
    if (device_)
        device_->put_Value(valueIndex, Variant::fromBool(on));
    if (it->settingsName)
        writeSetting(QString::fromLatin1(it->settingsName), on ? 1 : 0);
    else if (on && device_)
        device_->put_Value(kPreviewGainValue, Variant(int32_t(gain_)));
    emit repaintNow();
}

void CalibrationSession::setPreviewGain(int position)
{
    gain_ = std::clamp(position, kPreviewGainMin, kPreviewGainMax);
    if (device_)
        device_->put_Value(kPreviewGainValue, Variant(int32_t(gain_)));
}

float CalibrationSession::scaleRadius() const
{
    float r = 0;
    switch (variant()) {
    case CalibrationVariant::Serial:
        if (target_) {
            float ring = 0, w = 0, h = 0;
            target_->get_Ring(1, &ring);
            r = ring / 2;
            if (!(r > 0)) {
                target_->get_FormWidth(&w);
                target_->get_FormHeight(&h);
                r = std::min(w, h) / 2;
            }
        }
        break;
    case CalibrationVariant::Wireless: r = distance_ * 60.0f / 2; break;
    case CalibrationVariant::ImageSensor: r = 68.5f; break;
    }
    // Without a target (or a distance) to go by, the image sensor's scale keeps the picture sane.
    return std::isfinite(r) && r > 0 ? r : 68.5f;
}

std::vector<float> CalibrationSession::circleRadii() const
{
    const float r = scaleRadius();
    switch (variant()) {
    case CalibrationVariant::Serial: return {r, 0.3f * r};
    case CalibrationVariant::Wireless: return {r, std::max(0.0f, distance_ * 60.0f - 160.0f) / 2};
    case CalibrationVariant::ImageSensor: break;
    }
    return {r};
}

QString CalibrationSession::statusLine() const
{
    QString line;
    if (!std::isnan(battery_))
        line = formatResString(dialogTextId(226, 2001), int(battery_));
    if (!std::isnan(voltage_)) {
        const QString volts = formatResString(dialogTextId(226, 2002), double(voltage_));
        line = line.isEmpty() ? volts : line + u' ' + volts;
    }
    if (inWorkingArea_ && average_.isFull()) {
        const QString d = formatResString(dialogTextId(226, 2003), double(average_.average()));
        line = line.isEmpty() ? d : line + QStringLiteral(", ") + d;
    }
    return line;
}

std::optional<double> CalibrationSession::previewRotation() const
{
    Variant v;
    float angle = 0;
    if (!device_ || FAILED(device_->get_Value(kTargetAngleValue, &v)) || FAILED(v.toFloat(&angle))
        || !std::isfinite(angle))
        return std::nullopt;
    return double(angle) - std::numbers::pi / 2;
}

} // namespace kavro::trainer
