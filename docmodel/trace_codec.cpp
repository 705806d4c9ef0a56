#include "trace_codec.h"

#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_io.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// One run of the coded form; runs follow each other, so a run starts where the one before ended.
struct Run {
    uint32_t length;
    uint8_t cls;
};

// The class a valid sample earns by its difference from the sample before, without branches:
// wrapping a difference by 127 (or 32767) puts every one that fits into 0..254 (0..65534).
inline uint8_t classOfDifference(int32_t d)
{
    const uint32_t u = uint32_t(d);
    return uint8_t(kByte + (u + 127u > 254u) + (u + 32767u > 65534u));
}

// Whether sample v, after the valid sample `before`, breaks a run of class `Cls`: written as
// range tests on the wrapped difference so that a block of them compiles to vector code.
template <uint8_t Cls, class T> inline uint32_t breaksRun(T v, T before)
{
    const uint32_t d = uint32_t(wrappingSub(v, before));
    const uint32_t invalid = int32_t(v) == kInvalidSample;
    if constexpr (Cls == kInvalid)
        return !invalid;
    else if constexpr (Cls == kByte)
        return invalid | (d + 127u > 254u);
    else if constexpr (Cls == kShort)
        return invalid | (d + 127u <= 254u) | (d + 32767u > 65534u);
    else
        return invalid | (d + 32767u <= 65534u);
}

// The end of the run of class `Cls` whose first sample is at `start`: blocks of samples are
// tested whole, as a flat or a slow drift keeps its class for long stretches.
template <uint8_t Cls, class T> uint32_t runEnd(const T* v, uint32_t start, uint32_t n)
{
    constexpr uint32_t kBlock = 16;
    uint32_t j = start + 1;
    while (j + kBlock <= n) {
        const T* block = v + j;
        const T* before = block - 1;
        uint32_t breaks = 0;
        for (uint32_t k = 0; k < kBlock; ++k)
            breaks |= breaksRun<Cls>(block[k], before[k]);
        if (breaks)
            break;
        j += kBlock;
    }
    while (j < n && !breaksRun<Cls>(v[j], v[j - 1]))
        ++j;
    return j;
}

template <class T> uint32_t runEnd(const T* v, uint32_t start, uint32_t n, uint8_t cls)
{
    switch (cls) {
    case kInvalid: return runEnd<kInvalid>(v, start, n);
    case kByte: return runEnd<kByte>(v, start, n);
    case kShort: return runEnd<kShort>(v, start, n);
    default: return runEnd<kLong>(v, start, n);
    }
}

// Takes the maximal runs of equal class one at a time and widens a short one between wider
// ones when that costs fewer bytes than its own header. A run's fate depends on the run after
// it, so each is settled one run late; runs that end up sharing a class are joined.
class RunPlanner {
public:
    explicit RunPlanner(std::vector<Run>* out) : out_(out) { }

    void add(Run next)
    {
        if (pending_.length)
            settle(next.cls, headerCost(next.length));
        pending_ = next;
    }
    void finish()
    {
        if (pending_.length)
            settle(-1, 0);
        pending_ = {};
    }

private:
    void settle(int nextClass, uint64_t hNext)
    {
        const Run& run = pending_;
        int c = run.cls;
        if (c != carried_) {
            const uint64_t e = run.length, h = headerCost(run.length);
            if (nextClass == carried_) {
                if (carried_ == kShort && c == kByte && e <= h + hNext)
                    c = kShort;
                else if (carried_ == kLong && c == kByte && 3 * e <= h + hNext)
                    c = kLong;
                else if (carried_ == kLong && c == kShort && 2 * e <= h + hNext)
                    c = kLong;
            } else {
                // A byte run after a 32-bit run keeps its class here.
                if (carried_ == kShort && c == kByte && e <= h)
                    c = kShort;
                else if (carried_ == kLong && c == kShort && 2 * e <= h)
                    c = kLong;
            }
            carried_ = c;
        }
        if (!out_->empty() && out_->back().cls == c)
            out_->back().length += run.length;
        else
            out_->push_back({run.length, uint8_t(c)});
    }

