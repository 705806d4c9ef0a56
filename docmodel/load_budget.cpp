#include "load_budget.h"

#include <vector>

namespace kavrodoc {

namespace {
struct Deferred {
    uint64_t bytes;
    LoadBudget::Question question;
    bool needed() const
    {
        const auto* data = reinterpret_cast<const uint8_t*>(question.bytes.constData()) + question.offset;
        return question.needed(data, size_t(question.size), question.count);
    }
};

struct OpenBudget {
    bool open = false;
    uint64_t left = 0;
    // Charges not yet known to be needed; `left` always holds them all.
    std::vector<Deferred> deferred;
    uint64_t deferredBytes = 0;

    bool fitsWhateverDeferred(uint64_t bytes) const { return bytes <= left - deferredBytes; }
    void settle()
    {
        for (const Deferred& d : deferred) {
            if (d.needed())
                left -= d.bytes;
        }
        deferred.clear();
        deferredBytes = 0;
    }
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
    if (!budget.open)
        return false;
    if (!budget.fitsWhateverDeferred(bytes))
        budget.settle();
    if (bytes > budget.left)
        return false;
    budget.left -= bytes;
    return true;
}

bool LoadBudget::chargeIf(uint64_t bytes, Question question)
{
    if (!budget.open)
        return false;
    if (budget.fitsWhateverDeferred(bytes)) {
        budget.deferred.push_back({bytes, std::move(question)});
        budget.deferredBytes += bytes;
        return true;
    }
    budget.settle();
    return !Deferred{bytes, std::move(question)}.needed() || charge(bytes);
}

bool LoadBudget::isOpen()
{
    return budget.open;
}

} // namespace kavrodoc
