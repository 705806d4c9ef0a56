#pragma once
// The enumerator that collections hand out as `_NewEnum`: a snapshot of their items.
#include "variant.h"

#include <vector>

struct IEnumVARIANT : IUnknown {
    static constexpr Guid iid = Guid::parse("00020404-0000-0000-C000-000000000046");
    // Fills up to `count` items; S_FALSE when fewer were left.
    virtual HRESULT Next(uint32_t count, Variant* items, uint32_t* fetched) = 0;
    virtual HRESULT Skip(uint32_t count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumVARIANT** out) = 0;
};

namespace kavro {

class VariantEnumerator final : public ComObject<VariantEnumerator, IEnumVARIANT> {
public:
    explicit VariantEnumerator(std::vector<Variant> items, size_t position = 0)
        : items_(std::move(items)), pos_(position) {}

    // An enumerator over objects, each as VT_DISPATCH as a dual interface's collection gives them.
    template <class I>
    static ComPtr<VariantEnumerator> ofObjects(const std::vector<ComPtr<I>>& objects)
    {
        std::vector<Variant> items;
        items.reserve(objects.size());
        for (const auto& o : objects)
            items.push_back(Variant::fromObject(o.get(), VT_DISPATCH));
        return create(std::move(items));
    }

    HRESULT Next(uint32_t count, Variant* items, uint32_t* fetched) override
    {
        if (!items && count)
            return E_POINTER;
        uint32_t n = 0;
        while (n < count && pos_ < items_.size())
            items[n++] = items_[pos_++];
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(uint32_t count) override
    {
        size_t left = items_.size() - pos_;
        pos_ += std::min<size_t>(left, count);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT Reset() override
    {
        pos_ = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumVARIANT** out) override
    {
        if (!out)
            return E_POINTER;
        *out = create(items_, pos_).detach();
        return S_OK;
    }

private:
    std::vector<Variant> items_;
    size_t pos_ = 0;
};

} // namespace kavro