    std::vector<Run>* out_;
    Run pending_{0, 0};
    int carried_ = -1; // the class the run before ended with; none at the start
};

// The final runs of n samples. A valid sample right after an invalid one is stored whole: its
// difference from the invalid marker would mean nothing to a reader, which keeps the last
// valid value.
template <class T> void planRuns(const T* v, uint32_t n, std::vector<Run>* runs)
{
    RunPlanner planner(runs);
    for (uint32_t i = 0; i < n;) {
        uint8_t cls;
        if (int32_t(v[i]) == kInvalidSample)
            cls = kInvalid;
        else if (i > 0 && int32_t(v[i - 1]) == kInvalidSample)
            cls = kLong;
        else
            cls = classOfDifference(wrappingSub(v[i], i > 0 ? int32_t(v[i - 1]) : 0));
        const uint32_t end = runEnd(v, i, n, cls);
        planner.add({end - i, cls});
        i = end;
    }
    planner.finish();
}

uint64_t codedSize(const std::vector<Run>& runs)
{
    uint64_t total = 0;
    for (const Run& run : runs)
        total += headerCost(run.length) + payloadBytes(run.cls, run.length);
    return total;
}

uint8_t* putHeader(uint8_t cls, uint32_t length, uint8_t* o)
{
    const uint32_t width = lengthWidth(length);
    o[0] = uint8_t((width == 1 ? 0x10 : width == 2 ? 0x20 : 0x30) | cls);
    for (uint32_t b = 0; b < width; ++b)
        o[1 + b] = uint8_t(length >> (8 * b));
    return o + 1 + width;
}

// Payloads are filled a block at a time through a small array of fixed size, which the
// compiler turns into vector code; the stored forms are little-endian, as the machine is.
static_assert(std::endian::native == std::endian::little);
constexpr uint32_t kPayloadBlock = 16;

// The differences of `count` samples, each from the one before; `before` precedes the first.
template <class D, class T> uint8_t* putDifferences(const T* s, uint32_t count, int32_t before, uint8_t* o)
{
    D d = D(wrappingSub(s[0], before));
    std::memcpy(o, &d, sizeof(D));
    uint32_t i = 1;
    for (; i + kPayloadBlock <= count; i += kPayloadBlock) {
        const T* at = s + i;
        const T* previous = at - 1;
        D block[kPayloadBlock];
        for (uint32_t k = 0; k < kPayloadBlock; ++k)
            block[k] = D(wrappingSub(at[k], previous[k]));
        std::memcpy(o + sizeof(D) * i, block, sizeof(block));
    }
    for (; i < count; ++i) {
        d = D(wrappingSub(s[i], s[i - 1]));
        std::memcpy(o + sizeof(D) * i, &d, sizeof(D));
    }
    return o + sizeof(D) * size_t(count);
}

template <class T> uint8_t* putValues(const T* s, uint32_t count, uint8_t* o)
{
    if constexpr (sizeof(T) == sizeof(int32_t)) {
        std::memcpy(o, s, sizeof(int32_t) * size_t(count));
    } else {
        uint32_t i = 0;
        for (; i + kPayloadBlock <= count; i += kPayloadBlock) {
            int32_t block[kPayloadBlock];
            for (uint32_t k = 0; k < kPayloadBlock; ++k)
                block[k] = s[i + k];
            std::memcpy(o + sizeof(int32_t) * i, block, sizeof(block));
        }
        for (; i < count; ++i) {
            const int32_t value = s[i];
            std::memcpy(o + sizeof(int32_t) * i, &value, sizeof(int32_t));
        }
    }
    return o + sizeof(int32_t) * size_t(count);
}

