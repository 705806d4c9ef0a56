#include "stream_forms.h"

#include "com/classregistry.h"

namespace kavro {

namespace {

// Objects in values may hold values that hold objects. Every level costs stack, so a file that
// nests deeply enough would crash the reading process, and an object that holds itself would
// never finish writing. No document of ours nests more than a few levels.
constexpr int kMostNestedObjects = 64;
thread_local int nestedObjects = 0;

class NestingLevel {
public:
    NestingLevel() { ++nestedObjects; }
    ~NestingLevel() { --nestedObjects; }
    NestingLevel(const NestingLevel&) = delete;
    NestingLevel& operator=(const NestingLevel&) = delete;
    bool tooDeep() const { return nestedObjects > kMostNestedObjects; }
};

} // namespace

HRESULT writeBstr(IStream* stream, const QString& text)
{
    if (text.isNull())
        return writeValue<uint32_t>(stream, 0);
    uint64_t bytes = (static_cast<uint64_t>(text.size()) + 1) * 2;
    if (bytes > UINT32_MAX)
        return E_INVALIDARG;
    HRESULT hr = writeValue<uint32_t>(stream, static_cast<uint32_t>(bytes));
    if (FAILED(hr))
        return hr;
    if (!text.isEmpty()) {
        hr = writeAll(stream, text.utf16(), static_cast<uint32_t>(text.size() * 2));
        if (FAILED(hr))
            return hr;
    }
    return writeValue<uint16_t>(stream, 0);
}

HRESULT readBstr(IStream* stream, QString* text)
{
    if (!text)
        return E_POINTER;
    ShortBstr read;
    if (FAILED(readBstr(stream, &read)))
        return E_FAIL;
    *text = read.view().toString();
    return S_OK;
}

HRESULT readBstr(IStream* stream, ShortBstr* text)
{
    if (!text)
        return E_POINTER;
    uint32_t bytes = 0;
    if (FAILED(readValue(stream, &bytes)) || bytes % 2 != 0)
        return E_FAIL;
    text->longer.clear();
    text->size = 0;
    text->isNull = bytes == 0;
    if (bytes == 0)
        return S_OK;
    // Most texts are names: the stack holds them, and as nothing is allocated before their bytes
    // are there, the stream's size need not be asked first.
    char16_t* units = text->inPlace;
    if (bytes > ShortBstr::kInPlaceBytes) {
        if (!fitsInStream(stream, bytes, 1))
            return E_FAIL;
        text->longer.resize(bytes / 2);
        units = text->longer.data();
    }
    if (FAILED(readExact(stream, units, bytes)))
        return E_FAIL;
    text->size = qsizetype(bytes / 2 - 1);
    return S_OK;
}

HRESULT writeGuid(IStream* stream, const Guid& id)
{
    uint8_t b[16];
    id.toBytes(b);
    return writeAll(stream, b, 16);
}

HRESULT readGuid(IStream* stream, Guid* id)
{
    uint8_t b[16];
    HRESULT hr = readExact(stream, b, 16);
    if (FAILED(hr))
        return E_FAIL;
    *id = Guid::fromBytes(b);
    return S_OK;
}

HRESULT writeObject(IStream* stream, IUnknown* object)
{
    if (!object)
        return writeGuid(stream, GUID_NULL);
    ComPtr<IPersistStream> ps;
    ComPtr<IPersistStreamInit> psi;
    CLSID clsid;
    HRESULT hr;
    if (SUCCEEDED(object->QueryInterface(IPersistStream::iid, ps.putVoid())) && ps)
        hr = ps->GetClassID(&clsid);
    else if (SUCCEEDED(object->QueryInterface(IPersistStreamInit::iid, psi.putVoid())) && psi)
        hr = psi->GetClassID(&clsid);
    else
        return E_NOINTERFACE;
    if (FAILED(hr))
        return hr;
    NestingLevel level;
    if (level.tooDeep())
        return E_FAIL;
    hr = writeGuid(stream, clsid);
    if (FAILED(hr))
        return hr;
    return ps ? ps->Save(stream, 1) : psi->Save(stream, 1);
}

HRESULT readObjectInto(IStream* stream, IUnknown* into)
{
    if (!into)
        return E_POINTER;
    NestingLevel level;
    if (level.tooDeep())
        return E_FAIL;
    ComPtr<IPersistStream> ps;
    ComPtr<IPersistStreamInit> psi;
    if (SUCCEEDED(into->QueryInterface(IPersistStream::iid, ps.putVoid())) && ps)
        return ps->Load(stream);
    if (SUCCEEDED(into->QueryInterface(IPersistStreamInit::iid, psi.putVoid())) && psi)
        return psi->Load(stream);
    return E_NOINTERFACE;
}

HRESULT readObject(IStream* stream, ComPtr<IUnknown>* object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    Guid clsid;
    if (FAILED(readGuid(stream, &clsid)))
        return E_FAIL;
    if (clsid.isNull())
        return S_OK;
    ComPtr<IUnknown> created;
    HRESULT hr = CoCreateInstance(clsid, nullptr, IUnknown::iid, created.putVoid());
    if (FAILED(hr))
        return hr;
    hr = readObjectInto(stream, created.get());
    if (FAILED(hr))
        return hr;
    *object = created;
    return S_OK;
}

bool isStorableVariant(const Variant& value)
{
    VARTYPE vt = value.vt();
    if (vt & (VT_ARRAY | VT_BYREF))
        return false;
    if (vt == VT_NULL || vt == VT_VARIANT)
        return false;
    if (value.isObject()) {
        IUnknown* obj = value.object();
        if (!obj)
            return true;
        ComPtr<IUnknown> p;
        return SUCCEEDED(obj->QueryInterface(IPersistStream::iid, p.putVoid()))
            || SUCCEEDED(obj->QueryInterface(IPersistStreamInit::iid, p.putVoid()));
    }
    return true;
}

HRESULT writeVariant(IStream* stream, const Variant& value)
{
    VARTYPE vt = value.vt();
    HRESULT hr = writeValue<uint16_t>(stream, vt);
    if (FAILED(hr))
        return hr;
    switch (Variant::fixedSize(vt)) {
    case 1: return writeValue<int8_t>(stream, static_cast<int8_t>(value.integer()));
    case 2: return writeValue<int16_t>(stream, static_cast<int16_t>(value.integer()));
    case 4:
        if (vt == VT_R4)
            return writeValue<float>(stream, value.r4());
        return writeValue<int32_t>(stream, static_cast<int32_t>(value.integer()));
    case 8:
        if (vt == VT_R8 || vt == VT_DATE)
            return writeValue<double>(stream, value.r8());
        return writeValue<int64_t>(stream, value.integer());
    default: break;
    }
    if (vt == VT_BSTR)
        return writeBstr(stream, value.bstr());
    if (value.isObject())
        return writeObject(stream, value.object());
    QString text;
    hr = value.toString(&text);
    if (FAILED(hr))
        return hr;
    return writeBstr(stream, text);
}

HRESULT readVariant(IStream* stream, Variant* value)
{
    if (!value)
        return E_POINTER;
    uint16_t vt = 0;
    if (FAILED(readValue(stream, &vt)))
        return E_FAIL;
    switch (Variant::fixedSize(vt)) {
    case 1: {
        int8_t v;
        if (FAILED(readValue(stream, &v)))
            return E_FAIL;
        *value = Variant::fromInteger(vt, vt == VT_UI1 ? static_cast<uint8_t>(v) : v);
        return S_OK;
    }
    case 2: {
        int16_t v;
        if (FAILED(readValue(stream, &v)))
            return E_FAIL;
        if (vt == VT_BOOL)
            *value = Variant::fromBool(v != 0);
        else
            *value = Variant::fromInteger(vt, vt == VT_UI2 ? static_cast<uint16_t>(v) : v);
        return S_OK;
    }
    case 4: {
        if (vt == VT_R4) {
            float f;
            if (FAILED(readValue(stream, &f)))
                return E_FAIL;
            *value = Variant(f);
            return S_OK;
        }
        int32_t v;
        if (FAILED(readValue(stream, &v)))
            return E_FAIL;
        if (vt == VT_ERROR)
            *value = Variant::fromError(v);
        else
            *value = Variant::fromInteger(
                vt, (vt == VT_UI4 || vt == VT_UINT) ? static_cast<int64_t>(static_cast<uint32_t>(v)) : v);
        return S_OK;
    }
    case 8: {
        if (vt == VT_R8 || vt == VT_DATE) {
            double d;
            if (FAILED(readValue(stream, &d)))
                return E_FAIL;
            *value = vt == VT_DATE ? Variant::fromDate(d) : Variant(d);
            return S_OK;
        }
        int64_t v;
        if (FAILED(readValue(stream, &v)))
            return E_FAIL;
        *value = vt == VT_CY ? Variant::fromCurrency(v) : Variant::fromInteger(vt, v);
        return S_OK;
    }
    default: break;
    }
    if (vt == VT_BSTR) {
        QString s;
        if (FAILED(readBstr(stream, &s)))
            return E_FAIL;
        *value = Variant(s);
        return S_OK;
    }
    if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
        ComPtr<IUnknown> obj;
        HRESULT hr = readObject(stream, &obj);
        if (FAILED(hr))
            return hr;
        *value = Variant::fromObject(obj.get(), vt);
        return S_OK;
    }
    if (vt & (VT_ARRAY | VT_BYREF) || vt == VT_NULL || vt == VT_VARIANT)
        return E_FAIL;
    // Any other type was stored as text after its own code.
    QString text;
    if (FAILED(readBstr(stream, &text)))
        return E_FAIL;
    Variant converted;
    if (FAILED(Variant(text).changeType(vt, &converted)))
        return E_FAIL;
    *value = converted;
    return S_OK;
}

} // namespace kavro
