#pragma once
// The USB backend over libusb-1.0. One libusb context per backend object; its event thread runs
// while at least one device is open and is the thread that calls the read handlers.
#include "usbbackend.h"

#include <memory>

namespace kavro {

class LibusbBackend : public UsbBackend {
public:
    LibusbBackend();
    ~LibusbBackend() override;
    LibusbBackend(const LibusbBackend&) = delete;
    LibusbBackend& operator=(const LibusbBackend&) = delete;

    HRESULT enumerate(const UsbDeviceTable& table, std::vector<UsbDeviceInfo>* out) override;
    HRESULT open(const std::string& path, std::unique_ptr<UsbConnection>* out) override;

    struct Context;

private:
    std::shared_ptr<Context> context_;
};

} // namespace kavro
