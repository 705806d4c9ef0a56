#include "moving_average.h"

#include <algorithm>

namespace kavro::trainer {

void CMovingAverage::Reset(int capacity)
{
    ring_.assign(size_t(std::max(1, capacity)), 0.0f);
    head_ = 0;
    count_ = 0;
    sum_ = 0;
}

void CMovingAverage::Add(float value)
{
    if (count_ == capacity())
        sum_ -= ring_[size_t(head_)]; // the oldest sits where the new one goes
    else
        ++count_;
    ring_[size_t(head_)] = value;
    head_ = (head_ + 1) % capacity();
    sum_ += value;
    last_ = value;
}

} // namespace kavro::trainer
