#include "libusbbackend.h"

#include <libusb.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <shared_mutex>
#include <thread>

namespace kavro {

namespace {

class LibusbConnection;

// bmRequestType of a vendor request to the device.
constexpr uint8_t kVendorIn = 0xC0;
constexpr uint8_t kVendorOut = 0x40;

enum class ReadState { InFlight, Queued, Delivering, Retired };

struct ReadSlot {
    LibusbBackend::Context* context = nullptr;
    LibusbConnection* connection = nullptr;
    libusb_transfer* transfer = nullptr;
    std::vector<uint8_t> buffer;
    ReadState state = ReadState::Retired;
};

// The libusb callback may run on any thread that handles events (a control request waiting for
// its reply does too), so it only queues the read; the event thread calls the handlers outside
// libusb's event lock, where a handler may itself make synchronous requests.
void LIBUSB_CALL onReadDone(libusb_transfer* transfer);

std::string devicePath(libusb_device* device, const libusb_device_descriptor& d)
{
    uint8_t ports[8];
    int n = libusb_get_port_numbers(device, ports, sizeof ports);
    std::string path = "usb:" + std::to_string(libusb_get_bus_number(device)) + "-";
    if (n <= 0)
        path += "0";
    for (int i = 0; i < n; ++i) {
        if (i)
            path += '.';
        path += std::to_string(ports[i]);
    }
    char ids[16];
    std::snprintf(ids, sizeof ids, ":%04x:%04x", d.idVendor, d.idProduct);
    return path + ids;
}

} // namespace

struct LibusbBackend::Context {
    libusb_context* usb = nullptr;
    HRESULT initResult = E_FAIL;

    // Guards the read slots of every connection and the delivery queue.
    std::mutex mutex;
    std::condition_variable retired;
    std::deque<ReadSlot*> queue;

    // Guards the event thread's start and stop.
    std::mutex lifecycle;
    int openCount = 0;
    std::thread eventThread;

    Context()
    {
        int r = libusb_init(&usb);
        initResult = hresultFromLibusbError(r);
        if (r != 0)
            usb = nullptr;
    }
    ~Context()
    {
        if (usb)
            libusb_exit(usb);
    }

    void connectionOpened();
    void connectionClosed();
    void runEvents();
    void deliverQueued();
    void handleEventsOnce();
    void retire(ReadSlot* slot)
    {
        slot->state = ReadState::Retired;
        retired.notify_all();
    }
    void discardStopped();
    std::atomic<bool> stopEvents{false};
    LibusbConnection* delivering = nullptr; // whose handler the event thread is running
};

namespace {

thread_local LibusbBackend::Context* eventThreadContext = nullptr;

class LibusbConnection final : public UsbConnection {
public:
    LibusbConnection(std::shared_ptr<LibusbBackend::Context> context, libusb_device_handle* handle, std::string path)
        : context_(std::move(context)), handle_(handle), path_(std::move(path))
    {
        context_->connectionOpened();
    }
    ~LibusbConnection() override { close(); }

    const std::string& path() const override { return path_; }

    HRESULT deviceDescriptor(std::vector<uint8_t>* out) override
    {
        if (!out)
            return E_POINTER;
        std::shared_lock lock(handleMutex_);
        if (!handle_)
            return E_HANDLE;
        uint8_t buffer[18];
        int r = libusb_get_descriptor(handle_, LIBUSB_DT_DEVICE, 0, buffer, sizeof buffer);
        if (r < 0)
            return hresultFromLibusbError(r);
        out->assign(buffer, buffer + r);
        return S_OK;
    }

    HRESULT interfaceEndpoints(std::vector<UsbPipeInfo>* out) override
    {
        if (!out)
            return E_POINTER;
        out->clear();
        std::shared_lock lock(handleMutex_);
        if (!handle_)
            return E_HANDLE;
        libusb_config_descriptor* config = nullptr;
        int r = libusb_get_active_config_descriptor(libusb_get_device(handle_), &config);
        if (r < 0)
            return hresultFromLibusbError(r);
        const libusb_interface_descriptor* found = nullptr;
        for (int i = 0; i < config->bNumInterfaces && !found; ++i) {
            const libusb_interface& itf = config->interface[i];
            for (int a = 0; a < itf.num_altsetting && !found; ++a) {
                if (itf.altsetting[a].bInterfaceNumber == 0 && itf.altsetting[a].bAlternateSetting == 0)
                    found = &itf.altsetting[a];
            }
        }
        if (found) {
            for (int e = 0; e < found->bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& ep = found->endpoint[e];
                out->push_back({static_cast<UsbPipeType>(ep.bmAttributes & 3), ep.bEndpointAddress, ep.wMaxPacketSize,
                                ep.bInterval});
            }
        }
        libusb_free_config_descriptor(config);
        return found ? S_OK : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }

