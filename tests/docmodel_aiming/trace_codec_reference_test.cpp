// The encoder against a plain encoder written here from the format's rules, one rule at a time,
// over many seeded random channels of every shape the rules care about: the stored bytes, and
// so every run choice, must be the same to the byte.
#include "storage/stream/memory_stream.h"
#include "trace_codec.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <random>

using namespace kavrodoc;

namespace {

constexpr int32_t X = kInvalidSample;

// ---- The reference encoder: slow and literal, in 64-bit arithmetic throughout. ----

struct RefRun {
    int cls;
    size_t start;
    size_t length;
};

int64_t wrapTo32(int64_t d)
{
    const int64_t m = int64_t(1) << 32;
    d %= m;
    if (d < 0)
        d += m;
    return d >= (int64_t(1) << 31) ? d - m : d;
}

int64_t headerCostOf(size_t length)
{
    return length <= 255 ? 2 : length <= 65535 ? 3 : 5;
}

std::vector<RefRun> runsOf(const std::vector<int>& cls)
{
    std::vector<RefRun> runs;
    for (size_t i = 0; i < cls.size(); ++i) {
        if (runs.empty() || runs.back().cls != cls[i])
            runs.push_back({cls[i], i, 0});
        ++runs.back().length;
    }
    return runs;
}

std::vector<uint8_t> referenceEncode(const std::vector<int32_t>& v)
{
    // Classify: differences in 32-bit wrap-around arithmetic; the first valid sample after an
    // invalid one is class 3.
    std::vector<int> cls(v.size());
    int64_t p = 0;
    bool afterInvalid = false;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == X) {
            cls[i] = 0;
            afterInvalid = true;
        } else {
            const int64_t d = std::llabs(wrapTo32(int64_t(v[i]) - p));
            cls[i] = afterInvalid ? 3 : d <= 127 ? 1 : d <= 32767 ? 2 : 3;
            afterInvalid = false;
        }
        p = v[i];
    }

    // Widen short runs, costs taken from the runs as first marked.
    const std::vector<RefRun> marked = runsOf(cls);
    int carried = -1;
    for (size_t r = 0; r < marked.size(); ++r) {
        const int c = marked[r].cls;
        const int64_t e = int64_t(marked[r].length), h = headerCostOf(marked[r].length);
        const bool hasNext = r + 1 < marked.size();
        const int next = hasNext ? marked[r + 1].cls : -1;
        const int64_t hNext = hasNext ? headerCostOf(marked[r + 1].length) : 0;
        if (c == carried)
            continue;
        int to = c;
        if (next == carried) {
            if (carried == 2 && c == 1 && e <= h + hNext)
                to = 2;
            if (carried == 3 && c == 1 && 3 * e <= h + hNext)
                to = 3;
            if (carried == 3 && c == 2 && 2 * e <= h + hNext)
                to = 3;
        } else {
            if (carried == 2 && c == 1 && e <= h)
                to = 2;
            if (carried == 3 && c == 2 && 2 * e <= h)
                to = 3;
        }
        for (size_t i = 0; i < marked[r].length; ++i)
            cls[marked[r].start + i] = to;
        carried = to;
    }

    // Emit the final runs as a reader would take them back.
    std::vector<uint8_t> out;
    auto little = [&](uint64_t value, int bytes) {
        for (int b = 0; b < bytes; ++b)
            out.push_back(uint8_t(value >> (8 * b)));
    };
    p = 0;
    for (const RefRun& run : runsOf(cls)) {
        const int width = run.length <= 255 ? 1 : run.length <= 65535 ? 2 : 4;
        out.push_back(uint8_t((width == 1 ? 0x10 : width == 2 ? 0x20 : 0x30) | run.cls));
        little(run.length, width);
        for (size_t i = run.start; i < run.start + run.length; ++i) {
            const int64_t d = wrapTo32(int64_t(v[i]) - p);
            if (run.cls == 1) {
                EXPECT_TRUE(d >= -128 && d <= 127) << "sample " << i;
                little(uint64_t(d), 1);
            } else if (run.cls == 2) {
                EXPECT_TRUE(d >= -32768 && d <= 32767) << "sample " << i;
                little(uint64_t(d), 2);
            } else if (run.cls == 3) {
                little(uint64_t(int64_t(v[i])), 4);
            }
            if (run.cls != 0)
                p = v[i];
        }
    }
    return out;
}

// ---- Seeded channels of varied shapes. ----

