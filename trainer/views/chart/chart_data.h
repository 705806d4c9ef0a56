#pragma once
// What the six analysis charts show, computed from the document model alone: each Recalc fills
// chart engines from a ChartContext that the views gather from the document wrapper, so tests
// run them without a window.
#include "chart_impl.h"
#include "doc_helpers.h"
#include "doc_pulse.h"
#include "kavrodoc.h"

#include <functional>
#include <utility>
#include <vector>

namespace kavro::charts {

// String ids of the chart texts (the English texts are in the trainer's charts string table).
enum ChartText : int {
    kTextProne = 32824,
    kTextStanding = 32825,
    kTextModel = 32830, // "Model: %i match shots"
    kTextCoordination = 32829, // "Coordination: %i match shots"
    kTextTimeBeforeShot = 32831,
    kTextDistance = 32832,
    kTextResult = 32833,
    kTextTimeShift = 32834, // "Time shift: %i match shots"
    kTextSpeedAxis = 32835,
    kTextSpeed = 32836, // "Speed: %i match shots"
    kTextProbability = 32837,
    kTextBulletDispersion = 32838,
    kTextTime = 32839,
    kTextCalcProbability = 32843,
    kTextCalcSpeed = 32844,
    kTextCalcTimeShift = 32845,
    kTextCalcCoordination = 32846,
    kTextAbsoluteDistance = 32855,
    kTextDisplacementX = 32856,
    kTextDisplacementY = 32857,
    kTextFirstShot = 32858,
    kTextLastShot = 32859,
    kTextShotDetails = 61219,
    kTextCurrentShot = 61281,
    kTextTrigger = 61282,
    kTextPulse = 61287,
};

// Progress of a long recalculation on the main frame's bar; every member may be a no-op.
struct ChartProgress {
    virtual ~ChartProgress() = default;
    virtual void begin(int textId, int range) = 0;
    virtual void step() = 0;
    virtual void end() = 0;
};

// The time around the shot that the curves cover: from `window` seconds before it to 0.3 s after;
// `before` seconds of it are the stored trace (the shaded band).
struct TimeWindow {
    double before = 1.0;
    double window = 1.0;
};
TimeWindow timeWindow(float traceSeconds, bool showControlInterval2, int controlInterval2);

// The document state the charts read. Collections follow the wrapper's switches: matchShots are
// the match shots of the all-shots list (hidden ones only while shown), modelShots the model's
// shots without hidden ones.
struct ChartContext {
    bool hasDocument = false;
    ComPtr<IEventParams> event;
    TargetKind::Kind targetKind = TargetKind::None;
    ComPtr<IShotCollection> matchShots;
    ComPtr<IAimingCollection> matchAimings;
    ComPtr<IShotCollection> modelShots;
    ComPtr<IShot> selectedShot;
    bool showHidden = false;
    int fCoefficient = 0;
    TimeWindow window;
    std::vector<PulseSample> pulse; // beats per minute
    COLORREF highlight = 0xD77800; // the desktop's selection colour
    std::function<QString(int)> text; // a string of the table by id
    std::function<std::pair<float, float>(float)> randomOffset; // the seedable spread helper
    ChartProgress* progress = nullptr;

    QString str(int id) const { return text ? text(id) : QString(); }
};

// A table text with its "%i" replaced by the count.
QString withCount(const QString& format, int count);

// The common frame of the time charts: the stored-trace band and the time labels, placed on the
// horizontal axis at `axisY`.
void addTimeFrame(CChartImpl& chart, const TimeWindow& w, double axisY);

// The same window around every shot of a collection (IShotCollection Range): the ranges, the
// first of them (for its seconds), and the requested index span common to all.
struct WindowRanges {
    int32_t shotCount = 0;
    ComPtr<IRangeCollection> ranges; // null when no shot gave a range
    ComPtr<IRange> first;
    int32_t requestedFirst = 0, requestedLast = -1;
};
WindowRanges windowRanges(IShotCollection* shots, const TimeWindow& w);

// Calls `each(part, shots)` for each wanted part: the match shots (part 0, `document`), then the
// model's (part 1, `model`).
void forEachWantedPart(const ChartContext& ctx, bool document, bool model,
                       const std::function<void(int part, IShotCollection* shots)>& each);

// The first of the rings 8 down to 1 whose half diameter reaches `value`, else `value`.
double roundUpToRing(ITargetParams* target, double value);

// ----- distance and coordination

void setupDistanceCharts(CChartImpl& top, CChartImpl& bottom, const ChartContext& ctx);
void recalcDistance(CChartImpl& top, CChartImpl& bottom, const ChartContext& ctx);

struct CoordinationState {
    int count[2] = {0, 0}; // document, model
    double max[2] = {0, 0};
};
void setupCoordinationChart(CChartImpl& chart, const ChartContext& ctx);
void recalcCoordination(CChartImpl& chart, CoordinationState& state, const ChartContext& ctx, bool document, bool model,
                        bool frame);

// ----- time shift and speed

struct TimeShiftState {
    int count[2] = {0, 0};
    double max[2] = {0, 0};
    double min[2] = {3.4028234663852886e38, 3.4028234663852886e38}; // FLT_MAX: not computed
    bool computed[2] = {false, false};
};
void setupTimeShiftChart(CChartImpl& chart, const ChartContext& ctx);
void recalcTimeShift(CChartImpl& chart, TimeShiftState& state, const ChartContext& ctx, bool document, bool model,
                     bool fractionMode);

struct SpeedState {
    int count[2] = {0, 0};
    double max[2] = {0, 0};
    double currentMax = 0;
};
void setupSpeedCharts(CChartImpl& top, CChartImpl& bottom, const ChartContext& ctx);
void recalcSpeed(CChartImpl& top, CChartImpl& bottom, SpeedState& state, const ChartContext& ctx, bool document,
                 bool model, bool current);

// ----- time intervals and probability

struct IntervalsState {
    DATE firstTime = 0, lastTime = 0;
    int count = 0;
    bool twoTargets = false;
    std::vector<ComPtr<IShot>> shots; // the shot of series k at k - 1
    std::vector<ComPtr<IAiming>> aimings; // its aiming (two-target events)
};
void setupIntervalsChart(CChartImpl& chart, const ChartContext& ctx);
void recalcIntervals(CChartImpl& chart, IntervalsState& state, const ChartContext& ctx);
// Recolours the bars for the current selection without recalculating.
void updateIntervalsSelection(CChartImpl& chart, const IntervalsState& state, const ChartContext& ctx);
// The match shot a click on series `seriesId` selects, or null.
ComPtr<IShot> intervalsShotForSeries(const IntervalsState& state, const ChartContext& ctx, int seriesId);

void setupProbabilityCharts(CChartImpl& top, CChartImpl& bottom, const ChartContext& ctx);
void recalcProbability(CChartImpl& top, CChartImpl& bottom, const ChartContext& ctx, bool fractionMode);

} // namespace kavro::charts
