#include "com/crt_random.h"

#include <atomic>

namespace kavro {

namespace {
std::atomic<uint32_t> g_state{1};
}

int crtRand()
{
    uint32_t x = g_state.load(std::memory_order_relaxed);
    uint32_t next;
    do {
        next = x * 214013u + 2531011u;
    } while (!g_state.compare_exchange_weak(x, next, std::memory_order_relaxed));
    return static_cast<int>((next >> 16) & kCrtRandMax);
}

void crtSeed(uint32_t seed)
{
    g_state.store(seed, std::memory_order_relaxed);
}

} // namespace kavro
