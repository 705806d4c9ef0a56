#pragma once
// Small rules that every class of this module applies the same way.
#include "com/persist.h"

#include <mutex>
#include <utility>

namespace kavrodoc {

using Lock = std::lock_guard<std::recursive_mutex>;

// An interface out-pointer must be given and point to null on entry.
template <class I> bool badInterfaceOut(I** out)
{
    return !out || *out;
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
