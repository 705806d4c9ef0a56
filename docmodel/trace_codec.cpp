#include "trace_codec.h"

#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_io.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace kavrodoc {
namespace {

constexpr uint8_t kInvalid = 0, kByte = 1, kShort = 2, kLong = 3;

int32_t wrappingSub(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

int32_t wrappingAdd(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

uint32_t lengthWidth(uint32_t length)
{
    return length <= 255 ? 1 : length <= 65535 ? 2 : 4;
}
uint32_t headerCost(uint32_t length)
{
    return 1 + lengthWidth(length);
}
uint64_t payloadBytes(uint8_t cls, uint32_t length)
{
    static constexpr uint32_t width[] = {0, 1, 2, 4};
    return uint64_t(width[cls]) * length;
}

struct Run {
    uint8_t cls;
    uint32_t start;
    uint32_t length;
};

// Pass 1. A valid sample right after an invalid one is stored whole: its difference from the
// invalid marker would mean nothing to a reader, which keeps the last valid value.
template <class T> void classify(const T* v, uint32_t n, uint8_t* cls)
{
    int32_t p = 0;
    bool afterInvalid = false;
    for (uint32_t i = 0; i < n; ++i) {
        int32_t value = v[i];
        if (value == kInvalidSample) {
            cls[i] = kInvalid;
            afterInvalid = true;
            continue;
        }
        if (afterInvalid) {
            cls[i] = kLong;
        } else {
            int64_t d = wrappingSub(value, p);
            int64_t a = d < 0 ? -d : d;
            cls[i] = a <= 127 ? kByte : a <= 32767 ? kShort : kLong;
        }
        afterInvalid = false;
        p = value;
    }
}

std::vector<Run> splitRuns(const uint8_t* cls, uint32_t n)
{
    std::vector<Run> runs;
    for (uint32_t i = 0; i < n;) {
        uint32_t j = i + 1;
        while (j < n && cls[j] == cls[i])
            ++j;
        runs.push_back({cls[i], i, j - i});
        i = j;
    }
    return runs;
}

// Pass 3: a short run between wider ones costs less widened than with a header of its own.
void widenShortRuns(const std::vector<Run>& runs, uint8_t* cls)
{
    int previous = -1; // class carried from the run before
    for (size_t r = 0; r < runs.size(); ++r) {
        const Run& run = runs[r];
        int c = run.cls;
        uint64_t e = run.length, h = headerCost(run.length);
        int nextClass = r + 1 < runs.size() ? runs[r + 1].cls : -1;
        uint64_t hNext = r + 1 < runs.size() ? headerCost(runs[r + 1].length) : 0;
        int widened = c;
        if (c != previous) {
            if (nextClass == previous) {
                if (previous == kShort && c == kByte && e <= h + hNext)
                    widened = kShort;
                else if (previous == kLong && c == kByte && 3 * e <= h + hNext)
                    widened = kLong;
                else if (previous == kLong && c == kShort && 2 * e <= h + hNext)
                    widened = kLong;
            } else {
                if (previous == kShort && c == kByte && e <= h)
                    widened = kShort;
                else if (previous == kLong && c == kShort && 2 * e <= h)
                    widened = kLong;
            }
            if (widened != c)
                std::memset(cls + run.start, widened, run.length);
            previous = widened;
        }
    }
}

// The runs once widened: neighbours that now share a class become one run.
std::vector<Run> mergeWidenedRuns(const std::vector<Run>& split, const uint8_t* cls)
{
    std::vector<Run> runs;
    runs.reserve(split.size());
    for (const Run& run : split) {
        const uint8_t c = cls[run.start];
        if (!runs.empty() && runs.back().cls == c)
            runs.back().length += run.length;
        else
            runs.push_back({c, run.start, run.length});
    }
    return runs;
}

// Collects emitted bytes either into one buffer of the final size or, when that could not be
// had, in small pieces written straight to the stream.
class Sink {
public:
    explicit Sink(uint8_t* buffer) : out_(buffer) { }
    explicit Sink(IStream* stream) : stream_(stream), out_(piece_) { }

    void put(const void* bytes, size_t size)
    {
        const uint8_t* b = static_cast<const uint8_t*>(bytes);
        if (!stream_) {
            std::memcpy(out_, b, size);
            out_ += size;
            return;
        }
        while (size && ok_) {
            size_t room = sizeof(piece_) - size_t(out_ - piece_);
            size_t take = std::min(room, size);
            std::memcpy(out_, b, take);
            out_ += take;
            b += take;
            size -= take;
            if (out_ == piece_ + sizeof(piece_))
                flush();
        }
    }
    void put8(uint8_t v) { put(&v, 1); }
    // Room for `size` bytes written in place, or null when the bytes go to a stream.
    uint8_t* claim(size_t size)
    {
        if (stream_)
            return nullptr;
        uint8_t* at = out_;
        out_ += size;
        return at;
    }
    bool finish()
    {
        if (stream_)
            flush();
        return ok_;
    }

private:
    void flush()
    {
        if (ok_ && out_ != piece_)
            ok_ = SUCCEEDED(kavro::writeAll(stream_, piece_, uint32_t(out_ - piece_)));
        out_ = piece_;
    }

    IStream* stream_ = nullptr;
    uint8_t* out_;
    uint8_t piece_[4096];
    bool ok_ = true;
};

template <class T> void emitRuns(const T* v, const std::vector<Run>& runs, Sink& sink)
{
    int32_t p = 0;
    for (const Run& run : runs) {
        uint32_t w = lengthWidth(run.length);
        sink.put8(uint8_t((w == 1 ? 0x10 : w == 2 ? 0x20 : 0x30) | run.cls));
        sink.put(&run.length, w); // little-endian machines only, as every stored form
        const T* s = v + run.start;
        switch (run.cls) {
        case kInvalid: break;
        case kByte:
            if (uint8_t* o = sink.claim(run.length)) {
                for (uint32_t i = 0; i < run.length; ++i) {
                    o[i] = uint8_t(int8_t(wrappingSub(s[i], p)));
                    p = s[i];
                }
                break;
            }
            for (uint32_t i = 0; i < run.length; ++i) {
                sink.put8(uint8_t(int8_t(wrappingSub(s[i], p))));
                p = s[i];
            }
            break;
        case kShort:
            if (uint8_t* o = sink.claim(size_t(run.length) * 2)) {
                for (uint32_t i = 0; i < run.length; ++i) {
                    int16_t d = int16_t(wrappingSub(s[i], p));
                    std::memcpy(o + 2 * i, &d, 2);
                    p = s[i];
                }
                break;
            }
            for (uint32_t i = 0; i < run.length; ++i) {
                int16_t d = int16_t(wrappingSub(s[i], p));
                sink.put(&d, 2);
                p = s[i];
            }
            break;
        default:
            for (uint32_t i = 0; i < run.length; ++i) {
                int32_t value = s[i];
                sink.put(&value, 4);
            }
            p = s[run.length - 1];
            break;
        }
    }
}

// Passes 1 to 4: the final runs and their coded size.
template <class T> bool planRuns(const T* v, uint32_t n, std::vector<Run>* runs, uint64_t* size)
{
    try {
        std::vector<uint8_t> cls(n);
        classify(v, n, cls.data());
        std::vector<Run> split = splitRuns(cls.data(), n);
        widenShortRuns(split, cls.data());
        *runs = mergeWidenedRuns(split, cls.data());
    } catch (const std::bad_alloc&) {
        return false;
    }
    uint64_t total = 0;
    for (const Run& run : *runs)
        total += 1 + lengthWidth(run.length) + payloadBytes(run.cls, run.length);
    *size = total;
    return true;
}

// Decoding over any byte source: a stream, or bytes in memory.
struct MemorySource {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    bool read(void* out, size_t cb)
    {
        if (size - pos < cb)
            return false;
        std::memcpy(out, data + pos, cb);
        pos += cb;
        return true;
    }
    bool has(uint64_t cb) const { return size - pos >= cb; }
    const uint8_t* take(uint8_t*, size_t cb)
    {
        if (size - pos < cb)
            return nullptr;
        pos += cb;
        return data + pos - cb;
    }
};

struct StreamSource {
    IStream* stream;
    bool read(void* out, size_t cb) { return SUCCEEDED(kavro::readExact(stream, out, uint32_t(cb))); }
    bool has(uint64_t cb) const { return kavro::fitsInStream(stream, cb, 1); }
    const uint8_t* take(uint8_t* buffer, size_t cb) { return read(buffer, cb) ? buffer : nullptr; }
};

// Stores a decoded value; 16-bit output refuses a value it cannot hold.
inline bool store(int32_t* out, int32_t v)
{
    *out = v;
    return true;
}

inline bool store(int16_t* out, int32_t v)
{
    if (v < -32768 || v > 32767)
        return false;
    *out = int16_t(v);
    return true;
}

// One run's header and length, checked: a known class and width, no more than `left` samples,
// and its whole payload present.
template <class Source> bool readRunHeader(Source& src, uint64_t left, uint8_t* cls, uint32_t* length)
{
    uint8_t header = 0;
    if (!src.read(&header, 1))
        return false;
    const uint32_t width = header >> 4 == 1 ? 1 : header >> 4 == 2 ? 2 : header >> 4 == 3 ? 4 : 0;
    *cls = header & 0x0F;
    *length = 0;
    return width && *cls <= kLong && src.read(length, width) && *length <= left && src.has(payloadBytes(*cls, *length));
}

// S_FALSE: a value did not fit 16-bit output (nothing wrong with the bytes).
template <class Source, class T> HRESULT decode(Source& src, T* values, uint32_t n)
{
    int32_t p = 0;
    uint64_t k = 0;
    uint8_t buffer[4096];
    while (k < n) {
        uint8_t cls = 0;
        uint32_t length = 0;
        // The payload must be there before it is decoded into the caller's array.
        if (!readRunHeader(src, n - k, &cls, &length))
            return E_FAIL;
        T* out = values + k;
        k += length;
        if (cls == kInvalid) {
            if (length && !store(out, kInvalidSample))
                return S_FALSE;
            std::fill(out, out + length, out[0]);
            continue;
        }
        uint32_t size = cls == kByte ? 1 : cls == kShort ? 2 : 4;
        uint32_t perPiece = sizeof(buffer) / size;
        for (uint32_t done = 0; done < length;) {
            uint32_t count = std::min(perPiece, length - done);
            const uint8_t* piece = src.take(buffer, size_t(count) * size);
            if (!piece)
                return E_FAIL;
            bool fits = true;
            T* o = out + done;
            if (cls == kByte) {
                for (uint32_t i = 0; i < count; ++i) {
                    p = wrappingAdd(p, int8_t(piece[i]));
                    fits &= store(o + i, p);
                }
            } else if (cls == kShort) {
                for (uint32_t i = 0; i < count; ++i) {
                    int16_t d;
                    std::memcpy(&d, piece + 2 * i, 2);
                    p = wrappingAdd(p, d);
                    fits &= store(o + i, p);
                }
            } else {
                for (uint32_t i = 0; i < count; ++i) {
                    std::memcpy(&p, piece + 4 * i, 4);
                    fits &= store(o + i, p);
                }
            }
            if (!fits)
                return S_FALSE;
            done += count;
        }
    }
    return S_OK;
}

// Bytes in memory are decoded where they lie; other streams through a buffer.
template <class T> HRESULT readCoded(IStream* stream, T* values, uint32_t n)
{
    if (!stream || (!values && n))
        return E_POINTER;
    if (auto* memory = dynamic_cast<kavro::MemoryStream*>(stream)) {
        const QByteArray& bytes = memory->bytes();
        const uint64_t pos = std::min<uint64_t>(memory->position(), uint64_t(bytes.size()));
        MemorySource src{reinterpret_cast<const uint8_t*>(bytes.constData()) + pos,
                         size_t(uint64_t(bytes.size()) - pos)};
        const HRESULT hr = decode(src, values, n);
        if (hr == S_OK && src.pos && FAILED(stream->Seek(int64_t(src.pos), STREAM_SEEK_CUR, nullptr)))
            return E_FAIL;
        return hr;
    }
    StreamSource src{stream};
    return decode(src, values, n);
}

} // namespace

template <class T> bool encodeChannel(const T* values, uint32_t n, std::vector<uint8_t>* out)
{
    std::vector<Run> runs;
    uint64_t size = 0;
    if (!planRuns(values, n, &runs, &size))
        return false;
    try {
        out->assign(size, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    Sink sink(out->data());
    emitRuns(values, runs, sink);
    return true;
}

template <class T> HRESULT writeCodedChannel(IStream* stream, const T* values, uint32_t n)
{
    if (!stream || (!values && n))
        return E_POINTER;
    std::vector<Run> runs;
    uint64_t size = 0;
    if (!planRuns(values, n, &runs, &size))
        return E_FAIL;
    std::vector<uint8_t> buffer;
    if (size <= UINT32_MAX) {
        try {
            buffer.resize(size);
        } catch (const std::bad_alloc&) {
            buffer.clear();
        }
    }
    if (buffer.size() == size) {
        Sink sink(buffer.data());
        emitRuns(values, runs, sink);
        return SUCCEEDED(kavro::writeAll(stream, buffer.data(), uint32_t(size))) ? S_OK : E_FAIL;
    }
    Sink sink(stream);
    emitRuns(values, runs, sink);
    return sink.finish() ? S_OK : E_FAIL;
}

HRESULT readCodedChannel(IStream* stream, int32_t* values, uint32_t n)
{
    return readCoded(stream, values, n);
}

HRESULT readCodedChannel(IStream* stream, int16_t* values, uint32_t n)
{
    return readCoded(stream, values, n);
}

namespace {

template <class T> HRESULT decodeInMemory(const uint8_t* data, size_t size, T* values, uint32_t n, size_t* used)
{
    if ((!data && size) || (!values && n))
        return E_POINTER;
    MemorySource src{data, size};
    HRESULT hr = decode(src, values, n);
    if (used)
        *used = src.pos;
    return hr;
}

// A stream read for its channel bytes, which are kept as they are read.
struct KeepingStreamSource {
    IStream* stream;
    QByteArray* kept;
    bool read(void* out, size_t cb)
    {
        const uint8_t* bytes = take(nullptr, cb);
        if (bytes)
            std::memcpy(out, bytes, cb);
        return bytes;
    }
    bool has(uint64_t cb) const { return kavro::fitsInStream(stream, cb, 1); }
    const uint8_t* take(uint8_t*, size_t cb)
    {
        const qsizetype at = kept->size();
        kept->resize(at + qsizetype(cb));
        if (FAILED(kavro::readExact(stream, kept->data() + at, uint32_t(cb)))) {
            kept->truncate(at);
            return nullptr;
        }
        return reinterpret_cast<const uint8_t*>(kept->constData()) + at;
    }
};

// Walks the runs of n samples as decode does, with the same failures, without storing a sample.
// With `fits16`, also follows the values of the whole runs walked.
template <class Source> HRESULT scan(Source& src, uint32_t n, bool* fits16)
{
    int32_t p = 0;
    bool fits = true;
    uint64_t k = 0;
    while (k < n) {
        uint8_t cls = 0;
        uint32_t length = 0;
        if (!readRunHeader(src, n - k, &cls, &length))
            return E_FAIL;
        k += length;
        const uint64_t bytes = payloadBytes(cls, length);
        const uint8_t* piece = src.take(nullptr, size_t(bytes));
        if (!piece)
            return E_FAIL;
        if (!fits16)
            continue;
        if (cls == kInvalid) {
            fits &= length == 0;
        } else {
            for (uint32_t i = 0; i < length; ++i) {
                if (cls == kByte) {
                    p = wrappingAdd(p, int8_t(piece[i]));
                } else if (cls == kShort) {
                    int16_t d;
                    std::memcpy(&d, piece + 2 * size_t(i), 2);
                    p = wrappingAdd(p, d);
                } else {
                    std::memcpy(&p, piece + 4 * size_t(i), 4);
                }
                fits &= p >= -32768 && p <= 32767;
            }
        }
        *fits16 = fits;
    }
    return S_OK;
}

} // namespace

HRESULT decodeChannel(const uint8_t* data, size_t size, int32_t* values, uint32_t n, size_t* used)
{
    return decodeInMemory(data, size, values, n, used);
}

HRESULT decodeChannel(const uint8_t* data, size_t size, int16_t* values, uint32_t n, size_t* used)
{
    return decodeInMemory(data, size, values, n, used);
}

HRESULT scanChannel(const uint8_t* data, size_t size, uint32_t n, size_t* used, bool* fits16)
{
    if (!data && size)
        return E_POINTER;
    if (fits16)
        *fits16 = true;
    MemorySource src{data, size};
    const HRESULT hr = scan(src, n, fits16);
    if (used)
        *used = src.pos;
    return hr;
}

HRESULT scanChannel(IStream* stream, uint32_t n, QByteArray* kept)
{
    if (!stream || !kept)
        return E_POINTER;
    KeepingStreamSource src{stream, kept};
    return scan(src, n, nullptr);
}

template bool encodeChannel<int32_t>(const int32_t*, uint32_t, std::vector<uint8_t>*);
template bool encodeChannel<int16_t>(const int16_t*, uint32_t, std::vector<uint8_t>*);
template HRESULT writeCodedChannel<int32_t>(IStream*, const int32_t*, uint32_t);
template HRESULT writeCodedChannel<int16_t>(IStream*, const int16_t*, uint32_t);

} // namespace kavrodoc
