#include "object_helpers.h"

#include "storage/stream/stream_forms.h"

namespace kavrodoc {

HRESULT saveObjectForm(IStream* stream, IPersistStreamInit* object, BOOL clearDirty)
{
    CLSID clsid;
    HRESULT hr = object->GetClassID(&clsid);
    if (FAILED(hr))
        return hr;
    hr = kavro::writeGuid(stream, clsid);
    if (FAILED(hr))
        return E_FAIL;
    return object->Save(stream, clearDirty);
}

HRESULT loadObjectForm(IStream* stream, IPersistStreamInit* object)
{
    Guid clsid;
    if (FAILED(kavro::readGuid(stream, &clsid)))
        return E_FAIL;
    return object->Load(stream);
}

} // namespace kavrodoc
