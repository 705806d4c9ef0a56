// Feeds arbitrary bytes to the trace reader. Whatever loads must save, and the saved form must
// load again into the same bytes.
#include "aiming_trace.h"
#include "storage/stream/memory_stream.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    auto trace = kavrodoc::CAimingTrace::create();
    auto in = kavro::MemoryStream::create(bytes);
    if (FAILED(trace->Load(in.get())))
        return 0;
    auto first = kavro::MemoryStream::create();
    if (FAILED(trace->Save(first.get(), 1)))
        abort();
    trace = nullptr; // one load at a time, each within its own memory bound
    auto again = kavrodoc::CAimingTrace::create();
    auto reread = kavro::MemoryStream::create(first->bytes());
    auto second = kavro::MemoryStream::create();
    if (FAILED(again->Load(reread.get())) || FAILED(again->Save(second.get(), 1)) || first->bytes() != second->bytes())
        abort();
    return 0;
}
