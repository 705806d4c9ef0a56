#include "device/usb/image_sensor_status.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace kavro {

namespace {

constexpr uint8_t kControlPacket = 0;
constexpr uint8_t kAbortAssembly1 = 128;
constexpr uint8_t kAbortAssembly2 = 129;
constexpr uint16_t kAngleBias = 2048;

bool isStatusKind(uint8_t kind)
{
    return kind == 2 || kind == 3 || kind == 5;
}

double wrapAngle(double a)
{
    if (a > std::numbers::pi)
        a -= 2 * std::numbers::pi;
    else if (a < -std::numbers::pi)
        a += 2 * std::numbers::pi;
    return a;
}

} // namespace

void statusToRecord(const ImageStatus& s, const StatusDecodeContext& c, SampleRecord* r)
{
    using namespace imgstatus;
    r->bytes[imgrecord::kPresent] = 1;
    r->bytes[imgrecord::kNotice] = imgrecord::kStatusNotice;
    std::memcpy(r->bytes + imgrecord::kStatus, s.data(), kStatusBytes);
    std::memcpy(r->bytes + imgrecord::kTrailer, s.data() + kTrailer, 2);

    const double spotX = readF32(&s[kSpotX]);
    const double spotY = readF32(&s[kSpotY]);
    r->put(imgrecord::kSpotX, spotX);
    r->put(imgrecord::kSpotY, spotY);
    r->put(imgrecord::kOffsetX, c.offsetX);
    r->put(imgrecord::kOffsetY, c.offsetY);
    const double relX = c.offsetX - spotX;
    const double relY = c.offsetY - spotY;
    r->put(imgrecord::kRelativeX, relX);
    r->put(imgrecord::kRelativeY, relY);
    r->setTargetX(relX * c.pixelScale);
    r->setTargetY(relY * c.pixelScale);
    r->put(imgrecord::kUnused1, int32_t{-1});
    r->put(imgrecord::kUnused2, int32_t{-1});
    const uint16_t vx = readU16(&s[kAngleX]);
    const uint16_t vy = readU16(&s[kAngleY]);
    r->put(imgrecord::kAngleX, static_cast<double>(vx));
    r->put(imgrecord::kAngleY, static_cast<double>(vy));
    r->put(imgrecord::kThird, static_cast<double>(readU16(&s[kThird])));

    if (s[kShotMarker] == kShotSeen && (!c.filterForeignShots || readU32(&s[kForeignShot]) >= kOwnShotMeasure)) {
        r->setPiezoLevel(static_cast<int16_t>(readU16(&s[kShotLevel]) / 3));
        r->setMicPhase(0.0);
    }
    const double angle = wrapAngle(
        std::atan2(static_cast<double>(vy) - kAngleBias, static_cast<double>(vx) - kAngleBias) + std::numbers::pi / 2);
    r->setAngle(angle);
    // A spot of infinite size is no more a position than NaN is.
    r->setValid(s[kValid] == 1 && std::isfinite(angle) && std::isfinite(spotX) && std::isfinite(spotY));
}

void ImagePacketAssembler::Reset()
{
    held_ = false;
    assembling_ = false;
    image_.clear();
    expectedImageBytes_ = 0;
}

void ImagePacketAssembler::Feed(ByteSpan packet)
{
    if (packet.empty())
        return;
    if (packet[0] == kControlPacket)
        OnControl(packet);
    else
        OnImageData(packet);
}

void ImagePacketAssembler::OnControl(ByteSpan packet)
{
    if (packet.size() < 2)
        return;
    const uint8_t kind = packet[1];
    if (kind == kAbortAssembly1 || kind == kAbortAssembly2) {
        assembling_ = false;
        image_.clear();
        return;
    }
    if (!isStatusKind(kind) || packet.size() != current_.size())
        return;
    std::memcpy(current_.data(), packet.data(), current_.size());
    const uint16_t total = readU16(&current_[imgstatus::kTotalLength]);
    // A length below the status itself announces no image: nothing is waited for.
    if (total <= current_.size()) {
        assembling_ = false;
        image_.clear();
        Complete();
        return;
    }
    assembling_ = true;
    expectedImageBytes_ = total - current_.size();
    image_.clear();
    image_.reserve(expectedImageBytes_);
    nextSequence_ = 1;
}

void ImagePacketAssembler::OnImageData(ByteSpan packet)
{
    if (!assembling_ || packet[0] != nextSequence_)
        return;
    const size_t room = expectedImageBytes_ - image_.size();
    const size_t take = std::min(room, packet.size() - 1);
    image_.insert(image_.end(), packet.begin() + 1, packet.begin() + 1 + static_cast<ptrdiff_t>(take));
    ++nextSequence_;
    if (image_.size() < expectedImageBytes_)
        return;
    assembling_ = false;
    GreyImage picture;
    picture.width = current_[imgstatus::kImageWidth];
    picture.height = current_[imgstatus::kImageHeight];
    // The picture is as large as its stated size; bytes beyond it are dropped, missing ones black.
    picture.pixels = std::move(image_);
    picture.pixels.resize(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
    image_ = {};
    if (onImage_)
        onImage_(std::move(picture));
    Complete();
}

void ImagePacketAssembler::Complete()
{
    using namespace imgstatus;
    if (held_) {
        // The camera reports a shot with the status after the one that shows where it went.
        std::memcpy(&heldStatus_[kShotLevel], &current_[kShotLevel], 2);
        std::memcpy(&heldStatus_[kForeignShot], &current_[kForeignShot], 4);
        heldStatus_[kShotMarker] = current_[kShotMarker];
        if (onStatus_)
            onStatus_(heldStatus_);
    }
    heldStatus_ = current_;
    held_ = true;
}

} // namespace kavro
