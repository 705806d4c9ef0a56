// Aimings of the USB model: the per-sample state machine, adding points, shots, conclusions and
// the corrections that move the calibration.
#include "device/usbmodel/usb_model.h"

#include "device/usbmodel/usb_record.h"

#include <cmath>
#include <limits>

namespace kavro {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr uint32_t kWirelessReturnMs = 500;
// Beyond this a coordinate in hundredths no longer fits a trace point.
constexpr double kMaxHundredths = 2.0e9;
constexpr double kFiveTargetFactor = 10.0;
} // namespace

int32_t CKavroDeviceUSB::eventInt(HRESULT (IEventParams::*get)(int32_t*), int32_t fallback) const
{
    const ComPtr<IEventParams> event = host().Event(1);
    int32_t v = fallback;
    if (!event || FAILED((event.get()->*get)(&v)))
        return fallback;
    return v;
}

bool CKavroDeviceUSB::shotLimitReached() const
{
    // A negative limit is no limit.
    const int32_t max = eventInt(&IEventParams::get_MaxShotsPerAiming, -1);
    return max >= 0 && shots_ >= max;
}

float CKavroDeviceUSB::eventDistance() const
{
    const ComPtr<IEventParams> event = host().Event(1);
    float d = 0;
    if (!event || FAILED(event->get_Distance(&d)))
        return 0;
    return d;
}

void CKavroDeviceUSB::stepPlain(SampleRecord& r, bool signal, int32_t countBefore)
{
    if (!recorder_.recording()) {
        if (!signal) {
            if (idle_ == 0)
                recorder_.FinalConcludeAiming();
            ++idle_;
            return;
        }
        if (shots_ > 0) {
            if (!wireless_ && idle_ <= host().SampleRate() / 2) {
                idle_ = 0;
                return;
            }
            const uint32_t now = host().clock().tickMs();
            if (wireless_ && now - lastDataTick_ < kWirelessReturnMs) {
                lastDataTick_ = now;
                return;
            }
        }
        if (!StartAiming())
            return;
    }
    if (!signal) {
        ConcludeAiming();
        return;
    }
    if (!settled_) {
        ++settleCounter_;
        if (settleCounter_ < settleCount_) {
            AddPoint(r, true);
            return;
        }
        settled_ = true;
    }
    shotDetection(r, countBefore);
}

void CKavroDeviceUSB::stepFiveTargets(SampleRecord& r, bool signal, int32_t countBefore)
{
    if (lightPulse_ > 0 && --lightPulse_ == 0)
        SetLight2(lightPulseBit_, false);
    const int32_t rate = host().SampleRate();
    if (!recorder_.recording()) {
        if (!signal) {
            recorder_.FinalConcludeAiming();
            return;
        }
        if (!StartAiming())
            return;
    }
    if (!signal) {
        ++settleCounter_;
        int32_t limit = static_cast<int32_t>(15 * rate);
        if (shots_ >= 5)
            limit = std::min(limit, rate);
        if (shots_ > 0 && settleCounter_ < limit) {
            settled_ = false;
            AddPoint(r, false);
            return;
        }
        ConcludeAiming();
        FireFinalConcludeAiming(1);
        recorder_.ForgetFinalConclusion();
        return;
    }
    if (shots_ > 0) {
        const double after = shots_ >= 5 ? rate * host().MaxTimeAfterShot(1) : rate * 60.0;
        if (samplesSinceShot_ >= after) {
            ConcludeAiming();
            return;
        }
    }
    if (!settled_) {
        ++settleCounter_;
        if (settleCounter_ < rate * host().PiezoRejectInterval(1)) {
            AddPoint(r, true);
            return;
        }
        settled_ = true;
    }
    shotDetection(r, countBefore);
}

void CKavroDeviceUSB::shotDetection(const SampleRecord& r, int32_t countBefore)
{
    // A shot needs more than five points of trace before its sample, on any face.
    if (AddPoint(r, true) && r.piezoLevel() >= shotThreshold_ && countBefore > 5)
        TakeShot(false, &r);
}

bool CKavroDeviceUSB::StartAiming()
{
    ResetAiming();
    if (!recorder_.NewAiming())
        return false;
    triggerIndex_ = -1;
    if (trigger_.IsOpen() || pairType())
        recorder_.trace()->AddUserData(QStringLiteral("_trigger"), &triggerIndex_);
    shots_ = 0;
    samplesSinceShot_ = 0;
    settled_ = true;
    settleCounter_ = 0;
    samplesInAiming_ = 0;
    recorder_.StartAiming();
    return recorder_.recording();
}

