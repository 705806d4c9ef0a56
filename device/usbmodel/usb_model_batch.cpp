// Control-thread side of the queued records: trigger values, wireless packets, and the
// five-target following and form check before a sample reaches the aiming logic.
#include "device/usbmodel/usb_model.h"

#include "device/usbmodel/usb_record.h"

#include <cmath>
#include <limits>

namespace kavro {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kWirelessCutoff = 0.18;
constexpr int kMaxTrigger = 1023;
constexpr int kResampleRoom = 5;
} // namespace

void CKavroDeviceUSB::ProcessSamples(const SampleRecord* records, size_t count)
{
    CGenericKavro::ProcessSamples(records, count);
    if (IsOpen() && !triggers_.empty() && (trigger_.IsOpen() || pairType()))
        FireTrigger(1, static_cast<int32_t>(triggers_.size()));
    triggers_.clear();
    inBatch_ = false;
}

void CKavroDeviceUSB::BeginBatch(size_t count)
{
    inBatch_ = true;
    triggers_.clear();
    triggers_.reserve(count);
    openAuxiliarySensors();
}

bool CKavroDeviceUSB::OnSample(const SampleRecord& record)
{
    SampleRecord r = record;
    if (trigger_.IsOpen())
        r.setTrigger(
            static_cast<int16_t>(std::clamp(std::trunc(trigger_.FilterOutput() / 4), 0.0, double(kMaxTrigger))));
    if (wireless_) {
        handleWirelessRecord(r);
    } else {
        triggers_.push_back(r.trigger());
        step(r);
    }
    return true;
}

void CKavroDeviceUSB::handleWirelessRecord(const SampleRecord& record)
{
    SampleRecord r = record;
    const size_t length
        = static_cast<size_t>(std::clamp<int32_t>(r.get<int32_t>(usbrecord::kRawLength), 0, usbrecord::kRawMax));
    const WirelessSample s = link_.Decode(ByteSpan(r.bytes + usbrecord::kRawPacket, length));
    if (link_.DeviceType() != lastType_ || link_.Identity() != lastIdentity_) {
        lastType_ = link_.DeviceType();
        lastIdentity_ = link_.Identity();
        SendTargetFace();
        setRegulationIdle();
        filterX_.Design(kWirelessCutoff, IirFilter::LowPass, 0.5, 2);
        filterY_.Design(kWirelessCutoff, IirFilter::LowPass, 0.5, 2);
    }
    regulateWireless(s);
    const double linkScale = link_.ScaleDivisor();
    if (s.status != WirelessData || std::isnan(linkScale))
        return;
    const bool pairs = pairType();
    r.put(usbrecord::kLinkScale, linkScale);
    const bool signal = s.valid && !std::isnan(s.scale) && !std::isnan(s.smoothedAngle);
    int level = 0;
    if (s.valid)
        level = pairs ? link_.LevelByte1() + link_.LevelByte2()
                      : static_cast<int>(std::nearbyint(std::clamp(s.totalSum, -32768.0, 32767.0)));
    r.setSignalLevel(static_cast<int16_t>(std::clamp(level, -32768, 32767)));
    r.setValid(signal);
    const double a = s.smoothedAngle;
    r.setAngle(a);
    r.put(usbrecord::kSmoothedAngle, a);
    r.setScale(s.scale);
    r.setPiezoLevel(static_cast<int16_t>(s.shotFlag * 4));
    r.put(usbrecord::kTargetOffset, 0.0);
    const double f = s.shotFraction;

    if (pairs) {
        const int trigger = s.hasTrigger ? s.triggerValue / 4 : lastTrigger_;
        lastTrigger_ = trigger;
        if (!trigger_.IsOpen())
            r.setTrigger(static_cast<int16_t>(trigger));
        const double pairsAB[2][2] = {{s.a1, s.b1}, {s.a2, s.b2}};
        for (int i = 0; i < 2; ++i) {
            SampleRecord q = r;
            const double A = pairsAB[i][0], B = pairsAB[i][1];
            q.setTargetX((std::sin(a) * A - std::cos(a) * B) * s.scale);
            q.setTargetY(-(std::cos(a) * A + std::sin(a) * B) * s.scale);
            const bool first = i == 0;
            const bool gets = std::isnan(f) ? first : (first ? f < 0.5 : f >= 0.5);
            q.put(usbrecord::kShotFraction, std::isnan(f) || !gets ? kNaN : first ? 2 * f : 2 * (f - 0.5));
            if (!gets)
                q.setPiezoLevel(0);
            triggers_.push_back(q.trigger());
            step(q);
        }
        return;
    }

    const double x = (std::cos(a) * s.meanX + std::sin(a) * s.meanY) * s.scale;
    const double y = -(std::cos(a) * s.meanY - std::sin(a) * s.meanX) * s.scale;
    if (!signal) {
        resampleX_.Reset();
        resampleY_.Reset();
        r.setTargetX(x);
        r.setTargetY(y);
        r.put(usbrecord::kShotFraction, kNaN);
        triggers_.push_back(r.trigger());
        step(r);
        return;
    }
    double ox[kResampleRoom], oy[kResampleRoom];
    const int n = std::min(resampleX_.Resample(x, ox, kResampleRoom), resampleY_.Resample(y, oy, kResampleRoom));
    // The shot goes to the second to last output, or the last; with a single output to that one.
    const int shotAt = std::isnan(f) ? -1 : f < 0.5 ? std::max(n - 2, 0) : n - 1;
    for (int i = 0; i < n; ++i) {
        SampleRecord q = r;
        q.setTargetX(ox[i]);
        q.setTargetY(oy[i]);
        if (i == shotAt) {
            q.put(usbrecord::kShotFraction, f < 0.5 ? 2 * f : 2 * (f - 0.5));
        } else {
            q.put(usbrecord::kShotFraction, kNaN);
            q.setPiezoLevel(0);
        }
        triggers_.push_back(q.trigger());
        step(q);
    }
}