class ChannelMaker {
public:
    explicit ChannelMaker(uint32_t seed) : rng_(seed) { }

    uint32_t below(uint32_t n) { return uint32_t(rng_() % n); }
    int32_t between(int32_t lo, int32_t hi)
    {
        return int32_t(int64_t(lo) + int64_t(rng_() % uint64_t(int64_t(hi) - lo + 1)));
    }
    int32_t anyValue() { return int32_t(rng_()); }

    std::vector<int32_t> channel(size_t segments)
    {
        v_.clear();
        for (size_t s = 0; s < segments; ++s)
            segment();
        return v_;
    }

private:
    int32_t last() const
    {
        for (auto it = v_.rbegin(); it != v_.rend(); ++it)
            if (*it != X)
                return *it;
        return 0;
    }
    void step(int32_t d) { v_.push_back(int32_t(uint32_t(last()) + uint32_t(d))); }
    // A step of a magnitude between lo and hi, either sign.
    void stepOf(int32_t lo, int32_t hi) { step(below(2) ? between(lo, hi) : -between(lo, hi)); }
    size_t length()
    {
        static constexpr size_t exact[] = {1, 2, 3, 4, 5, 255, 256, 65535, 65536};
        switch (below(4)) {
        case 0: return exact[below(9)];
        case 1: return 1 + below(8);
        default: return 1 + below(400);
        }
    }

    void segment()
    {
        const size_t len = length();
        switch (below(10)) {
        case 0: v_.insert(v_.end(), len, X); break;
        case 1: // long flats
            for (size_t i = 0; i < len; ++i)
                step(0);
            break;
        case 2: // byte differences, boundaries included
            for (size_t i = 0; i < len; ++i)
                below(8) ? stepOf(0, 127) : step(below(2) ? 127 : -127);
            break;
        case 3: // 16-bit differences
            for (size_t i = 0; i < len; ++i)
                below(8) ? stepOf(128, 32767) : step(below(2) ? 128 : below(2) ? -128 : below(2) ? 32767 : -32767);
            break;
        case 4: // 32-bit differences
            for (size_t i = 0; i < len; ++i)
                below(8) ? stepOf(32768, INT_MAX) : step(below(2) ? 32768 : below(2) ? -32768 : INT_MIN);
            break;
        case 5: // short runs between wider ones
            for (size_t i = 0; i < len % 40 + 1; ++i) {
                const int wide = below(2) ? 32768 : 128;
                for (uint32_t k = 1 + below(3); k; --k)
                    stepOf(wide, wide == 128 ? 32767 : 1 << 20);
                for (uint32_t k = 1 + below(4); k; --k)
                    wide == 128 || below(2) ? stepOf(0, 127) : stepOf(128, 32767);
            }
            break;
        case 6: // around the 32-bit limits, differences wrapping round
            for (size_t i = 0; i < len % 600 + 1; ++i) {
                const int32_t edge = below(2) ? INT_MIN + between(0, 200) : INT_MAX - 1 - between(0, 200);
                v_.push_back(below(16) ? edge : X);
            }
            break;
        case 7: // one class, exactly `len` samples, fenced by invalid samples
        {
            const int cls = int(below(3));
            v_.push_back(X);
            v_.push_back(anyValue() & 0xFFFF);
            for (size_t i = 0; i < len; ++i)
                cls == 0 ? stepOf(0, 127) : cls == 1 ? stepOf(128, 32767) : stepOf(32768, 1 << 30);
            v_.push_back(X);
            break;
        }
        case 8: // a short run between two wide runs of any length
        {
            const int32_t wide = below(2) ? 32768 : 128;
            const size_t after = below(3) ? length() : 65536 + below(3); // a 4-byte length after it
            for (size_t i = 0; i < len; ++i)
                stepOf(wide, wide == 128 ? 32767 : 1 << 20);
            for (uint32_t k = 1 + below(3); k; --k)
                wide == 128 || below(2) ? stepOf(0, 127) : stepOf(128, 32767);
            for (size_t i = 0; i < after; ++i)
                stepOf(wide, wide == 128 ? 32767 : 1 << 20);
            break;
        }
        default: // anything
            for (size_t i = 0; i < len; ++i)
                v_.push_back(below(20) ? anyValue() : X);
            break;
        }
    }

    std::mt19937 rng_;
    std::vector<int32_t> v_;
};

