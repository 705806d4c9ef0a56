#include "picture_field.h"

#include "storage/stream/stream_forms.h"

namespace kavrodoc {

HRESULT writePictureField(IStream* stream, IUnknown* picture)
{
    bool persists = false;
    if (picture) {
        ComPtr<IUnknown> p;
        persists = SUCCEEDED(picture->QueryInterface(IPersistStream::iid, p.putVoid()))
            || SUCCEEDED(picture->QueryInterface(IPersistStreamInit::iid, p.putVoid()));
    }
    HRESULT hr = kavro::writeValue<uint8_t>(stream, persists ? 1 : 0);
    if (FAILED(hr) || !persists)
        return hr;
    return kavro::writeObject(stream, picture);
}

HRESULT readPictureField(IStream* stream, ComPtr<IUnknown>* picture)
{
    uint8_t flag = 0;
    if (FAILED(kavro::readValue(stream, &flag)))
        return E_FAIL;
    if (flag != 1)
        return S_OK;
    ComPtr<IUnknown> loaded;
    HRESULT hr = kavro::readObject(stream, &loaded);
    if (FAILED(hr))
        return hr;
    *picture = loaded;
    return S_OK;
}

HRESULT copyPicture(const ComPtr<IUnknown>& picture, IUnknown** out)
{
    if (!out || *out)
        return E_POINTER;
    if (!picture)
        return E_FAIL;
    return picture.copyTo(out);
}

} // namespace kavrodoc
