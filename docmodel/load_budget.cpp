#include "load_budget.h"

namespace kavrodoc {

namespace {
struct OpenBudget {
    bool open = false;
    uint64_t left = 0;
};
thread_local OpenBudget budget;
} // namespace

LoadBudget::LoadBudget(uint64_t inputBytes)
{
    if (budget.open)
        return;
    owner_ = true;
    budget.open = true;
    const uint64_t proportional = inputBytes > (UINT64_MAX - kFixedBytes) / kBytesPerInputByte
        ? UINT64_MAX - kFixedBytes
        : inputBytes * kBytesPerInputByte;
    budget.left = kFixedBytes + proportional;
}

LoadBudget::~LoadBudget()
{
    if (owner_)
        budget = OpenBudget{};
}

bool LoadBudget::charge(uint64_t bytes)
{
    if (!budget.open || bytes > budget.left)
        return false;
    budget.left -= bytes;
    return true;
}

} // namespace kavrodoc
