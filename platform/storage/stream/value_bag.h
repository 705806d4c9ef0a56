#pragma once
// The `Value` bag of documents, aiming attributes, shots, events and target elements: named
// values in the order of the user locale's case-sensitive comparison (ties broken by code
// unit), stored as an int32 count and (name, value) pairs in that order. Owners lock it.
#include "com/persist.h"
#include "com/variant.h"

#include <vector>

namespace kavro {

class ValueBag {
public:
    // A missing name gives VT_EMPTY with S_OK.
    HRESULT get(const QString& name, Variant* out) const;
    // VT_EMPTY removes the name; a value that cannot be stored is refused with E_INVALIDARG so
    // that it cannot make every later save fail.
    HRESULT put(const QString& name, const Variant& value);
    bool contains(const QString& name) const;

    int count() const { return static_cast<int>(entries_.size()); }
    // 0-based, in name order; E_INVALIDARG outside 0..count-1.
    HRESULT keyAt(int index, QString* name) const;
    HRESULT valueAt(int index, Variant* value) const;
    void clear() { entries_.clear(); }

    HRESULT write(IStream* stream) const;
    // Replaces the contents; on failure the bag is left as it was.
    HRESULT read(IStream* stream);

    bool operator==(const ValueBag& o) const;

    // The comparison that orders names: negative, zero or positive.
    static int compareNames(const QString& a, const QString& b);

private:
    struct Entry {
        QString name;
        Variant value;
    };
    std::vector<Entry>::const_iterator find(const QString& name) const;
    std::vector<Entry> entries_;
};

} // namespace kavro
