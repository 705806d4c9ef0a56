// Feeds arbitrary bytes to the stored-form readers: a value bag, then variants until the end.
#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_forms.h"
#include "storage/stream/value_bag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    auto s = kavro::MemoryStream::create(bytes);
    kavro::ValueBag bag;
    if (SUCCEEDED(bag.read(s.get()))) {
        auto out = kavro::MemoryStream::create();
        bag.write(out.get());
    }
    s->Seek(0, STREAM_SEEK_SET, nullptr);
    Variant v;
    for (int i = 0; i < 64 && SUCCEEDED(kavro::readVariant(s.get(), &v)); ++i) {
    }
    return 0;
}
