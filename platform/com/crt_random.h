#pragma once
// The pseudo-random generator of the C runtime the stored behaviour was tuned on: 15-bit results
// (0..32767) from x = x * 214013 + 2531011. glibc's rand() has another range, which breaks the
// integer arithmetic of callers such as r * 59 / 32767, so every random draw goes through this.
#include <cstdint>

namespace kavro {

class CrtRandom {
public:
    static constexpr int kMax = 0x7FFF;

    explicit CrtRandom(uint32_t seed = 1) : state_(seed) { }
    void seed(uint32_t s) { state_ = s; }
    int next()
    {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & kMax);
    }

private:
    uint32_t state_;
};

// The program's one generator (seed 1 until someone seeds it).
CrtRandom& programRandom();

} // namespace kavro
