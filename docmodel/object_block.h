#pragma once
// Objects made together can share one allocation: loading a practice makes four objects per
// aiming (the aiming, its attributes, its trace and its shot), and four allocations cost more
// than reading the aiming's bytes. Each object stays a COM object of its own, with its own
// references and lifetime; the block is freed when the last object made in it is destroyed and
// its maker has let go of it.
#include "com/unknown.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <new>
#include <utility>

namespace kavrodoc {

class ObjectBlock {
public:
    struct Release {
        void operator()(ObjectBlock* block) const { block->release(); }
    };
    // The maker's hold on a block.
    using Held = std::unique_ptr<ObjectBlock, Release>;

    // A block of `bytes`; null when it cannot be had.
    static Held create(size_t bytes);

    // Makes a T in the block when it has room left, else on its own; `block` may be null.
    template <class T, class... Args> static ComPtr<T> make(ObjectBlock* block, Args&&... args)
    {
        void* at = block ? block->take(sizeof(T), alignof(T)) : nullptr;
        T* object = at ? new (at) T(std::forward<Args>(args)...) : new T(std::forward<Args>(args)...);
        if (at) {
            object->block_ = block;
            ++block->made_;
        }
        ComPtr<T> held;
        held.attach(object);
        return held;
    }

    // Bytes not yet handed out (some may go to alignment).
    size_t room() const { return open_ ? end_ - used_ : 0; }

    // Room for one object of each of the classes, each at its alignment.
    template <class... T> static constexpr size_t roomFor() { return ((sizeof(T) + alignof(T) - 1) + ... + 0); }

private:
    template <class T> friend class InObjectBlock;
    explicit ObjectBlock(size_t bytes) : end_(bytes) { }
    void release();
    void dropLive(uint32_t count);
    void* take(size_t size, size_t align);
    // An object made in the block was destroyed: its bytes are done with.
    void objectGone(void* at, size_t size);

    // Objects made in the block and not yet destroyed, plus the maker's hold. While the maker
    // holds the block it counts what it makes in `made_` and this stands at kHeld less what was
    // destroyed, so that making an object costs no atomic operation.
    static constexpr uint32_t kHeld = uint32_t(1) << 31;
    std::atomic<uint32_t> live_{kHeld};
    uint32_t made_ = 0;
    bool open_ = true;
    size_t used_ = 0;
    const size_t end_;
};

// The base of a class whose objects may be made in a block: deleting one (its last Release) runs
// its destructor and gives its bytes back to the block it was made in, or frees them.
template <class T> class InObjectBlock {
public:
    static void operator delete(InObjectBlock* base, std::destroying_delete_t)
    {
        ObjectBlock* block = base->block_;
        T* object = static_cast<T*>(base);
        object->~T();
        if (block)
            block->objectGone(object, sizeof(T));
        else
            ::operator delete(static_cast<void*>(object));
    }

protected:
    // The block the object was made in; null when made on its own.
    ObjectBlock* madeIn() const { return block_; }

private:
    friend class ObjectBlock;
    ObjectBlock* block_ = nullptr;
};

} // namespace kavrodoc
