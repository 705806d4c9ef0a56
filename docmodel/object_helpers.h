#pragma once
// Small rules that every class of this module applies the same way.
#include "com/enumvariant.h"
#include "com/persist.h"
#include "storage/stream/stream_forms.h"

#include <QString>
#include <QVarLengthArray>

#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

namespace kavrodoc {

using Lock = std::lock_guard<std::recursive_mutex>;

// An interface out-pointer must be given and point to null on entry.
template <class I> bool badInterfaceOut(I** out)
{
    return !out || *out;
}

// Hands a reference on as one to a base interface, without adding and dropping one.
template <class To, class From> ComPtr<To> moveAs(ComPtr<From>&& from)
{
    ComPtr<To> to;
    to.attach(from.detach());
    return to;
}

// Moves `from` into `to`. The move assignment of QVarLengthArray in Qt 6.4 drops the heap
// storage the target held without freeing it, so the target gives it back first.
template <class T, qsizetype Prealloc>
void moveInto(QVarLengthArray<T, Prealloc>& to, QVarLengthArray<T, Prealloc>&& from)
{
    if (to.capacity() > Prealloc) {
        to.clear();
        to.squeeze();
    }
    to = std::move(from);
}

// A collection's item by its 1-based index; an index outside the collection is E_INVALIDARG.
// `items` is a vector-like list of ComPtr<I>.
template <class Items, class I> HRESULT copyItem(const Items& items, int32_t index, I** out)
{
    if (badInterfaceOut(out))
        return E_POINTER;
    if (index < 1 || static_cast<size_t>(index) > static_cast<size_t>(items.size()))
        return E_INVALIDARG;
    return items[static_cast<size_t>(index) - 1].copyTo(out);
}

// A collection's `_NewEnum`: an enumerator over a snapshot of its objects.
template <class Items> HRESULT enumerateObjects(const Items& items, IUnknown** out)
{
    if (badInterfaceOut(out))
        return E_POINTER;
    using Ptr = typename Items::value_type;
    ComPtr<kavro::VariantEnumerator> e;
    if constexpr (std::is_same_v<Items, std::vector<Ptr>>)
        e = kavro::VariantEnumerator::ofObjects(items);
    else
        e = kavro::VariantEnumerator::ofObjects(std::vector<Ptr>(items.begin(), items.end()));
    return queryOut(e.get(), out);
}

// A reference the object must have been given before it is read (an aiming's or a collection's
// event): none yet reads as E_UNEXPECTED. The caller holds the object's lock.
template <class I> HRESULT copyRequired(const ComPtr<I>& held, I** out)
{
    if (badInterfaceOut(out))
        return E_POINTER;
    if (!held)
        return E_UNEXPECTED;
    return held.copyTo(out);
}

// Puts such a reference: null is refused, anything else replaces it and marks the object modified.
template <class I> HRESULT putRequired(ComPtr<I>* held, I* value, bool* modified)
{
    if (!value)
        return E_INVALIDARG;
    *held = value;
    *modified = true;
    return S_OK;
}

// The short name a held event is stored by; without an event the object cannot be stored.
template <class E> HRESULT storedEventName(const ComPtr<E>& event, QString* shortName)
{
    if (!event)
        return E_UNEXPECTED;
    return FAILED(event->get_ShortName(shortName)) ? E_FAIL : S_OK;
}

// Object form (class id, then the object's stream) passing the caller's clear-dirty choice on.
HRESULT saveObjectForm(IStream* stream, IPersistStreamInit* object, BOOL clearDirty);

// Reads an object form's class id (not compared) and lets `object` load the rest.
HRESULT loadObjectForm(IStream* stream, IPersistStreamInit* object);

// Ends a Save: the object is clean again after a successful save when the caller asks for it.
inline HRESULT endSave(HRESULT hr, BOOL clearDirty, bool* dirty)
{
    if (SUCCEEDED(hr) && clearDirty)
        *dirty = false;
    return hr;
}

// The IPersistStreamInit members that say nothing about an object's content, for a class with a
// static `clsid` whose modified flag `dirty` is guarded by `mutex`. No size estimate is offered.
#define KAVRO_PERSIST_STREAM_INIT_BASICS(Class, mutex, dirty)                                                          \
    HRESULT Class::GetClassID(CLSID* out)                                                                              \
    {                                                                                                                  \
        if (!out)                                                                                                      \
            return E_POINTER;                                                                                          \
        *out = Class::clsid;                                                                                           \
        return S_OK;                                                                                                   \
    }                                                                                                                  \
    HRESULT Class::IsDirty()                                                                                           \
    {                                                                                                                  \
        std::lock_guard guard(mutex);                                                                                  \
        return (dirty) ? S_OK : S_FALSE;                                                                               \
    }                                                                                                                  \
    HRESULT Class::GetSizeMax(uint64_t* size)                                                                          \
    {                                                                                                                  \
        return size ? E_NOTIMPL : E_POINTER;                                                                           \
    }                                                                                                                  \
    HRESULT Class::InitNew()                                                                                           \
    {                                                                                                                  \
        return S_OK;                                                                                                   \
    }

// The lock a Load takes before it stores what it read. An object that a load makes for itself is
// reachable by nobody else until that load hands it out, so it is loaded without one.
inline std::unique_lock<std::recursive_mutex> loadLock(std::recursive_mutex& mutex, bool shared)
{
    return shared ? std::unique_lock(mutex) : std::unique_lock(mutex, std::defer_lock);
}

// loadObjectForm for such an object of a class with `loadUnshared`.
template <class T> HRESULT loadUnsharedObjectForm(IStream* stream, T* object)
{
    Guid clsid;
    if (FAILED(kavro::readGuid(stream, &clsid)))
        return E_FAIL;
    return object->loadUnshared(stream);
}

// Loads into a copy of `fields`, so that a bad stream leaves the object whole.
template <class Fields> HRESULT loadIntoCopy(IStream* stream, Fields& fields, HRESULT (*read)(IStream*, Fields*))
{
    if (!stream)
        return E_POINTER;
    Fields loaded = fields;
    HRESULT hr = read(stream, &loaded);
    if (FAILED(hr))
        return hr;
    fields = std::move(loaded);
    return S_OK;
}

// The common answer of the error-info interface: our own interface supports it.
inline HRESULT supportsErrorInfo(const IID& asked, const IID& own)
{
    return asked == own ? S_OK : S_FALSE;
}

} // namespace kavrodoc
