#include "device/usbmodel/usb_model.h"

#include "device/model/model_factory.h"
#include "device/usb/battery_level.h"
#include "device/usb/usb_ids.h"
#include "device/usbmodel/usb_record.h"

#include <cmath>

namespace kavro {

namespace {

constexpr uint32_t kMinSignalLevel = 500;
constexpr uint32_t kMaxSignalLevel = 2000;

int32_t storedSignalLevel(bool wireless)
{
    const int32_t fallback = wireless ? 500 : 1200;
    SettingsKey key;
    if (FAILED(
            SettingsKey::open(SettingsRoot::CurrentUser, QStringLiteral("software\\Kavro\\Kavro Professional"), &key)))
        return fallback;
    uint32_t v = 0;
    if (FAILED(key.readDword(wireless ? QStringLiteral("WirelessSignalLevel") : QStringLiteral("SignalLevel"), &v))
        || v < kMinSignalLevel || v > kMaxSignalLevel)
        return fallback;
    return static_cast<int32_t>(v);
}

std::unique_ptr<CGenericKavro> makeModel(DeviceHost& host, const QString& path, bool wireless)
{
    return std::make_unique<CKavroDeviceUSB>(host, path, wireless);
}

bool matchesClass(const QString& path, UsbDeviceClass cls)
{
    const std::string p = path.toStdString();
    switch (cls) {
    case UsbDeviceClass::Wireless: return DevicePathHasInterface(p, usbids::wirelessReceiverDevices());
    case UsbDeviceClass::ImageSensor: return DevicePathHasInterface(p, usbids::imageSensorDevices());
    case UsbDeviceClass::HomeWireless: return DevicePathHasInterface(p, usbids::homeTargetDevices());
    case UsbDeviceClass::Optical: break;
    }
    return false;
}

} // namespace

[[maybe_unused]] static const bool kavroUsbClassMatcher = models::registerUsbClassMatcher(matchesClass);
KAVRO_REGISTER_USB_MODEL(UsbDeviceClass::Wireless, "KAVRO WIRELESS", 500,
                         [](DeviceHost& h, const QString& p) { return makeModel(h, p, true); });
KAVRO_REGISTER_USB_MODEL(UsbDeviceClass::HomeWireless, "KAVRO HOME WIRELESS", 500,
                         [](DeviceHost& h, const QString& p) { return makeModel(h, p, true); });
KAVRO_REGISTER_USB_MODEL(UsbDeviceClass::Optical, "KAVRO USB", 500,
                         [](DeviceHost& h, const QString& p) { return makeModel(h, p, false); });

CKavroDeviceUSB::CKavroDeviceUSB(DeviceHost& host, const QString& devicePath, bool wireless)
    : CGenericKavro(host), wireless_(wireless), path_(devicePath.toStdString()), store_(CalibrationStore::open()),
      signalLevel_(storedSignalLevel(wireless))
{
    for (UsbDevice* d : std::initializer_list<UsbDevice*>{&optical_, &target_, &trigger_, &pulse_, &receiver_, &home_})
        d->SetClock(host.clock());
}

CKavroDeviceUSB::~CKavroDeviceUSB()
{
    Close();
}

void CKavroDeviceUSB::SetRate()
{
    // The sensors run at their own fixed rate.
    host().SetSampleRate(100);
    settleCount_ = wireless_ ? 4 : host().SampleRate() / 20;
}

void CKavroDeviceUSB::SetPiezoSensitivity(int32_t n, int32_t value)
{
    if (n != 1)
        return;
    shotThreshold_ = static_cast<uint16_t>(std::clamp<int32_t>(value, 0, 0xFFFF));
    if (optical_.IsOpen())
        optical_.SendShotThreshold(shotThreshold_);
}

int32_t CKavroDeviceUSB::GetPiezoSensitivity(int32_t)
{
    return shotThreshold_;
}

int32_t CKavroDeviceUSB::SignalLevel(int32_t)
{
    if (!wireless_)
        return lastSignal_;
    switch (link_.DeviceType()) {
    case -1: return 0;
    case 0:
    case 1:
    case 4: return lastSignal_ * 1200 / 500;
    case 2:
    case 3:
    case 5:
    case 6:
    case 7:
    case 8: return lastSignal_ * 1200 / 35;
    default: return lastSignal_;
    }
}

int32_t CKavroDeviceUSB::PiezoLevel(int32_t)
{
    return lastAmplitude_;
}

bool CKavroDeviceUSB::GetTrigger(int32_t, int32_t index, int32_t* out)
{
    if (!out || !inBatch_ || index < 0 || static_cast<size_t>(index) >= triggers_.size())
        return false;
    *out = triggers_[static_cast<size_t>(index)];
    return true;
}

void CKavroDeviceUSB::Data(float (&v)[9])
{
    v[0] = static_cast<float>(SignalLevel(1));
    v[1] = static_cast<float>(current_.scale());
    v[2] = static_cast<float>(current_.targetX());
    v[3] = static_cast<float>(current_.targetY());
    v[4] = static_cast<float>(current_.piezoLevel());
    v[5] = static_cast<float>(current_.angle());
    if (wireless_) {
        v[6] = static_cast<float>(current_.get<double>(usbrecord::kLinkScale));
        v[7] = static_cast<float>(link_.BatteryLevel());
        v[8] = static_cast<float>(link_.BatteryVoltage());
    } else {
        v[6] = static_cast<float>(optical_.ScaleDivisor());
    }
}

std::array<int32_t, 2> CKavroDeviceUSB::SignalSettings() const
{
    std::lock_guard g(regLock_);
    return settings_;
}

double CKavroDeviceUSB::AdditiveTerm(double p)
{
    if (p < 2)
        return 0.5;
    if (p > 9)
        return 0.2;
    return (9 - p) / 23.333 + 0.2;
}

int CKavroDeviceUSB::AimedTarget(int selected, double x)
{
    if (std::fabs(x) < 13)
        return selected;
    return std::clamp(selected - static_cast<int>(std::trunc(x / -13)), 0, 4);
}

QString CKavroDeviceUSB::serialText(const UsbSerialNumber& s)
{
    return QString::asprintf("%d-%d-%d-%d-%d-%d-%d-%d", s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7]);
}

