#include "com/classregistry.h"
#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_forms.h"
#include "storage/stream/value_bag.h"
#include "support/forwarding_stream.h"

#include <gtest/gtest.h>

using namespace kavro;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

QByteArray variantBytes(const Variant& v)
{
    auto s = MemoryStream::create();
    EXPECT_EQ(writeVariant(s.get(), v), S_OK);
    return s->bytes();
}

Variant readBack(const QByteArray& bytes, HRESULT expected = S_OK)
{
    auto s = MemoryStream::create(bytes);
    Variant v;
    EXPECT_EQ(readVariant(s.get(), &v), expected);
    return v;
}

TEST(BstrForm, NullEmptyAndText)
{
    auto s = MemoryStream::create();
    ASSERT_EQ(writeBstr(s.get(), QString()), S_OK);
    ASSERT_EQ(writeBstr(s.get(), QStringLiteral("")), S_OK);
    ASSERT_EQ(writeBstr(s.get(), QStringLiteral("Aé")), S_OK);
    EXPECT_EQ(s->bytes(),
              hex("00000000"
                  "0200000000 00"
                  "06000000 4100 e900 0000"));
    s->Seek(0, STREAM_SEEK_SET, nullptr);
    QString a, b, c;
    ASSERT_EQ(readBstr(s.get(), &a), S_OK);
    ASSERT_EQ(readBstr(s.get(), &b), S_OK);
    ASSERT_EQ(readBstr(s.get(), &c), S_OK);
    EXPECT_TRUE(a.isNull());
    EXPECT_TRUE(!b.isNull() && b.isEmpty());
    EXPECT_EQ(c, QStringLiteral("Aé"));
}

// Both kinds of stream, each over the same bytes.
template <class F> void onEveryKindOfStream(const QByteArray& bytes, F check)
{
    auto memory = MemoryStream::create(bytes);
    check(
        memory.get(), [&] { return memory->position(); }, "memory stream");
    auto other = ForwardingStream::create(bytes);
    check(
        other.get(), [&] { return other->position(); }, "other stream");
}

TEST(StreamReads, FieldsBackToBackAreLittleEndianAndAShortRunFailsAfterTakingTheRest)
{
    onEveryKindOfStream(hex("01 0302 07060504 0f0e0d0c0b0a0908 aa"), [](IStream* s, auto position, const char* kind) {
        uint8_t a = 0;
        uint16_t b = 0;
        int32_t c = 0;
        uint64_t d = 0;
        ASSERT_EQ(readFields(s, &a, &b, &c, &d), S_OK) << kind;
        EXPECT_EQ(a, 0x01) << kind;
        EXPECT_EQ(b, 0x0203) << kind;
        EXPECT_EQ(c, 0x04050607) << kind;
        EXPECT_EQ(d, 0x08090a0b0c0d0e0fu) << kind;
        EXPECT_EQ(position(), 15u) << kind;
        uint8_t e = 0, f = 0x55;
        // One byte is left: the pair fails as reading them one by one would, and the stream ends.
        EXPECT_EQ(readFields(s, &e, &f), E_FAIL) << kind;
        EXPECT_EQ(f, 0x55) << kind << ": nothing is stored from a short read";
        EXPECT_EQ(position(), 16u) << kind;
        EXPECT_EQ(readExact(s, nullptr, 0), S_OK) << kind << ": an empty read at the end";
        EXPECT_EQ(readValue(s, &e), E_FAIL) << kind;
    });
}

