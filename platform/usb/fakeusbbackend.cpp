#include "fakeusbbackend.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace kavro {

struct FakeUsbBackend::Device {
    FakeUsbDevice info;
    bool gone = false;
    bool open = false;
    std::deque<Pending> inbox;
};

namespace {

std::vector<uint8_t> descriptorFromIds(uint16_t vendorId, uint16_t productId)
{
    return {18,
            1,
            0x00,
            0x02,
            0xFF,
            0,
            0,
            64,
            static_cast<uint8_t>(vendorId),
            static_cast<uint8_t>(vendorId >> 8),
            static_cast<uint8_t>(productId),
            static_cast<uint8_t>(productId >> 8),
            0x00,
            0x01,
            1,
            2,
            3,
            1};
}

thread_local FakeUsbBackend* deliveryThreadOf = nullptr;

} // namespace

struct FakeUsbBackend::Connection final : UsbConnection {
    FakeUsbBackend& backend;
    std::shared_ptr<Device> device;
    std::string devicePath;
    bool closed = false;
    // Stream state, under the backend's mutex.
    UsbReadHandler handler;
    size_t transferSize = 0;
    int activeReads = 0; // reads in flight; 0 once the stream ended or before it started
    bool streaming = false;

    Connection(FakeUsbBackend& b, std::shared_ptr<Device> d)
        : backend(b), device(std::move(d)), devicePath(device->info.path)
    {
    }
    ~Connection() override { close(); }

    const std::string& path() const override { return devicePath; }

    HRESULT check() const
    {
        if (closed)
            return E_HANDLE;
        return device->gone ? USB_E_NOT_CONNECTED : S_OK;
    }

    // A part of the device's description, while the connection is open and the device present.
    template <class T> HRESULT describe(T FakeUsbDevice::*part, T* out) const
    {
        if (!out)
            return E_POINTER;
        std::lock_guard lock(backend.mutex_);
        if (HRESULT hr = check(); FAILED(hr))
            return hr;
        *out = device->info.*part;
        return S_OK;
    }

    HRESULT deviceDescriptor(std::vector<uint8_t>* out) override { return describe(&FakeUsbDevice::descriptor, out); }
    HRESULT interfaceEndpoints(std::vector<UsbPipeInfo>* out) override
    {
        return describe(&FakeUsbDevice::endpoints, out);
    }

    HRESULT controlIn(uint8_t request, uint16_t value, uint16_t index, std::span<uint8_t> data,
                      size_t* transferred) override
    {
        if (transferred)
            *transferred = 0;
        if (data.size() > 0xFFFF)
            return E_INVALIDARG;
        UsbControlRecord r{UsbControlKind::In, request, value, index, static_cast<uint16_t>(data.size()), {}};
        HRESULT hr = backend.control(*this, r, data);
        if (SUCCEEDED(hr) && transferred)
            *transferred = r.data.size();
        return hr;
    }

    HRESULT controlWrite(uint8_t request, uint16_t value, uint16_t index, std::span<const uint8_t> data,
                         size_t* transferred) override
    {
        if (transferred)
            *transferred = 0;
        if (data.size() > 0xFFFF)
            return E_INVALIDARG;
        UsbControlRecord r{UsbControlKind::Write,     request, value, index, static_cast<uint16_t>(data.size()),
                           {data.begin(), data.end()}};
        HRESULT hr = backend.control(*this, r, {});
        if (SUCCEEDED(hr) && transferred)
            *transferred = data.size();
        return hr;
    }

    HRESULT controlOut(uint8_t request, uint16_t value, uint16_t index) override
    {
        UsbControlRecord r{UsbControlKind::Out, request, value, index, 0, {}};
        return backend.control(*this, r, {});
    }

    HRESULT startReading(uint8_t endpoint, int transfers, size_t size, UsbReadHandler h) override
    {
        if (!h || transfers <= 0 || size == 0)
            return E_INVALIDARG;
        std::lock_guard lock(backend.mutex_);
        if (HRESULT hr = check(); FAILED(hr))
            return hr;
        const auto& eps = device->info.endpoints;
        auto pipe = std::find_if(eps.begin(), eps.end(), [&](const UsbPipeInfo& p) { return p.endpoint == endpoint; });
        if (pipe == eps.end() || !pipe->isIn())
            return E_INVALIDARG;
        if (pipe->type != UsbPipeType::Bulk && pipe->type != UsbPipeType::Interrupt)
            return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
        if (streaming)
            return E_UNEXPECTED;
        handler = std::move(h);
        transferSize = size;
        activeReads = transfers;
        streaming = true;
        backend.changed_.notify_all();
        return S_OK;
    }