QString CKavroDeviceUSB::sensorSerialText() const
{
    return serialText(serials_[0]);
}

QString CKavroDeviceUSB::targetSerialText() const
{
    // Device 3 is the target itself when its serial is known; else the controller or receiver
    // that it hangs on, so each target still keeps a calibration of its own.
    const UsbSerialNumber none{};
    return serialText(serials_[2] != none ? serials_[2] : serials_[1]);
}

SignalRange CKavroDeviceUSB::storedSignalRange() const
{
    if (receiver_.IsOpen())
        return {5, 192};
    if (home_.IsOpen())
        return {2000, 49152};
    return {4096, 63488};
}

void CKavroDeviceUSB::loadCalibration()
{
    if (!keepsCalibration())
        return;
    const auto c = store_.Load(CalibrationStore::keyText(sensorSerialText(), targetSerialText()), storedSignalRange());
    if (!c)
        return;
    {
        std::lock_guard g(regLock_);
        settings_ = {c->signal[0], c->signal[1]};
    }
    angle0_ = c->angle0;
    dx0_ = c->dx0;
    dy0_ = c->dy0;
    host().SetCorrections(1, static_cast<int32_t>(c->corrx), static_cast<int32_t>(c->corry));
    corrX_ = c->corrx / 100;
    corrY_ = c->corry / 100;
    calibratedScale_ = c->scale;
    calibrated_ = true;
    host().SetCalibrationWanted(1, false);
}

void CKavroDeviceUSB::saveCalibration()
{
    if (!keepsCalibration())
        return;
    SensorCalibration c;
    const auto s = SignalSettings();
    c.signal[0] = s[0];
    c.signal[1] = s[1];
    c.angle0 = angle0_;
    c.dx0 = dx0_;
    c.dy0 = dy0_;
    c.corrx = corrX_ * 100;
    c.corry = corrY_ * 100;
    c.scale = calibratedScale_;
    const QString key = CalibrationStore::keyText(sensorSerialText(), targetSerialText());
    if (!calibrated_ || !(calibratedScale_ > 0))
        store_.Invalidate(key);
    else
        store_.Save(key, c);
}

} // namespace kavro
