#pragma once
// The decisions of the practice road that do not need a window: weapon coefficients, the seconds
// kept around a shot, the per-shooter settings key, the automatic-save rule and the events the
// start-practice dialog lists.
#include "kavrodoc.h"

#include <QString>

namespace kavro::practice {

// The aiming attribute FCoefficient that an event suggests.
int presetFCoefficient(IEventParams* event);

// A stored per-shooter coefficient counts only inside this range.
constexpr int kMinStoredFCoefficient = 5;
constexpr int kMaxStoredFCoefficient = 100;

// The settings key (under the settings root) of a shooter's values for an event. The names are
// escaped so that a "\" or "/" in them cannot reach another key.
QString shooterEventKeyPath(const QString& shooterName, const QString& eventShortName);
// The stored coefficient, or 0 when none is stored or it is out of range.
int LoadFCoefficient(const QString& eventShortName, const QString& shooterName);
bool SaveFCoefficient(const QString& eventShortName, const QString& shooterName, int value);

// Seconds of trace kept before and after a shot: the options', except for events that need
// longer or shorter windows.
struct ShotSeconds {
    int before;
    int after;
};
ShotSeconds shotSecondsFor(const QString& eventShortName, int optionBefore, int optionAfter);

// The automatic save is due once the match shots since the last one reach the configured count
// (an aiming with several shots may step past it).
inline bool autoSaveDue(bool enabled, int shotsSinceSave, int every)
{
    return enabled && every > 0 && shotsSinceSave >= every;
}

// The first trace index of the `count` newest points ending at `last`, within [first, last]; a
// count of 0 or less gives last + 1 (nothing to post).
int firstNewPoint(int first, int last, int count);

// The document's device text: the model name and the serial number.
QString deviceText(const QString& modelName, const QString& serialNumber);

// Serial sensors are looked for when the option is on, or for one run when the environment sets
// KAVRO_ENABLE_RS232=1 (the simulated sensor of scripts/run.sh), leaving the user's settings.
bool serialSensorsEnabled(bool option);

// --- the start-practice dialog's event list ---------------------------------------------------
struct EventFilter {
    bool issf = true;
    bool nra = true;
    bool military = true;
    bool other = true;
};

// A list filtered by nothing would be empty: with every box off, ISSF is on.
void keepOneFilterOn(EventFilter* filter);

// An image sensor's working distance restricts the list when `sensorRestricted` is set.
bool eventPasses(IEventParams* event, const EventFilter& filter, bool sensorRestricted, int distance);
// "Prone", "Standing", "Kneeling" for three-position events, "Prone", "Standing" for biathlon,
// none otherwise; `selected` gets the index preselected.
QStringList initialPositions(IEventParams* event, int* selected);

} // namespace kavro::practice
