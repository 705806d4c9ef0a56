#pragma once
// One sample channel of a trace: 32-bit integers while recording, 16-bit once narrowed when
// every value fits. Exactly one form is in use, held in the array's own storage or, for a loaded
// trace, read from the block its channels were decoded into.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace kavrodoc {

// Leaves elements made without a value unset: a decoded channel is written whole, and zeroing
// millions of samples first would cost a pass of its own. Every value the trace relies on being
// zero is given explicitly.
template <class T> struct UnsetAllocator : std::allocator<T> {
    template <class U> struct rebind {
        using other = UnsetAllocator<U>;
    };
    UnsetAllocator() = default;
    template <class U> UnsetAllocator(const UnsetAllocator<U>&) noexcept { }
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... A> void construct(U* p, A&&... a)
    {
        ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
    }
};

template <class T> using SampleVector = std::vector<T, UnsetAllocator<T>>;

class SampleArray {
public:
    SampleArray() = default;
    SampleArray(const SampleArray& other);
    SampleArray(SampleArray&& other) noexcept;
    SampleArray& operator=(const SampleArray& other);
    SampleArray& operator=(SampleArray&& other) noexcept;

    bool isNarrow() const { return narrow_; }
    size_t capacity() const { return size_; }
    int32_t at(size_t i) const { return narrow_ ? small_[i] : wide_[i]; }
    const int32_t* wideData() const { return wide_; }
    const int16_t* narrowData() const { return small_; }

    // Sets a value; a value outside the 16-bit range widens a narrow array first.
    void set(size_t i, int32_t v);
    // New 32-bit storage of `capacity` zeros.
    void reset(size_t capacity);
    // Adopts decoded values.
    void assign(SampleVector<int32_t> values);
    void assign(SampleVector<int16_t> values);
    // Reads `count` values decoded into `block`, which the channels of one trace share; the first
    // change copies them into storage of the array's own.
    void share(std::shared_ptr<const void> block, const int32_t* values, size_t count);
    void share(std::shared_ptr<const void> block, const int16_t* values, size_t count);
    // Keeps `count` values from `start`, moved to the front; the capacity becomes `newCapacity`.
    void repack(size_t start, size_t count, size_t newCapacity);
    // The same into a new array, this one unchanged.
    SampleArray repacked(size_t start, size_t count, size_t newCapacity) const;
    // Passes to 16-bit form when every value fits; false when one does not.
    bool narrow();
    void widen();

private:
    void own();
    void pointAtOwn();
    void swap(SampleArray& other) noexcept;

    SampleVector<int32_t> ownWide_;
    SampleVector<int16_t> ownSmall_;
    std::shared_ptr<const void> block_;
    // The values read: the array's own, or in the shared block.
    const int32_t* wide_ = nullptr;
    const int16_t* small_ = nullptr;
    size_t size_ = 0;
    bool narrow_ = false;
};

} // namespace kavrodoc
