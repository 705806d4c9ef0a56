#pragma once
// The enumerator that collections hand out as `_NewEnum`: a snapshot of their items.
#include "snapshot_enumerator.h"
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

class VariantEnumerator final : public SnapshotEnumerator<VariantEnumerator, IEnumVARIANT, Variant> {
public:
    using SnapshotEnumerator::SnapshotEnumerator;

    // An enumerator over objects, each as VT_DISPATCH as a dual interface's collection gives them.
    template <class I> static ComPtr<VariantEnumerator> ofObjects(const std::vector<ComPtr<I>>& objects)
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
        return giveNext(count, items, fetched, [](const Variant& item, Variant& slot) {
            slot = item;
            return true;
        });
    }
};

} // namespace kavro
