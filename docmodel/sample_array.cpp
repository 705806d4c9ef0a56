#include "sample_array.h"

#include <algorithm>

namespace kavrodoc {

namespace {
bool fits16(int32_t v)
{
    return v >= -32768 && v <= 32767;
}
} // namespace

void SampleArray::set(size_t i, int32_t v)
{
    if (narrow_ && !fits16(v))
        widen();
    if (narrow_)
        small_[i] = int16_t(v);
    else
        wide_[i] = v;
}

void SampleArray::reset(size_t capacity)
{
    SampleVector<int32_t> fresh(capacity, 0);
    wide_.swap(fresh);
    small_.clear();
    small_.shrink_to_fit();
    narrow_ = false;
}

void SampleArray::assign(SampleVector<int32_t> values)
{
    wide_ = std::move(values);
    small_.clear();
    small_.shrink_to_fit();
    narrow_ = false;
}

void SampleArray::assign(SampleVector<int16_t> values)
{
    small_ = std::move(values);
    wide_.clear();
    wide_.shrink_to_fit();
    narrow_ = true;
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
    if (narrow_)
        repackVector(small_, start, count, newCapacity);
    else
        repackVector(wide_, start, count, newCapacity);
}

SampleArray SampleArray::repacked(size_t start, size_t count, size_t newCapacity) const
{
    SampleArray out;
    out.narrow_ = narrow_;
    if (narrow_) {
        out.small_.resize(newCapacity);
        std::copy(small_.begin() + start, small_.begin() + start + count, out.small_.begin());
        std::fill(out.small_.begin() + count, out.small_.end(), 0);
    } else {
        out.wide_.resize(newCapacity);
        std::copy(wide_.begin() + start, wide_.begin() + start + count, out.wide_.begin());
        std::fill(out.wide_.begin() + count, out.wide_.end(), 0);
    }
    return out;
}

bool SampleArray::narrow()
{
    if (narrow_)
        return true;
    if (!std::all_of(wide_.begin(), wide_.end(), fits16))
        return false;
    SampleVector<int16_t> s(wide_.begin(), wide_.end());
    small_.swap(s);
    wide_.clear();
    wide_.shrink_to_fit();
    narrow_ = true;
    return true;
}

void SampleArray::widen()
{
    if (!narrow_)
        return;
    SampleVector<int32_t> w(small_.begin(), small_.end());
    wide_.swap(w);
    small_.clear();
    small_.shrink_to_fit();
    narrow_ = false;
}

} // namespace kavrodoc
