#include "device/imagesensor/kavro_device_image_sensor.h"

#include "com/numeric.h"
#include "device/imagesensor/grey_picture.h"
#include "device/imagesensor/image_sensor_marks.h"
#include "device/model/model_factory.h"
#include "device/pipeline/notices.h"
#include "device/usb/usb_ids.h"
#include "device/usb/usb_requests.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kavro {

KAVRO_REGISTER_USB_MODEL(UsbDeviceClass::ImageSensor, "KAVRO QV SENSOR", CKavroDeviceImageSensor::kModelNumber,
                         [](DeviceHost& host, const QString& path) -> std::unique_ptr<CGenericKavro> {
                             return std::make_unique<CKavroDeviceImageSensor>(host, path);
                         });

namespace {

constexpr double kPi = std::numbers::pi;
// Above this shot level the camera shakes: the angle is held from before.
constexpr int32_t kShakingShotLevel = 100;
// Points the trace must hold before a shot is believable.
constexpr int32_t kPointsBeforeShot = 5;
constexpr intptr_t kBeatNotice = 1;
constexpr int32_t kMaxTriggerValue = 1023;

enum ValueIndex : int32_t {
    IndoorMode = 0,
    LowLightingMode = 1,
    FilterForeignShots = 2,
    HardwareVersion = 3,
    FirmwareVersion = 4,
    CameraImage = 6,
    PreviewSwitch = 7,
    Gain = 8,
    TargetAngle = 9,
};

} // namespace

CKavroDeviceImageSensor::CKavroDeviceImageSensor(DeviceHost& host, QString devicePath)
    : CGenericKavro(host), devicePath_(std::move(devicePath))
{
    angleFilter_.Design(0.05, IirFilter::LowPass, 0.5, 2);
    xFilter_.Design(0.25, IirFilter::LowPass, 0.5, 2);
    yFilter_.Design(0.25, IirFilter::LowPass, 0.5, 2);
}

CKavroDeviceImageSensor::~CKavroDeviceImageSensor()
{
    Close();
}

bool CKavroDeviceImageSensor::PrepareTarget()
{
    const QString notForSensor = QStringLiteral("The shooting event cannot be shot with the KAVRO QV sensor.");
    ComPtr<IEventParams> event = host().Event(1);
    if (!event) {
        host().SetStatusText(notForSensor);
        return false;
    }
    Variant kindValue;
    int32_t kind = -1;
    if (FAILED(event->get_Value(QStringLiteral("_qv_target"), &kindValue)) || FAILED(kindValue.toInt32(&kind))
        || kind < 0 || kind > 255) {
        host().SetStatusText(notForSensor);
        return false;
    }
    ComPtr<ITargetParams> target;
    float distance = 0, black = 0;
    if (FAILED(event->get_Distance(&distance)) || FAILED(event->get_Target(1, target.put())) || !target
        || FAILED(target->get_FormWidth(&formWidth_)) || FAILED(target->get_FormHeight(&formHeight_))
        || FAILED(target->get_Black(&black))) {
        host().SetStatusText(notForSensor);
        return false;
    }
    ImageSensorTarget t;
    if (!buildImageSensorMarks(kind, black, &t.marks)) {
        host().SetStatusText(notForSensor);
        return false;
    }
    t.kind = static_cast<ImageSensorTarget::Kind>(kind);
    t.distance = distance;
    t.targetSize = std::max(formWidth_, formHeight_) * 2.0 / 1000.0;
    camera_.SetTarget(std::move(t));
    return true;
}

bool CKavroDeviceImageSensor::Open()
{
    if (IsOpen())
        return true;
    if (!PrepareTarget())
        return false;
    camera_.SetClock(host().clock());
    camera_.SetStatusCallback([this](const SampleRecord& record) { PostEvent(record); });
    if (!camera_.Open(devicePath_.toStdString())) {
        host().SetStatusText(QString::fromStdString(camera_.ErrorText()));
        return false;
    }
    host().SetDeviceSerial(1, camera_.Serial());
    if (!camera_.ResetSequence() || !camera_.StartStreaming()) {
        host().SetStatusText(QString::fromStdString(camera_.ErrorText()));
        camera_.Close();
        return false;
    }
    correctionX_ = host().CorrectionX(1) / 100.0;
    correctionY_ = host().CorrectionY(1) / 100.0;
    if (!CGenericKavro::Open()) {
        camera_.Close();
        return false;
    }
    return true;
}

