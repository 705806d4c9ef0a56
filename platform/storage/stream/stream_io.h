#pragma once
// Exact reads and full writes of little-endian values. A short read or write is a failure
// (E_FAIL), because every stored form has fixed sizes and counts.
#include "com/persist.h"
#include "memory_stream.h"

#include <cstring>
#include <type_traits>
#include <typeinfo>

namespace kavro {

// Any stream through its Read.
HRESULT readExactFromStream(IStream* stream, void* buffer, uint32_t cb);

// Documents load from memory streams a few bytes at a time: those are read without a call.
inline HRESULT readExact(IStream* stream, void* buffer, uint32_t cb)
{
    if (stream && typeid(*stream) == typeid(MemoryStream))
        return static_cast<MemoryStream*>(stream)->readExact(buffer, cb);
    return readExactFromStream(stream, buffer, cb);
}
HRESULT writeAll(IStream* stream, const void* buffer, uint32_t cb);

// Bytes between the current position and the end: every count read from a stream is checked
// against it before anything is allocated.
HRESULT remainingBytes(IStream* stream, uint64_t* out);

// True when `count` items of `itemSize` bytes can still be in the stream.
bool fitsInStream(IStream* stream, uint64_t count, uint64_t itemSize);

template <class T> HRESULT readValue(IStream* stream, T* out)
{
    static_assert(std::is_trivially_copyable_v<T>);
    return readExact(stream, out, sizeof(T)); // every supported machine is little-endian
}

// Reads fields that lie back to back in one read: a stored form's fixed run of fields costs one
// call instead of one per field. Fails as reading them one by one would (E_FAIL when short).
template <class... T> HRESULT readFields(IStream* stream, T*... out)
{
    static_assert((std::is_trivially_copyable_v<T> && ...));
    unsigned char bytes[(sizeof(T) + ...)];
    HRESULT hr = readExact(stream, bytes, sizeof bytes);
    if (FAILED(hr))
        return hr;
    size_t at = 0;
    ((std::memcpy(out, bytes + at, sizeof(T)), at += sizeof(T)), ...);
    return S_OK;
}

template <class T> HRESULT writeValue(IStream* stream, const T& v)
{
    static_assert(std::is_trivially_copyable_v<T>);
    return writeAll(stream, &v, sizeof(T));
}

// Reads the int32 version that begins every persistent object's stream; a version above
// `current` is refused (E_FAIL), with the version read left in *version.
HRESULT readVersion(IStream* stream, int32_t current, int32_t* version);

} // namespace kavro
