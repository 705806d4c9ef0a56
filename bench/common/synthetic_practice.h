#pragma once
// Practices recorded as a sensor would record them, made by the document model for benchmarks
// that need real documents: smooth aiming movement with noise, a trigger channel, and a shot one
// second before each aiming ends.
#include "com/classregistry.h"
#include "kavro_document.h"

#include <chrono>
#include <cmath>
#include <cstdint>

namespace bench {

inline constexpr int kSampleRate = 500;
inline constexpr DATE kPracticeStart = 45123.375;

inline double secondsOf(auto&& f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Aiming n of a practice: `seconds` of samples 70 s apart; `noiseBits` sets how rough the trace
// is, and so how well it compresses.
inline ComPtr<IAiming> recordedAiming(IEventParams* event, int n, int seconds, int noiseBits)
{
    ComPtr<IAiming> aiming;
    createInstance(kavrodoc::CLSID_Aiming, &aiming);
    ComPtr<IAimingAttr> attr;
    ComPtr<IAimingTrace> trace;
    aiming->get_Attr(attr.put());
    aiming->get_Trace(trace.put());
    attr->put_SampleRate(kSampleRate);
    attr->put_Event(event);
    attr->put_Match(VARIANT_TRUE);
    attr->put_EnterTime(kPracticeStart + n * 70.0 / 86400);
    trace->put_WrapEnabled(VARIANT_FALSE);
    int32_t trigger = 0;
    trace->AddUserData(QStringLiteral("_trigger"), &trigger);
    uint32_t noise = 12345u + uint32_t(n);
    const uint32_t mask = (1u << noiseBits) - 1;
    const int samples = seconds * kSampleRate;
    for (int i = 0; i < samples; ++i) {
        noise = noise * 1103515245u + 12345u;
        const double t = i / double(kSampleRate) + n;
        trace->_Add(int32_t(900 * std::sin(t * 0.7) + 80 * std::sin(t * 9.0) + (noise >> (32 - noiseBits))),
                    int32_t(700 * std::cos(t * 0.5) + 60 * std::cos(t * 7.0) + ((noise >> (28 - noiseBits)) & mask)));
        trace->put_UserData(trigger, i, i > samples - kSampleRate ? 1 : 0);
        if (i == samples - kSampleRate) {
            ComPtr<IShot> shot;
            aiming->AddShot(VARIANT_FALSE, shot.put());
            shot->put_ShotTime(kPracticeStart + (n * 70.0 + seconds - 1) / 86400);
        }
    }
    trace->put_ReadOnly(VARIANT_TRUE);
    return aiming;
}

// The event a benchmark's practices are shot in (10 m air rifle), or null without event files.
inline ComPtr<IEventParams> airRifle()
{
    ComPtr<IEventManager> manager;
    createInstance(kavrodoc::CLSID_EventManager, &manager);
    ComPtr<IEventParams> event;
    if (manager)
        manager->FindByShortName(QStringLiteral("AR10"), event.put());
    return event;
}

} // namespace bench