    void stopReading() override
    {
        std::unique_lock lock(backend.mutex_);
        if (!streaming)
            return;
        if (backend.delivering_ == this && deliveryThreadOf == &backend) {
            std::fputs("kavro: a USB connection was stopped from its own read handler\n", stderr);
            std::abort();
        }
        activeReads = 0;
        backend.changed_.wait(lock, [&] { return backend.delivering_ != this; });
        streaming = false;
        handler = nullptr;
        backend.changed_.notify_all();
    }

    HRESULT resetPipe(uint8_t) override
    {
        std::lock_guard lock(backend.mutex_);
        if (HRESULT hr = check(); FAILED(hr))
            return hr;
        ++backend.scripts_[devicePath].resets;
        return S_OK;
    }

    void close() override
    {
        stopReading();
        std::lock_guard lock(backend.mutex_);
        if (closed)
            return;
        closed = true;
        device->open = false;
        std::erase(backend.connections_, this);
    }
};

FakeUsbBackend::FakeUsbBackend() : thread_([this] { deliverLoop(); })
{
}

FakeUsbBackend::~FakeUsbBackend()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        changed_.notify_all();
    }
    thread_.join();
}

HRESULT FakeUsbBackend::enumerate(const UsbDeviceTable& table, std::vector<UsbDeviceInfo>* out)
{
    if (!out)
        return E_POINTER;
    out->clear();
    std::lock_guard lock(mutex_);
    for (const auto& [path, device] : devices_) { // a map: already in path order
        const FakeUsbDevice& d = device->info;
        auto row = std::find_if(table.begin(), table.end(), [&](const UsbDeviceMatch& m) {
            return m.vendorId == d.vendorId && m.productId == d.productId;
        });
        if (row != table.end())
            out->push_back({path, d.vendorId, d.productId, row->className});
    }
    return S_OK;
}

HRESULT FakeUsbBackend::open(const std::string& path, std::unique_ptr<UsbConnection>* out)
{
    if (!out)
        return E_POINTER;
    out->reset();
    std::lock_guard lock(mutex_);
    auto it = devices_.find(path);
    if (it == devices_.end())
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    if (FAILED(it->second->info.openResult))
        return it->second->info.openResult;
    if (it->second->open)
        return HRESULT_FROM_WIN32(ERROR_BUSY);
    it->second->open = true;
    auto connection = std::make_unique<Connection>(*this, it->second);
    connections_.push_back(connection.get());
    *out = std::move(connection);
    return S_OK;
}

void FakeUsbBackend::addDevice(const FakeUsbDevice& device)
{
    auto d = std::make_shared<Device>();
    d->info = device;
    if (d->info.descriptor.empty())
        d->info.descriptor = descriptorFromIds(device.vendorId, device.productId);
    std::lock_guard lock(mutex_);
    if (auto old = devices_.find(device.path); old != devices_.end())
        old->second->gone = true;
    devices_[device.path] = std::move(d);
    changed_.notify_all();
}

void FakeUsbBackend::unplug(const std::string& path)
{
    std::lock_guard lock(mutex_);
    auto it = devices_.find(path);
    if (it == devices_.end())
        return;
    it->second->gone = true;
    it->second->inbox.clear();
    devices_.erase(it);
    changed_.notify_all();
}

void FakeUsbBackend::expectControl(const std::string& path, const UsbControlRecord& request,
                                   const FakeControlReply& reply)
{
    std::lock_guard lock(mutex_);
    scripts_[path].expected.emplace_back(request, reply);
}

void FakeUsbBackend::setControlHandler(const std::string& path, FakeControlHandler handler)
{
    std::lock_guard lock(mutex_);
    scripts_[path].handler = std::move(handler);
}

void FakeUsbBackend::setDefaultControlReply(const FakeControlReply& reply)
{
    std::lock_guard lock(mutex_);
    defaultReply_ = reply;
}

std::vector<UsbControlRecord> FakeUsbBackend::controlLog(const std::string& path) const
{
    std::lock_guard lock(mutex_);
    auto it = scripts_.find(path);
    return it == scripts_.end() ? std::vector<UsbControlRecord>{} : it->second.log;
}

void FakeUsbBackend::clearControlLog(const std::string& path)
{
    std::lock_guard lock(mutex_);
    scripts_[path].log.clear();
}

int FakeUsbBackend::unexpectedControlCount(const std::string& path) const
{
    std::lock_guard lock(mutex_);
    auto it = scripts_.find(path);
    return it == scripts_.end() ? 0 : it->second.unexpected;
}

size_t FakeUsbBackend::pendingExpectations(const std::string& path) const
{
    std::lock_guard lock(mutex_);
    auto it = scripts_.find(path);
    return it == scripts_.end() ? 0 : it->second.expected.size();
}