TEST(BstrForm, TextsEitherSideOfTheInPlaceSizeReadAlike)
{
    // 63 units and the terminator fill the in-place buffer exactly; 64 do not.
    for (qsizetype units : {qsizetype(0), qsizetype(1), qsizetype(63), qsizetype(64), qsizetype(200)}) {
        QString text = QStringLiteral("");
        for (qsizetype i = 0; i < units; ++i)
            text.append(QChar(char16_t(0x41 + i % 26 + (i % 7 == 3 ? 0x400 : 0))));
        auto written = MemoryStream::create();
        ASSERT_EQ(writeBstr(written.get(), text), S_OK);
        ASSERT_EQ(writeBstr(written.get(), QStringLiteral("next")), S_OK);
        const QByteArray bytes = written->bytes();
        onEveryKindOfStream(bytes, [&](IStream* s, auto, const char* kind) {
            QString read, next;
            ASSERT_EQ(readBstr(s, &read), S_OK) << kind << " " << units;
            EXPECT_EQ(read, text) << kind;
            EXPECT_FALSE(read.isNull()) << kind;
            ASSERT_EQ(readBstr(s, &next), S_OK) << kind;
            EXPECT_EQ(next, QStringLiteral("next")) << kind;
        });
        onEveryKindOfStream(bytes, [&](IStream* s, auto, const char* kind) {
            ShortBstr read, next;
            ASSERT_EQ(readBstr(s, &read), S_OK) << kind << " " << units;
            EXPECT_FALSE(read.isNull) << kind;
            EXPECT_EQ(read.view(), text) << kind;
            ASSERT_EQ(readBstr(s, &next), S_OK) << kind;
            EXPECT_EQ(next.view(), QStringLiteral("next")) << kind;
        });
        // Cut inside the text or its terminator: both readers fail.
        const QByteArray cut = bytes.left(4 + 2 * units + 1);
        onEveryKindOfStream(cut, [&](IStream* s, auto, const char* kind) {
            QString read;
            EXPECT_EQ(readBstr(s, &read), E_FAIL) << kind << " " << units;
        });
        onEveryKindOfStream(cut, [&](IStream* s, auto, const char* kind) {
            ShortBstr read;
            EXPECT_EQ(readBstr(s, &read), E_FAIL) << kind << " " << units;
        });
    }
}

TEST(BstrForm, ALookedAtTextKeepsNullApartFromEmpty)
{
    auto s = MemoryStream::create(hex("00000000 02000000 0000 ffffffff"));
    ShortBstr text;
    ASSERT_EQ(readBstr(s.get(), &text), S_OK);
    EXPECT_TRUE(text.isNull);
    EXPECT_TRUE(text.view().isNull());
    ASSERT_EQ(readBstr(s.get(), &text), S_OK);
    EXPECT_FALSE(text.isNull);
    EXPECT_TRUE(text.view().isEmpty() && !text.view().isNull());
    EXPECT_EQ(readBstr(s.get(), &text), E_FAIL) << "an odd count";
}

TEST(BstrForm, HostileCountsFailWithoutAllocating)
{
    for (const char* bad : {"ffffffff4100", "03000000410000", "06000000 4100", "01"}) {
        auto s = MemoryStream::create(hex(bad));
        QString t;
        EXPECT_EQ(readBstr(s.get(), &t), E_FAIL) << bad;
    }
}

