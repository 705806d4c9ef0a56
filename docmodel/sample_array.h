#pragma once
// One sample channel of a trace: 32-bit integers while recording, 16-bit once narrowed when
// every value fits. Exactly one of the two vectors is in use.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kavrodoc {

class SampleArray {
public:
    bool isNarrow() const { return narrow_; }
    size_t capacity() const { return narrow_ ? small_.size() : wide_.size(); }
    int32_t at(size_t i) const { return narrow_ ? small_[i] : wide_[i]; }
    const int32_t* wideData() const { return wide_.data(); }
    const int16_t* narrowData() const { return small_.data(); }

    // Sets a value; a value outside the 16-bit range widens a narrow array first.
    void set(size_t i, int32_t v);
    // New 32-bit storage of `capacity` zeros.
    void reset(size_t capacity);
    // Adopts decoded values.
    void assign(std::vector<int32_t> values);
    void assign(std::vector<int16_t> values);
    // Keeps `count` values from `start`, moved to the front; the capacity becomes `newCapacity`.
    void repack(size_t start, size_t count, size_t newCapacity);
    // The same into a new array, this one unchanged.
    SampleArray repacked(size_t start, size_t count, size_t newCapacity) const;
    // Passes to 16-bit form when every value fits; false when one does not.
    bool narrow();
    void widen();

private:
    std::vector<int32_t> wide_;
    std::vector<int16_t> small_;
    bool narrow_ = false;
};

} // namespace kavrodoc