int FakeUsbBackend::resetPipeCount(const std::string& path) const
{
    std::lock_guard lock(mutex_);
    auto it = scripts_.find(path);
    return it == scripts_.end() ? 0 : it->second.resets;
}

HRESULT FakeUsbBackend::control(Connection& c, UsbControlRecord& request, std::span<uint8_t> in)
{
    std::unique_lock lock(mutex_);
    if (HRESULT hr = c.check(); FAILED(hr))
        return hr;
    Script& script = scripts_[c.devicePath];
    FakeControlReply reply;
    auto& front = script.expected;
    bool matches = !front.empty() && front.front().first.kind == request.kind
        && front.front().first.request == request.request && front.front().first.value == request.value
        && front.front().first.index == request.index
        && (request.kind != UsbControlKind::Write || front.front().first.data == request.data);
    if (matches) {
        reply = front.front().second;
        front.pop_front();
    } else {
        if (FakeControlHandler handler = script.handler) {
            // The handler may script more (inject packets, unplug): call it unlocked.
            lock.unlock();
            reply = handler(request);
            lock.lock();
        } else {
            ++script.unexpected;
            reply = defaultReply_;
        }
    }
    if (request.kind == UsbControlKind::In && SUCCEEDED(reply.result)) {
        size_t n = std::min(reply.data.size(), in.size());
        std::copy_n(reply.data.begin(), n, in.begin());
        request.data.assign(reply.data.begin(), reply.data.begin() + static_cast<ptrdiff_t>(n));
    }
    scripts_[c.devicePath].log.push_back(request);
    if (c.device->gone)
        return USB_E_NOT_CONNECTED;
    return reply.result;
}

void FakeUsbBackend::queueIn(const std::string& path, std::vector<Pending> items)
{
    std::lock_guard lock(mutex_);
    auto it = devices_.find(path);
    if (it == devices_.end())
        return;
    for (auto& item : items)
        it->second->inbox.push_back(std::move(item));
    changed_.notify_all();
}

void FakeUsbBackend::injectPacket(const std::string& path, std::vector<uint8_t> data)
{
    queueIn(path, {{std::chrono::steady_clock::now(), std::move(data), S_OK}});
}

void FakeUsbBackend::injectReadError(const std::string& path, HRESULT status)
{
    queueIn(path, {{std::chrono::steady_clock::now(), {}, status}});
}

void FakeUsbBackend::playTimeline(const std::string& path, const std::vector<FakeInEvent>& events)
{
    std::vector<Pending> items;
    auto due = std::chrono::steady_clock::now();
    for (const auto& e : events) {
        due += e.delay;
        items.push_back({due, e.data, e.status});
    }
    queueIn(path, std::move(items));
}

bool FakeUsbBackend::idleLocked() const
{
    if (delivering_)
        return false;
    return std::none_of(connections_.begin(), connections_.end(), [](const Connection* c) {
        return c->activeReads > 0 && (c->device->gone || !c->device->inbox.empty());
    });
}

bool FakeUsbBackend::waitUntilIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return idleLocked(); });
}

void FakeUsbBackend::deliverLoop()
{
    deliveryThreadOf = this;
    std::unique_lock lock(mutex_);
    while (!quit_) {
        auto now = std::chrono::steady_clock::now();
        auto next = std::chrono::steady_clock::time_point::max();
        Connection* target = nullptr;
        for (Connection* c : connections_) {
            if (c->activeReads == 0)
                continue;
            if (c->device->gone || (!c->device->inbox.empty() && c->device->inbox.front().due <= now)) {
                target = c;
                break;
            }
            if (!c->device->inbox.empty())
                next = std::min(next, c->device->inbox.front().due);
        }
        if (!target) {
            if (next == std::chrono::steady_clock::time_point::max())
                changed_.wait(lock);
            else
                changed_.wait_until(lock, next);
            continue;
        }

        Pending item;
        if (target->device->gone) {
            item.status = USB_E_NOT_CONNECTED;
        } else {
            item = std::move(target->device->inbox.front());
            target->device->inbox.pop_front();
            if (SUCCEEDED(item.status) && item.data.size() > target->transferSize) {
                item.status = USB_E_IO; // the device sent more than the read could take
                item.data.clear();
            }
        }
        delivering_ = target;
        UsbReadHandler& handler = target->handler;
        lock.unlock();
        UsbReadAction action = handler(item.status, item.data);
        lock.lock();
        if (action == UsbReadAction::Stop) {
            target->activeReads = 0;
        } else if (target->device->gone && target->activeReads > 0) {
            // Issuing the read again fails as well; that read is retired.
            lock.unlock();
            handler(USB_E_NOT_CONNECTED, {});
            lock.lock();
            if (target->activeReads > 0)
                --target->activeReads;
        }
        delivering_ = nullptr;
        changed_.notify_all();
    }
}

} // namespace kavro