void CKavroDeviceImageSensor::Close()
{
    CGenericKavro::Close();
    camera_.Close();
    CloseCompanions();
}

void CKavroDeviceImageSensor::SetRate()
{
    host().SetSampleRate(kSampleRate);
}

bool CKavroDeviceImageSensor::Start()
{
    FindCompanions();
    ResetAiming();
    lastValidMs_ = host().clock().tickMs();
    if (ControlQueue* q = Queue())
        q->setTimer(kTimerId, kTimerPeriodMs);
    return true;
}

void CKavroDeviceImageSensor::Stop()
{
    if (active_)
        ConcludeAiming();
    if (trigger_)
        trigger_->ControlOut(usbreq::kStop, 0, 0);
    if (pulse_)
        pulse_->ControlOut(usbreq::kStop, 0, 0);
}

void CKavroDeviceImageSensor::FindCompanions()
{
    // A companion whose reader gave up has been unplugged: let it go and look for it again.
    if (trigger_ && trigger_->IsFailed())
        trigger_.reset();
    if (pulse_ && pulse_->IsFailed())
        pulse_.reset();
    if (trigger_ && pulse_)
        return;
    const uint32_t now = host().clock().tickMs();
    if (companionsSearched_ && now - lastCompanionSearch_ < kCompanionSearchMs)
        return;
    companionsSearched_ = true;
    lastCompanionSearch_ = now;

    if (!trigger_) {
        auto trigger = std::make_unique<UsbTriggerSensor>();
        trigger->SetClock(host().clock());
        if (trigger->OpenFirst(usbids::triggerSensorDevices())) {
            trigger->ControlOut(usbreq::kStart, 0, 0);
            trigger_ = std::move(trigger);
        }
    }
    if (!pulse_ && Queue()) {
        auto pulse = std::make_unique<UsbPulseSensor>();
        pulse->SetClock(host().clock());
        pulse->eventHeartBeat.Hook([this, poster = Queue()->poster()](DATE beat) {
            {
                std::lock_guard lock(beatLock_);
                pendingBeat_ = beat;
            }
            poster.post(kSensorNoticeMessage, kBeatNotice, 0);
        });
        if (pulse->OpenFirst(usbids::pulseSensorDevices())) {
            pulse->ControlOut(usbreq::kStart, 0, 0);
            pulse_ = std::move(pulse);
        }
    }
}

void CKavroDeviceImageSensor::CloseCompanions()
{
    if (trigger_)
        trigger_->Close();
    if (pulse_)
        pulse_->Close();
    trigger_.reset();
    pulse_.reset();
}

int16_t CKavroDeviceImageSensor::TriggerValue() const
{
    if (!trigger_)
        return 0;
    const double level = trigger_->FilterOutput() / 4;
    return static_cast<int16_t>(std::clamp(truncSaturated(level), 0, kMaxTriggerValue));
}

void CKavroDeviceImageSensor::SetPiezoSensitivity(int32_t n, int32_t value)
{
    // The first sensor generation has a fixed threshold.
    if (n != 1 || camera_.Version().hardware < 2)
        return;
    camera_.SetShotThreshold(static_cast<uint16_t>(std::clamp(value, 0, 0xFFFF)));
}

int32_t CKavroDeviceImageSensor::GetPiezoSensitivity(int32_t)
{
    return camera_.ShotThreshold();
}

bool CKavroDeviceImageSensor::GetValue(int32_t index, Variant* out)
{
    switch (index) {
    case IndoorMode: *out = Variant::fromBool(camera_.IndoorMode()); return true;
    case LowLightingMode: *out = Variant::fromBool(camera_.LowLightingMode()); return true;
    case FilterForeignShots: *out = Variant::fromBool(camera_.FilterForeignShots()); return true;
    case HardwareVersion: *out = Variant::fromInteger(VT_UI2, camera_.Version().hardware); return true;
    case FirmwareVersion: *out = Variant::fromInteger(VT_UI2, camera_.Version().firmware); return true;
    case CameraImage: {
        ComPtr<Picture> picture = greyPicture(camera_.LastImage());
        if (!picture)
            return false;
        *out = Variant::fromObject(static_cast<IPictureDisp*>(picture.get()));
        return true;
    }
    case TargetAngle: *out = Variant(targetAngle_); return true;
    default: return false;
    }
}

