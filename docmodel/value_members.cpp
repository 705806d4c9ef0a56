#include "value_members.h"

namespace kavrodoc {

HRESULT putBagValue(kavro::ValueBag& bag, const QString& key, const Variant& value, bool* dirty)
{
    Variant before;
    bag.get(key, &before);
    HRESULT hr = bag.put(key, value);
    if (SUCCEEDED(hr) && !(before == value))
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

HRESULT readBagInto(IStream* stream, kavro::ValueBag& bag)
{
    kavro::ValueBag stored;
    HRESULT hr = stored.read(stream);
    if (FAILED(hr))
        return hr;
    for (int i = 0; i < stored.count(); ++i) {
        QString key;
        Variant value;
        stored.keyAt(i, &key);
        stored.valueAt(i, &value);
        bag.put(key, value);
    }
    return S_OK;
}

} // namespace kavrodoc
