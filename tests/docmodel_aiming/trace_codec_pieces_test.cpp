// When the whole coded form of a channel cannot be had in memory, the writer writes the same
// bytes to the stream piece by piece; any short write fails the channel either way. Large
// allocations through operator new are refused while armed, so this program has its own.
#include "storage/stream/memory_stream.h"
#include "trace_codec_reference.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<size_t> largestAllowed{SIZE_MAX};
std::atomic<int> refused{0};

void* allocate(std::size_t size)
{
    if (size > largestAllowed) {
        ++refused;
        return nullptr;
    }
    return std::malloc(size ? size : 1);
}

} // namespace

void* operator new(std::size_t size)
{
    if (void* p = allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return allocate(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

using namespace kavrodoc;
using namespace tracecodec;

namespace {

// Refuses every allocation of `size` bytes or more while it lives.
class LargeAllocationsRefused {
public:
    explicit LargeAllocationsRefused(size_t size)
    {
        refused = 0;
        largestAllowed = size - 1;
    }
    ~LargeAllocationsRefused() { largestAllowed = SIZE_MAX; }
    int refusals() const { return refused; }
};

// Writes short once, on the write that would pass `room` bytes; takes every other write whole.
class ShortStream final : public ComObject<ShortStream, IStream> {
public:
    explicit ShortStream(uint64_t room) : room_(room) { }
    HRESULT Read(void*, uint32_t, uint32_t*) override { return E_NOTIMPL; }
    HRESULT Write(const void*, uint32_t cb, uint32_t* written) override
    {
        uint32_t take = cb;
        if (!wroteShort_ && taken_ + cb > room_) {
            take = uint32_t(room_ - taken_);
            wroteShort_ = true;
        }
        taken_ += take;
        if (written)
            *written = take;
        return S_OK;
    }
    HRESULT Seek(int64_t, StreamSeek, uint64_t*) override { return E_NOTIMPL; }
    HRESULT SetSize(uint64_t) override { return E_NOTIMPL; }
    HRESULT GetSize(uint64_t* size) override
    {
        *size = taken_;
        return S_OK;
    }

private:
    uint64_t room_, taken_ = 0;
    bool wroteShort_ = false;
};

// Long enough that the coded form takes many pieces, with runs of every class.
std::vector<int32_t> longChannel(uint32_t seed)
{
    ChannelMaker make(seed);
    std::vector<int32_t> v;
    while (v.size() < 300000) {
        const std::vector<int32_t> part = make.channel(8);
        v.insert(v.end(), part.begin(), part.end());
    }
    return v;
}

QByteArray asBytes(const std::vector<uint8_t>& b)
{
    return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
}

TEST(TraceCodecPieces, PiecesCarryTheSameBytes)
{
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        const std::vector<int32_t> v = longChannel(seed);
        const QByteArray expected = asBytes(referenceEncode(v));
        ASSERT_GT(expected.size(), 256 * 1024);
        // Narrow channels take the same road: stretches of byte and 16-bit differences with
        // an occasional 32-bit jump.
        std::vector<int16_t> narrow(v.size());
        for (size_t i = 0; i < narrow.size(); ++i)
            narrow[i] = int16_t(i % 5000 == seed ? -30000 : (i / 700) % 2 ? (i * 300) % 20000 : i % 100);
        const QByteArray expectedNarrow = asBytes(referenceEncode(std::vector<int32_t>(narrow.begin(), narrow.end())));
        auto s = kavro::MemoryStream::create();
        auto n = kavro::MemoryStream::create();
        {
            LargeAllocationsRefused refusing(size_t(expected.size()));
            ASSERT_EQ(writeCodedChannel(s.get(), v.data(), uint32_t(v.size())), S_OK);
            EXPECT_EQ(refusing.refusals(), 1);
        }
        {
            LargeAllocationsRefused refusing(size_t(expectedNarrow.size()));
            ASSERT_EQ(writeCodedChannel(n.get(), narrow.data(), uint32_t(narrow.size())), S_OK);
            EXPECT_EQ(refusing.refusals(), 1);
        }
        EXPECT_EQ(s->bytes(), expected) << "seed " << seed;
        EXPECT_EQ(n->bytes(), expectedNarrow) << "seed " << seed;
    }
}

TEST(TraceCodecPieces, ShortWritesFailEitherWay)
{
    const std::vector<int32_t> v = longChannel(11);
    const uint64_t size = uint64_t(referenceEncode(v).size());
    for (bool whole : {true, false}) {
        for (uint64_t room : {uint64_t(0), uint64_t(1), uint64_t(4100), uint64_t(8202), size / 2, size - 1, size}) {
            auto s = ShortStream::create(room);
            HRESULT hr;
            if (whole) {
                hr = writeCodedChannel(s.get(), v.data(), uint32_t(v.size()));
            } else {
                LargeAllocationsRefused refusing{size_t(size)};
                hr = writeCodedChannel(s.get(), v.data(), uint32_t(v.size()));
            }
            EXPECT_EQ(hr, room == size ? S_OK : E_FAIL) << (whole ? "whole, " : "in pieces, ") << room << " bytes";
        }
    }
}

} // namespace
