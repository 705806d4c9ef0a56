#pragma once
// The standard interfaces of a control that its host persists and browses, shared by every module
// that holds a control. Identifiers are the well-known ones of these interfaces.
#include "com/persist.h"
#include "com/variant.h"

#include <vector>

using DISPID = int32_t;

// Named values a host keeps for a control (a form's saved properties).
struct IPropertyBag : IUnknown {
    static constexpr Guid iid = Guid::parse("55272A00-42CB-11CE-8135-00AA004BB851");
    // E_INVALIDARG when the name is not in the bag.
    virtual HRESULT Read(const QString& name, Variant* value) = 0;
    virtual HRESULT Write(const QString& name, const Variant& value) = 0;
};

struct IPersistPropertyBag : IPersist {
    static constexpr Guid iid = Guid::parse("37D84F60-42CB-11CE-8135-00AA004BB851");
    using Base = IPersist;
    virtual HRESULT InitNew() = 0;
    virtual HRESULT Load(IPropertyBag* bag) = 0;
    virtual HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAllProperties) = 0;
};

// Value browsing of a property in a host's property list: a display text, a list of predefined
// texts with cookies, and the value a cookie stands for.
struct IPerPropertyBrowsing : IUnknown {
    static constexpr Guid iid = Guid::parse("376BD3AA-3845-101B-84ED-08002B2EC713");
    virtual HRESULT GetDisplayString(DISPID dispid, QString* text) = 0;
    virtual HRESULT MapPropertyToPage(DISPID dispid, CLSID* page) = 0;
    virtual HRESULT GetPredefinedStrings(DISPID dispid, std::vector<QString>* texts, std::vector<uint32_t>* cookies)
        = 0;
    virtual HRESULT GetPredefinedValue(DISPID dispid, uint32_t cookie, Variant* value) = 0;
};
