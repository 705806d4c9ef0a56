#pragma once
// Event sources: a sink interface is advised for a cookie, unadvised by it, and every advised
// sink is called when the event fires. A sink may unadvise itself, or another sink, while being
// called; a sink unadvised during a fire is not called after that.
#include "unknown.h"

#include <QVarLengthArray>

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

struct IConnectionPoint : IUnknown {
    static constexpr Guid iid = Guid::parse("B196B286-BAB4-101A-B69C-00AA00341D07");
    virtual HRESULT GetConnectionInterface(IID* iid) = 0;
    virtual HRESULT Advise(IUnknown* sink, uint32_t* cookie) = 0;
    virtual HRESULT Unadvise(uint32_t cookie) = 0;
};

struct IConnectionPointContainer : IUnknown {
    static constexpr Guid iid = Guid::parse("B196B284-BAB4-101A-B69C-00AA00341D07");
    virtual HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** out) = 0;
};

// Advises `sink` on the source's connection point for `sinkIid`.
HRESULT adviseSink(IUnknown* source, const IID& sinkIid, IUnknown* sink, uint32_t* cookie);
HRESULT unadviseSink(IUnknown* source, const IID& sinkIid, uint32_t cookie);

namespace kavro {

// A connection point held inside its source object; its references are the owner's.
template <class Sink> class ConnectionPoint final : public IConnectionPoint {
public:
    explicit ConnectionPoint(IUnknown* owner) : owner_(owner) { }
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;
    ~ConnectionPoint() = default;

    HRESULT QueryInterface(const IID& iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IUnknown::iid || iid == IConnectionPoint::iid) {
            *out = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return owner_->AddRef(); }
    uint32_t Release() override { return owner_->Release(); }

    HRESULT GetConnectionInterface(IID* iid) override
    {
        if (!iid)
            return E_POINTER;
        *iid = Sink::iid;
        return S_OK;
    }

    HRESULT Advise(IUnknown* sink, uint32_t* cookie) override
    {
        if (!sink || !cookie)
            return E_POINTER;
        *cookie = 0;
        ComPtr<Sink> typed;
        if (FAILED(sink->QueryInterface(Sink::iid, typed.putVoid())) || !typed)
            return CONNECT_E_CANNOTCONNECT;
        std::lock_guard g(lock_);
        *cookie = ++lastCookie_;
        sinks_.push_back({*cookie, std::move(typed)});
        advised_.store(sinks_.size(), std::memory_order_release);
        return S_OK;
    }

    HRESULT Unadvise(uint32_t cookie) override
    {
        ComPtr<Sink> released; // released outside the lock: a sink's destructor may call back
        std::lock_guard g(lock_);
        for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
            if (it->cookie == cookie) {
                released = std::move(it->sink);
                sinks_.erase(it);
                advised_.store(sinks_.size(), std::memory_order_release);
                return S_OK;
            }
        }
        return CONNECT_E_NOCONNECTION;
    }

    // Calls f(Sink*) for every advised sink, in the order they were advised.
    template <class F> void fire(F&& f)
    {
        fire([] {}, std::forward<F>(f));
    }
    // The same, with before() called first, once the sinks to call are fixed: a sink that
    // before() advises hears the next event, not this one.
    template <class Before, class F> void fire(Before&& before, F&& f)
    {
        // Events fire often (once per aiming while a practice loads) and to few sinks, often to none.
        if (advised_.load(std::memory_order_acquire) == 0) {
            before();
            return;
        }
        QVarLengthArray<Entry, 4> snapshot;
        {
            std::lock_guard g(lock_);
            snapshot.append(sinks_.data(), qsizetype(sinks_.size()));
        }
        before();
        for (const Entry& e : snapshot) {
            if (!stillAdvised(e.cookie))
                continue;
            f(e.sink.get());
        }
    }

    size_t count() const
    {
        std::lock_guard g(lock_);
        return sinks_.size();
    }

    void clear()
    {
        std::vector<Entry> old;
        std::lock_guard g(lock_);
        old.swap(sinks_);
        advised_.store(0, std::memory_order_release);
    }

private:
    struct Entry {
        uint32_t cookie;
        ComPtr<Sink> sink;
    };
    bool stillAdvised(uint32_t cookie) const
    {
        std::lock_guard g(lock_);
        for (const Entry& e : sinks_)
            if (e.cookie == cookie)
                return true;
        return false;
    }

    IUnknown* owner_;
    mutable std::recursive_mutex lock_;
    std::vector<Entry> sinks_;
    // sinks_.size(), readable without the lock.
    std::atomic<size_t> advised_{0};
    uint32_t lastCookie_ = 0;
};

// FindConnectionPoint over a fixed set of connection points.
template <class... Points> HRESULT findConnectionPoint(const IID& iid, IConnectionPoint** out, Points&... points)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    HRESULT hr = CONNECT_E_NOCONNECTION;
    auto check = [&](auto& cp) {
        IID cpIid;
        cp.GetConnectionInterface(&cpIid);
        if (*out == nullptr && cpIid == iid) {
            *out = &cp;
            cp.AddRef();
            hr = S_OK;
        }
    };
    (check(points), ...);
    return hr;
}

} // namespace kavro
