#include "device/serial/frame_splitter.h"

#include <algorithm>
#include <cstring>

namespace kavro {

FrameSplitter::FrameSplitter(size_t frameLength, size_t capacity)
    : frameLength_(std::max<size_t>(frameLength, 1)), buffer_(std::max(capacity, 2 * std::max<size_t>(frameLength, 1)))
{
}

void FrameSplitter::commit(size_t count, const FrameHandler& onFrame)
{
    fill_ += std::min(count, freeSize());
    size_t start = 0; // first byte of the frame being gathered
    size_t gathered = 0;
    for (size_t i = 0; i < fill_; ++i) {
        if (gathered > 0 && (buffer_[i] & 0x80)) {
            start = i;
            gathered = 0;
        }
        if (gathered == 0)
            start = i;
        if (++gathered == frameLength_) {
            onFrame(buffer_.data() + start);
            gathered = 0;
        }
    }
    // The unfinished frame moves to the front; abandoned bytes before it are dropped.
    if (gathered > 0 && start > 0)
        std::memmove(buffer_.data(), buffer_.data() + start, gathered);
    fill_ = gathered;
}

} // namespace kavro
