#pragma once
// Plain stored properties of the document model's objects: every access takes the object's own
// lock (`mutex_`), getters refuse a missing out-pointer. A held object is handed out as a new
// reference, into an out-pointer that must point to null.
#include "com/unknown.h"

#include <mutex>

namespace kavrodoc {

template <class T, class V> HRESULT copyPropertyOut(T* out, const V& value)
{
    if (!out)
        return E_POINTER;
    *out = value;
    return S_OK;
}

template <class I> HRESULT copyPropertyOut(I** out, const ComPtr<I>& held)
{
    if (!out || *out)
        return E_POINTER;
    return held.copyTo(out);
}

// Puts a stored value under the caller's lock; the object counts as modified only when it changed.
template <class T> HRESULT putTracked(T& member, const T& value, bool* modified)
{
    if (value != member) {
        member = value;
        *modified = true;
    }
    return S_OK;
}

} // namespace kavrodoc

#define KAVRO_LOCKED_GET(member)                                                                                       \
    {                                                                                                                  \
        std::lock_guard guard(mutex_);                                                                                 \
        return ::kavrodoc::copyPropertyOut(out, member);                                                               \
    }

#define KAVRO_LOCKED_PUT(member)                                                                                       \
    {                                                                                                                  \
        std::lock_guard guard(mutex_);                                                                                 \
        member = value;                                                                                                \
        return S_OK;                                                                                                   \
    }