bool CKavroDeviceImageSensor::SetValue(int32_t index, const Variant& value)
{
    bool on = false;
    switch (index) {
    case IndoorMode: return SUCCEEDED(value.toBool(&on)) && camera_.SetIndoorMode(on);
    case LowLightingMode: return SUCCEEDED(value.toBool(&on)) && camera_.SetLowLightingMode(on);
    case FilterForeignShots:
        if (FAILED(value.toBool(&on)))
            return false;
        camera_.SetFilterForeignShots(on);
        return true;
    case PreviewSwitch: return SUCCEEDED(value.toBool(&on)) && camera_.SetPreview(on);
    case Gain: {
        int32_t gain = 0;
        if (FAILED(value.toInt32(&gain)))
            return false;
        return camera_.SetGain(static_cast<uint16_t>(gain));
    }
    default: return false;
    }
}

bool CKavroDeviceImageSensor::GetTrigger(int32_t, int32_t index, int32_t* out)
{
    if (!out || index < 0 || static_cast<size_t>(index) >= triggerCount_)
        return false;
    *out = triggerValues_[static_cast<size_t>(index)];
    return true;
}

void CKavroDeviceImageSensor::Data(float (&v)[9])
{
    const FlashBlock flash = camera_.Flash();
    const double dx = targetX_ - flash.centreX;
    const double dy = targetY_ - flash.centreY;
    const double a = targetAngle_;
    v[0] = onTarget_ ? 1.0f : 0.0f;
    v[1] = camera_.CalibrationFlag(1) ? 1.0f : 0.0f;
    v[2] = camera_.CalibrationFlag(2) ? 1.0f : 0.0f;
    v[3] = static_cast<float>(std::sin(a) * dy - std::cos(a) * dx);
    v[4] = static_cast<float>(-(std::cos(a) * dy + std::sin(a) * dx));
    v[5] = 0;
    v[6] = 0;
}

void CKavroDeviceImageSensor::ProcessSamples(const SampleRecord* records, size_t count)
{
    FindCompanions();
    // The trigger level is sampled as each status is processed: it is a live reading, not part
    // of what the camera sent.
    std::vector<SampleRecord> batch(records, records + count);
    triggerValues_.assign(count, 0);
    triggerCount_ = 0;
    for (SampleRecord& r : batch)
        r.setTrigger(TriggerValue());
    CGenericKavro::ProcessSamples(batch.data(), batch.size());
    triggerValues_.clear();
    triggerCount_ = 0;
}

bool CKavroDeviceImageSensor::SignalGone() const
{
    return host().clock().tickMs() - lastValidMs_ >= kSignalGoneMs;
}

bool CKavroDeviceImageSensor::InsideTarget(const SampleRecord& r, double a) const
{
    const double X = r.targetX(), Y = r.targetY();
    const double x = std::cos(a) * X - std::sin(a) * Y;
    const double y = std::sin(a) * X + std::cos(a) * Y;
    return std::abs(x) <= formWidth_ / 2 && std::abs(y) <= formHeight_ / 2;
}

bool CKavroDeviceImageSensor::OnSample(const SampleRecord& r)
{
    const bool handled = OnStatusSample(r);
    // Gathered after the sample, so that a flush inside it reports only the samples before.
    if (triggerCount_ < triggerValues_.size())
        triggerValues_[triggerCount_++] = r.trigger();
    return handled;
}

bool CKavroDeviceImageSensor::OnStatusSample(const SampleRecord& r)
{
    shotLevel_ = r.piezoLevel();
    sampleAngle_ = r.angle();
    onTarget_ = r.valid();
    targetX_ = static_cast<float>(r.get<double>(imgrecord::kSpotX));
    targetY_ = static_cast<float>(r.get<double>(imgrecord::kSpotY));
    targetAngle_ = static_cast<float>(sampleAngle_);

    if (host().CalibrationMode(1)) {
        OnCalibrationSample(r);
        return true;
    }

    const bool valid = r.valid() && InsideTarget(r, sampleAngle_);
    if (waiting_) {
        if (!valid) {
            recorder_.FinalConcludeAiming();
            return true;
        }
        // After an aiming with shots the sight must have left the target for a while.
        if (shots_ != 0 && !SignalGone()) {
            lastValidMs_ = host().clock().tickMs();
            return true;
        }
        if (!StartAiming())
            return false;
    }
    if (!active_)
        return true;
    if (!valid) {
        if (SignalGone())
            ConcludeAiming();
        return true;
    }
    int32_t before = 0;
    recorder_.trace()->get_Count(&before);
    if (!settled_) {
        if (++settleCounter_ < kSettleCount) {
            AddPoint(r);
            return true;
        }
        settled_ = true;
    }
    if (AddPoint(r) && shotLevel_ >= camera_.ShotThreshold() && before > kPointsBeforeShot)
        TakeShot(false, r.micPhase());
    return true;
}

