#pragma once
// The `Value` members that elements and events share, over a bag the owner locks.
#include "storage/stream/value_bag.h"

namespace kavrodoc {

// Putting VT_EMPTY removes the name; the owner becomes dirty only when the stored value changed.
HRESULT putBagValue(kavro::ValueBag& bag, const QString& key, const Variant& value, bool* dirty);

// 0-based in name order; outside the range both outputs are cleared and E_INVALIDARG returned.
HRESULT bagKeyValue(const kavro::ValueBag& bag, int32_t index, QString* key, Variant* value);

// Reads a stored bag and puts its values into `bag`, over the names it already holds.
HRESULT readBagInto(IStream* stream, kavro::ValueBag& bag);

} // namespace kavrodoc
