#include "sample_array.h"

#include <algorithm>

namespace kavrodoc {

namespace {
bool fits16(int32_t v)
{
    return v >= -32768 && v <= 32767;
}
} // namespace

SampleArray::SampleArray(const SampleArray& other)
    : ownWide_(other.ownWide_), ownSmall_(other.ownSmall_), block_(other.block_), wide_(other.wide_),
      small_(other.small_), size_(other.size_), narrow_(other.narrow_)
{
    if (!block_)
        pointAtOwn();
}

// Moving a vector keeps its buffer, so the read pointers stay valid.
SampleArray::SampleArray(SampleArray&& other) noexcept
    : ownWide_(std::move(other.ownWide_)), ownSmall_(std::move(other.ownSmall_)), block_(std::move(other.block_)),
      wide_(other.wide_), small_(other.small_), size_(other.size_), narrow_(other.narrow_)
{
    other.ownWide_.clear();
    other.ownSmall_.clear();
    other.narrow_ = false;
    other.pointAtOwn();
}

SampleArray& SampleArray::operator=(const SampleArray& other)
{
    SampleArray copy(other);
    swap(copy);
    return *this;
}

SampleArray& SampleArray::operator=(SampleArray&& other) noexcept
{
    SampleArray moved(std::move(other));
    swap(moved);
    return *this;
}

void SampleArray::swap(SampleArray& other) noexcept
{
    ownWide_.swap(other.ownWide_);
    ownSmall_.swap(other.ownSmall_);
    block_.swap(other.block_);
    std::swap(wide_, other.wide_);
    std::swap(small_, other.small_);
    std::swap(size_, other.size_);
    std::swap(narrow_, other.narrow_);
}

void SampleArray::pointAtOwn()
{
    wide_ = ownWide_.data();
    small_ = ownSmall_.data();
    size_ = narrow_ ? ownSmall_.size() : ownWide_.size();
}

// Copies shared values in before a change; the block is let go only once the copy is made.
void SampleArray::own()
{
    if (!block_)
        return;
    if (narrow_)
        ownSmall_.assign(small_, small_ + size_);
    else
        ownWide_.assign(wide_, wide_ + size_);
    block_.reset();
    pointAtOwn();
}

void SampleArray::set(size_t i, int32_t v)
{
    own();
    if (narrow_ && !fits16(v))
        widen();
    if (narrow_)
        ownSmall_[i] = int16_t(v);
    else
        ownWide_[i] = v;
}

void SampleArray::reset(size_t capacity)
{
    SampleVector<int32_t> fresh(capacity, 0);
    assign(std::move(fresh));
}

void SampleArray::assign(SampleVector<int32_t> values)
{
    ownWide_ = std::move(values);
    ownSmall_.clear();
    ownSmall_.shrink_to_fit();
    block_.reset();
    narrow_ = false;
    pointAtOwn();
}

void SampleArray::assign(SampleVector<int16_t> values)
{
    ownSmall_ = std::move(values);
    ownWide_.clear();
    ownWide_.shrink_to_fit();
    block_.reset();
    narrow_ = true;
    pointAtOwn();
}

void SampleArray::share(std::shared_ptr<const void> block, const int32_t* values, size_t count)
{
    assign(SampleVector<int32_t>());
    block_ = std::move(block);
    wide_ = values;
    size_ = count;
}

void SampleArray::share(std::shared_ptr<const void> block, const int16_t* values, size_t count)
{
    assign(SampleVector<int16_t>());
    block_ = std::move(block);
    small_ = values;
    size_ = count;
}

template <class V> static void repackVector(V& v, size_t start, size_t count, size_t newCapacity)
{
    if (newCapacity == v.size()) {
        std::copy(v.begin() + start, v.begin() + start + count, v.begin());
        std::fill(v.begin() + count, v.end(), 0);
        return;
    }
    V fresh(newCapacity, 0);
    std::copy(v.begin() + start, v.begin() + start + count, fresh.begin());
    v.swap(fresh);
}

void SampleArray::repack(size_t start, size_t count, size_t newCapacity)
{
    own();
    if (narrow_)
        repackVector(ownSmall_, start, count, newCapacity);
    else
        repackVector(ownWide_, start, count, newCapacity);
    pointAtOwn();
}

template <class T> static SampleVector<T> packedCopy(const T* v, size_t start, size_t count, size_t newCapacity)
{
    SampleVector<T> out(newCapacity);
    std::copy(v + start, v + start + count, out.begin());
    std::fill(out.begin() + count, out.end(), 0);
    return out;
}

SampleArray SampleArray::repacked(size_t start, size_t count, size_t newCapacity) const
{
    SampleArray out;
    if (narrow_)
        out.assign(packedCopy(small_, start, count, newCapacity));
    else
        out.assign(packedCopy(wide_, start, count, newCapacity));
    return out;
}

bool SampleArray::narrow()
{
    if (narrow_)
        return true;
    if (!std::all_of(wide_, wide_ + size_, fits16))
        return false;
    assign(SampleVector<int16_t>(wide_, wide_ + size_));
    return true;
}

void SampleArray::widen()
{
    if (!narrow_)
        return;
    assign(SampleVector<int32_t>(small_, small_ + size_));
}

} // namespace kavrodoc
