// The target side of the model: lights, faces, emitter settings and target connections.
#include "device/usbmodel/usb_model.h"

#include "device/usb/usb_requests.h"

#include <vector>

namespace kavro {

namespace {
constexpr int kMaxLightBit = 16;
constexpr int kMaxLevel = 7;
constexpr int kFiveTargetHoldOff = 5;

bool isPairType(int type)
{
    return type == 2 || type == 3 || (type >= 5 && type <= 8);
}
} // namespace

bool CKavroDeviceUSB::pairType() const
{
    return wireless_ && isPairType(link_.DeviceType());
}

bool CKavroDeviceUSB::fiveTargetMode() const
{
    const ComPtr<IEventParams> event = host().Event(1);
    QString name;
    return event && SUCCEEDED(event->get_ShortName(&name)) && name == QLatin1String("BTLN") && receiver_.IsOpen()
        && targetNumber_ > 0 && descriptorType() == kDescriptorTypeLeds;
}

bool CKavroDeviceUSB::wirelessCommand(std::initializer_list<uint8_t> bytes, int target)
{
    const std::vector<uint8_t> payload(bytes);
    const usbreq::WirelessTiming t = usbreq::wirelessTiming(payload.empty() ? 0 : payload[0]);
    return receiver_.WirelessCommand(target < 0 ? targetNumber_ : target, payload.data(), payload.size(), t.retryMs,
                                     t.waitMs);
}

bool CKavroDeviceUSB::wirelessQuery(uint8_t command, uint8_t* answer, size_t length)
{
    const usbreq::WirelessTiming t = usbreq::wirelessTiming(command);
    return receiver_.WirelessQuery(targetNumber_, &command, 1, answer, length, t.retryMs, t.waitMs);
}

bool CKavroDeviceUSB::sendSignalSettings(int32_t s0, int32_t s1)
{
    bool sent = false;
    if (receiver_.IsOpen()) {
        sent = targetNumber_ > 0
            && wirelessCommand({usbreq::kCmdSignalSettings, static_cast<uint8_t>(s0), static_cast<uint8_t>(s1)});
    } else if (home_.IsOpen()) {
        const uint16_t codes = faceCodes_.load();
        sent = home_.SetIndexedSetting1(static_cast<uint16_t>(s0), static_cast<uint8_t>(codes >> 8))
            && home_.SetIndexedSetting2(static_cast<uint16_t>(s1), static_cast<uint8_t>(codes & 0xFF));
    } else if (target_.IsOpen()) {
        sent = target_.ControlOut(usbreq::kTargetSignalSettings, static_cast<uint16_t>(s0), static_cast<uint16_t>(s1));
    }
    return sent;
}

void CKavroDeviceUSB::SendTargetFace()
{
    const int32_t n = host().SubTarget(1);
    uint8_t a = 10, b = 16;
    if ((receiver_.IsOpen() || home_.IsOpen()) && pairType()) {
        static constexpr uint8_t kFaces[5][2] = {{10, 16}, {12, 14}, {18, 22}, {20, 26}, {24, 28}};
        const int k = ((n - 1) % 5 + 5) % 5;
        a = kFaces[k][0];
        b = kFaces[k][1];
    } else if (n % 2 == 0) {
        a = 12, b = 14;
    } else if (!wireless_) {
        a = 16, b = 18;
    }
    if (receiver_.IsOpen()) {
        if (wirelessCommand({usbreq::kCmdTargetFace, a, b}))
            faceCodes_.store(static_cast<uint16_t>(a | b << 8));
    } else if (home_.IsOpen()) {
        faceCodes_.store(static_cast<uint16_t>(a | b << 8));
        const auto s = SignalSettings();
        home_.SetIndexedSetting1(static_cast<uint16_t>(s[0]), b);
        home_.SetIndexedSetting2(static_cast<uint16_t>(s[1]), a);
    } else if (target_.IsOpen()) {
        target_.ControlOut(usbreq::kTargetFace, static_cast<uint16_t>(((n % 2) + 2) % 2), 0);
    }
    if (!wireless_ && optical_.IsOpen())
        optical_.ControlOut(usbreq::kOpticalSubTarget, static_cast<uint16_t>(((n % 2) + 2) % 2), 0);
}

bool CKavroDeviceUSB::SetSubTarget(int32_t n, int32_t)
{
    if (n != 1)
        return true;
    if (wireless_ || (optical_.IsOpen() && (target_.IsOpen() || receiver_.IsOpen() || home_.IsOpen())))
        SendTargetFace();
    if (target_.IsOpen()) {
        const auto s = SignalSettings();
        target_.ControlOut(usbreq::kTargetSignalSettings, static_cast<uint16_t>(s[0]), static_cast<uint16_t>(s[1]));
    }
    return true;
}

static bool setBit(uint16_t& mask, int bit, bool on)
{
    if (bit < 1 || bit > kMaxLightBit)
        return false;
    const uint16_t b = static_cast<uint16_t>(1u << (bit - 1));
    mask = on ? static_cast<uint16_t>(mask | b) : static_cast<uint16_t>(mask & ~b);
    return true;
}

bool CKavroDeviceUSB::SetLight1(int bit, bool on)
{
    uint16_t mask1 = lightMask1_;
    if (!setBit(mask1, bit, on))
        return false;
    bool sent = false;
    if (receiver_.IsOpen()) {
        const uint8_t m1 = static_cast<uint8_t>(mask1), m2 = static_cast<uint8_t>(lightMask2_);
        sent = targetNumber_ > 0
            && (descriptorType() == kDescriptorTypeLeds ? wirelessCommand({usbreq::kCmdLightMasks, m2, m1})
                                                        : wirelessCommand({usbreq::kCmdLightMasks, m1, m2}));
    } else if (home_.IsOpen()) {
        sent = home_.SetLightMask1(static_cast<uint8_t>(mask1));
    } else if (target_.IsOpen()) {
        sent = target_.ControlOut(usbreq::kTargetLights, mask1, lightMask2_);
    }
    if (sent)
        lightMask1_ = mask1;
    return sent;
}

bool CKavroDeviceUSB::SetLight2(int bit, bool on)
{
    uint16_t mask2 = lightMask2_;
    if (!setBit(mask2, bit, on))
        return false;
    bool sent = false;
    if (receiver_.IsOpen()) {
        const uint8_t m1 = static_cast<uint8_t>(lightMask1_), m2 = static_cast<uint8_t>(mask2);
        sent = targetNumber_ > 0
            && (descriptorType() == kDescriptorTypeLeds ? wirelessCommand({usbreq::kCmdLightMasks, m2, m1})
                                                        : wirelessCommand({usbreq::kCmdLightMasks, m1, m2}));
    } else if (home_.IsOpen()) {
        sent = home_.SetLightMask2(static_cast<uint8_t>(mask2));
    } else if (target_.IsOpen()) {
        sent = target_.ControlOut(usbreq::kTargetLights, lightMask1_, mask2);
    }
    if (sent)
        lightMask2_ = mask2;
    return sent;
}

bool CKavroDeviceUSB::SetSemaphore(int32_t kind)
{
    if (kind == 0) {
        allLightsOff();
        return true;
    }
    const bool a = SetLight2(1, kind == 2);
    const bool b = SetLight1(2, kind == 1);
    return a && b;
}

void CKavroDeviceUSB::allLightsOff()
{
    for (int bit = 1; bit <= kMaxLightBit; ++bit) {
        if (lightMask1_ & (1u << (bit - 1)))
            SetLight1(bit, false);
        if (lightMask2_ & (1u << (bit - 1)))
            SetLight2(bit, false);
    }
}

bool CKavroDeviceUSB::selectFiveTarget(int target)
{
    selectedTarget_ = target;
    holdOff_ = kFiveTargetHoldOff;
    return wirelessCommand({usbreq::kCmdSelectTarget, static_cast<uint8_t>(1u << target)});
}

void CKavroDeviceUSB::SetLedsBrightness(int32_t level)
{
    if (!ledsSupported_ || level < 0 || level > kMaxLevel)
        return;
    bool sent = false;
    if (home_.IsOpen())
        sent = home_.SetLedLevel(level);
    else if (receiver_.IsOpen() && targetNumber_ > 0)
        sent = wirelessCommand({usbreq::kCmdLedLevel, static_cast<uint8_t>(kMaxLevel - level)});
    if (!sent)
        return;
    ledLevel_ = level;
    saveLightLevels();
}

void CKavroDeviceUSB::SetLampsBrightness(int32_t level)
{
    if (!lampsSupported_ || level < 0 || level > kMaxLevel)
        return;
    bool sent = false;
    if (home_.IsOpen())
        sent = home_.SetLampLevel(level);
    else if (receiver_.IsOpen() && targetNumber_ > 0)
        sent = wirelessCommand({usbreq::kCmdLampLevel, static_cast<uint8_t>(level)});
    if (!sent)
        return;
    lampLevel_ = level;
    saveLightLevels();
}

void CKavroDeviceUSB::loadLightLevels()
{
    const QString serial = targetSerialText();
    if (ledsSupported_)
        SetLedsBrightness(store_.LoadLightLevel(serial, "leds_brightness"));
    if (lampsSupported_)
        SetLampsBrightness(store_.LoadLightLevel(serial, "lamps_brightness"));
}

void CKavroDeviceUSB::saveLightLevels()
{
    const QString serial = targetSerialText();
    if (ledsSupported_ && ledLevel_ != kUnknownLevel)
        store_.SaveLightLevel(serial, "leds_brightness", ledLevel_);
    if (lampsSupported_ && lampLevel_ != kUnknownLevel)
        store_.SaveLightLevel(serial, "lamps_brightness", lampLevel_);
}

void CKavroDeviceUSB::CalibrationModeChanged()
{
    const bool on = host().CalibrationMode(1);
    calibrationMode_ = on;
    if (!wireless_)
        optical_.SetUseMeasuredAngle(on);
    if (fiveTargetMode()) {
        selectFiveTarget(2);
    }
    allLightsOff();
    if (on)
        SetLight2(1, true);
    if (wireless_ && on) {
        setRegulationIdle();
        if (receiver_.IsOpen() && targetNumber_ > 0) {
            if (sendSignalSettings(128, 128)) {
                std::lock_guard g(regLock_);
                settings_ = {128, 128};
            }
        } else if (home_.IsOpen()) {
            if (sendSignalSettings(40000, 40000)) {
                std::lock_guard g(regLock_);
                settings_ = {40000, 40000};
            }
        }
    }
}

void CKavroDeviceUSB::OnTargetNotice(intptr_t, intptr_t)
{
    if (!IsOpen())
        return;
    if (target_.IsOpen()) {
        uint8_t state[16] = {};
        if (!target_.ControlRequest(usbreq::kTargetState, 0, 0, state, sizeof state) || state[0] != 1)
            return;
        switch (state[2] | (state[3] << 8)) {
        case 6: optical_.SetNominalSeparation(182.0); break;
        case 7:
        case 13: optical_.SetNominalSeparation(76.0); break;
        case 11: optical_.SetNominalSeparation(190.0); break;
        default: break;
        }
        SendTargetFace();
        const auto s = SignalSettings();
        target_.ControlOut(usbreq::kTargetSignalSettings, static_cast<uint16_t>(s[0]), static_cast<uint16_t>(s[1]));
        target_.ControlOut(usbreq::kStart, 0, 0);
        return;
    }
    if (!receiver_.IsOpen())
        return;
    if (holdOff_ > 0) {
        --holdOff_;
        return;
    }
    if (!findTargetNumber())
        return;
    if (!wirelessQuery(usbreq::kCmdReadDescriptor, descriptor_.data(), descriptor_.size())
        || !wirelessQuery(usbreq::kCmdReadSettings, targetSettings_.data(), targetSettings_.size()))
        return;
    const bool leds = descriptorType() == kDescriptorTypeLeds;
    applyReferenceSize(leds ? 50.0 : 190.0);
    SendTargetFace();
    setRegulationIdle();
    {
        std::lock_guard g(regLock_);
        settings_ = {128, 128};
    }
    loadCalibration();
    if (leds)
        selectFiveTarget(2);
    const auto s = SignalSettings();
    sendSignalSettings(s[0], s[1]);
    if (!Start())
        targetNumber_ = 0;
}

void CKavroDeviceUSB::OnSensorNotice(intptr_t, intptr_t)
{
    std::optional<DATE> beat;
    {
        std::lock_guard g(beatLock_);
        beat.swap(pendingBeat_);
    }
    if (!beat)
        return;
    FireHeartBeat(1, 0, *beat);
    const auto rate = pulseRate_.AddBeat(*beat);
    if (rate && *rate != lastPulse_) {
        lastPulse_ = *rate;
        FirePulseChanged(1, *rate);
    }
}

} // namespace kavro
