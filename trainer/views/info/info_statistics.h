#pragma once
// The statistics of the information page for one practice (the document or its model), computed
// from the document alone so that the page, the printed report and the tests share one answer.
#include "kavrodoc.h"

#include <optional>

class CKavroDoc;

namespace kavro::info {

struct InfoStatisticsInput {
    IEventParams* event = nullptr;
    IShotCollection* matchShots = nullptr; // in shooting order
    IAimingCollection* matchAimings = nullptr; // for the two-position interval stability
    float traceSeconds = 1.0f;
    int fCoefficient = 0;
    bool centreGroups = false; // the centred result is then neither computed nor shown
    bool validShotTimes = false; // dates, times and intervals only when the times are real
    bool standingProne = false; // the two-target layout
    bool showHidden = false; // hidden shots count in the two-target interval stability
    std::optional<float> steadinessDiameter; // the document's stand-in for a ring 10 of 0
};

struct InfoStatistics {
    int matchShots = 0;
    int hits = 0;
    int standingShots = 0, proneShots = 0; // two-target layout only
    int resultInt = 0;
    float resultDecimal = 0;
    double resultAverage = 0; // valid when matchShots > 0
    bool hasCentredResult = false;
    float resultCentred = 0;
    DATE dateTime = 0; // 0 without valid times
    bool hasTimes = false;
    double totalTime = 0; // days
    bool hasIntervals = false; // at least two match shots with valid times
    double shortestInterval = 0, longestInterval = 0; // days
    int intervalStability = 0; // per cent
    float diametralDispersion = 0;
    float stabilityOfAiming = 0;
    float accuracyOfShooting = 0; // needs two hits
    bool hasSteadiness = false;
    int avgSteadiness = 0; // per cent
    float avgLength = 0, avgLengthX = 0, avgLengthY = 0;
    float ellipticalGroup = 0; // needs two hits
    float ellipticalTrace = 0;
    float meanBreachX = 0, meanBreachY = 0;

    // Average time per shot; empty when there is no shot or no time to share.
    std::optional<double> averageTimePerShot() const;
};

InfoStatistics ComputeInfoStatistics(const InfoStatisticsInput& input);

// The two columns of the page as the wrapper's state gives them; nullopt without a document or
// model.
std::optional<InfoStatistics> documentStatistics(CKavroDoc& doc);
std::optional<InfoStatistics> modelStatistics(CKavroDoc& doc);

} // namespace kavro::info