TEST(VariantForm, ByteExactForEveryFixedType)
{
    struct Case {
        Variant value;
        const char* bytes;
    } cases[] = {
        {Variant::fromInteger(VT_I1, -2), "1000 fe"},
        {Variant::fromInteger(VT_UI1, 200), "1100 c8"},
        {Variant::fromInteger(VT_I2, -2), "0200 feff"},
        {Variant::fromBool(true), "0b00 ffff"},
        {Variant::fromInteger(VT_UI2, 0xBEEF), "1200 efbe"},
        {Variant(0x01020304), "0300 04030201"},
        {Variant(1.0f), "0400 0000803f"},
        {Variant::fromError(static_cast<int32_t>(0x80004005)), "0a00 05400080"},
        {Variant::fromInteger(VT_UI4, 0xFFFFFFFF), "1300 ffffffff"},
        {Variant::fromInteger(VT_INT, -1), "1600 ffffffff"},
        {Variant::fromInteger(VT_UINT, 7), "1700 07000000"},
        {Variant(1.0), "0500 000000000000f03f"},
        {Variant::fromCurrency(10000), "0600 1027000000000000"},
        {Variant::fromDate(2.0), "0700 0000000000000040"},
        {Variant::fromInteger(VT_I8, -1), "1400 ffffffffffffffff"},
        {Variant::fromInteger(VT_UI8, 1), "1500 0100000000000000"},
        {Variant("ab"), "0800 06000000 6100 6200 0000"},
        {Variant(QString()), "0800 00000000"},
        {Variant::fromObject(nullptr), "0d00 00000000000000000000000000000000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(variantBytes(c.value).toHex(), hex(c.bytes).toHex()) << c.bytes;
        EXPECT_EQ(readBack(hex(c.bytes)), c.value) << c.bytes;
    }
}

TEST(VariantForm, OtherTypesTravelAsTextAfterTheirOwnCode)
{
    EXPECT_EQ(variantBytes(Variant()).toHex(), hex("0000 02000000 0000").toHex());
    EXPECT_TRUE(readBack(hex("0000 02000000 0000")).isEmpty());
    // A reader converts the text back to the type code that precedes it.
    EXPECT_EQ(readBack(hex("0300 0a000000 3100 3200 3300 3400 0000")).vt(), VT_I4); // fixed-size wins
    auto s = MemoryStream::create();
    EXPECT_TRUE(FAILED(writeVariant(s.get(), Variant::null())));
    readBack(hex("0120"), E_FAIL); // an array type
    readBack(hex("0300 0102"), E_FAIL); // short value
}

TEST(VariantForm, ADecimalTravelsAsTextAndComesBackADecimal)
{
    // 14, then "12.5" in BSTR form.
    const QByteArray stored = hex("0e00 0a000000 3100 3200 2e00 3500 0000");
    Variant back = readBack(stored);
    ASSERT_EQ(back.vt(), VT_DECIMAL);
    double d = 0;
    ASSERT_EQ(back.toDouble(&d), S_OK);
    EXPECT_EQ(d, 12.5);
    EXPECT_EQ(variantBytes(back).toHex(), stored.toHex());
    EXPECT_TRUE(isStorableVariant(back));
    readBack(hex("0e00 0a000000 3100 3200 2c00 3500 0000"), E_FAIL); // "12,5" is no number
}

// A persistent object for the object form: an int32 version and a string.
struct INamed : IUnknown {
    static constexpr Guid iid = Guid::parse("4D1C7E20-93A5-4F0B-8E61-2B7F5C0D9A13");
    virtual QString name() = 0;
};

class Named final : public ComObject<Named, INamed, IPersistStreamInit> {
public:
    static constexpr Guid clsid = Guid::parse("7A3F1B6C-5E28-4D90-B1C4-9F0E2D8A6B35");
    QString value;
    QString name() override { return value; }
    HRESULT GetClassID(CLSID* id) override
    {
        *id = clsid;
        return S_OK;
    }
    HRESULT IsDirty() override { return S_FALSE; }
    HRESULT Load(IStream* s) override
    {
        int32_t version;
        if (FAILED(readVersion(s, 1, &version)))
            return E_FAIL;
        return readBstr(s, &value);
    }
    HRESULT Save(IStream* s, BOOL) override
    {
        HRESULT hr = writeValue<int32_t>(s, 1);
        return SUCCEEDED(hr) ? writeBstr(s, value) : hr;
    }
    HRESULT GetSizeMax(uint64_t*) override { return E_NOTIMPL; }
    HRESULT InitNew() override { return S_OK; }
};
KAVRO_REGISTER_CLASS(Named, "KavroTest.Named.1");

TEST(ObjectForm, ClassIdThenTheObjectsOwnStream)
{
    auto obj = Named::create();
    obj->value = QStringLiteral("x");
    QByteArray bytes = variantBytes(Variant::fromObject(static_cast<INamed*>(obj.get()), VT_DISPATCH));
    uint8_t id[16];
    Named::clsid.toBytes(id);
    QByteArray expected
        = hex("0900") + QByteArray(reinterpret_cast<char*>(id), 16) + hex("01000000 04000000 7800 0000");
    EXPECT_EQ(bytes.toHex(), expected.toHex());
    Variant back = readBack(bytes);
    ASSERT_EQ(back.vt(), VT_DISPATCH);
    ComPtr<INamed> named;
    ASSERT_EQ(back.object()->QueryInterface(INamed::iid, named.putVoid()), S_OK);
    EXPECT_EQ(named->name(), "x");
}

TEST(ObjectForm, UnknownClassOrNewerVersionFails)
{
    QByteArray bytes = hex("0d00") + QByteArray(16, '\x5a');
    auto s = MemoryStream::create(bytes);
    Variant v;
    EXPECT_TRUE(FAILED(readVariant(s.get(), &v)));
    uint8_t id[16];
    Named::clsid.toBytes(id);
    auto s2
        = MemoryStream::create(hex("0d00") + QByteArray(reinterpret_cast<char*>(id), 16) + hex("02000000 00000000"));
    EXPECT_TRUE(FAILED(readVariant(s2.get(), &v)));
}

TEST(ObjectForm, ObjectsThatCannotPersistAreNotStorable)
{
    auto src = MemoryStream::create(); // an object without stream persistence
    EXPECT_FALSE(isStorableVariant(Variant::fromObject(static_cast<IStream*>(src.get()))));
    EXPECT_TRUE(isStorableVariant(Variant::fromObject(nullptr)));
    auto s = MemoryStream::create();
    EXPECT_TRUE(FAILED(writeVariant(s.get(), Variant::fromObject(static_cast<IStream*>(src.get())))));
}

// An object whose stream is a value bag, so values can nest objects in objects.
class Holder final : public ComObject<Holder, IPersistStreamInit> {
public:
    static constexpr Guid clsid = Guid::parse("0C5E8B71-2A94-4F6D-9E03-7B1D6A4C8F52");
    ValueBag bag;
    HRESULT GetClassID(CLSID* id) override
    {
        *id = clsid;
        return S_OK;
    }
    HRESULT IsDirty() override { return S_FALSE; }
    HRESULT Load(IStream* s) override { return bag.read(s); }
    HRESULT Save(IStream* s, BOOL) override { return bag.write(s); }
    HRESULT GetSizeMax(uint64_t*) override { return E_NOTIMPL; }
    HRESULT InitNew() override { return S_OK; }
};
KAVRO_REGISTER_CLASS(Holder, "KavroTest.Holder.1");

// The stored form of holders nested `depth` deep, each holding the next under the name "n".
QByteArray nestedHolders(int depth)
{
    uint8_t id[16];
    Holder::clsid.toBytes(id);
    const QByteArray level
        = hex("0d00") + QByteArray(reinterpret_cast<char*>(id), 16) + hex("01000000 04000000 6e00 0000");
    QByteArray bytes;
    bytes.reserve(level.size() * depth + 8);
    for (int i = 0; i < depth; ++i)
        bytes += level;
    bytes.chop(level.size());
    return bytes + hex("0d00") + QByteArray(reinterpret_cast<char*>(id), 16) + hex("00000000");
}

ComPtr<Holder> holderChain(int depth)
{
    auto outer = Holder::create();
    Holder* at = outer.get();
    for (int i = 1; i < depth; ++i) {
        auto inner = Holder::create();
        EXPECT_EQ(at->bag.put(QStringLiteral("n"), Variant::fromObject(static_cast<IPersistStreamInit*>(inner.get()))),
                  S_OK);
        at = inner.get();
    }
    return outer;
}

TEST(ObjectForm, DeepNestingFailsInsteadOfExhaustingTheStack)
{
    // Deep enough to overflow any thread's stack if each level were followed.
    readBack(nestedHolders(100000), E_FAIL);

    // What is written can be read; one level more is neither written nor read.
    for (int depth : {64, 65}) {
        auto outer = holderChain(depth);
        auto s = MemoryStream::create();
        const HRESULT written
            = writeVariant(s.get(), Variant::fromObject(static_cast<IPersistStreamInit*>(outer.get())));
        EXPECT_EQ(written, depth == 64 ? S_OK : E_FAIL) << depth;
        if (depth == 64) {
            EXPECT_EQ(s->bytes(), nestedHolders(64));
        }
        readBack(nestedHolders(depth), depth == 64 ? S_OK : E_FAIL);
    }
    // A failed read leaves the next one free to nest as deep again.
    readBack(nestedHolders(64), S_OK);
}

TEST(ObjectForm, AnObjectHoldingItselfFailsToWrite)
{
    auto h = Holder::create();
    ASSERT_EQ(h->bag.put(QStringLiteral("self"), Variant::fromObject(static_cast<IPersistStreamInit*>(h.get()))), S_OK);
    auto s = MemoryStream::create();
    EXPECT_EQ(writeVariant(s.get(), Variant::fromObject(static_cast<IPersistStreamInit*>(h.get()))), E_FAIL);
    h->bag.clear(); // breaks the reference cycle
}

} // namespace
