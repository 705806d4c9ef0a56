#pragma once
// The trace control's smooth zoom: from its level to a goal in the time the model gives, stepped
// by a timer whose first step comes soon and the next ones at a steady pace.
#include <QTimer>

#include <cstdint>
#include <functional>

namespace kavro::trace {

class ZoomAnimation {
public:
    // `step` runs at every tick of the timer; it asks levelAt for the level to show.
    explicit ZoomAnimation(std::function<void()> step);

    void start(float from, float goal, uint32_t nowTick);
    void stop();
    bool running() const { return running_; }
    // The level at `nowTick`; the animation ends when it reaches its goal.
    float levelAt(uint32_t nowTick);

private:
    QTimer stepTimer_;
    uint32_t startTick_ = 0;
    float from_ = 0, goal_ = 0;
    bool running_ = false;
};

} // namespace kavro::trace