    HRESULT controlIn(uint8_t request, uint16_t value, uint16_t index, std::span<uint8_t> data,
                      size_t* transferred) override
    {
        return control(kVendorIn, request, value, index, data.data(), data.size(), transferred);
    }

    HRESULT controlWrite(uint8_t request, uint16_t value, uint16_t index, std::span<const uint8_t> data,
                         size_t* transferred) override
    {
        // libusb takes a mutable pointer but only reads an OUT data stage.
        return control(kVendorOut, request, value, index, const_cast<uint8_t*>(data.data()), data.size(), transferred);
    }

    HRESULT controlOut(uint8_t request, uint16_t value, uint16_t index) override
    {
        return control(kVendorOut, request, value, index, nullptr, 0, nullptr);
    }

    HRESULT startReading(uint8_t endpoint, int transfers, size_t transferSize, UsbReadHandler handler) override;
    void stopReading() override;
    void stopLocked();

    HRESULT resetPipe(uint8_t endpoint) override
    {
        std::shared_lock lock(handleMutex_);
        if (!handle_)
            return E_HANDLE;
        return hresultFromLibusbError(libusb_clear_halt(handle_, endpoint));
    }

    void close() override
    {
        closing_ = true;
        stopReading();
        std::unique_lock lock(handleMutex_);
        if (!handle_)
            return;
        libusb_release_interface(handle_, 0);
        libusb_close(handle_);
        handle_ = nullptr;
        lock.unlock();
        context_->connectionClosed();
    }

    // Called with the context's mutex held.
    void beginStop()
    {
        stopping_ = true;
        for (auto& slot : slots_) {
            if (slot->state == ReadState::InFlight)
                libusb_cancel_transfer(slot->transfer);
        }
    }
    bool stopping() const { return stopping_; }
    UsbReadHandler& handler() { return handler_; }

private:
    HRESULT control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, uint8_t* data, size_t length,
                    size_t* transferred)
    {
        if (transferred)
            *transferred = 0;
        if (length > 0xFFFF)
            return E_INVALIDARG;
        std::shared_lock lock(handleMutex_);
        if (!handle_)
            return E_HANDLE;
        int r = libusb_control_transfer(handle_, requestType, request, value, index, data,
                                        static_cast<uint16_t>(length), kUsbControlTimeoutMs);
        if (r < 0)
            return hresultFromLibusbError(r);
        if (transferred)
            *transferred = static_cast<size_t>(r);
        return S_OK;
    }

    bool allRetired() const
    {
        return std::all_of(slots_.begin(), slots_.end(), [](const auto& s) { return s->state == ReadState::Retired; });
    }
    void freeSlots()
    {
        for (auto& slot : slots_)
            libusb_free_transfer(slot->transfer);
        slots_.clear();
    }

    std::shared_ptr<LibusbBackend::Context> context_;
    std::shared_mutex handleMutex_;
    libusb_device_handle* handle_;
    std::string path_;
    std::atomic<bool> closing_{false};

