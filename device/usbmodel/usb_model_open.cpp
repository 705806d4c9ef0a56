// Opening, starting and closing the USB devices of the model.
#include "device/usbmodel/usb_model.h"

#include "device/pipeline/notices.h"
#include "device/usb/usb_ids.h"
#include "device/usb/usb_requests.h"

namespace kavro {

namespace {
constexpr double kCoordinateCutoff = 0.15;
constexpr double kRipple = 0.5;
constexpr uint32_t kReceiverSettleMs = 100;
constexpr uint32_t kTargetSearchMs = 1000;
constexpr int kTargetSearchTries = 3;
constexpr uint32_t kAuxiliaryProbeMs = 1000;
// The optical sensor's calibration words are 16.16 fixed point.
constexpr double kFixedOne = 65536.0;
} // namespace

bool CKavroDeviceUSB::fail(const char* text)
{
    host().SetStatusText(QString::fromUtf8(text));
    return false;
}

bool CKavroDeviceUSB::Open()
{
    if (IsOpen())
        return true;
    filterX_.Design(kCoordinateCutoff, IirFilter::LowPass, kRipple, 2);
    filterY_.Design(kCoordinateCutoff, IirFilter::LowPass, kRipple, 2);
    targetNumber_ = 0;
    calibrationMode_ = host().CalibrationMode(1);
    setRegulationIdle();
    link_.Reset();
    resampleX_.Reset();
    resampleY_.Reset();
    if (!openDevices())
        return false;
    // The base makes the window and the ring of five seconds of samples, then starts.
    return CGenericKavro::Open();
}

bool CKavroDeviceUSB::openDevices()
{
    if (wireless_) {
        if (!openWirelessSource())
            return false;
    } else if (!openWiredSensor()) {
        return false;
    }
    if (target_.IsOpen()) {
        serials_[1] = target_.SerialNumber();
        host().SetDeviceSerial(2, serials_[1]);
        uint8_t state[16] = {};
        if (!target_.ControlRequest(usbreq::kTargetState, 0, 0, state, sizeof state) || state[0] != 1)
            return fail("Target is not connected (1). Check cable.");
        loadCalibration();
    }
    if (receiver_.IsOpen() && !readReceiverTarget())
        return false;
    if (home_.IsOpen() && !openHomeTarget())
        return false;
    if (wireless_) {
        SendTargetFace();
        return true;
    }
    if (!readOpticalCalibration())
        return fail("Missing optical sensor's calibration info.");
    optical_.SendShotThreshold(shotThreshold_);
    return true;
}

bool CKavroDeviceUSB::openWirelessSource()
{
    if (DevicePathHasInterface(path_, usbids::wirelessReceiverDevices())) {
        if (!receiver_.Open(path_))
            return fail(receiver_.ErrorText().c_str());
    } else if (!home_.Open(path_)) {
        return fail(home_.ErrorText().c_str());
    }
    return true;
}

bool CKavroDeviceUSB::openWiredSensor()
{
    host().SetStatusText(QString());
    QString error;
    auto keep = [&](const UsbDevice& d) {
        if (!d.ErrorText().empty())
            error = QString::fromStdString(d.ErrorText());
    };
    if (!target_.OpenFirst(usbids::wiredTargetDevices())) {
        keep(target_);
        if (!receiver_.OpenFirst(usbids::wirelessReceiverDevices())) {
            keep(receiver_);
            if (!home_.OpenFirst(usbids::homeTargetDevices())) {
                keep(home_);
                host().SetStatusText(error.isEmpty() ? QStringLiteral("Target controller is not connected") : error);
                return false;
            }
        }
    }
    optical_.SetSensorKind(kSensorKind);
    if (!optical_.Open(path_)) {
        const std::string text = optical_.ErrorText();
        return fail(text.empty() ? "Unable to retrieve optical sensor's serial number" : text.c_str());
    }
    serials_[0] = optical_.SerialNumber();
    host().SetDeviceSerial(1, serials_[0]);
    return true;
}

bool CKavroDeviceUSB::findTargetNumber()
{
    uint8_t targets[16] = {};
    if (!receiver_.ControlRequest(usbreq::kReceiverTargets, 0, 0, targets, sizeof targets))
        return false;
    for (int i = 0; i < 16; ++i) {
        if (targets[i]) {
            targetNumber_ = i + 1;
            return true;
        }
    }
    return false;
}

bool CKavroDeviceUSB::readTargetDescriptor()
{
    if (!wirelessQuery(usbreq::kCmdReadDescriptor, descriptor_.data(), descriptor_.size()))
        return fail("Unable to retrieve target's descriptor");
    if (!wirelessQuery(usbreq::kCmdReadSettings, targetSettings_.data(), targetSettings_.size()))
        return fail("Unable to retrieve target's settings");
    return true;
}

bool CKavroDeviceUSB::readReceiverTarget()
{
    receiver_.ControlOut(usbreq::kReceiverMode, 1, 0);
    host().clock().sleep(kReceiverSettleMs, &StopEvent());
    bool found = false;
    for (int i = 0; i < kTargetSearchTries && !found; ++i) {
        host().clock().sleep(kTargetSearchMs, &StopEvent());
        found = findTargetNumber();
    }
    if (!found)
        return fail("Target is not connected (2). Check cable.");
    serials_[1] = receiver_.SerialNumber();
    if (serials_[1] == UsbSerialNumber{})
        return fail("Unable to retrieve target controller's serial number");
    host().SetDeviceSerial(2, serials_[1]);
    if (!readTargetDescriptor())
        return false;
    if (descriptorType() == kDescriptorTypeLeds) {
        ledsSupported_ = lampsSupported_ = true;
        loadLightLevels();
        applyReferenceSize(50.0);
    } else {
        applyReferenceSize(190.0);
        {
            std::lock_guard g(regLock_);
            settings_ = {128, 128};
        }
        loadCalibration();
        const auto s = SignalSettings();
        sendSignalSettings(s[0], s[1]);
    }
    return true;
}

bool CKavroDeviceUSB::openHomeTarget()
{
    serials_[1] = home_.SerialNumber();
    host().SetDeviceSerial(2, serials_[1]);
    if (!home_.SetMode(1) || !home_.SetSwitch1(1))
        return fail("Unable to start target device (1)");
    ledsSupported_ = lampsSupported_ = true;
    loadLightLevels();
    if (wireless_) {
        if (!home_.SetSwitch2(1) || !home_.SetSwitch3(1))
            return fail("Unable to start target device (2)");
    } else if (!home_.SetSwitch2(0) || !home_.SetSwitch3(1)) {
        return fail("Unable to start target device (3)");
    }
    applyReferenceSize(50.0);
    SendTargetFace();
    {
        std::lock_guard g(regLock_);
        settings_ = wireless_ ? std::array<int32_t, 2>{40000, 40000} : std::array<int32_t, 2>{2000, 2000};
    }
    loadCalibration();
    const auto s = SignalSettings();
    sendSignalSettings(s[0], s[1]);
    return true;
}

bool CKavroDeviceUSB::readOpticalCalibration()
{
    uint8_t info[20] = {};
    if (!optical_.ControlRequest(usbreq::kOpticalCalibration, 0, 0, info, sizeof info))
        return false;
    double values[5];
    for (size_t i = 0; i < 5; ++i) {
        const uint32_t word = readU32(info + i * 4);
        if (word == 0 || word == 0xFFFFFFFFu)
            return false;
        values[i] = word / kFixedOne;
    }
    optical_.SetCalibration({values[0], values[1], values[2], values[3]}, values[4]);
    return true;
}

void CKavroDeviceUSB::applyReferenceSize(double size)
{
    if (wireless_)
        link_.referenceSize = size;
    else
        optical_.SetNominalSeparation(size);
}

bool CKavroDeviceUSB::Start()
{
    hookSources();
    if (wireless_) {
        if (receiver_.IsOpen()) {
            if (targetNumber_ < 1)
                return fail("Target is not connected (4). Check cable.");
            wirelessCommand({usbreq::kCmdStartWireless});
        }
        startTick_ = host().clock().tickMs();
        return true;
    }
    if (!optical_.ControlOut(usbreq::kOpticalStart, 0, 0))
        return fail("Unable to start optical sensor");
    if (target_.IsOpen()) {
        target_.ControlOut(usbreq::kStart, 0, 0);
    } else if (receiver_.IsOpen() && !home_.IsOpen()) {
        if (targetNumber_ < 1)
            return fail("Target is not connected (3). Check cable.");
        wirelessCommand({usbreq::kCmdStartWired});
    }
    return true;
}

void CKavroDeviceUSB::hookSources()
{
    const QueuePoster poster = Queue() ? Queue()->poster() : QueuePoster();
    if (wireless_) {
        receiver_.eventWirelessData.Hook([this](ByteSpan p) { OnWirelessPacket(p); });
        home_.eventWirelessData.Hook([this](int kind, ByteSpan p) {
            if (kind == 0)
                OnWirelessPacket(p);
        });
    } else {
        optical_.eventSignal.Hook([this](const OpticalSample& s) { OnSignal(s); });
    }
    target_.eventConnect.Hook([poster] { poster.post(kTargetNoticeMessage, 0, 0); });
    receiver_.eventTarget.Hook([poster](int number, ByteSpan) { poster.post(kTargetNoticeMessage, 1, number); });
}

void CKavroDeviceUSB::unhookSources()
{
    optical_.eventSignal.Unhook();
    receiver_.eventWirelessData.Unhook();
    receiver_.eventTarget.Unhook();
    home_.eventWirelessData.Unhook();
    target_.eventConnect.Unhook();
    pulse_.eventHeartBeat.Unhook();
}

void CKavroDeviceUSB::openAuxiliarySensors()
{
    // Plugged in at any time; looked for at most once a second so a batch stays cheap.
    static_assert(kAuxiliaryProbeMs > 0);
    // One whose reader gave up has been unplugged: let it go, or it could never be opened again.
    for (UsbDevice* d : std::initializer_list<UsbDevice*>{&trigger_, &pulse_})
        if (d->IsFailed())
            d->Close();
    const uint32_t now = host().clock().tickMs();
    if (auxProbed_ && now - lastAuxProbe_ < kAuxiliaryProbeMs)
        return;
    auxProbed_ = true;
    lastAuxProbe_ = now;
    if (!trigger_.IsOpen() && trigger_.OpenFirst(usbids::triggerSensorDevices()))
        trigger_.ControlOut(usbreq::kStart, 0, 0);
    if (!pulse_.IsOpen() && pulse_.OpenFirst(usbids::pulseSensorDevices())) {
        pulse_.ControlOut(usbreq::kStart, 0, 0);
        pulse_.ClearPreviousBeat();
        pulseRate_.Clear();
        lastPulse_ = 0;
        const QueuePoster poster = Queue() ? Queue()->poster() : QueuePoster();
        pulse_.eventHeartBeat.Hook([this, poster](DATE beat) {
            {
                std::lock_guard g(beatLock_);
                pendingBeat_ = beat;
            }
            poster.post(kSensorNoticeMessage, 1, 0);
        });
    }
}

void CKavroDeviceUSB::Stop()
{
    if (recorder_.recording())
        ConcludeAiming();
    stopTargets();
}

void CKavroDeviceUSB::stopTargets()
{
    lightMask1_ = lightMask2_ = 0;
    if (target_.IsOpen())
        target_.ControlOut(usbreq::kStop, 0, 0);
    if (receiver_.IsOpen()) {
        wirelessCommand({usbreq::kCmdStopAll}, usbreq::kAllTargets);
        receiver_.ControlOut(usbreq::kReceiverMode, 0, 0);
    } else if (home_.IsOpen()) {
        home_.ResetTarget();
    }
    if (optical_.IsOpen())
        optical_.ControlOut(usbreq::kOpticalStop, 0, 0);
    for (UsbDevice* d : std::initializer_list<UsbDevice*>{&trigger_, &pulse_})
        if (d->IsOpen())
            d->ControlOut(usbreq::kStop, 0, 0);
}

void CKavroDeviceUSB::Close()
{
    CGenericKavro::Close();
    unhookSources();
    for (UsbDevice* d : std::initializer_list<UsbDevice*>{&optical_, &target_, &trigger_, &pulse_, &home_, &receiver_})
        d->Close();
}

} // namespace kavro
