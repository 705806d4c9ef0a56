#pragma once
// The `Value` members that elements and events share, over a bag the owner locks.
#include "storage/stream/value_bag.h"

#include <mutex>

namespace kavrodoc {

// Putting VT_EMPTY removes the name; the owner becomes dirty only when the stored value changed.
HRESULT putBagValue(kavro::ValueBag& bag, const QString& key, const Variant& value, bool* dirty);

// 0-based in name order; outside the range both outputs are cleared and E_INVALIDARG returned.
HRESULT bagKeyValue(const kavro::ValueBag& bag, int32_t index, QString* key, Variant* value);

// Reads a stored bag and puts its values into `bag`, over the names it already holds.
HRESULT readBagInto(IStream* stream, kavro::ValueBag& bag);

} // namespace kavrodoc

// The `Value` members of a class whose bag `bag` and modified flag `dirty` are guarded by its
// `mutex_`: reading a missing name gives VT_EMPTY, putting goes through putBagValue.
#define KAVRO_LOCKED_VALUE_BAG(Class, bag, dirty)                                                                      \
    HRESULT Class::get_Value(const QString& key, Variant* out)                                                         \
    {                                                                                                                  \
        if (!out)                                                                                                      \
            return E_POINTER;                                                                                          \
        std::lock_guard guard(mutex_);                                                                                 \
        return (bag).get(key, out);                                                                                    \
    }                                                                                                                  \
    HRESULT Class::put_Value(const QString& key, const Variant& value)                                                 \
    {                                                                                                                  \
        std::lock_guard guard(mutex_);                                                                                 \
        return ::kavrodoc::putBagValue(bag, key, value, &(dirty));                                                     \
    }                                                                                                                  \
    HRESULT Class::putref_Value(const QString& key, const Variant& value)                                              \
    {                                                                                                                  \
        return put_Value(key, value);                                                                                  \
    }
