// Feeds arbitrary bytes to every decoder that reads what a USB device sends.
#include "device/usb/optical_decoder.h"
#include "device/usb/usb_packets.h"
#include "device/usb/wireless_decoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kavro;
    static OpticalDecoder optical;
    static WirelessLink link;
    const ByteSpan bytes(data, size);
    std::vector<OpticalSample> samples;

    splitFramedPackets(bytes, [&](uint8_t type, ByteSpan payload) {
        if (type == kPacketData)
            optical.DecodeOldItems(payload, samples);
        else if (type == kPacketAux)
            optical.DecodeNewItems(payload, samples);
        else
            optical.DecodeHalfItem(payload, samples);
    });
    link.referenceSize = size % 3 == 0 ? 50.0 : 190.0;
    splitRecordRun(bytes, [&](uint8_t, ByteSpan body) { link.Decode(body); });
    link.Decode(bytes);
    if (samples.size() > 1000)
        samples.clear();
    return 0;
}