void CKavroDeviceImageSensor::OnCalibrationSample(const SampleRecord& r)
{
    if (calibrationCountdown_ > 0) {
        --calibrationCountdown_;
        return;
    }
    if (!r.valid() || camera_.WindowMode() != kWindowOnFlashCentre || camera_.CalibrationFlag(2)
        || shotLevel_ < camera_.ShotThreshold())
        return;
    // The shot went where the camera looked: that spot is the new aiming point.
    camera_.SetAimingOffset(truncSaturated(r.get<double>(imgrecord::kSpotX)),
                            truncSaturated(r.get<double>(imgrecord::kSpotY)));
    camera_.SetCalibrationFlags();
}

bool CKavroDeviceImageSensor::StartAiming()
{
    if (!recorder_.NewAiming())
        return false;
    triggerIndex_ = -1;
    if (trigger_ && FAILED(recorder_.trace()->AddUserData(QStringLiteral("_trigger"), &triggerIndex_)))
        triggerIndex_ = -1;
    waiting_ = false;
    active_ = true;
    settled_ = true;
    settleCounter_ = 0;
    samplesSinceShot_ = 0;
    shots_ = 0;
    recorder_.StartAiming();
    return true;
}

bool CKavroDeviceImageSensor::AddPoint(const SampleRecord& r)
{
    lastValidMs_ = host().clock().tickMs();
    if (shots_ > 0) {
        const int32_t after = truncSaturated(static_cast<double>(host().SampleRate()) * host().MaxTimeAfterShot(1));
        if (samplesSinceShot_ == after) {
            ConcludeAiming();
            return false;
        }
        ++samplesSinceShot_;
    }
    int32_t count = 0;
    recorder_.trace()->get_Count(&count);
    if (count == 0) {
        angleFilter_.Restart();
        xFilter_.Restart();
        yFilter_.Restart();
        angleHeld_ = false;
    }
    double a = r.angle();
    if ((shots_ > 0 || shotLevel_ > kShakingShotLevel) && angleHeld_) {
        a = heldAngle_;
    } else {
        heldAngle_ = a;
        angleHeld_ = true;
    }
    // Keep the filtered angle continuous where it crosses the half turn.
    if (!angleFilter_.IsRestartPending()) {
        if (a > kPi / 2 && angleFilter_.LastInput() < -kPi / 2)
            angleFilter_.ShiftState(2 * kPi);
        else if (a < -kPi / 2 && angleFilter_.LastInput() > kPi / 2)
            angleFilter_.ShiftState(-2 * kPi);
    }
    const double af = angleFilter_.Filter(a);
    const double X = xFilter_.Filter(r.targetX());
    const double Y = yFilter_.Filter(r.targetY());
    const double x = std::cos(af) * X - std::sin(af) * Y;
    const double y = std::sin(af) * X + std::cos(af) * Y;
    int32_t ix = 0, iy = 0;
    if (!toHundredths(static_cast<float>(x), &ix) || !toHundredths(static_cast<float>(y), &iy)) {
        recorder_.trace()->AddInvalid();
    } else {
        recorder_.trace()->_Add(ix, iy);
        ComPtr<IAimingAttr> attr;
        DATE enter = 0;
        if (SUCCEEDED(recorder_.trace()->get_Attr(attr.put())) && attr && SUCCEEDED(attr->get_EnterTime(&enter))
            && enter == 0) {
            float score = 0;
            ComPtr<IEventParams> event = host().Event(1);
            if (event && SUCCEEDED(event->GetPointScore(ix / 100.0f, iy / 100.0f, 1, &score)) && score >= 1)
                attr->put_EnterTime(Now());
        }
    }
    if (triggerIndex_ >= 0) {
        int32_t last = 0;
        if (SUCCEEDED(recorder_.trace()->get_Last(&last)))
            recorder_.trace()->put_UserData(triggerIndex_, last, r.trigger());
    }
    recorder_.CountPoint();
    return true;
}

int32_t CKavroDeviceImageSensor::ShotsLimit(bool maximum) const
{
    int32_t limit = 0;
    if (ComPtr<IEventParams> event = host().Event(1)) {
        if (maximum)
            event->get_MaxShotsPerAiming(&limit);
        else
            event->get_MinShotsPerAiming(&limit);
    }
    return limit;
}

