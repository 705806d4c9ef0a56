#include "usbbackend.h"

#include "libusbbackend.h"

#include <atomic>

namespace kavro {

namespace {
std::atomic<UsbBackend*> testBackend{nullptr};
}

UsbBackend& usbBackend()
{
    if (UsbBackend* b = testBackend.load())
        return *b;
    static LibusbBackend libusb;
    return libusb;
}

void setUsbBackendForTesting(UsbBackend* backend)
{
    testBackend.store(backend);
}

} // namespace kavro
