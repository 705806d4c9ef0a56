#pragma once
// The user's options: one record for the whole program, built with its defaults before main(),
// read from the settings root's "Options" subkey at start and written back whole.
#include "com/hresult.h"
#include "settings/settings.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kavro {

// One additional coloured interval of the trace, in seconds relative to the shot.
struct TraceIntervalColor {
    COLORREF color = 0;
    float begin = 0.0f;
    float end = 0.0f;

    bool operator==(const TraceIntervalColor&) const = default;
};

// Bits of the change mask that CompareSettings returns: which displays need refreshing.
enum OptionsChange : uint32_t {
    kChangeShotSeconds = 0x001, // SaveSecBeforeShot, SaveSecAfterShot
    kChangePrint = 0x002, // any Print*
    kChangeShotList = 0x004, // any ShotList*
    kChangeReplaySpeed = 0x008,
    kChangeTraceColors = 0x010, // trace fields, breach colours, interval list
    kChangeTraceDisplay = 0x020, // TargetResult, TargetLen, DisplayTimeCounter
    kChangeSound = 0x040, // SoundEnabled, BlindGen
    kChangeBlindGenFreq = 0x080,
    kChangeFiringPoint = 0x100,
};

constexpr int kBlindGenFrequencyCount = 11;

class AppOptions {
public:
    AppOptions();

    // Reads root\Options (never creating it); false when the key cannot be opened. A missing,
    // unreadable or malformed value keeps its field; values outside what the options dialog can
    // set are brought into its range.
    bool Load(const SettingsKey& root);
    // Writes every field into root\Options (created when missing), in record order.
    bool Save(const SettingsKey& root) const;

    // Computes the change mask against `edited`, then takes every field of `edited`.
    uint32_t CompareSettings(const AppOptions& edited);

    void FreeTraceColors() { TraceIntervals.clear(); }

    // The "TraceColors" binary value of the current trace fields and intervals.
    QByteArray traceColorsValue() const;
    // Takes the trace fields and the intervals that the value holds from a "TraceColors" value;
    // false (nothing taken) when it is too short for its fixed fields.
    bool takeTraceColorsValue(const QByteArray& value);

    int ReplayAllPause;
    int ReplaySpeed;
    bool TargetResult;
    bool TargetLen;
    bool TargetSmoothZoom;
    bool AdvancedMode;
    bool ShowControlInterval2;
    bool ForceReplay;
    bool SoundEnabled;
    bool BlindGen;
    std::array<int, kBlindGenFrequencyCount> BlindGenFrequencies;
    bool EnableRS232;
    int FiringPoint;
    bool AutoReplay;
    bool AutoSwitchToTrace;
    bool EnableAutoSaveAfterShot;
    bool DisplayTimeCounter;
    int AutoReplaySec;
    int SaveSecBeforeShot;
    int SaveSecAfterShot;
    int AutoSaveAfterShot;
    float PiezoRejectInterval;
    bool PrintAllShots;
    bool PrintGenInfo;
    bool PrintSeries;
    bool PrintCoordination;
    bool PrintShift;
    bool PrintSpeed;
    bool PrintIntervals;
    bool PrintProbability;
    bool ShotListIndex;
    bool ShotListResult;
    bool ShotListTraceSpeed;
    bool ShotListTraceSpeed250;
    bool ShotListAimingTime;
    bool ShotListSteadiness6;
    bool ShotListSteadiness9;
    bool ShotListSteadiness10center;
    bool ShotListSteadiness10p5center;
    bool ShotListSteadiness10;
    bool ShotListSteadiness10p5;
    bool ShotListBreachFromAAP;
    bool TraceHeadingEnabled;
    float TraceHeadingLength;
    COLORREF TraceColorBefore;
    COLORREF TraceColorAfter;
    COLORREF TraceHeadingColor;
    COLORREF ControlIntervalColor;
    COLORREF BreachColor;
    COLORREF SelectedBreachColor;
    std::vector<TraceIntervalColor> TraceIntervals;
};

// The piezo sensitivity that calibration keeps under the settings root. A value its slider cannot
// give (a damaged or hand-edited file) is no choice of the user's and gives the default: at the
// low end every sample would count as a shot.
constexpr int kMinPiezoSensitivity = 5;
constexpr int kMaxPiezoSensitivity = 1023;
constexpr int kDefaultPiezoSensitivity = 40;
int LoadPiezoSensitivity(const SettingsKey& root);

// The one record of the program.
AppOptions& theAppOptions();

// Saves the program's record under the settings root; false when nothing could be written.
bool SaveOptions();

} // namespace kavro
