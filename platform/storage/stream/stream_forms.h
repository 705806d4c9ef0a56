#pragma once
// The stored forms that every persistent class of the document model shares:
//  - BSTR: uint32 byte count of the UTF-16LE text with its 2-byte terminator (0 for a null
//    string), then those bytes;
//  - VARIANT: uint16 type, then the value in its fixed size, a BSTR, an object, or (for any
//    other type) the value as text in BSTR form, converted back on read;
//  - object: 16-byte class id, then the object's own stream; a null object is the null id alone.
#include "com/variant.h"
#include "stream_io.h"

#include <QStringView>

#include <vector>

namespace kavro {

HRESULT writeBstr(IStream* stream, const QString& text);
HRESULT readBstr(IStream* stream, QString* text);

// A BSTR as read, for a text that is only looked at (a name looked up while loading): a short
// one costs no allocation.
struct ShortBstr {
    static constexpr uint32_t kInPlaceBytes = 128;
    char16_t inPlace[kInPlaceBytes / 2];
    std::vector<char16_t> longer;
    qsizetype size = 0; // without the terminator
    bool isNull = true;
    QStringView view() const
    {
        return isNull ? QStringView() : QStringView(longer.empty() ? inPlace : longer.data(), size);
    }
};
HRESULT readBstr(IStream* stream, ShortBstr* text);

HRESULT writeGuid(IStream* stream, const Guid& id);
HRESULT readGuid(IStream* stream, Guid* id);

// Objects nested in objects through these two calls fail (E_FAIL) beyond 64 levels, on writing
// and reading alike, so what is written can always be read back.
// Object form through IPersistStream or IPersistStreamInit; an object with neither fails.
HRESULT writeObject(IStream* stream, IUnknown* object);
// Reads the class id, creates the class and lets it load itself. The null id gives null, S_OK.
HRESULT readObject(IStream* stream, ComPtr<IUnknown>* object);
// The object's class id and stream without creating anything: the object loads into `into`.
HRESULT readObjectInto(IStream* stream, IUnknown* into);

HRESULT writeVariant(IStream* stream, const Variant& value);
HRESULT readVariant(IStream* stream, Variant* value);

// True for values the VARIANT form can store and read back: not arrays or references, not
// VT_NULL (it has no text form), and objects only when they persist to a stream.
bool isStorableVariant(const Variant& value);

} // namespace kavro
