#pragma once
// What the image sensor sends on its IN pipe: status packets, each possibly followed by the
// camera image in numbered data packets. The assembler holds every status back by one, so that
// a shot the camera reports with one status lands on the position of the status before it.
#include "device/pipeline/sample_record.h"
#include "device/usb/grey_image.h"
#include "device/usb/usb_packets.h"

#include <array>
#include <functional>

namespace kavro {

// A status as it arrives: 52 status bytes and a 16-bit trailer.
using ImageStatus = std::array<uint8_t, 54>;

namespace imgstatus {
constexpr size_t kKind = 1; // 2, 3 or 5
constexpr size_t kTotalLength = 2; // u16: status and image; 54 = no image
constexpr size_t kImageWidth = 10;
constexpr size_t kImageHeight = 11;
constexpr size_t kValid = 13; // 1 while the camera sees the target
constexpr size_t kSpotX = 16; // float, camera pixels
constexpr size_t kSpotY = 20;
constexpr size_t kShotLevel = 32; // u16
constexpr size_t kForeignShot = 38; // u32: how sure the camera is that the shot was ours
constexpr size_t kAngleX = 42; // u16, vector x + 2048
constexpr size_t kAngleY = 44;
constexpr size_t kThird = 46; // u16
constexpr size_t kTrailer = 52;
constexpr size_t kShotMarker = 53; // 4: the camera saw a shot
constexpr size_t kStatusBytes = 52;
constexpr uint8_t kShotSeen = 4;
// Below this measure a shot is another shooter's, when foreign shots are filtered.
constexpr uint32_t kOwnShotMeasure = 750;
} // namespace imgstatus

// Where a status lands in the sample record.
namespace imgrecord {
constexpr size_t kPresent = 378; // 1
constexpr size_t kNotice = 379; // 2: a status
constexpr size_t kStatus = 380; // the 52 status bytes
constexpr size_t kTrailer = 432;
constexpr size_t kSpotX = 434; // doubles from here on
constexpr size_t kSpotY = 442;
constexpr size_t kOffsetX = 450;
constexpr size_t kOffsetY = 458;
constexpr size_t kRelativeX = 466; // aiming offset minus spot, pixels
constexpr size_t kRelativeY = 474;
constexpr size_t kUnused1 = 482; // int32 -1
constexpr size_t kUnused2 = 486;
constexpr size_t kAngleX = 490; // the three 16-bit status values as doubles
constexpr size_t kAngleY = 498;
constexpr size_t kThird = 506;
constexpr uint8_t kStatusNotice = 2;
} // namespace imgrecord

struct StatusDecodeContext {
    double offsetX = 0;
    double offsetY = 0;
    double pixelScale = 0;
    bool filterForeignShots = true;
};

// Fills a zeroed record from one status.
void statusToRecord(const ImageStatus& status, const StatusDecodeContext& context, SampleRecord* record);

class ImagePacketAssembler {
public:
    using StatusHandler = std::function<void(const ImageStatus&)>;
    using ImageHandler = std::function<void(GreyImage image)>;

    ImagePacketAssembler(StatusHandler onStatus, ImageHandler onImage)
        : onStatus_(std::move(onStatus)), onImage_(std::move(onImage))
    {
    }

    // One packet as read from the pipe.
    void Feed(ByteSpan packet);
    // Forgets the held status and any image in progress.
    void Reset();

    bool IsAssembling() const { return assembling_; }
    bool HasHeldStatus() const { return held_; }

private:
    void OnControl(ByteSpan packet);
    void OnImageData(ByteSpan packet);
    void Complete();

    StatusHandler onStatus_;
    ImageHandler onImage_;
    ImageStatus current_{};
    ImageStatus heldStatus_{};
    bool held_ = false;
    bool assembling_ = false;
    std::vector<uint8_t> image_;
    size_t expectedImageBytes_ = 0;
    uint8_t nextSequence_ = 1;
};

} // namespace kavro
