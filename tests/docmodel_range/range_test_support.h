#pragma once
// The bundled shooting events, loaded once for the whole test program, and aimings with traces
// whose geometry the tests know.
#include "aiming.h"
#include "com/classregistry.h"
#include "kavrodoc.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace rangetest {

// The per-process event manager over the events built into the bin folder.
inline IEventManager* manager()
{
    static ComPtr<IEventManager> m = [] {
        qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR));
        ComPtr<IEventManager> created;
        createInstance(kavrodoc::CLSID_EventManager, &created);
        return created;
    }();
    return m.get();
}

inline ComPtr<IEventParams> event(const char* shortName)
{
    ComPtr<IEventParams> e;
    EXPECT_EQ(manager()->FindByShortName(QString::fromLatin1(shortName), e.put()), S_OK) << shortName;
    return e;
}

// An aiming of `event` at `rate` samples per second with the given samples (0.01 mm);
// kInvalidSample in x makes an invalid sample.
inline ComPtr<kavrodoc::CAiming> aiming(IEventParams* event, bool match, int32_t rate = 200,
                                        const std::vector<std::pair<int32_t, int32_t>>& points = {})
{
    auto a = kavrodoc::CAiming::create();
    auto attr = a->attr();
    auto trace = a->trace();
    EXPECT_EQ(attr->put_SampleRate(rate), S_OK);
    if (event) {
        EXPECT_EQ(attr->put_Event(event), S_OK);
    }
    attr->put_Match(toVariantBool(match));
    trace->put_WrapEnabled(VARIANT_FALSE);
    for (auto [x, y] : points) {
        HRESULT hr = x == IAimingTrace::kInvalidSample ? trace->AddInvalid() : trace->_Add(x, y);
        EXPECT_EQ(hr, S_OK);
    }
    return a;
}

inline ComPtr<IShot> addShot(IAiming* aiming, bool missed = false)
{
    ComPtr<IShot> shot;
    EXPECT_EQ(aiming->AddShot(toVariantBool(missed), shot.put()), S_OK);
    return shot;
}

} // namespace rangetest