std::vector<uint8_t> encoded(const std::vector<int32_t>& v)
{
    std::vector<uint8_t> out;
    EXPECT_TRUE(encodeChannel(v.data(), uint32_t(v.size()), &out));
    return out;
}

std::vector<uint8_t> encoded(const std::vector<int16_t>& v)
{
    std::vector<uint8_t> out;
    EXPECT_TRUE(encodeChannel(v.data(), uint32_t(v.size()), &out));
    return out;
}

std::vector<uint8_t> written(const std::vector<int32_t>& v)
{
    auto s = kavro::MemoryStream::create();
    EXPECT_EQ(writeCodedChannel(s.get(), v.data(), uint32_t(v.size())), S_OK);
    return std::vector<uint8_t>(s->bytes().begin(), s->bytes().end());
}

std::vector<uint8_t> bytes(const char* hex)
{
    const QByteArray b = QByteArray::fromHex(hex);
    return std::vector<uint8_t>(b.begin(), b.end());
}

// The reference itself, held to the worked example and to cases worked out by hand.
TEST(TraceCodecReference, ReferenceCodesHandWorkedCases)
{
    EXPECT_EQ(referenceEncode({10, 12, 9, X, 9, 300}), bytes("11030A02FD 1001 1302 09000000 2C010000"));
    EXPECT_EQ(referenceEncode({0, 1000, 1001, 2000}), bytes("110100 1203 E803 0100 E703"));
    EXPECT_EQ(referenceEncode({0, 100000, 100001}), bytes("110100 1301 A0860100 110101"));
    EXPECT_EQ(referenceEncode({0, 100000, 100001, 300000}), bytes("110100 1303 A0860100 A1860100 E0930400"));
    EXPECT_EQ(referenceEncode({INT_MAX - 1, INT_MIN}), bytes("1301FEFFFF7F 110102"));
    EXPECT_EQ(referenceEncode(std::vector<int32_t>(256, X)), bytes("200001"));
}

TEST(TraceCodecReference, SeededChannelsCodeAsTheRulesSay)
{
    for (uint32_t seed = 1; seed <= 400; ++seed) {
        ChannelMaker make(seed);
        const std::vector<int32_t> v = make.channel(1 + seed % 24);
        ASSERT_EQ(encoded(v), referenceEncode(v)) << "seed " << seed << ", " << v.size() << " samples";
        if (seed % 16 == 0) {
            ASSERT_EQ(written(v), referenceEncode(v)) << "seed " << seed;
        }
    }
}

TEST(TraceCodecReference, SingleSamplesCodeAsTheRulesSay)
{
    ChannelMaker make(7);
    for (int32_t value : {0, 1, -1, 127, -127, 128, -128, 32767, -32768, INT_MIN, INT_MAX - 1, X}) {
        ASSERT_EQ(encoded(std::vector<int32_t>{value}), referenceEncode({value})) << value;
        ASSERT_EQ(written(std::vector<int32_t>{value}), referenceEncode({value})) << value;
    }
    for (int i = 0; i < 200; ++i) {
        const std::vector<int32_t> one{make.anyValue()};
        ASSERT_EQ(encoded(one), referenceEncode(one)) << one[0];
    }
}

// 16-bit channels hold no invalid samples; their differences still reach 32-bit runs.
TEST(TraceCodecReference, NarrowChannelsCodeAsTheirWideValues)
{
    for (uint32_t seed = 1; seed <= 150; ++seed) {
        ChannelMaker make(seed * 7919);
        std::vector<int16_t> narrow;
        for (size_t segment = 0, segments = 1 + seed % 12; segment < segments; ++segment) {
            const uint32_t shape = make.below(4);
            const size_t len = make.below(4) ? 1 + make.below(300) : 250 + make.below(70000) % 66000;
            int32_t value = narrow.empty() ? 0 : narrow.back();
            for (size_t i = 0; i < len; ++i) {
                if (shape == 0)
                    value += make.between(-127, 127);
                else if (shape == 1)
                    value += make.between(-3000, 3000);
                else if (shape == 2)
                    value = make.below(2) ? 32767 - make.between(0, 100) : -32768 + make.between(0, 100);
                else
                    value = make.between(-32768, 32767);
                value = std::clamp(value, -32768, 32767);
                narrow.push_back(int16_t(value));
            }
        }
        const std::vector<int32_t> wide(narrow.begin(), narrow.end());
        ASSERT_EQ(encoded(narrow), referenceEncode(wide)) << "seed " << seed;
    }
}

} // namespace
