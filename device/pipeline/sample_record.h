#pragma once
// One decoded device sample as it travels from a reader thread to the control thread: 514 bytes,
// little-endian, unaligned, zero-filled before a decoder writes it. Models keep further data of
// their own in the bytes not named here. Fields are read and written through memcpy: a packed
// struct would hand out misaligned references.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace kavro {

struct SampleRecord {
    static constexpr size_t kSize = 514;
    static constexpr size_t kCounter = 0; // uint8: sequence counter, wraps at the model's modulus
    static constexpr size_t kSignalLevel = 1; // int16
    static constexpr size_t kX = 3; // int32, raw sensor units
    static constexpr size_t kY = 7; // int32
    static constexpr size_t kPiezoLevel = 11; // int16
    static constexpr size_t kPulse = 13; // int16, pulse sensor value
    static constexpr size_t kTrigger = 15; // int16, trigger value
    static constexpr size_t kValid = 17; // uint8
    static constexpr size_t kScale = 21; // double, scale of the position estimate
    static constexpr size_t kAngle = 29; // double, radians
    static constexpr size_t kTargetX = 45; // double, millimetres on the target before rotation
    static constexpr size_t kTargetY = 53; // double
    static constexpr size_t kMicPhase = 69; // double, microphone phase of a shot
    static constexpr size_t kStatus = 378; // image sensor status block, to the end
    static constexpr size_t kStatusSize = kSize - kStatus;

    uint8_t bytes[kSize] = {};

    template <class T> T get(size_t offset) const
    {
        static_assert(std::is_trivially_copyable_v<T>);
        T v;
        std::memcpy(&v, bytes + offset, sizeof v);
        return v;
    }
    template <class T> void put(size_t offset, T v)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        std::memcpy(bytes + offset, &v, sizeof v);
    }

    uint8_t counter() const { return bytes[kCounter]; }
    void setCounter(uint8_t v) { bytes[kCounter] = v; }
    int16_t signalLevel() const { return get<int16_t>(kSignalLevel); }
    void setSignalLevel(int16_t v) { put(kSignalLevel, v); }
    int32_t x() const { return get<int32_t>(kX); }
    void setX(int32_t v) { put(kX, v); }
    int32_t y() const { return get<int32_t>(kY); }
    void setY(int32_t v) { put(kY, v); }
    int16_t piezoLevel() const { return get<int16_t>(kPiezoLevel); }
    void setPiezoLevel(int16_t v) { put(kPiezoLevel, v); }
    int16_t pulse() const { return get<int16_t>(kPulse); }
    void setPulse(int16_t v) { put(kPulse, v); }
    int16_t trigger() const { return get<int16_t>(kTrigger); }
    void setTrigger(int16_t v) { put(kTrigger, v); }
    bool valid() const { return bytes[kValid] != 0; }
    void setValid(bool v) { bytes[kValid] = v ? 1 : 0; }
    double scale() const { return get<double>(kScale); }
    void setScale(double v) { put(kScale, v); }
    double angle() const { return get<double>(kAngle); }
    void setAngle(double v) { put(kAngle, v); }
    double targetX() const { return get<double>(kTargetX); }
    void setTargetX(double v) { put(kTargetX, v); }
    double targetY() const { return get<double>(kTargetY); }
    void setTargetY(double v) { put(kTargetY, v); }
    double micPhase() const { return get<double>(kMicPhase); }
    void setMicPhase(double v) { put(kMicPhase, v); }
    uint8_t* status() { return bytes + kStatus; }
    const uint8_t* status() const { return bytes + kStatus; }
};

static_assert(std::endian::native == std::endian::little, "the record is stored in native order");
static_assert(sizeof(SampleRecord) == SampleRecord::kSize);
static_assert(std::is_trivially_copyable_v<SampleRecord>);

} // namespace kavro
