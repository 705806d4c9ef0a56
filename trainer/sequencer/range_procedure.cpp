#include "range_procedure.h"

#include <array>

namespace kavro::trainer {

namespace {

using namespace RangeState;
using Act = RangeAction;

// Sighting window of 5 shots, then match windows of 5 shots up to 30, each 5 minutes at most.
constexpr RangeStep kSp1[] = {
    {.state = Preparing, .action = Act::Prepare, .sound = "Load"},
    {.state = SightingRed, .action = Act::Light, .ms = 5000, .sound = "Attention", .light = RangeLight::Red},
    {.state = SightingGreen, .action = Act::Light, .ms = 7000, .light = RangeLight::Green},
    {.state = SightingWindow, .action = Act::CloseWindow, .ms = 300000, .count = 5, .sound = "Unload"},
    {.state = MatchSetUp, .action = Act::SetSeriesTarget, .count = 5},
    {.state = AwaitingContinue, .action = Act::Continue, .sound = "Load"},
    {.state = MatchRed, .action = Act::Light, .ms = 5000, .sound = "Attention", .light = RangeLight::Red},
    {.state = MatchGreen, .action = Act::Light, .ms = 7000, .light = RangeLight::Green},
    {.state = MatchWindow, .action = Act::CloseWindow, .ms = 300000, .sound = "Unload", .match = true},
    {.state = SeriesOver, .action = Act::NextSeries, .count = 5, .end = SeriesEnd::MatchShotsReach, .limit = 30},
    {.state = Finishing, .action = Act::Stop},
};

// Single shots, each in a window of 3.2 s after red light: five sighting shots, then series of five
// up to `shots`; the final announces its series.
constexpr std::array<RangeStep, 11> singleShots(const char* sightingLoad, const char* firstLoad, const char* nextLoad,
                                                int shots)
{
    return {{
        {.state = Preparing, .action = Act::Prepare, .count = 1, .sound = sightingLoad},
        {.state = SightingRed, .action = Act::Light, .ms = 5000, .sound = "Attention", .light = RangeLight::Red},
        {.state = SightingGreen, .action = Act::Light, .ms = 7000, .light = RangeLight::Green},
        {.state = SightingWindow, .action = Act::SingleShot, .ms = 3200, .count = 5, .sound = "Unload"},
        {.state = MatchSetUp, .action = Act::SetSeriesTarget, .count = 1},
        {.state = AwaitingContinue, .action = Act::Continue, .sound = nextLoad, .firstSound = firstLoad},
        {.state = MatchRed, .action = Act::Light, .ms = 5000, .sound = "Attention", .light = RangeLight::Red},
        {.state = MatchGreen, .action = Act::Light, .ms = 7000, .light = RangeLight::Green},
        {.state = MatchWindow, .action = Act::SingleShot, .ms = 3200, .count = 5, .sound = "Unload", .match = true},
        {.state = SeriesOver, .action = Act::NextSeries, .count = 1, .end = SeriesEnd::SeriesTargetIs, .limit = shots},
        {.state = Finishing, .action = Act::Stop},
    }};
}

constexpr auto kSp2 = singleShots("Load", nullptr, "Load", 30);
constexpr auto kSpf = singleShots("For the sighting series - load", "For the first competion series - load",
                                  "For the next competition series - load", 10);

// Single shots in groups of four, without spoken commands; repeats until stopped.
constexpr RangeStep kN4tl3[] = {
    {.state = Preparing, .action = Act::Prepare, .count = 1},
    {.state = SightingRed, .action = Act::Light, .ms = 5000, .light = RangeLight::Red},
    {.state = SightingGreen, .action = Act::Light, .ms = 7000, .light = RangeLight::Green},
    {.state = SightingWindow, .action = Act::SingleShot, .ms = 3000, .count = 4},
    {.state = MatchSetUp, .action = Act::SetSeriesTarget, .count = 1},
    {.state = AwaitingContinue, .action = Act::Continue},
    {.state = MatchRed, .action = Act::Light, .ms = 3000, .light = RangeLight::Red},
    {.state = MatchGreen, .action = Act::Light, .ms = 3000, .light = RangeLight::Green},
    {.state = MatchWindow, .action = Act::SingleShot, .ms = 3000, .count = 4, .match = true},
    {.state = SeriesOver, .action = Act::NextSeries, .count = 1},
};

// Windows of 15 s for four shots; repeats until stopped.
constexpr RangeStep kN4tl15[] = {
    {.state = Preparing, .action = Act::Prepare},
    {.state = SightingRed, .action = Act::Light, .ms = 5000, .sound = "Attention", .light = RangeLight::Red},
    {.state = SightingGreen, .action = Act::Light, .ms = 7000, .light = RangeLight::Green},
    {.state = SightingWindow, .action = Act::CloseWindow, .ms = 15000, .count = 4},
    {.state = MatchSetUp, .action = Act::SetSeriesTarget, .count = 4},
    {.state = AwaitingContinue, .action = Act::Continue},
    {.state = MatchRed, .action = Act::Light, .ms = 5000, .light = RangeLight::Red},
    {.state = MatchGreen, .action = Act::Light, .ms = 7000, .light = RangeLight::Green},
    {.state = MatchWindow, .action = Act::CloseWindow, .ms = 15000, .match = true},
    {.state = SeriesOver, .action = Act::NextSeries, .count = 4},
};

// Series of five runs of the moving target, each run `runMs` long; repeats until stopped. The light
// stays red between the runs.
constexpr std::array<RangeStep, 11> movingTarget(uint32_t runMs)
{
    return {{
        {.state = Preparing, .action = Act::Prepare},
        {.state = SightingRed, .action = Act::Light, .ms = 5000, .light = RangeLight::Red},
        {.state = SightingGreen, .action = Act::Light, .ms = 7000, .light = RangeLight::Green},
        {.state = SightingWindow, .action = Act::CloseWindow, .ms = 15000, .count = 5},
        {.state = MatchSetUp, .action = Act::SetSeriesTarget, .count = 5},
        {.state = AwaitingContinue, .action = Act::Continue},
        {.state = MatchRed, .action = Act::Light, .ms = 5000, .sound = "Attention", .light = RangeLight::Red},
        {.state = MatchGreen, .action = Act::Light, .ms = 7000, .sound = "beep-start", .light = RangeLight::Green},
        {.state = MatchWindow,
         .action = Act::CloseWindow,
         .ms = runMs,
         .sound = "beep-stop",
         .light = RangeLight::Red,
         .match = true},
        {.state = SeriesOver, .action = Act::Light, .ms = 7000, .sound = "Unload", .light = RangeLight::Red},
        {.state = Finishing, .action = Act::NextSeries, .count = 5},
    }};
}

constexpr auto kMoving10 = movingTarget(10000);
constexpr auto kMoving8 = movingTarget(8000);
constexpr auto kMoving6 = movingTarget(6000);

// The engine tests the states once each per pass, in the order of the table; a single shot's series
// size divides, and the state before it opens the window again.
constexpr bool wellFormed(std::span<const RangeStep> steps)
{
    for (size_t i = 0; i < steps.size(); ++i) {
        if (i > 0 && steps[i].state <= steps[i - 1].state)
            return false;
        if (steps[i].action == Act::SingleShot
            && (steps[i].count < 1 || i == 0 || steps[i - 1].state != steps[i].state - 1
                || steps[i - 1].light != RangeLight::Green))
            return false;
    }
    return true;
}
static_assert(wellFormed(kSp1) && wellFormed(kSp2) && wellFormed(kSpf) && wellFormed(kN4tl3) && wellFormed(kN4tl15)
              && wellFormed(kMoving10));

} // namespace

std::span<const RangeStep> rangeProcedure(TargetKind::Kind kind)
{
    switch (kind) {
    case TargetKind::SP1: return kSp1;
    case TargetKind::SP2: return kSp2;
    case TargetKind::SPF: return kSpf;
    case TargetKind::N4TL3: return kN4tl3;
    case TargetKind::N4TL15: return kN4tl15;
    case TargetKind::Moving10: return kMoving10;
    case TargetKind::Moving8: return kMoving8;
    case TargetKind::Moving6: return kMoving6;
    default: return {};
    }
}

} // namespace kavro::trainer
