#include "device/usb/usb_packets.h"

namespace kavro {

size_t splitFramedPackets(ByteSpan buffer, const std::function<void(uint8_t, ByteSpan)>& packet)
{
    constexpr size_t kHeader = 5;
    size_t pos = 0;
    size_t count = 0;
    while (buffer.size() - pos >= kHeader) {
        const uint8_t type = buffer[pos];
        const uint32_t n = readU32(&buffer[pos + 1]);
        const size_t room = buffer.size() - pos - kHeader;
        if (n > room)
            break;
        packet(type, buffer.subspan(pos + kHeader, n));
        ++count;
        pos += kHeader + n;
    }
    return count;
}

size_t splitRecordRun(ByteSpan buffer, const std::function<void(uint8_t, ByteSpan)>& record)
{
    size_t pos = 0;
    size_t count = 0;
    while (pos < buffer.size()) {
        const size_t length = buffer[pos];
        if (length < 2 || length > buffer.size() - pos)
            break;
        record(buffer[pos + 1], buffer.subspan(pos + 2, length - 2));
        ++count;
        pos += length;
    }
    return count;
}

} // namespace kavro