void CKavroDeviceImageSensor::TakeShot(bool missed, double microphonePhase)
{
    if (!missed) {
        shotTaken_ = true;
        shotAngle_ = sampleAngle_;
    }
    if (!recorder_.recording() || shots_ == ShotsLimit(true))
        return;
    FlushCoordinates();
    AddShotToAiming(missed, microphonePhase);
}

void CKavroDeviceImageSensor::AddShotToAiming(bool missed, double microphonePhase)
{
    recorder_.trace()->put_WrapEnabled(VARIANT_FALSE);
    ++shots_;
    samplesSinceShot_ = 0;
    ComPtr<IShot> shot = recorder_.NewShot(missed, microphonePhase);
    if (!shot)
        return;
    recorder_.AnnounceShot(shot.get());
    settled_ = false;
    settleCounter_ = 0;
}

void CKavroDeviceImageSensor::AddShot(bool unlimited)
{
    if (!recorder_.trace() || (!unlimited && shots_ == ShotsLimit(true)))
        return;
    // No flush: the points added just before stay pending and follow the shot.
    AddShotToAiming(false, 0.0);
}

void CKavroDeviceImageSensor::ConcludeAiming()
{
    recorder_.AddMissedShots(ShotsLimit(false), shots_, [this] { TakeShot(true, 0.0); });
    if (recorder_.ConcludeAiming())
        ResetAiming();
}

void CKavroDeviceImageSensor::ResetAiming()
{
    recorder_.ResetAiming();
    triggerIndex_ = -1;
    active_ = false;
    settled_ = false;
    samplesSinceShot_ = 0;
    settleCounter_ = 0;
    waiting_ = true;
}

void CKavroDeviceImageSensor::ConcludeCurrentAiming(int32_t n)
{
    recorder_.ConcludeCurrentAiming(n, [this] { ConcludeAiming(); });
    ResetAiming();
    shots_ = 0;
}

void CKavroDeviceImageSensor::FlushCoordinates()
{
    recorder_.FlushCoordinates();
}

void CKavroDeviceImageSensor::FireTriggers()
{
    if (triggerCount_ > 0) {
        FireTrigger(1, static_cast<int32_t>(triggerCount_));
        // The next values of the batch are stored from the start again.
        triggerCount_ = 0;
    }
}

void CKavroDeviceImageSensor::CorrectionChanged()
{
    const double cx = host().CorrectionX(1) / 100.0;
    const double cy = host().CorrectionY(1) / 100.0;
    const double pixelScale = camera_.PixelScale();
    if (shotTaken_ && pixelScale > 0) {
        // The trace shows the camera's offset turned by the target angle: turn the change back
        // so that the trace moves by the correction.
        const double dx = (cx - correctionX_) / pixelScale;
        const double dy = (cy - correctionY_) / pixelScale;
        const double c = std::cos(shotAngle_), s = std::sin(shotAngle_);
        double ox = 0, oy = 0;
        camera_.AimingOffset(&ox, &oy);
        camera_.MoveAimingOffset(ox + c * dx + s * dy, oy - s * dx + c * dy);
    }
    correctionX_ = cx;
    correctionY_ = cy;
}

void CKavroDeviceImageSensor::CalibrationModeChanged()
{
    if (host().CalibrationMode(1)) {
        camera_.SetWindowMode(kWindowOnFlashCentre);
        calibrationCountdown_ = kCalibrationCountdown;
    } else {
        camera_.SetWindowMode(kWindowOnAimingOffset);
    }
}

void CKavroDeviceImageSensor::OnSensorNotice(intptr_t kind, intptr_t)
{
    if (kind != kBeatNotice)
        return;
    std::optional<DATE> beat;
    {
        std::lock_guard lock(beatLock_);
        beat = std::exchange(pendingBeat_, std::nullopt);
    }
    if (!beat)
        return;
    FireHeartBeat(1, 0, *beat);
    if (std::optional<int> rate = beatRate_.AddBeat(*beat))
        FirePulseChanged(1, *rate);
}

void CKavroDeviceImageSensor::OnTimer(intptr_t timerId, intptr_t)
{
    if (timerId != static_cast<intptr_t>(kTimerId) || !IsOpen())
        return;
    if (active_ && !host().CalibrationMode(1) && SignalGone())
        ConcludeAiming();
}

} // namespace kavro
