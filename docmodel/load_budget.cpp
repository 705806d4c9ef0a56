#include "load_budget.h"

#include <vector>

namespace kavrodoc {

namespace {
// Questions are asked of few byte arrays (a trace's channels all lie in the one the load read):
// each array is kept once, not once per question.
struct Deferred {
    uint64_t bytes;
    size_t source;
    qsizetype offset;
    qsizetype size;
    uint32_t count;
    bool (*needed)(const uint8_t* data, size_t size, uint32_t count);
};

struct OpenBudget {
    bool open = false;
    uint64_t left = 0;
    // Charges not yet known to be needed; `left` always holds them all.
    std::vector<Deferred> deferred;
    std::vector<QByteArray> sources;
    uint64_t deferredBytes = 0;

    bool fitsWhateverDeferred(uint64_t bytes) const { return bytes <= left - deferredBytes; }
    bool needed(const Deferred& d) const
    {
        const auto* data = reinterpret_cast<const uint8_t*>(sources[d.source].constData()) + d.offset;
        return d.needed(data, size_t(d.size), d.count);
    }
    void settle()
    {
        for (const Deferred& d : deferred) {
            if (needed(d))
                left -= d.bytes;
        }
        deferred.clear();
        sources.clear();
        deferredBytes = 0;
    }
    void defer(uint64_t bytes, const LoadBudget::Question& q)
    {
        if (sources.empty() || !sources.back().isSharedWith(q.bytes))
            sources.push_back(q.bytes);
        deferred.push_back({bytes, sources.size() - 1, q.offset, q.size, q.count, q.needed});
        deferredBytes += bytes;
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

bool LoadBudget::chargeIf(uint64_t bytes, const Question& question)
{
    if (!budget.open)
        return false;
    if (budget.fitsWhateverDeferred(bytes)) {
        budget.defer(bytes, question);
        return true;
    }
    budget.settle();
    const auto* data = reinterpret_cast<const uint8_t*>(question.bytes.constData()) + question.offset;
    return !question.needed(data, size_t(question.size), question.count) || charge(bytes);
}

bool LoadBudget::isOpen()
{
    return budget.open;
}

} // namespace kavrodoc
