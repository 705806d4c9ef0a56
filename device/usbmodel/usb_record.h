#pragma once
// Where the USB model keeps its own fields in a sample record. The shared fields (signal level,
// shot amplitude in the piezo slot, trigger, signal flag, scale, angle, X and Y) keep their
// common offsets; everything below sits in the bytes the common layout leaves free.
#include "device/pipeline/sample_record.h"

namespace kavro::usbrecord {

constexpr size_t kShotFlag = 18; // uint8
constexpr size_t kSmoothedAngle = 37; // double
constexpr size_t kTargetOffset = 61; // double, five-target X offset
constexpr size_t kShotFraction = 77; // double, NaN when none
constexpr size_t kRawFlag = 85; // uint8
constexpr size_t kRawPacket = 86; // up to 32 bytes
constexpr size_t kRawMax = 32;
constexpr size_t kRawLength = 118; // int32
constexpr size_t kLinkScale = 122; // double

static_assert(kLinkScale + sizeof(double) <= SampleRecord::kStatus);

} // namespace kavro::usbrecord