bool CKavroDeviceUSB::AddPoint(const SampleRecord& r, bool signal)
{
    IAimingTrace* const trace = recorder_.trace();
    if (!trace)
        return false;
    const bool five = fiveTargetMode();
    const int32_t rate = host().SampleRate();
    lastDataTick_ = host().clock().tickMs();
    if (!five && shots_ > 0
        && samplesSinceShot_ == static_cast<int32_t>(std::trunc(rate * host().MaxTimeAfterShot(1)))) {
        ConcludeAiming();
        return false;
    }
    if (shots_ > 0)
        ++samplesSinceShot_;
    int32_t count = 0;
    trace->get_Count(&count);
    if (five && !signal) {
        trace->AddInvalid();
    } else {
        double x, y;
        transform(r, x, y);
        x += r.get<double>(usbrecord::kTargetOffset);
        lastX_ = x;
        lastY_ = y;
        double factor = kFiveTargetFactor;
        if (!five) {
            const double p = sampleScale(r) * scaleDivisorOf(r);
            const double a = AdditiveTerm(p);
            additive_ = a;
            factor = a + p != 0 ? eventDistance() / (a + p) : kNaN;
        }
        lastFactor_ = factor;
        x *= factor;
        y *= factor;
        if (count == 0) {
            filterX_.Restart();
            filterY_.Restart();
        }
        const double fx = 100 * filterX_.Filter(x);
        const double fy = 100 * filterY_.Filter(y);
        if (std::fabs(fx) < kMaxHundredths && std::fabs(fy) < kMaxHundredths) {
            const int32_t ix = static_cast<int32_t>(std::trunc(fx));
            const int32_t iy = static_cast<int32_t>(std::trunc(fy));
            trace->_Add(ix, iy);
            ComPtr<IAimingAttr> attr;
            DATE enter = 0;
            const ComPtr<IEventParams> event = host().Event(1);
            if (event && SUCCEEDED(recorder_.aiming()->get_Attr(attr.put())) && SUCCEEDED(attr->get_EnterTime(&enter))
                && enter == 0) {
                float score = 0;
                if (SUCCEEDED(event->GetPointScore(ix / 100.0f, iy / 100.0f, 1, &score)) && score >= 1)
                    attr->put_EnterTime(Now());
            }
        } else {
            // NaN or far off: the sample still takes its place in time.
            trace->AddInvalid();
        }
    }
    if (triggerIndex_ > 0) {
        int32_t last = 0;
        trace->get_Last(&last);
        trace->put_UserData(triggerIndex_, last, r.trigger());
    }
    ++samplesInAiming_;
    recorder_.CountPoint();
    return true;
}

void CKavroDeviceUSB::TakeShot(bool missed, const SampleRecord* r)
{
    if (!recorder_.recording())
        return;
    if (!missed && r) {
        if (!wireless_)
            optical_.SetFixedAngle(r->get<double>(usbrecord::kSmoothedAngle));
        if (calibrationMode_) {
            angle0_ = r->angle();
            dx0_ = r->targetX();
            dy0_ = r->targetY();
            calibratedScale_ = r->scale();
            calibrated_ = true;
            saveCalibration();
        } else {
            reference_ = Reference{r->angle(), r->targetX(), r->targetY(), lastX_, lastY_, lastFactor_};
        }
    }
    if (shotLimitReached())
        return;
    ++shots_;
    samplesSinceShot_ = 0;
    FlushCoordinates();
    const double fraction = missed || !r ? kNaN : r->get<double>(usbrecord::kShotFraction);
    ComPtr<IShot> shot = recorder_.NewShot(missed, fraction);
    if (!shot)
        return;
    if (fiveTargetMode()) {
        int32_t n = 0;
        shot->get_AreaIndex(&n);
        if (n > 0 && SetLight2(n, true)) {
            lightPulse_ = host().SampleRate() / 2;
            lightPulseBit_ = n;
        }
    }
    recorder_.AnnounceShot(shot.get());
    settled_ = false;
    settleCounter_ = 0;
}

void CKavroDeviceUSB::AddShot(bool unlimited)
{
    if (!recorder_.recording() || (!unlimited && shotLimitReached()))
        return;
    ComPtr<IShot> shot = recorder_.NewShot(false, kNaN);
    if (!shot)
        return;
    ++shots_;
    samplesSinceShot_ = 0;
    recorder_.AnnounceShot(shot.get());
    settled_ = false;
    settleCounter_ = 0;
}

void CKavroDeviceUSB::ConcludeAiming()
{
    const int32_t minimum = eventInt(&IEventParams::get_MinShotsPerAiming, 0);
    recorder_.AddMissedShots(minimum, shots_, [this] { TakeShot(true, nullptr); });
    if (recorder_.ConcludeAiming())
        ResetAiming();
}

void CKavroDeviceUSB::ResetAiming()
{
    recorder_.ResetAiming();
    triggerIndex_ = -1;
    samplesSinceShot_ = 0;
    idle_ = 0;
    settled_ = true;
    settleCounter_ = 0;
}

void CKavroDeviceUSB::FlushCoordinates()
{
    recorder_.FlushCoordinates();
}

void CKavroDeviceUSB::ConcludeCurrentAiming(int32_t n)
{
    recorder_.ConcludeCurrentAiming(n, [this] { ConcludeAiming(); });
    ResetAiming();
    shots_ = 0;
}

void CKavroDeviceUSB::CorrectionChanged()
{
    const double x = host().CorrectionX(1) / 100.0;
    const double y = host().CorrectionY(1) / 100.0;
    if (reference_ && reference_->factor != 0 && std::isfinite(reference_->factor)) {
        const double shiftX = (x - corrX_) / reference_->factor;
        const double shiftY = (y - corrY_) / reference_->factor;
        angle0_ = reference_->angle;
        dx0_ = reference_->x - (shiftX + reference_->tx);
        dy0_ = reference_->y - (shiftY + reference_->ty);
        // The shot now lies where this change put it: the next change moves it on from there
        // instead of undoing this one.
        reference_->tx += shiftX;
        reference_->ty += shiftY;
        calibrated_ = true;
    }
    corrX_ = x;
    corrY_ = y;
    saveCalibration();
}

} // namespace kavro
