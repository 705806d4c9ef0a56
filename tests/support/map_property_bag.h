#pragma once
// A property bag over a map, as a host keeps a form's saved properties; it remembers the order
// of the writes.
#include "olecontrol.h"

#include <map>
#include <vector>

namespace kavro::testing {

class MapPropertyBag final : public ComObject<MapPropertyBag, IPropertyBag> {
public:
    std::map<QString, Variant> values;
    std::vector<QString> order;
    HRESULT Read(const QString& name, Variant* value) override
    {
        auto it = values.find(name);
        if (it == values.end())
            return E_INVALIDARG;
        *value = it->second;
        return S_OK;
    }
    HRESULT Write(const QString& name, const Variant& value) override
    {
        values[name] = value;
        order.push_back(name);
        return S_OK;
    }
};

} // namespace kavro::testing
