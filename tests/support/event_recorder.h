#pragma once
// A sink for the device control's events that writes each one down as text with its arguments
// ("NewCoordinates 1 3"; a shot the model marked missed as "Missed 1"), and keeps the aimings and
// shots the events carried.
#include "kavrodev.h"
#include "com/unknown.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace devtest {

using namespace kavro;

class RecordingSink final : public ComObject<RecordingSink, _IKavroDeviceEvents> {
public:
    HRESULT StartAiming(int32_t n, IAiming* a) override
    {
        aimings.push_back(a);
        return note("StartAiming " + std::to_string(n), a);
    }
    HRESULT NewCoordinates(int32_t n, IAiming* a, int32_t count) override
    {
        return note("NewCoordinates " + std::to_string(n) + " " + std::to_string(count), a);
    }
    HRESULT Shot(int32_t n, IAiming* a, IShot* s) override
    {
        shots.push_back(s);
        VARIANT_BOOL missed = VARIANT_FALSE;
        if (s)
            s->get_Missed(&missed);
        return note((missed != VARIANT_FALSE ? "Missed " : "Shot ") + std::to_string(n), a);
    }
    HRESULT ConcludeAiming(int32_t n, IAiming* a) override { return note("ConcludeAiming " + std::to_string(n), a); }
    HRESULT FinalConcludeAiming(int32_t n) override { return note("FinalConcludeAiming " + std::to_string(n)); }
    HRESULT PulseChanged(int32_t n, int32_t p) override
    {
        return note("PulseChanged " + std::to_string(n) + " " + std::to_string(p));
    }
    HRESULT Trigger(int32_t n, int32_t c) override
    {
        return note("Trigger " + std::to_string(n) + " " + std::to_string(c));
    }
    HRESULT HeartBeat(int32_t n, DATE a, DATE b) override
    {
        return note("HeartBeat " + std::to_string(n) + " " + std::to_string(a) + " " + std::to_string(b));
    }
    HRESULT Disconnected() override { return note("Disconnected"); }
    HRESULT Reconnected() override { return note("Reconnected"); }
    HRESULT Timeout(int32_t s) override { return note("Timeout " + std::to_string(s)); }

    void clear()
    {
        events.clear();
        aimings.clear();
        eventAimings.clear();
        shots.clear();
    }

    std::vector<std::string> events;
    std::vector<ComPtr<IAiming>> aimings; // each StartAiming's aiming
    std::vector<ComPtr<IAiming>> eventAimings; // the aiming of every event that carries one
    std::vector<ComPtr<IShot>> shots;
    std::function<void(const std::string&)> onEvent; // runs after the event was written down
    HRESULT result = S_OK; // what every event returns to the control

private:
    HRESULT note(std::string what, IAiming* a = nullptr)
    {
        if (a)
            eventAimings.push_back(a);
        events.push_back(what);
        if (onEvent)
            onEvent(what);
        return result;
    }
};

// Every event that carried an aiming carried the same one, which holds exactly the one shot that
// was reported: a hit.
inline void expectOneAimingWithOneHit(const RecordingSink& sink)
{
    ASSERT_FALSE(sink.eventAimings.empty());
    for (const auto& a : sink.eventAimings)
        EXPECT_EQ(a, sink.eventAimings.front());
    int32_t shots = 0;
    ASSERT_EQ(sink.eventAimings.front()->get_ShotCount(&shots), S_OK);
    EXPECT_EQ(shots, 1);
    ASSERT_EQ(sink.shots.size(), 1u);
    VARIANT_BOOL missed = VARIANT_TRUE;
    ASSERT_EQ(sink.shots[0]->get_Missed(&missed), S_OK);
    EXPECT_EQ(missed, VARIANT_FALSE);
}

} // namespace devtest
