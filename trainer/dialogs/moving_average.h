#pragma once
// The mean of the last values added, up to a capacity; the oldest drops out of a full ring.
#include <vector>

namespace kavro::trainer {

class CMovingAverage {
public:
    explicit CMovingAverage(int capacity = 20) { Reset(capacity); }

    void Reset(int capacity);
    void Add(float value);

    int count() const { return count_; }
    int capacity() const { return int(ring_.size()); }
    bool isFull() const { return count_ == capacity(); }
    float average() const { return count_ ? float(sum_ / count_) : 0.0f; }
    float lastValue() const { return last_; }

private:
    std::vector<float> ring_;
    int head_ = 0; // the slot the next value goes into
    int count_ = 0;
    double sum_ = 0;
    float last_ = 0;
};

} // namespace kavro::trainer
