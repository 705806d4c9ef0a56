#pragma once
// A sink that writes down every event of the control, with positions in mm to two decimals, so
// that tests compare whole sequences.
#include "target_support.h"

#include <functional>
#include <string>
#include <vector>

namespace kt {

class EventLog final : public ComObject<EventLog, _ITargetEvents> {
public:
    std::vector<std::string> events;
    // Runs after each event is written down, with its name: lets a test act as a host would.
    std::function<void(const std::string&)> onEvent;

    HRESULT SelectionChanged() override { return note("SelectionChanged"); }
    HRESULT ZoomChanged() override { return note("ZoomChanged"); }
    HRESULT LeftClick(float x, float y) override { return note("LeftClick", x, y); }
    HRESULT MiddleClick(float x, float y) override { return note("MiddleClick", x, y); }
    HRESULT RightClick(float x, float y) override { return note("RightClick", x, y); }
    HRESULT DblClick(float x, float y) override { return note("DblClick", x, y); }
    HRESULT StartDrag(IAiming*, IShot*, float x, float y) override { return note("StartDrag", x, y); }
    HRESULT Drag(IAiming*, IShot*, float x, float y) override { return note("Drag", x, y); }
    HRESULT EndDrag(IAiming*, IShot*, float x, float y) override { return note("EndDrag", x, y); }
    HRESULT DragAborted(IAiming*, IShot*) override { return note("DragAborted"); }
    HRESULT StartReplay() override { return note("StartReplay"); }
    HRESULT ReplayPositionChanged() override { return note("ReplayPositionChanged"); }
    HRESULT EndReplay() override { return note("EndReplay"); }
    HRESULT PauseReplay() override { return note("PauseReplay"); }

    void attach(CTarget* target)
    {
        uint32_t cookie = 0;
        EXPECT_EQ(adviseSink(target->identity(), _ITargetEvents::iid, identity(), &cookie), S_OK);
    }
    int count(const std::string& name) const
    {
        int n = 0;
        for (const std::string& e : events)
            n += e.rfind(name, 0) == 0 && (e.size() == name.size() || e[name.size()] == ' ');
        return n;
    }
    std::vector<std::string> take() { return std::exchange(events, {}); }

private:
    HRESULT note(const std::string& name)
    {
        events.push_back(name);
        if (onEvent)
            onEvent(name);
        return S_OK;
    }
    HRESULT note(const std::string& name, float x, float y)
    {
        char text[64];
        std::snprintf(text, sizeof text, " %.2f %.2f", double(x), double(y));
        events.push_back(name + text);
        if (onEvent)
            onEvent(name);
        return S_OK;
    }
};

// Rings of diameters 50, 40, 30, 20, 16, 12, 8, 6, 4, 2 mm for scores 1..10.
inline void putRings(IEventParams* event)
{
    ComPtr<ITargetParams> params;
    event->get_Target(1, params.put());
    const float rings[10] = {50, 40, 30, 20, 16, 12, 8, 6, 4, 2};
    for (int32_t i = 1; i <= 10; ++i)
        params->put_Ring(i, rings[i - 1]);
}

inline void putRing(IEventParams* event, int32_t score, float diameter)
{
    ComPtr<ITargetParams> params;
    event->get_Target(1, params.put());
    params->put_Ring(score, diameter);
}

inline ComPtr<IShot> shotOf(IAiming* aiming, int32_t index = 1)
{
    ComPtr<IShot> shot;
    EXPECT_EQ(aiming->Shot(index, shot.put()), S_OK);
    return shot;
}

} // namespace kt
