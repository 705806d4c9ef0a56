#include "device/usb/usb_device.h"

#include "device/usb/connect_problem.h"
#include "device/usb/usb_ids.h"

#include <algorithm>

namespace kavro {

namespace {
constexpr size_t kDeviceDescriptorSize = 18;
constexpr size_t kNumConfigurationsOffset = 17;
constexpr size_t kProductIdOffset = 10;
constexpr size_t kDefaultTransferSize = 512;

// A control transfer with a data stage on `c` (none: false); true only when all `length` bytes went.
template <class Transfer> bool wholeTransfer(UsbConnection* c, size_t length, Transfer transfer)
{
    if (!c)
        return false;
    size_t transferred = 0;
    return SUCCEEDED(transfer(*c, &transferred)) && transferred == length;
}

} // namespace

bool DevicePathHasInterface(const std::string& path, const UsbDeviceTable& table)
{
    std::vector<UsbDeviceInfo> devices;
    if (FAILED(usbBackend().enumerate(table, &devices)))
        return false;
    return std::any_of(devices.begin(), devices.end(), [&](const UsbDeviceInfo& d) { return d.path == path; });
}

UsbDevice::UsbDevice() : clock_(&realClock()), reader_(*this)
{
}

UsbDevice::~UsbDevice()
{
    Close();
}

bool UsbDevice::OpenFirst(const UsbDeviceTable& table)
{
    std::vector<UsbDeviceInfo> devices;
    if (FAILED(usbBackend().enumerate(table, &devices)))
        return false;
    for (const UsbDeviceInfo& d : devices) {
        if (Open(d.path))
            return true;
    }
    return false;
}

bool UsbDevice::Open(const std::string& path)
{
    {
        std::lock_guard lock(requestLock_);
        if (connection_)
            return false;
        errorText_.clear();
        lastError_ = S_OK;
        failed_ = false;
        started_ = false;
        std::unique_ptr<UsbConnection> connection;
        const HRESULT hr = usbBackend().open(path, &connection);
        if (FAILED(hr)) {
            const std::optional<ConnectProblem> problem = usbOpenProblem(hr);
            errorText_ = problem ? connectProblemText(*problem) : "Error opening device";
            lastError_ = hr;
            return false;
        }
        connection_ = std::move(connection);
        path_ = path;

        std::vector<uint8_t> descriptor;
        if (FAILED(connection_->deviceDescriptor(&descriptor)))
            return Fail("Error reading device descriptor");
        if (descriptor.size() != kDeviceDescriptorSize)
            return Fail("Invalid device descriptor");
        descriptor_ = descriptor;
        if (descriptor_[kNumConfigurationsOffset] != 1)
            return Fail("Please upgrade KAVRO firmware. (1)");
    }

    // Start sends requests of its own; no lock is held across it beyond theirs.
    if (!Start()) {
        std::lock_guard lock(requestLock_);
        return Fail(errorText_.empty() ? "Unable to initialize device" : nullptr);
    }
    std::lock_guard lock(requestLock_);
    started_ = true;
    if (!hasReader)
        return true;

    std::vector<UsbPipeInfo> pipes;
    if (FAILED(connection_->interfaceEndpoints(&pipes)))
        return Fail("Error reading interface descriptor");
    for (const UsbPipeInfo& pipe : pipes) {
        if (!pipe.isIn())
            continue;
        if (pipe.type == UsbPipeType::Isochronous)
            return Fail("Please upgrade KAVRO firmware. (2)");
        if (pipe.type == UsbPipeType::Bulk || pipe.type == UsbPipeType::Interrupt) {
            inPipe_ = pipe;
            return StartReader() ? true : Fail("Unable to create thread");
        }
    }
    return Fail("Please upgrade KAVRO firmware. (3)");
}

bool UsbDevice::StartReader()
{
    const size_t size = inPipe_.maximumPacketSize ? inPipe_.maximumPacketSize : kDefaultTransferSize;
    const uint16_t product = readU16(&descriptor_[kProductIdOffset]);
    reader_.Prepare(connection_.get(), inPipe_.endpoint, size, !usbids::productFramesItsData(product));
    return reader_.Start();
}

bool UsbDevice::Fail(const char* text)
{
    if (text)
        errorText_ = text;
    // Close clears the code; the text stays for the caller.
    std::string keep = errorText_;
    Close();
    errorText_ = std::move(keep);
    return false;
}

void UsbDevice::Close()
{
    std::unique_lock lock(requestLock_);
    if (connection_) {
        if (started_ && !failed_) {
            lock.unlock();
            Stop();
            lock.lock();
        }
        started_ = false;
        // The reader takes this lock for its requests: never join it while holding the lock.
        lock.unlock();
        reader_.Stop();
        lock.lock();
        if (connection_)
            connection_->close();
        connection_.reset();
        descriptor_.clear();
    }
    lastError_ = S_OK;
}

bool UsbDevice::IsOpen() const
{
    std::lock_guard lock(requestLock_);
    return connection_ && !failed_;
}

std::string UsbDevice::Path() const
{
    std::lock_guard lock(requestLock_);
    return path_;
}

std::string UsbDevice::ErrorText() const
{
    std::lock_guard lock(requestLock_);
    return errorText_;
}

HRESULT UsbDevice::LastError() const
{
    std::lock_guard lock(requestLock_);
    return lastError_;
}

std::vector<uint8_t> UsbDevice::DeviceDescriptor() const
{
    std::lock_guard lock(requestLock_);
    return descriptor_;
}

uint16_t UsbDevice::ProductId() const
{
    std::lock_guard lock(requestLock_);
    if (descriptor_.size() < kDeviceDescriptorSize)
        return 0;
    return readU16(&descriptor_[kProductIdOffset]);
}

void UsbDevice::SetErrorText(std::string text)
{
    std::lock_guard lock(requestLock_);
    errorText_ = std::move(text);
}

UsbConnection* UsbDevice::Connection() const
{
    return failed_ ? nullptr : connection_.get();
}

void UsbDevice::MarkFailed(HRESULT code)
{
    std::lock_guard lock(requestLock_);
    failed_ = true;
    lastError_ = code;
}

bool UsbDevice::ControlRequest(uint8_t request, uint16_t value, uint16_t index, void* buffer, size_t length)
{
    if (length && !buffer)
        return false;
    std::lock_guard lock(requestLock_);
    return wholeTransfer(Connection(), length, [&](UsbConnection& c, size_t* transferred) {
        return c.controlIn(request, value, index, std::span<uint8_t>(static_cast<uint8_t*>(buffer), length),
                           transferred);
    });
}

bool UsbDevice::ControlOut(uint8_t request, uint16_t value, uint16_t index)
{
    std::lock_guard lock(requestLock_);
    UsbConnection* c = Connection();
    return c && SUCCEEDED(c->controlOut(request, value, index));
}

bool UsbDevice::ControlWrite(uint8_t request, uint16_t value, uint16_t index, const void* buffer, size_t length)
{
    if (length && !buffer)
        return false;
    std::lock_guard lock(requestLock_);
    return wholeTransfer(Connection(), length, [&](UsbConnection& c, size_t* transferred) {
        return c.controlWrite(request, value, index,
                              std::span<const uint8_t>(static_cast<const uint8_t*>(buffer), length), transferred);
    });
}

void UsbDevice::OnPacket(ByteSpan data)
{
    if (!framed) {
        OnData(data);
        return;
    }
    splitFramedPackets(data, [this](uint8_t type, ByteSpan payload) {
        if (type == kPacketData)
            OnData(payload);
        else if (type == kPacketAux)
            OnAuxData(payload);
    });
}

void UsbDevice::OnError(HRESULT, bool&)
{
}
void UsbDevice::OnData(ByteSpan)
{
}
void UsbDevice::OnAuxData(ByteSpan)
{
}

} // namespace kavro
