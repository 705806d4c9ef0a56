#include "value_bag.h"

#include "stream_forms.h"

#include <QCollator>
#include <algorithm>

namespace kavro {

int ValueBag::compareNames(const QString& a, const QString& b)
{
    thread_local QCollator collator = [] {
        QCollator c{QLocale()};
        c.setCaseSensitivity(Qt::CaseSensitive);
        c.setNumericMode(false);
        c.setIgnorePunctuation(false);
        return c;
    }();
    int r = collator.compare(a, b);
    if (r != 0)
        return r;
    return QString::compare(a, b, Qt::CaseSensitive); // names are exact: equal only when identical
}

std::vector<ValueBag::Entry>::const_iterator ValueBag::find(const QString& name) const
{
    auto it = std::lower_bound(entries_.begin(), entries_.end(), name,
                               [](const Entry& e, const QString& n) { return compareNames(e.name, n) < 0; });
    return it != entries_.end() && it->name == name ? it : entries_.end();
}

HRESULT ValueBag::get(const QString& name, Variant* out) const
{
    if (!out)
        return E_POINTER;
    auto it = find(name);
    *out = it == entries_.end() ? Variant() : it->value;
    return S_OK;
}

bool ValueBag::contains(const QString& name) const
{
    return find(name) != entries_.end();
}

HRESULT ValueBag::put(const QString& name, const Variant& value)
{
    auto it = std::lower_bound(entries_.begin(), entries_.end(), name,
                               [](const Entry& e, const QString& n) { return compareNames(e.name, n) < 0; });
    bool present = it != entries_.end() && it->name == name;
    if (value.isEmpty()) {
        if (present)
            entries_.erase(it);
        return S_OK;
    }
    if (!isStorableVariant(value))
        return E_INVALIDARG;
    if (present)
        it->value = value;
    else
        entries_.insert(it, Entry{name, value});
    return S_OK;
}

HRESULT ValueBag::keyAt(int index, QString* name) const
{
    if (!name)
        return E_POINTER;
    if (index < 0 || index >= count())
        return E_INVALIDARG;
    *name = entries_[static_cast<size_t>(index)].name;
    return S_OK;
}

HRESULT ValueBag::valueAt(int index, Variant* value) const
{
    if (!value)
        return E_POINTER;
    if (index < 0 || index >= count())
        return E_INVALIDARG;
    *value = entries_[static_cast<size_t>(index)].value;
    return S_OK;
}

HRESULT ValueBag::write(IStream* stream) const
{
    HRESULT hr = writeValue<int32_t>(stream, count());
    for (const Entry& e : entries_) {
        if (FAILED(hr))
            break;
        hr = writeBstr(stream, e.name);
        if (SUCCEEDED(hr))
            hr = writeVariant(stream, e.value);
    }
    return hr;
}

HRESULT ValueBag::read(IStream* stream)
{
    int32_t n = 0;
    if (FAILED(readValue(stream, &n)) || n < 0)
        return E_FAIL;
    // Most bags are empty.
    if (n == 0) {
        clear();
        return S_OK;
    }
    // Each entry takes at least a 4-byte name count and a 2-byte type.
    if (!fitsInStream(stream, static_cast<uint64_t>(n), 6))
        return E_FAIL;
    ValueBag loaded;
    for (int32_t i = 0; i < n; ++i) {
        QString name;
        Variant value;
        if (FAILED(readBstr(stream, &name)))
            return E_FAIL;
        HRESULT hr = readVariant(stream, &value);
        if (FAILED(hr))
            return hr;
        if (name.isNull())
            name = QStringLiteral("");
        // Stored order may differ from ours (another locale): insert in our order.
        loaded.put(name, value);
    }
    *this = std::move(loaded);
    return S_OK;
}

bool ValueBag::operator==(const ValueBag& o) const
{
    if (entries_.size() != o.entries_.size())
        return false;
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].name != o.entries_[i].name || !(entries_[i].value == o.entries_[i].value))
            return false;
    return true;
}

} // namespace kavro
