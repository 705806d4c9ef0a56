// Packets of the image sensor in any order and shape: the assembler, the status decoding and the
// flash block must hold whatever arrives.
#include "device/usb/image_sensor_status.h"
#include "device/usb/image_sensor_window.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace kavro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FlashBlock flash;
    std::string error;
    parseFlashBlock(ByteSpan(data, std::min<size_t>(size, FlashBlock::kMaxSize)), &flash, &error);

    size_t records = 0;
    ImagePacketAssembler assembler(
        [&](const ImageStatus& status) {
            SampleRecord record;
            statusToRecord(status, {320.0, 240.0, 3.75, (records & 1) != 0}, &record);
            ++records;
        },
        [](GreyImage image) {
            if (image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
                __builtin_trap();
        });
    // Each packet: a length byte, then that many bytes.
    size_t at = 0;
    while (at < size) {
        const size_t n = std::min<size_t>(data[at], size - at - 1);
        assembler.Feed(ByteSpan(data + at + 1, n));
        at += 1 + n;
    }
    return 0;
}
