#include "value_members.h"

namespace kavrodoc {

HRESULT putBagValue(kavro::ValueBag& bag, const QString& key, const Variant& value, bool* dirty)
{
    bool present = bag.contains(key);
    HRESULT hr = bag.put(key, value);
    if (SUCCEEDED(hr) && (present || !value.isEmpty()))
        *dirty = true;
    return hr;
}

HRESULT bagKeyValue(const kavro::ValueBag& bag, int32_t index, QString* key, Variant* value)
{
    if (!key || !value)
        return E_POINTER;
    if (index < 0 || index >= bag.count()) {
        *key = QString();
        *value = Variant();
        return E_INVALIDARG;
    }
    bag.keyAt(index, key);
    return bag.valueAt(index, value);
}

} // namespace kavrodoc