// The payload of `count` samples of one run; `before` is the sample before the first, which a
// reader holds as its previous value whenever a difference is coded.
template <class T> uint8_t* putPayload(uint8_t cls, const T* s, uint32_t count, int32_t before, uint8_t* o)
{
    switch (cls) {
    case kByte: return putDifferences<uint8_t>(s, count, before, o);
    case kShort: return putDifferences<uint16_t>(s, count, before, o);
    case kLong: return putValues(s, count, o);
    default: return o;
    }
}

// A class 1 or 2 run never follows an invalid one, so the sample before a run is what a
// reader holds as its previous value whenever the run codes differences.
template <class T> int32_t sampleBefore(const T* v, uint32_t at)
{
    return at ? int32_t(v[at - 1]) : 0;
}

template <class T> void emitRuns(const T* v, const std::vector<Run>& runs, uint8_t* o)
{
    uint32_t at = 0;
    for (const Run& run : runs) {
        o = putHeader(run.cls, run.length, o);
        o = putPayload(run.cls, v + at, run.length, sampleBefore(v, at), o);
        at += run.length;
    }
}

// The same bytes through a small buffer, written to the stream piece by piece: for a coded
// form too large to be held whole.
template <class T> bool writeRunsInPieces(IStream* stream, const T* v, const std::vector<Run>& runs)
{
    constexpr uint32_t kSlice = 1024; // samples per payload piece, 4 bytes each at most
    uint8_t piece[2 * (5 + 4 * kSlice)];
    uint8_t* o = piece;
    auto flushIfFull = [&] {
        if (o - piece <= ptrdiff_t(sizeof(piece) / 2))
            return true;
        const bool ok = SUCCEEDED(kavro::writeAll(stream, piece, uint32_t(o - piece)));
        o = piece;
        return ok;
    };
    uint32_t at = 0;
    for (const Run& run : runs) {
        o = putHeader(run.cls, run.length, o);
        if (!flushIfFull())
            return false;
        for (uint32_t done = 0, count = 0; run.cls != kInvalid && done < run.length; done += count) {
            count = std::min(kSlice, run.length - done);
            o = putPayload(run.cls, v + at + done, count, sampleBefore(v, at + done), o);
            if (!flushIfFull())
                return false;
        }
        at += run.length;
    }
    return o == piece || SUCCEEDED(kavro::writeAll(stream, piece, uint32_t(o - piece)));
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

// Summing differences is a chain through every sample: a plain loop waits for one addition per
// sample. With SSE2 (always there on x86-64) a block of samples first sums within itself, in
// lanes, and then takes the running value in one addition; the loop after it finishes what is
// left of a run and is all there is on other machines.
#if defined(__SSE2__)
namespace lanes {

inline __m128i load(const uint8_t* at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// Sign extension of the low or high four 16-bit lanes to 32 bits.
inline __m128i low16(__m128i v)
{
    return _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
}
inline __m128i high16(__m128i v)
{
    return _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16);
}

// Running sums across the lanes.
inline __m128i sums32(__m128i v)
{
    v = _mm_add_epi32(v, _mm_slli_si128(v, 4));
    return _mm_add_epi32(v, _mm_slli_si128(v, 8));
}
inline __m128i sums16(__m128i v)
{
    v = _mm_add_epi16(v, _mm_slli_si128(v, 2));
    v = _mm_add_epi16(v, _mm_slli_si128(v, 4));
    return _mm_add_epi16(v, _mm_slli_si128(v, 8));
}

inline __m128i last32(__m128i v)
{
    return _mm_shuffle_epi32(v, 0xFF);
}
inline __m128i last16(__m128i v)
{
    const __m128i high = _mm_shufflehi_epi16(v, 0xFF);
    return _mm_unpackhi_epi64(high, high);
}

// Stores eight values. Into 16 bits, `spill` gathers every value offset by 32768, whose upper
// half stays clear only while every value fits.
inline void put(__m128i a, __m128i b, int32_t* out, __m128i&)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), b);
}
inline void put(__m128i a, __m128i b, int16_t* out, __m128i& spill)
{
    const __m128i offset = _mm_set1_epi32(0x8000);
    spill = _mm_or_si128(spill, _mm_or_si128(_mm_add_epi32(a, offset), _mm_add_epi32(b, offset)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packs_epi32(a, b));
}

inline bool fitted(__m128i spill)
{
    const __m128i upper = _mm_srli_epi32(spill, 16);
    return _mm_movemask_epi8(_mm_cmpeq_epi32(upper, _mm_setzero_si128())) == 0xFFFF;
}

// The running sums of sixteen byte differences d0..d15, in two vectors of eight 16-bit lanes:
// within a block they stay within 16 x 128. The sums of the pairs (d0 + d1, d2 + d3, ...) run
// to every odd sample; each even one is the odd one after it less that one's difference.
inline void byteSums(__m128i d, __m128i& first, __m128i& second)
{
    const __m128i odd = _mm_srai_epi16(d, 8);
    const __m128i even = _mm_srai_epi16(_mm_slli_epi16(d, 8), 8);
    const __m128i odds = sums16(_mm_add_epi16(even, odd));
    const __m128i evens = _mm_sub_epi16(odds, odd);
    first = _mm_unpacklo_epi16(evens, odds);
    second = _mm_unpackhi_epi16(evens, odds);
}

// Eight sums in 16-bit lanes, widened to take the running value.
inline __m128i putWide(__m128i sums, __m128i run, int32_t* out)
{
    const __m128i sign = _mm_srai_epi16(sums, 15);
    const __m128i high = _mm_add_epi32(run, _mm_unpackhi_epi16(sums, sign));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_add_epi32(run, _mm_unpacklo_epi16(sums, sign)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), high);
    return high;
}

