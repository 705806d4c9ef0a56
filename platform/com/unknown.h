#pragma once
// IUnknown, the reference-holding pointer and the object base every class of ours derives from.
// Interfaces are plain abstract classes; each names its identifier as `static constexpr Guid iid`
// and, when it extends another interface than IUnknown, that interface as `using Base = ...`.
#include "guid.h"
#include "hresult.h"

#include <atomic>
#include <type_traits>
#include <utility>

struct IUnknown {
    static constexpr Guid iid = Guid::parse("00000000-0000-0000-C000-000000000046");
    virtual HRESULT QueryInterface(const IID& iid, void** out) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

template <class T> constexpr const Guid& iidOf()
{
    return T::iid;
}

// Holds one reference. Assigning from a raw pointer adds a reference; `attach` adopts one.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) { }
    ComPtr(T* p) : p_(p)
    {
        if (p_)
            p_->AddRef();
    }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) { }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) { }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    ComPtr(const ComPtr<U>& o) : ComPtr(static_cast<T*>(o.get()))
    {
    }
    ~ComPtr() { reset(); }

    ComPtr& operator=(const ComPtr& o)
    {
        ComPtr(o).swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& o) noexcept
    {
        ComPtr(std::move(o)).swap(*this);
        return *this;
    }
    ComPtr& operator=(T* p)
    {
        ComPtr(p).swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t)
    {
        reset();
        return *this;
    }

    void reset()
    {
        if (T* p = std::exchange(p_, nullptr))
            p->Release();
    }
    void attach(T* p)
    {
        reset();
        p_ = p;
    }
    T* detach() { return std::exchange(p_, nullptr); }
    void swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // For out-parameters: releases what it holds and gives the slot.
    T** put()
    {
        reset();
        return &p_;
    }
    void** putVoid()
    {
        reset();
        return reinterpret_cast<void**>(&p_);
    }

    // Copies the pointer out with a reference added, the way a COM getter hands it to its caller.
    HRESULT copyTo(T** out) const
    {
        if (!out)
            return E_POINTER;
        *out = p_;
        if (p_)
            p_->AddRef();
        return S_OK;
    }

    template <class U> HRESULT as(ComPtr<U>* out) const
    {
        if (!p_)
            return E_POINTER;
        return p_->QueryInterface(U::iid, out->putVoid());
    }
    template <class U> ComPtr<U> query() const
    {
        ComPtr<U> r;
        if (p_)
            p_->QueryInterface(U::iid, r.putVoid());
        return r;
    }

    bool operator==(const ComPtr& o) const { return p_ == o.p_; }
    bool operator==(const T* o) const { return p_ == o; }
    bool operator==(std::nullptr_t) const { return p_ == nullptr; }

private:
    T* p_ = nullptr;
};

// Object identity: the IUnknown pointer that QueryInterface gives.
bool sameObject(IUnknown* a, IUnknown* b);

namespace kavro::detail {
template <class I, class = void> struct HasBase : std::false_type {
};
template <class I> struct HasBase<I, std::void_t<typename I::Base>> : std::true_type {
};

template <class I> constexpr bool iidInChain(const Guid& iid)
{
    if (iid == I::iid)
        return true;
    if constexpr (HasBase<I>::value)
        return iidInChain<typename I::Base>(iid);
    else
        return false;
}

// Live object count of this process, for leak checks in tests.
std::atomic<long>& liveObjects();
} // namespace kavro::detail

// The object base: reference counting and QueryInterface over the interfaces listed. The first
// interface gives the IUnknown identity. Derived classes may extend QueryInterface through
// `queryExtra` (e.g. for an inner sink object).
template <class Derived, class... Interfaces> class ComObject : public Interfaces... {
    using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;

public:
    // A new object holding one reference for the caller.
    template <class... Args> static ComPtr<Derived> create(Args&&... args)
    {
        ComPtr<Derived> p;
        p.attach(new Derived(std::forward<Args>(args)...));
        return p;
    }

    HRESULT QueryInterface(const IID& iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IUnknown::iid) {
            *out = static_cast<IUnknown*>(static_cast<First*>(this));
        } else {
            (void)((kavro::detail::iidInChain<Interfaces>(iid) && (*out = static_cast<Interfaces*>(this), true))
                   || ...);
        }
        if (!*out)
            *out = static_cast<Derived*>(this)->queryExtra(iid);
        if (!*out)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    uint32_t AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    uint32_t Release() override
    {
        uint32_t n = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (n == 0)
            delete static_cast<Derived*>(this);
        return n;
    }

    IUnknown* identity() { return static_cast<IUnknown*>(static_cast<First*>(this)); }

protected:
    ComObject() { kavro::detail::liveObjects().fetch_add(1, std::memory_order_relaxed); }
    virtual ~ComObject() { kavro::detail::liveObjects().fetch_sub(1, std::memory_order_relaxed); }
    void* queryExtra(const IID&) { return nullptr; }

private:
    // The creator's reference: nobody else can see a new object, so no ordered store is needed.
    std::atomic<uint32_t> refs_{1};
};

// Hands a new reference to an out-parameter of interface type I, from any object of ours.
template <class I, class T> HRESULT queryOut(T* obj, I** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!obj)
        return E_POINTER;
    return obj->QueryInterface(I::iid, reinterpret_cast<void**>(out));
}