    // Under the context's mutex.
    std::vector<std::unique_ptr<ReadSlot>> slots_;
    UsbReadHandler handler_;
    bool stopping_ = false;
    // Serialises startReading and stopReading against each other.
    std::mutex streamMutex_;
};

void LIBUSB_CALL onReadDone(libusb_transfer* transfer)
{
    auto* slot = static_cast<ReadSlot*>(transfer->user_data);
    LibusbBackend::Context& c = *slot->context;
    std::lock_guard lock(c.mutex);
    if (slot->connection->stopping()) {
        c.retire(slot);
        return;
    }
    slot->state = ReadState::Queued;
    c.queue.push_back(slot);
}

HRESULT LibusbConnection::startReading(uint8_t endpoint, int transfers, size_t transferSize, UsbReadHandler handler)
{
    if (!handler || transfers <= 0 || transferSize == 0 || transferSize > 0x7FFFFFFF)
        return E_INVALIDARG;
    std::lock_guard stream(streamMutex_);
    if (closing_)
        return E_HANDLE;
    std::vector<UsbPipeInfo> pipes;
    HRESULT hr = interfaceEndpoints(&pipes);
    if (FAILED(hr))
        return hr;
    auto pipe = std::find_if(pipes.begin(), pipes.end(), [&](const UsbPipeInfo& p) { return p.endpoint == endpoint; });
    if (pipe == pipes.end() || !pipe->isIn())
        return E_INVALIDARG;
    if (pipe->type != UsbPipeType::Bulk && pipe->type != UsbPipeType::Interrupt)
        return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);

    std::shared_lock handleLock(handleMutex_);
    if (!handle_)
        return E_HANDLE;
    std::unique_lock lock(context_->mutex);
    if (!slots_.empty())
        return E_UNEXPECTED;
    handler_ = std::move(handler);
    stopping_ = false;
    for (int i = 0; i < transfers; ++i) {
        auto slot = std::make_unique<ReadSlot>();
        slot->context = context_.get();
        slot->connection = this;
        slot->buffer.resize(transferSize);
        slot->transfer = libusb_alloc_transfer(0);
        if (!slot->transfer) {
            hr = E_OUTOFMEMORY;
            break;
        }
        auto fill = pipe->type == UsbPipeType::Bulk ? libusb_fill_bulk_transfer : libusb_fill_interrupt_transfer;
        fill(slot->transfer, handle_, endpoint, slot->buffer.data(), static_cast<int>(transferSize), onReadDone,
             slot.get(), 0);
        int r = libusb_submit_transfer(slot->transfer);
        slots_.push_back(std::move(slot));
        if (r != 0) {
            libusb_free_transfer(slots_.back()->transfer);
            slots_.pop_back();
            hr = hresultFromLibusbError(r);
            break;
        }
        slots_.back()->state = ReadState::InFlight;
    }
    lock.unlock();
    handleLock.unlock();
    if (FAILED(hr)) {
        stopLocked();
        return hr;
    }
    return S_OK;
}

void LibusbConnection::stopReading()
{
    std::lock_guard stream(streamMutex_);
    stopLocked();
}

void LibusbConnection::stopLocked()
{
    LibusbBackend::Context& c = *context_;
    std::unique_lock lock(c.mutex);
    if (slots_.empty())
        return;
    bool onEventThread = eventThreadContext == &c;
    if (onEventThread && c.delivering == this) {
        // Waiting here would wait for ourselves; the handler has UsbReadAction::Stop for this.
        std::fputs("kavro: a USB connection was stopped from its own read handler\n", stderr);
        std::abort();
    }
    beginStop();
    if (onEventThread) {
        // The event thread is busy in another device's handler: reap the cancellations here.
        while (!allRetired()) {
            lock.unlock();
            c.handleEventsOnce();
            lock.lock();
            c.discardStopped();
        }
    } else {
        c.retired.wait(lock, [&] { return allRetired(); });
    }
    freeSlots();
    handler_ = nullptr;
    stopping_ = false;
}

} // namespace

void LibusbBackend::Context::connectionOpened()
{
    std::lock_guard lock(lifecycle);
    if (openCount++ == 0) {
        stopEvents = false;
        eventThread = std::thread([this] { runEvents(); });
    }
}

void LibusbBackend::Context::connectionClosed()
{
    std::lock_guard lock(lifecycle);
    if (--openCount == 0) {
        stopEvents = true;
        libusb_interrupt_event_handler(usb);
        eventThread.join();
    }
}

void LibusbBackend::Context::handleEventsOnce()
{
    timeval tv{0, 100000};
    libusb_handle_events_timeout_completed(usb, &tv, nullptr);
}

void LibusbBackend::Context::runEvents()
{
    eventThreadContext = this;
    while (!stopEvents) {
        handleEventsOnce();
        deliverQueued();
    }
}

void LibusbBackend::Context::discardStopped()
{
    for (auto it = queue.begin(); it != queue.end();) {
        if ((*it)->connection->stopping()) {
            retire(*it);
            it = queue.erase(it);
        } else {
            ++it;
        }
    }
}