inline uint32_t addBytes(const uint8_t* in, uint32_t count, int32_t& p, int32_t* out, bool&)
{
    __m128i run = _mm_set1_epi32(p);
    uint32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i first, second;
        byteSums(load(in + i), first, second);
        putWide(first, run, out + i);
        run = last32(putWide(second, run, out + i + 8));
    }
    p = _mm_cvtsi128_si32(run);
    return i;
}

// Into 16 bits the running value stays in 16-bit lanes, as it fits on the way in: a sum that
// does not fit is one whose saturating addition differs from the wrapping one.
inline uint32_t addBytes(const uint8_t* in, uint32_t count, int32_t& p, int16_t* out, bool& fits)
{
    if (p < -32768 || p > 32767)
        return 0;
    __m128i run = _mm_set1_epi16(int16_t(p)), spill = _mm_setzero_si128();
    const auto put = [&](__m128i sums, int16_t* at) {
        const __m128i value = _mm_add_epi16(run, sums);
        spill = _mm_or_si128(spill, _mm_xor_si128(value, _mm_adds_epi16(run, sums)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), value);
        return value;
    };
    uint32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i first, second;
        byteSums(load(in + i), first, second);
        put(first, out + i);
        run = last16(put(second, out + i + 8));
    }
    p = int16_t(_mm_cvtsi128_si32(run));
    fits &= _mm_movemask_epi8(_mm_cmpeq_epi16(spill, _mm_setzero_si128())) == 0xFFFF;
    return i;
}

// Eight 16-bit differences at a time, summed in 32-bit lanes with the same wrap-around as one
// by one.
template <class T> uint32_t addShorts(const uint8_t* in, uint32_t count, int32_t& p, T* out, bool& fits)
{
    __m128i run = _mm_set1_epi32(p), spill = _mm_setzero_si128();
    uint32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i d = load(in + 2 * size_t(i));
        const __m128i low = _mm_add_epi32(run, sums32(low16(d)));
        const __m128i high = _mm_add_epi32(last32(low), sums32(high16(d)));
        put(low, high, out + i, spill);
        run = last32(high);
    }
    p = _mm_cvtsi128_si32(run);
    fits &= fitted(spill);
    return i;
}

