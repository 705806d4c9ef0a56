#pragma once
// A native event of a USB device class: one hooked handler, raised on the device's reader
// thread. Hook and unhook while the device is closed (the reader is then not running).
#include <functional>
#include <mutex>
#include <utility>

namespace kavro {

template <class... Args> class UsbEvent {
public:
    using Handler = std::function<void(Args...)>;

    void Hook(Handler handler)
    {
        std::lock_guard lock(mutex_);
        handler_ = std::move(handler);
    }
    void Unhook() { Hook(nullptr); }

    void operator()(Args... args) const
    {
        Handler h;
        {
            std::lock_guard lock(mutex_);
            h = handler_;
        }
        if (h)
            h(args...);
    }

private:
    mutable std::mutex mutex_;
    Handler handler_;
};

} // namespace kavro
