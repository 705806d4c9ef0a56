#pragma once
// A sensor command: a code byte, its argument bytes and, when sent, the complement of the 8-bit
// sum of them all.
#include <array>
#include <cstddef>
#include <cstdint>

namespace kavro {

class CommandBuffer {
public:
    static constexpr size_t kMaxBytes = 127; // code and arguments, checksum not counted

    void BeginCommand(uint8_t code);
    // False when the buffer already holds kMaxBytes.
    bool AddByte(uint8_t b);
    // Appends the checksum; the bytes to write are data()[0 .. size()).
    void Finish();

    const uint8_t* data() const { return bytes_.data(); }
    size_t size() const { return length_; }

private:
    std::array<uint8_t, kMaxBytes + 1> bytes_{};
    size_t length_ = 0;
    bool finished_ = false;
};

} // namespace kavro
