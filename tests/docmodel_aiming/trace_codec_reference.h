#pragma once
// A plain encoder written from the trace codec's rules, one rule at a time, and seeded channels
// of every shape the rules care about, for tests that hold the encoder to the rules.
#include "trace_codec.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <random>
#include <vector>

namespace tracecodec {

using kavrodoc::kInvalidSample;
constexpr int32_t X = kInvalidSample;

// ---- The reference encoder: slow and literal, in 64-bit arithmetic throughout. ----

struct RefRun {
    int cls;
    size_t start;
    size_t length;
};

inline int64_t wrapTo32(int64_t d)
{
    const int64_t m = int64_t(1) << 32;
    d %= m;
    if (d < 0)
        d += m;
    return d >= (int64_t(1) << 31) ? d - m : d;
}

inline int64_t headerCostOf(size_t length)
{
    return length <= 255 ? 2 : length <= 65535 ? 3 : 5;
}

inline std::vector<RefRun> runsOf(const std::vector<int>& cls)
{
    std::vector<RefRun> runs;
    for (size_t i = 0; i < cls.size(); ++i) {
        if (runs.empty() || runs.back().cls != cls[i])
            runs.push_back({cls[i], i, 0});
        ++runs.back().length;
    }
    return runs;
}

inline std::vector<uint8_t> referenceEncode(const std::vector<int32_t>& v)
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

} // namespace tracecodec
