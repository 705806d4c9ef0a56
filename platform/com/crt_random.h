#pragma once
// The pseudo-random generator of the C runtime the stored behaviour was tuned on: 15-bit results
// (0..32767) from x = x * 214013 + 2531011. glibc's rand() has another range, which breaks the
// integer arithmetic of callers such as r * 59 / 32767, so every random draw goes through this.
#include <cstdint>

namespace kavro {

class CrtRandom {
public:
    static constexpr int kMax = 0x7FFF;

    explicit CrtRandom(uint32_t seed = 1) : m_state(seed) { }
    void seed(uint32_t s) { m_state = s; }
    int next()
    {
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int>((m_state >> 16) & kMax);
    }

private:
    uint32_t m_state;
};

// The program's one generator (seed 1 until someone seeds it).
CrtRandom& programRandom();

} // namespace kavro
