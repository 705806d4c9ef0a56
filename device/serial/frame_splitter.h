#pragma once
// Cuts the byte stream of a serial sensor into frames. A frame is `frameLength` bytes; a byte with
// the top bit set starts a frame, and one arriving inside a frame abandons the bytes before it.
// The first byte after a complete frame (or of the stream) starts a frame whatever its value.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace kavro {

class FrameSplitter {
public:
    using FrameHandler = std::function<void(const uint8_t* frame)>;

    // `capacity` bytes are held at most (at least two frames' worth).
    FrameSplitter(size_t frameLength, size_t capacity);

    // Where the next read goes, and how much room is left there.
    uint8_t* freeSpace() { return buffer_.data() + fill_; }
    size_t freeSize() const { return buffer_.size() - fill_; }
    // `count` bytes were written at freeSpace(): every complete frame goes to `onFrame`, the
    // bytes of an unfinished last frame are kept for the next call.
    void commit(size_t count, const FrameHandler& onFrame);
    size_t held() const { return fill_; }
    void clear() { fill_ = 0; }

private:
    size_t frameLength_;
    std::vector<uint8_t> buffer_;
    size_t fill_ = 0;
};

} // namespace kavro
