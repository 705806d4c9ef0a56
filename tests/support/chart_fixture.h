#pragma once
// Practices whose chart values can be worked out by hand, a realistic practice for pictures and
// benchmarks, and the chart context the views would gather for them.
#include "chart_data.h"
#include "kavrodoc.h"

#include <QImage>
#include <vector>

namespace charttest {

IEventParams* event(const char* shortName);

using Samples = std::vector<std::pair<int32_t, int32_t>>; // 0.01 mm

Samples constant(int n, int32_t x, int32_t y);
Samples line(int n, int32_t x0, int32_t dx, int32_t y = 0);

struct AimingSpec {
    bool match = true;
    int rate = 100;
    Samples before; // samples up to the shot (the shot is at the last of them)
    Samples after; // samples after the shot
    std::vector<int32_t> trigger; // one value per sample of before + after; empty: no channel
    bool hidden = false;
    bool missed = false;
    double shotTime = 0; // seconds after a fixed morning
    int subTarget = 1;
    int shots = 1; // further shots are taken at the same trace index
};

constexpr DATE kMorning = 45123.375;

// An aiming as described, not yet in a document; its shots are appended to `shots`.
ComPtr<IAiming> makeAiming(IEventParams* event, const AimingSpec& spec, std::vector<ComPtr<IShot>>* shots = nullptr);
ComPtr<IKavroDocument> makeDocument(const char* eventShortName, const std::vector<AimingSpec>& aimings);

// A practice of `shots` match shots and two sighting shots with wandering, settling traces, a
// trigger channel and shot times about 40 s apart.
ComPtr<IKavroDocument> realPractice(int shots, unsigned seed = 7);
std::vector<AimingSpec> realPracticeSpecs(int shots, unsigned seed = 7);

// What CKavroDoc hands the views for this document.
kavro::charts::ChartContext contextOf(IKavroDocument* doc, bool showHidden = false, IShot* selected = nullptr);

ComPtr<IShot> matchShot(const kavro::charts::ChartContext& ctx, int k);

std::vector<std::pair<double, double>> pointsOf(const kavro::charts::CChartImpl& chart, int id);

// A chart drawn on a white image of the size, at the resolution.
QImage render(const kavro::charts::CChartImpl& chart, int width, int height, int dpi = 96, bool printing = false,
              const kavro::charts::ChartFonts* fonts = nullptr);

} // namespace charttest
