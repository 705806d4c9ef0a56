#include "device/serial/command_buffer.h"

namespace kavro {

void CommandBuffer::BeginCommand(uint8_t code)
{
    length_ = 0;
    finished_ = false;
    bytes_[length_++] = code;
}

bool CommandBuffer::AddByte(uint8_t b)
{
    if (finished_ || length_ >= kMaxBytes)
        return false;
    bytes_[length_++] = b;
    return true;
}

void CommandBuffer::Finish()
{
    if (finished_)
        return;
    uint8_t sum = 0;
    for (size_t i = 0; i < length_; ++i)
        sum = static_cast<uint8_t>(sum + bytes_[i]);
    bytes_[length_++] = static_cast<uint8_t>(~sum);
    finished_ = true;
}

} // namespace kavro
