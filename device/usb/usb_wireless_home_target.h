#pragma once
// The home-use wireless target: a target and receiver in one box. It relays the wireless
// sensor's packets and takes its settings as vendor requests; each setting is checked before it
// is sent and remembered once the target accepted it.
#include "device/usb/usb_device.h"
#include "device/usb/usb_event.h"

#include <array>

namespace kavro {

struct HomeTargetSettings {
    int mode = 0;
    uint8_t lightMask1 = 0;
    uint8_t lightMask2 = 0;
    int ledLevel = 0;
    int lampLevel = 0;
    int switch1 = 0;
    int switch2 = 0;
    int switch3 = 0;
    uint16_t indexedValue1 = 0;
    uint8_t indexedIndex1 = 0;
    uint16_t indexedValue2 = 0;
    uint8_t indexedIndex2 = 0;
};

class UsbWirelessHomeTarget : public UsbDevice {
public:
    UsbWirelessHomeTarget() = default;
    ~UsbWirelessHomeTarget() override;

    // (record kind, packet): the packets of the wireless sensor, kind 0.
    UsbEvent<int, ByteSpan> eventWirelessData;

    UsbFirmwareVersion Version() const;
    UsbSerialNumber SerialNumber() const;
    std::array<uint8_t, 16> TargetState() const;
    HomeTargetSettings Settings() const;

    bool SetMode(int mode);
    bool SetLightMasks(uint8_t mask1, uint8_t mask2);
    bool SetLightMask1(uint8_t mask);
    bool SetLightMask2(uint8_t mask);
    bool SetLedLevel(int level);
    bool SetLampLevel(int level);
    bool SetSwitch1(int on);
    bool SetSwitch2(int on);
    bool SetSwitch3(int on);
    bool SetIndexedSetting1(uint16_t value, uint8_t index);
    bool SetIndexedSetting2(uint16_t value, uint8_t index);
    // Request 145: the target returns to its idle state; the remembered settings are cleared.
    bool ResetTarget();

protected:
    bool Start() override;
    void Stop() override;
    void OnData(ByteSpan data) override;

private:
    bool Send(uint8_t request, uint16_t value, uint16_t index);

    mutable std::mutex lock_;
    UsbFirmwareVersion version_;
    UsbSerialNumber serial_{};
    std::array<uint8_t, 16> state_{};
    HomeTargetSettings settings_;
};

} // namespace kavro
