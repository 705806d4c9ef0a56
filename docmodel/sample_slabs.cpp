#include "sample_slabs.h"

#include <mutex>
#include <vector>

namespace kavrodoc {

namespace {

constexpr size_t kAlign = alignof(std::max_align_t);

// Never destroyed: a trace freed during static destruction still returns its slab here.
struct Pool {
    Pool() { spare.reserve(kMostSpare); }
    static constexpr size_t kMostSpare = SampleSlabs::kMostSpareBytes / SampleSlabs::kSlabBytes;
    std::mutex mutex;
    std::vector<std::byte*> spare; // never grows past its reserve, so keeping a slab cannot throw
    std::shared_ptr<std::byte[]> current;
    size_t used = 0;
};

Pool& pool()
{
    static Pool* p = new Pool;
    return *p;
}

void giveBack(std::byte* slab)
{
    Pool& p = pool();
    {
        std::lock_guard lock(p.mutex);
        if (p.spare.size() < Pool::kMostSpare) {
            p.spare.push_back(slab);
            return;
        }
    }
    delete[] slab;
}

} // namespace

std::shared_ptr<std::byte[]> SampleSlabs::take(size_t bytes)
{
    if (bytes > kSlabBytes / 4)
        return std::shared_ptr<std::byte[]>(new std::byte[bytes]);
    bytes = (bytes + kAlign - 1) / kAlign * kAlign;
    Pool& p = pool();
    // A slab handed back takes the lock, so the one replaced here is let go after it.
    std::shared_ptr<std::byte[]> replaced;
    std::unique_lock lock(p.mutex);
    if (!p.current || kSlabBytes - p.used < bytes) {
        std::byte* slab = nullptr;
        if (!p.spare.empty()) {
            slab = p.spare.back();
            p.spare.pop_back();
        }
        lock.unlock();
        if (!slab)
            slab = new std::byte[kSlabBytes];
        std::shared_ptr<std::byte[]> fresh(slab, giveBack);
        lock.lock();
        replaced = std::move(p.current);
        p.current = std::move(fresh);
        p.used = 0;
    }
    std::shared_ptr<std::byte[]> block(p.current, p.current.get() + p.used);
    p.used += bytes;
    return block;
}

size_t SampleSlabs::spareSlabs()
{
    Pool& p = pool();
    std::lock_guard lock(p.mutex);
    return p.spare.size();
}

} // namespace kavrodoc