double CKavroDeviceUSB::scaleDivisorOf(const SampleRecord& r) const
{
    return wireless_ ? r.get<double>(usbrecord::kLinkScale) : optical_.ScaleDivisor();
}

double CKavroDeviceUSB::sampleScale(const SampleRecord& r) const
{
    return calibratedScale_ > 0 ? calibratedScale_ : r.scale();
}

double CKavroDeviceUSB::FormCheckScale(double s)
{
    return s >= 9 && s <= 10.5 ? 10 : s;
}

void CKavroDeviceUSB::transform(const SampleRecord& r, double& x, double& y) const
{
    x = r.targetX();
    y = r.targetY();
    if (!calibrated_ || calibrationMode_)
        return;
    const double h = -(r.angle() - angle0_);
    const double c = std::cos(h), s = std::sin(h);
    const double rx = x * c - y * s - dx0_;
    const double ry = x * s + y * c - dy0_;
    x = rx * c + ry * s;
    y = -rx * s + ry * c;
}

bool CKavroDeviceUSB::followFiveTargets(SampleRecord& r)
{
    if (holdOff_ > 0) {
        --holdOff_;
        return false;
    }
    const int minimum = wireless_ ? (pairType() ? 10 : 25) : 300;
    if (!r.valid() || r.signalLevel() < minimum) {
        selectFiveTarget(2);
        return false;
    }
    r.put(usbrecord::kTargetOffset, (selectedTarget_ - 2) * 25.0);
    if (!calibrationMode_) {
        double x, y;
        transform(r, x, y);
        const int aimed = AimedTarget(selectedTarget_, x);
        if (aimed != selectedTarget_)
            selectFiveTarget(aimed);
    }
    return true;
}

bool CKavroDeviceUSB::insideForm(const SampleRecord& r) const
{
    const ComPtr<IEventParams> event = host().Event(1);
    ComPtr<ITargetParams> target;
    float width = 0, height = 0;
    if (!event || FAILED(event->get_Target(1, target.put())) || !target || FAILED(target->get_FormWidth(&width))
        || FAILED(target->get_FormHeight(&height)))
        return true;
    double x, y;
    transform(r, x, y);
    x += r.get<double>(usbrecord::kTargetOffset);
    const double s = FormCheckScale(sampleScale(r) * scaleDivisorOf(r) + additive_);
    if (!(s > 0))
        return false;
    const double k = eventDistance() / s;
    return std::fabs(x * k) <= width / 2 && std::fabs(y * k) <= height / 2;
}

void CKavroDeviceUSB::step(SampleRecord r)
{
    current_ = r;
    lastSignal_ = r.signalLevel();
    lastAmplitude_ = r.piezoLevel();
    int32_t countBefore = 0;
    if (IAimingTrace* trace = recorder_.trace())
        trace->get_Count(&countBefore);
    const bool five = fiveTargetMode();
    bool signal = r.valid();
    if (five)
        signal = followFiveTargets(r);
    if (signal && !calibrationMode_ && !insideForm(r))
        signal = false;
    current_ = r;
    if (five)
        stepFiveTargets(r, signal, countBefore);
    else
        stepPlain(r, signal, countBefore);
}

} // namespace kavro