void LibusbBackend::Context::deliverQueued()
{
    std::unique_lock lock(mutex);
    while (!queue.empty()) {
        ReadSlot* slot = queue.front();
        queue.pop_front();
        LibusbConnection* connection = slot->connection;
        if (connection->stopping()) {
            retire(slot);
            continue;
        }
        libusb_transfer* t = slot->transfer;
        HRESULT status = hresultFromTransferStatus(t->status);
        std::span<const uint8_t> data;
        if (status == S_OK)
            data = {t->buffer, static_cast<size_t>(t->actual_length)};
        // The handler stays put while a read of its stream is being delivered.
        UsbReadHandler& handler = connection->handler();
        slot->state = ReadState::Delivering;
        delivering = connection;
        lock.unlock();
        UsbReadAction action = handler(status, data);
        lock.lock();
        delivering = nullptr;
        if (action == UsbReadAction::Stop && !connection->stopping())
            connection->beginStop();
        if (connection->stopping()) {
            retire(slot);
            continue;
        }
        int r = libusb_submit_transfer(t);
        if (r == 0) {
            slot->state = ReadState::InFlight;
            continue;
        }
        delivering = connection;
        lock.unlock();
        handler(hresultFromLibusbError(r), {});
        lock.lock();
        delivering = nullptr;
        retire(slot);
    }
}

namespace {

// Shows `visit` each attached device whose descriptor reads, until it returns true.
HRESULT forEachDevice(libusb_context* usb,
                      const std::function<bool(libusb_device* device, const libusb_device_descriptor& d)>& visit)
{
    libusb_device** list = nullptr;
    ssize_t n = libusb_get_device_list(usb, &list);
    if (n < 0)
        return hresultFromLibusbError(static_cast<int>(n));
    for (ssize_t i = 0; i < n; ++i) {
        libusb_device_descriptor d;
        if (libusb_get_device_descriptor(list[i], &d) == 0 && visit(list[i], d))
            break;
    }
    libusb_free_device_list(list, 1);
    return S_OK;
}

} // namespace

LibusbBackend::LibusbBackend() : context_(std::make_shared<Context>())
{
}

LibusbBackend::~LibusbBackend() = default;

HRESULT LibusbBackend::enumerate(const UsbDeviceTable& table, std::vector<UsbDeviceInfo>* out)
{
    if (!out)
        return E_POINTER;
    out->clear();
    if (!context_->usb)
        return context_->initResult;
    HRESULT hr = forEachDevice(context_->usb, [&](libusb_device* device, const libusb_device_descriptor& d) {
        auto row = std::find_if(table.begin(), table.end(), [&](const UsbDeviceMatch& m) {
            return m.vendorId == d.idVendor && m.productId == d.idProduct;
        });
        if (row != table.end())
            out->push_back({devicePath(device, d), d.idVendor, d.idProduct, row->className});
        return false;
    });
    if (FAILED(hr))
        return hr;
    std::sort(out->begin(), out->end(), [](const UsbDeviceInfo& a, const UsbDeviceInfo& b) { return a.path < b.path; });
    return S_OK;
}

HRESULT LibusbBackend::open(const std::string& path, std::unique_ptr<UsbConnection>* out)
{
    if (!out)
        return E_POINTER;
    out->reset();
    if (!context_->usb)
        return context_->initResult;
    libusb_device_handle* handle = nullptr;
    int r = LIBUSB_ERROR_NOT_FOUND;
    HRESULT hr = forEachDevice(context_->usb, [&](libusb_device* device, const libusb_device_descriptor& d) {
        if (devicePath(device, d) != path)
            return false;
        r = libusb_open(device, &handle);
        return true;
    });
    if (FAILED(hr))
        return hr;
    if (r != 0)
        return hresultFromLibusbError(r);
    // A kernel driver bound to the interface would keep us out; it gets it back on release.
    libusb_set_auto_detach_kernel_driver(handle, 1);
    r = libusb_claim_interface(handle, 0);
    if (r != 0) {
        libusb_close(handle);
        return hresultFromLibusbError(r);
    }
    *out = std::make_unique<LibusbConnection>(context_, handle, path);
    return S_OK;
}

} // namespace kavro
