#pragma once
// What the trace view draws on its control besides the aiming: the options' colours and time
// intervals of the trace, the cross and label of the shown shot, and the running time counter.
#include "kavrodoc.h"
#include "kavrogui.h"

#include <QString>

#include <optional>

namespace kavro {
class AppOptions;
}

namespace kavro::trace {

// Heading, trace colours before and after the shot, the control interval of `traceSeconds`
// before the shot and, in advanced mode, the options' own intervals.
void applyTraceLook(ITarget* target, const AppOptions& options, float traceSeconds);

// Marks the average aiming point of the shot's control interval with a cross (not for a missed
// shot) and returns the shot's label: the result when given, the trace length when the options
// ask for it.
QString markShot(ITarget* target, IShot* shot, std::optional<float> result, float traceSeconds,
                 const AppOptions& options);

// " <time since the first match shot's aiming began> "; empty without that time.
QString timeCounterText(IShotCollection* matchShots, DATE now);

} // namespace kavro::trace
