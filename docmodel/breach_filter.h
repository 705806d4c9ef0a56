#pragma once
// The filtered breach point of a trace sample: the sample moved along the trace's tangent by
// F milliseconds' worth of samples, the tangent taken from a parabola through the sample and
// the two before it. Shots use it at their own trace index; ranges at any relative index.
#include "kavrodoc.h"

namespace kavrodoc {

// `traceIndex` is the absolute trace index of the sample; a NaN phase counts as 1. A trace
// without samples gives (0, 0); without two valid samples before the index, the raw sample.
HRESULT filteredBreachPoint(IAimingTrace* trace, int64_t traceIndex, int32_t fCoefficient, int32_t sampleRate,
                            double microphonePhase, float* x, float* y);

} // namespace kavrodoc
