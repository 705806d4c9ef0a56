#pragma once
// Small rules that every class of this module applies the same way.
#include "com/persist.h"

#include <mutex>

namespace kavrodoc {

using Lock = std::lock_guard<std::recursive_mutex>;

// An interface out-pointer must be given and point to null on entry.
template <class I>
bool badInterfaceOut(I** out)
{
    return !out || *out;
}

inline VARIANT_BOOL vbool(bool b) { return b ? VARIANT_TRUE : VARIANT_FALSE; }

// Object form (class id, then the object's stream) passing the caller's clear-dirty choice on.
HRESULT saveObjectForm(IStream* stream, IPersistStreamInit* object, BOOL clearDirty);

// Reads an object form's class id (not compared) and lets `object` load the rest.
HRESULT loadObjectForm(IStream* stream, IPersistStreamInit* object);

// The common answer of the error-info interface: our own interface supports it.
inline HRESULT supportsErrorInfo(const IID& asked, const IID& own)
{
    return asked == own ? S_OK : S_FALSE;
}

} // namespace kavrodoc