// Whole 32-bit values into 16 bits, eight at a time.
inline uint32_t narrowValues(const uint8_t* in, uint32_t count, int32_t& p, int16_t* out, bool& fits)
{
    __m128i spill = _mm_setzero_si128();
    uint32_t i = 0;
    for (; i + 8 <= count; i += 8)
        put(load(in + 4 * size_t(i)), load(in + 4 * size_t(i) + 16), out + i, spill);
    if (i)
        std::memcpy(&p, in + 4 * size_t(i - 1), 4);
    fits &= fitted(spill);
    return i;
}

} // namespace lanes
#endif

// Adds `count` little-endian differences of type D, sign-extended, to the running value p and
// stores each sum; false when a sum does not fit T.
template <class D, class T> bool addDifferences(const uint8_t* in, uint32_t count, int32_t& p, T* out)
{
    bool fits = true;
    uint32_t i = 0;
#if defined(__SSE2__)
    if constexpr (sizeof(D) == 1)
        i = lanes::addBytes(in, count, p, out, fits);
    else
        i = lanes::addShorts(in, count, p, out, fits);
#endif
    for (; i < count; ++i) {
        D d;
        std::memcpy(&d, in + sizeof(D) * i, sizeof(D));
        p = wrappingAdd(p, d);
        fits &= store(out + i, p);
    }
    return fits;
}

// Whole values; p becomes the last.
inline bool copyValues(const uint8_t* in, uint32_t count, int32_t& p, int32_t* out)
{
    std::memcpy(out, in, 4 * size_t(count));
    if (count)
        std::memcpy(&p, in + 4 * size_t(count - 1), 4);
    return true;
}

inline bool copyValues(const uint8_t* in, uint32_t count, int32_t& p, int16_t* out)
{
    bool fits = true;
    uint32_t i = 0;
#if defined(__SSE2__)
    i = lanes::narrowValues(in, count, p, out, fits);
#endif
    for (; i < count; ++i) {
        std::memcpy(&p, in + 4 * size_t(i), 4);
        fits &= store(out + i, p);
    }
    return fits;
}

// One run's header and length, checked: a known class and width, no more than `left` samples,
// and its whole payload present.
template <class Source> bool readRunHeader(Source& src, uint64_t left, uint8_t* cls, uint32_t* length)
{
    uint8_t header = 0;
    if (!src.read(&header, 1))
        return false;
    *cls = header & 0x0F;
    *length = 0;
    if (*cls > kLong)
        return false;
    // Reads of a fixed size: a run header is read for every run of every channel loaded.
    bool read = false;
    switch (header >> 4) {
    case 1: {
        uint8_t n = 0;
        read = src.read(&n, 1);
        *length = n;
        break;
    }
    case 2: {
        uint16_t n = 0;
        read = src.read(&n, 2);
        *length = n;
        break;
    }
    case 3: read = src.read(length, 4); break;
    default: return false;
    }
    return read && *length <= left && src.has(payloadBytes(*cls, *length));
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
            T* o = out + done;
            const bool fits = cls == kByte ? addDifferences<int8_t>(piece, count, p, o)
                : cls == kShort            ? addDifferences<int16_t>(piece, count, p, o)
                                           : copyValues(piece, count, p, o);
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
    try {
        std::vector<Run> runs;
        planRuns(values, n, &runs);
        out->resize(codedSize(runs));
        emitRuns(values, runs, out->data());
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

template <class T> HRESULT writeCodedChannel(IStream* stream, const T* values, uint32_t n)
{
    if (!stream || (!values && n))
        return E_POINTER;
    std::vector<Run> runs;
    try {
        planRuns(values, n, &runs);
    } catch (const std::bad_alloc&) {
        return E_FAIL;
    }
    const uint64_t size = codedSize(runs);
    std::unique_ptr<uint8_t[]> buffer;
    if (size <= UINT32_MAX)
        buffer.reset(new (std::nothrow) uint8_t[size]);
    if (!buffer)
        return writeRunsInPieces(stream, values, runs) ? S_OK : E_FAIL;
    emitRuns(values, runs, buffer.get());
    return SUCCEEDED(kavro::writeAll(stream, buffer.get(), uint32_t(size))) ? S_OK : E_FAIL;
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
