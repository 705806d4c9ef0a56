#pragma once
// One decoded device sample as it travels from a reader thread to the control thread: 514 bytes,
// little-endian, unaligned, zero-filled before a decoder writes it. Models keep further data of
// their own in the bytes not named here.
#include <bit>
#include <cstddef>
#include <cstdint>

namespace kavro {

#pragma pack(push, 1)
struct SampleRecord {
    uint8_t counter;        // sequence counter of the frame, wraps at the model's modulus
    int16_t signalLevel;
    int32_t x;              // raw sensor units
    int32_t y;
    int16_t piezoLevel;
    int16_t pulse;          // pulse sensor value
    int16_t trigger;        // trigger value
    uint8_t valid;
    uint8_t unused18[3];
    double scale;           // scale of the position estimate
    double angle;           // radians
    uint8_t unused37[8];
    double targetX;         // millimetres on the target, before rotation
    double targetY;
    uint8_t unused61[8];
    double micPhase;        // microphone phase of a shot
    uint8_t modelData[301]; // bytes 77..377, the USB models' own fields
    uint8_t status[136];    // bytes 378..513, the image sensor's status block
};
#pragma pack(pop)

static_assert(std::endian::native == std::endian::little, "the record layout is little-endian");
static_assert(sizeof(SampleRecord) == 514);
static_assert(offsetof(SampleRecord, signalLevel) == 1);
static_assert(offsetof(SampleRecord, x) == 3);
static_assert(offsetof(SampleRecord, y) == 7);
static_assert(offsetof(SampleRecord, piezoLevel) == 11);
static_assert(offsetof(SampleRecord, pulse) == 13);
static_assert(offsetof(SampleRecord, trigger) == 15);
static_assert(offsetof(SampleRecord, valid) == 17);
static_assert(offsetof(SampleRecord, scale) == 21);
static_assert(offsetof(SampleRecord, angle) == 29);
static_assert(offsetof(SampleRecord, targetX) == 45);
static_assert(offsetof(SampleRecord, targetY) == 53);
static_assert(offsetof(SampleRecord, micPhase) == 69);
static_assert(offsetof(SampleRecord, modelData) == 77);
static_assert(offsetof(SampleRecord, status) == 378);

} // namespace kavro
