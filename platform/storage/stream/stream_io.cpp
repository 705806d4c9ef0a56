#include "stream_io.h"

namespace kavro {

HRESULT readExactFromStream(IStream* stream, void* buffer, uint32_t cb)
{
    if (!stream)
        return E_POINTER;
    uint32_t got = 0;
    HRESULT hr = stream->Read(buffer, cb, &got);
    if (FAILED(hr))
        return hr;
    return got == cb ? S_OK : E_FAIL;
}

HRESULT writeAll(IStream* stream, const void* buffer, uint32_t cb)
{
    if (!stream)
        return E_POINTER;
    uint32_t put = 0;
    HRESULT hr = stream->Write(buffer, cb, &put);
    if (FAILED(hr))
        return hr;
    return put == cb ? S_OK : E_FAIL;
}

HRESULT remainingBytes(IStream* stream, uint64_t* out)
{
    if (!stream || !out)
        return E_POINTER;
    uint64_t pos = 0, size = 0;
    HRESULT hr = stream->Seek(0, STREAM_SEEK_CUR, &pos);
    if (FAILED(hr))
        return hr;
    hr = stream->GetSize(&size);
    if (FAILED(hr))
        return hr;
    *out = size > pos ? size - pos : 0;
    return S_OK;
}

bool fitsInStream(IStream* stream, uint64_t count, uint64_t itemSize)
{
    uint64_t remaining = 0;
    if (FAILED(remainingBytes(stream, &remaining)))
        return false;
    if (itemSize == 0)
        return true;
    return count <= remaining / itemSize;
}

HRESULT readVersion(IStream* stream, int32_t current, int32_t* version)
{
    int32_t v = 0;
    HRESULT hr = readValue(stream, &v);
    if (FAILED(hr))
        return E_FAIL;
    if (version)
        *version = v;
    return v > current ? E_FAIL : S_OK;
}

} // namespace kavro
