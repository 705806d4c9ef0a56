#include "device/usb/usb_device_reader.h"

#include "device/usb/usb_device.h"
#include "usb/usberror.h"

namespace kavro {

void UsbDeviceReader::Prepare(UsbConnection* connection, uint8_t endpoint, size_t transferSize, bool wrapAuxiliary)
{
    wrapAuxiliary_ = wrapAuxiliary;
    connection_ = connection;
    endpoint_ = endpoint;
    transferSize_ = transferSize;
}

bool UsbDeviceReader::StartStream()
{
    // A failed read ends the whole stream here; this thread decides whether and when to read
    // again, because the backend would otherwise reissue it at once.
    const HRESULT hr = connection_->startReading(
        endpoint_, kReadsInFlight, transferSize_, [this](HRESULT status, std::span<const uint8_t> data) {
            {
                std::lock_guard lock(mutex_);
                completions_.push_back({status, {data.begin(), data.end()}});
                ready_.set();
            }
            return FAILED(status) ? UsbReadAction::Stop : UsbReadAction::Continue;
        });
    if (FAILED(hr)) {
        std::lock_guard lock(mutex_);
        completions_.push_back({hr, {}});
        ready_.set();
        return false;
    }
    return true;
}

void UsbDeviceReader::Run()
{
    {
        std::lock_guard lock(mutex_);
        completions_.clear();
        ready_.reset();
    }
    connection_->resetPipe(endpoint_);
    bool streaming = StartStream();
    bool reading = true;
    while (reading && !StopRequested()) {
        if (ManualEvent::waitAny({&StopEvent(), &ready_}) != 1)
            break;
        std::deque<Completion> batch;
        {
            std::lock_guard lock(mutex_);
            batch.swap(completions_);
            ready_.reset();
        }
        for (Completion& c : batch) {
            if (StopRequested())
                break;
            if (SUCCEEDED(c.status)) {
                Deliver(c.data);
                continue;
            }
            if (streaming) {
                connection_->stopReading();
                streaming = false;
            }
            if (!HandleReadError(c.status)) {
                reading = false;
                break;
            }
        }
        if (reading && !streaming && !StopRequested()) {
            // Completions still queued after the failure belong to the ended stream; they were
            // handled above in their order.
            streaming = StartStream();
        }
    }
    connection_->stopReading();
}

bool UsbDeviceReader::HandleReadError(HRESULT status)
{
    bool stop = false;
    bool backOff = true;
    switch (static_cast<uint32_t>(status)) {
    case static_cast<uint32_t>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)):
    case static_cast<uint32_t>(HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE)):
    case static_cast<uint32_t>(HRESULT_FROM_WIN32(ERROR_BAD_COMMAND)):
    case static_cast<uint32_t>(USB_E_ABORTED):
    case static_cast<uint32_t>(USB_E_NOT_CONNECTED): stop = true; break;
    case static_cast<uint32_t>(USB_E_IO):
        // A stall: clear it and read on at once.
        stop = FAILED(connection_->resetPipe(endpoint_));
        backOff = false;
        break;
    default: break;
    }
    owner_.OnError(status, stop);
    if (stop) {
        owner_.MarkFailed(status);
        return false;
    }
    if (backOff && owner_.GetClock().sleep(kRetryBackoffMs, &StopEvent()))
        return false;
    return true;
}

void UsbDeviceReader::Deliver(const std::vector<uint8_t>& data)
{
    if (data.empty())
        return;
    if (!owner_.framed || !wrapAuxiliary_) {
        owner_.OnPacket(data);
        return;
    }
    // Other products send bare auxiliary payloads: give them the frame they lack.
    std::vector<uint8_t> packet(5 + data.size());
    const auto n = static_cast<uint32_t>(data.size());
    packet[0] = kPacketAux;
    packet[1] = static_cast<uint8_t>(n);
    packet[2] = static_cast<uint8_t>(n >> 8);
    packet[3] = static_cast<uint8_t>(n >> 16);
    packet[4] = static_cast<uint8_t>(n >> 24);
    std::copy(data.begin(), data.end(), packet.begin() + 5);
    owner_.OnPacket(packet);
}

} // namespace kavro
