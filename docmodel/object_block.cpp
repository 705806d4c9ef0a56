#include "object_block.h"

#include <cstdint>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define KAVRO_POISON(at, size) ASAN_POISON_MEMORY_REGION(at, size)
#define KAVRO_UNPOISON(at, size) ASAN_UNPOISON_MEMORY_REGION(at, size)
#else
#define KAVRO_POISON(at, size) ((void)(at), (void)(size))
#define KAVRO_UNPOISON(at, size) ((void)(at), (void)(size))
#endif

namespace kavrodoc {

namespace {
// The objects follow the header, at the strictest alignment new gives.
constexpr size_t kHeaderBytes
    = (sizeof(ObjectBlock) + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);

unsigned char* roomOf(ObjectBlock* block)
{
    return reinterpret_cast<unsigned char*>(block) + kHeaderBytes;
}
} // namespace

ObjectBlock::Held ObjectBlock::create(size_t bytes)
{
    void* memory = std::malloc(kHeaderBytes + bytes);
    if (!memory)
        return nullptr;
    auto* block = new (memory) ObjectBlock(bytes);
    // Bytes not yet handed out are off limits, so that the sanitizer sees a stray access.
    KAVRO_POISON(roomOf(block), bytes);
    return Held(block);
}

void* ObjectBlock::take(size_t size, size_t align)
{
    const size_t at = (used_ + align - 1) & ~(align - 1);
    if (align > alignof(std::max_align_t) || at > end_ || size > end_ - at || !open_ || made_ >= kHeld - 1)
        return nullptr;
    used_ = at + size;
    KAVRO_UNPOISON(roomOf(this) + at, size);
    return roomOf(this) + at;
}

void ObjectBlock::objectGone(void* at, size_t size)
{
    // A use of a destroyed object is caught as it would be after a free.
    KAVRO_POISON(at, size);
    dropLive(1);
}

// The maker lets go: what it made now counts on its own. Nothing more is made in the block.
void ObjectBlock::release()
{
    open_ = false;
    dropLive(kHeld - made_);
}

void ObjectBlock::dropLive(uint32_t count)
{
    if (live_.fetch_sub(count, std::memory_order_acq_rel) == count) {
        KAVRO_UNPOISON(roomOf(this), end_);
        this->~ObjectBlock();
        std::free(this);
    }
}

} // namespace kavrodoc
