#pragma once
// The enumerators of COM collections (Next, Skip, Reset, Clone) over a snapshot of items taken
// when the enumerator was made. Each interface's Next hands its items out in its own form.
#include "unknown.h"

#include <algorithm>
#include <vector>

namespace kavro {

template <class Derived, class Interface, class Item> class SnapshotEnumerator : public ComObject<Derived, Interface> {
public:
    explicit SnapshotEnumerator(std::vector<Item> items, size_t position = 0)
        : items_(std::move(items)), pos_(std::min(position, items_.size()))
    {
    }

    HRESULT Skip(uint32_t count) override
    {
        const size_t left = items_.size() - pos_;
        pos_ += std::min<size_t>(left, count);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT Reset() override
    {
        pos_ = 0;
        return S_OK;
    }
    HRESULT Clone(Interface** out) override
    {
        if (!out)
            return E_POINTER;
        *out = Derived::create(items_, pos_).detach();
        return S_OK;
    }

protected:
    // Gives up to `count` items through `give(item, slot)`, which returns false when it cannot;
    // S_FALSE when fewer than `count` were given.
    template <class Slot, class Give> HRESULT giveNext(uint32_t count, Slot* out, uint32_t* fetched, Give&& give)
    {
        uint32_t n = 0;
        while (n < count && pos_ < items_.size() && give(items_[pos_], out[n])) {
            ++n;
            ++pos_;
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }

    std::vector<Item> items_;
    size_t pos_ = 0;
};

} // namespace kavro
