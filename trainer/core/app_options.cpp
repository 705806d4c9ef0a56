#include "app_options.h"

#include "app_registry.h"
#include "com/numeric.h"
#include "com/olecolor.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kavro {

namespace {

const QString kOptionsKey = QStringLiteral("Options");
const QString kTraceColors = QStringLiteral("TraceColors");
const QString kBreachColor = QStringLiteral("BreachColor");
const QString kSelectedBreachColor = QStringLiteral("SelectedBreachColor");
// Whole seconds lose the user's value (0.5 s would come back as 0); the milliseconds are read
// first, the seconds stay for older settings and older programs.
const QString kPiezoRejectMs = QStringLiteral("PiezoRejectIntervalMs");

// The DWORD values in the order they are written, with the range the options dialog allows.
// A shot-list column shows only for a stored 1; other booleans are on for any value but 0.
enum class Kind { Int, Bool, ColumnFlag, Frequencies, Seconds };
struct DwordField {
    const char* name;
    Kind kind;
    int AppOptions::*intField;
    bool AppOptions::*boolField;
    int lo;
    int hi;
};

constexpr DwordField intField(const char* name, int AppOptions::*f, int lo, int hi)
{
    return {name, Kind::Int, f, nullptr, lo, hi};
}
constexpr DwordField boolField(const char* name, bool AppOptions::*f)
{
    return {name, Kind::Bool, nullptr, f, 0, 1};
}
constexpr DwordField columnFlag(const char* name, bool AppOptions::*f)
{
    return {name, Kind::ColumnFlag, nullptr, f, 0, 1};
}

const DwordField kDwordFields[] = {
    intField("ReplayAllPause", &AppOptions::ReplayAllPause, 1, 10),
    intField("ReplaySpeed", &AppOptions::ReplaySpeed, 10, 300),
    boolField("TargetResult", &AppOptions::TargetResult),
    boolField("TargetLen", &AppOptions::TargetLen),
    boolField("TargetSmoothZoom", &AppOptions::TargetSmoothZoom),
    boolField("AdvancedMode", &AppOptions::AdvancedMode),
    boolField("ShowControlInterval2", &AppOptions::ShowControlInterval2),
    boolField("ForceReplay", &AppOptions::ForceReplay),
    boolField("SoundEnabled", &AppOptions::SoundEnabled),
    boolField("BlindGen", &AppOptions::BlindGen),
    {"BlindGen%i", Kind::Frequencies, nullptr, nullptr, 0, 16000},
    boolField("EnableRS232", &AppOptions::EnableRS232),
    intField("FiringPoint", &AppOptions::FiringPoint, 1, 1000),
    boolField("AutoReplay", &AppOptions::AutoReplay),
    boolField("AutoSwitchToTrace", &AppOptions::AutoSwitchToTrace),
    boolField("EnableAutoSaveAfterShot", &AppOptions::EnableAutoSaveAfterShot),
    boolField("DisplayTimeCounter", &AppOptions::DisplayTimeCounter),
    intField("AutoReplaySec", &AppOptions::AutoReplaySec, 0, 60),
    intField("SaveSecBeforeShot", &AppOptions::SaveSecBeforeShot, 5, 60),
    intField("SaveSecAfterShot", &AppOptions::SaveSecAfterShot, 1, 2),
    intField("AutoSaveAfterShot", &AppOptions::AutoSaveAfterShot, 1, 20),
    {"PiezoRejectInterval", Kind::Seconds, nullptr, nullptr, 0, 10},
    boolField("PrintAllShots", &AppOptions::PrintAllShots),
    boolField("PrintGenInfo", &AppOptions::PrintGenInfo),
    boolField("PrintSeries", &AppOptions::PrintSeries),
    boolField("PrintCoordination", &AppOptions::PrintCoordination),
    boolField("PrintShift", &AppOptions::PrintShift),
    boolField("PrintSpeed", &AppOptions::PrintSpeed),
    boolField("PrintIntervals", &AppOptions::PrintIntervals),
    boolField("PrintProbability", &AppOptions::PrintProbability),
    columnFlag("ShotListIndex", &AppOptions::ShotListIndex),
    columnFlag("ShotListResult", &AppOptions::ShotListResult),
    columnFlag("ShotListTraceSpeed", &AppOptions::ShotListTraceSpeed),
    columnFlag("ShotListTraceSpeed250", &AppOptions::ShotListTraceSpeed250),
    columnFlag("ShotListAimingTime", &AppOptions::ShotListAimingTime),
    columnFlag("ShotListSteadiness6", &AppOptions::ShotListSteadiness6),
    columnFlag("ShotListSteadiness9", &AppOptions::ShotListSteadiness9),
    columnFlag("ShotListSteadiness10center", &AppOptions::ShotListSteadiness10center),
    columnFlag("ShotListSteadiness10p5center", &AppOptions::ShotListSteadiness10p5center),
    columnFlag("ShotListSteadiness10", &AppOptions::ShotListSteadiness10),
    columnFlag("ShotListSteadiness10p5", &AppOptions::ShotListSteadiness10p5),
    columnFlag("ShotListBreachFromAAP", &AppOptions::ShotListBreachFromAAP),
};

constexpr int kPiezoRejectMaxMs = 10000;
constexpr float kHeadingLengthMax = 1.0f;
constexpr float kIntervalMin = -60.0f;
constexpr float kIntervalMax = 2.0f;

QString frequencyName(int index)
{
    return QStringLiteral("BlindGen%1").arg(index);
}

int clampInt(uint32_t stored, int lo, int hi)
{
    // A DWORD above INT_MAX is a negative int to the program that wrote it.
    const auto v = static_cast<int64_t>(static_cast<int32_t>(stored));
    return static_cast<int>(std::clamp<int64_t>(v, lo, hi));
}

// A float from the settings within [lo, hi]; false for NaN, which has no place in the range.
bool clampFloat(float v, float lo, float hi, float* out)
{
    if (std::isnan(v))
        return false;
    *out = std::clamp(v, lo, hi);
    return true;
}

// The colours the dialog can give are plain RGB; the top byte would make a palette index.
COLORREF plainColor(uint32_t v)
{
    return v & 0x00FFFFFFu;
}

void putU32(char* at, uint32_t v)
{
    qToLittleEndian(v, at);
}
void putF32(char* at, float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    qToLittleEndian(bits, at);
}
uint32_t getU32(const char* at)
{
    return qFromLittleEndian<uint32_t>(at);
}
float getF32(const char* at)
{
    const uint32_t bits = getU32(at);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

constexpr int kTraceHeaderSize = 32;
constexpr int kTraceEntrySize = 12;

} // namespace

AppOptions::AppOptions()
    : ReplayAllPause(1), ReplaySpeed(100), TargetResult(true), TargetLen(false), TargetSmoothZoom(true),
      AdvancedMode(true), ShowControlInterval2(true), ForceReplay(false), SoundEnabled(true),
      BlindGen(false), BlindGenFrequencies{}, EnableRS232(false), FiringPoint(1), AutoReplay(true),
      AutoSwitchToTrace(true), EnableAutoSaveAfterShot(false), DisplayTimeCounter(true), AutoReplaySec(1),
      SaveSecBeforeShot(5), SaveSecAfterShot(1), AutoSaveAfterShot(10), PiezoRejectInterval(1.0f), PrintAllShots(true),
      PrintGenInfo(true), PrintSeries(true), PrintCoordination(true), PrintShift(true), PrintSpeed(true),
      PrintIntervals(true), PrintProbability(true), ShotListIndex(true), ShotListResult(true), ShotListTraceSpeed(true),
      ShotListTraceSpeed250(true), ShotListAimingTime(true), ShotListSteadiness6(false), ShotListSteadiness9(false),
      ShotListSteadiness10center(true), ShotListSteadiness10p5center(false), ShotListSteadiness10(true),
      ShotListSteadiness10p5(false), ShotListBreachFromAAP(true), TraceHeadingEnabled(true), TraceHeadingLength(0.1f),
      TraceColorBefore(rgb(0, 255, 0)), TraceColorAfter(rgb(255, 0, 0)), TraceHeadingColor(rgb(255, 0, 0)),
      ControlIntervalColor(rgb(255, 255, 0)), BreachColor(rgb(255, 255, 255)),
      SelectedBreachColor(rgb(255, 0, 255)), TraceIntervals{{rgb(0, 0, 255), -0.2f, 0.0f}}
{
    for (int i = 0; i < kBlindGenFrequencyCount; ++i)
        BlindGenFrequencies[i] = 200 * i;
}

bool AppOptions::Load(const SettingsKey& root)
{
    SettingsKey key;
    if (!root.isValid() || FAILED(root.openSub(kOptionsKey, &key)))
        return false;

    for (const DwordField& f : kDwordFields) {
        const QString name = QString::fromLatin1(f.name);
        uint32_t v = 0;
        switch (f.kind) {
        case Kind::Int:
            if (SUCCEEDED(key.readDword(name, &v)))
                this->*f.intField = clampInt(v, f.lo, f.hi);
            break;
        case Kind::Bool:
            if (SUCCEEDED(key.readDword(name, &v)))
                this->*f.boolField = v != 0;
            break;
        case Kind::ColumnFlag:
            if (SUCCEEDED(key.readDword(name, &v)))
                this->*f.boolField = v == 1;
            break;
        case Kind::Frequencies:
            for (int i = 0; i < kBlindGenFrequencyCount; ++i)
                if (SUCCEEDED(key.readDword(frequencyName(i), &v)))
                    BlindGenFrequencies[i] = clampInt(v, f.lo, f.hi);
            break;
        case Kind::Seconds:
            if (SUCCEEDED(key.readDword(kPiezoRejectMs, &v)))
                PiezoRejectInterval = static_cast<float>(clampInt(v, 0, kPiezoRejectMaxMs)) / 1000.0f;
            else if (SUCCEEDED(key.readDword(name, &v)))
                PiezoRejectInterval = static_cast<float>(clampInt(v, f.lo, f.hi));
            break;
        }
    }

    QByteArray traceColors;
    if (SUCCEEDED(key.readBinary(kTraceColors, &traceColors)))
        takeTraceColorsValue(traceColors);
    uint32_t color = 0;
    if (SUCCEEDED(key.readDword(kBreachColor, &color)))
        BreachColor = plainColor(color);
    if (SUCCEEDED(key.readDword(kSelectedBreachColor, &color)))
        SelectedBreachColor = plainColor(color);
    return true;
}

bool AppOptions::Save(const SettingsKey& root) const
{
    SettingsKey key;
    if (!root.isValid() || FAILED(root.createSub(kOptionsKey, &key)))
        return false;

    bool ok = true;
    auto write = [&](const QString& name, uint32_t v) { ok = SUCCEEDED(key.writeDword(name, v)) && ok; };
    for (const DwordField& f : kDwordFields) {
        const QString name = QString::fromLatin1(f.name);
        switch (f.kind) {
        case Kind::Int: write(name, static_cast<uint32_t>(this->*f.intField)); break;
        case Kind::Bool:
        case Kind::ColumnFlag: write(name, (this->*f.boolField) ? 1u : 0u); break;
        case Kind::Frequencies:
            for (int i = 0; i < kBlindGenFrequencyCount; ++i)
                write(frequencyName(i), static_cast<uint32_t>(BlindGenFrequencies[i]));
            break;
        case Kind::Seconds:
            write(name, static_cast<uint32_t>(truncSaturated(PiezoRejectInterval)));
            write(kPiezoRejectMs, static_cast<uint32_t>(roundSaturated(PiezoRejectInterval * 1000.0)));
            break;
        }
    }
    ok = SUCCEEDED(key.writeBinary(kTraceColors, traceColorsValue())) && ok;
    write(kBreachColor, BreachColor);
    write(kSelectedBreachColor, SelectedBreachColor);
    return ok;
}

QByteArray AppOptions::traceColorsValue() const
{
    const auto n = static_cast<int>(TraceIntervals.size());
    QByteArray out(kTraceHeaderSize + kTraceEntrySize * n, '\0');
    char* p = out.data();
    putU32(p, 44); // the size of the record as first written; readers skip it
    putU32(p + 4, TraceHeadingEnabled ? 1 : 0);
    putF32(p + 8, TraceHeadingLength);
    putU32(p + 12, TraceColorBefore);
    putU32(p + 16, TraceColorAfter);
    putU32(p + 20, TraceHeadingColor);
    putU32(p + 24, ControlIntervalColor);
    putU32(p + 28, static_cast<uint32_t>(n));
    for (int i = 0; i < n; ++i) {
        char* e = p + kTraceHeaderSize + kTraceEntrySize * i;
        putU32(e, TraceIntervals[i].color);
        putF32(e + 4, TraceIntervals[i].begin);
        putF32(e + 8, TraceIntervals[i].end);
    }
    return out;
}

bool AppOptions::takeTraceColorsValue(const QByteArray& value)
{
    if (value.size() < kTraceHeaderSize)
        return false;
    const char* p = value.constData();
    // A count beyond what the value holds keeps the entries that are there.
    const auto stated = static_cast<int32_t>(getU32(p + 28));
    const int count = std::clamp<int>(stated, 0, static_cast<int>((value.size() - kTraceHeaderSize) / kTraceEntrySize));

    TraceHeadingEnabled = getU32(p + 4) != 0;
    float length;
    if (clampFloat(getF32(p + 8), 0.0f, kHeadingLengthMax, &length))
        TraceHeadingLength = length;
    TraceColorBefore = plainColor(getU32(p + 12));
    TraceColorAfter = plainColor(getU32(p + 16));
    TraceHeadingColor = plainColor(getU32(p + 20));
    ControlIntervalColor = plainColor(getU32(p + 24));

    FreeTraceColors();
    TraceIntervals.reserve(count);
    for (int i = 0; i < count; ++i) {
        const char* e = p + kTraceHeaderSize + kTraceEntrySize * i;
        TraceIntervalColor entry;
        entry.color = plainColor(getU32(e));
        if (!clampFloat(getF32(e + 4), kIntervalMin, kIntervalMax, &entry.begin)
            || !clampFloat(getF32(e + 8), kIntervalMin, kIntervalMax, &entry.end))
            continue; // an interval without numbers cannot be drawn or edited
        TraceIntervals.push_back(entry);
    }
    return true;
}

uint32_t AppOptions::CompareSettings(const AppOptions& e)
{
    uint32_t mask = 0;
    if (SaveSecBeforeShot != e.SaveSecBeforeShot || SaveSecAfterShot != e.SaveSecAfterShot)
        mask |= kChangeShotSeconds;
    if (PrintAllShots != e.PrintAllShots || PrintGenInfo != e.PrintGenInfo || PrintSeries != e.PrintSeries
        || PrintCoordination != e.PrintCoordination || PrintShift != e.PrintShift || PrintSpeed != e.PrintSpeed
        || PrintIntervals != e.PrintIntervals || PrintProbability != e.PrintProbability)
        mask |= kChangePrint;
    if (ShotListIndex != e.ShotListIndex || ShotListResult != e.ShotListResult
        || ShotListTraceSpeed != e.ShotListTraceSpeed || ShotListTraceSpeed250 != e.ShotListTraceSpeed250
        || ShotListAimingTime != e.ShotListAimingTime || ShotListSteadiness6 != e.ShotListSteadiness6
        || ShotListSteadiness9 != e.ShotListSteadiness9 || ShotListSteadiness10center != e.ShotListSteadiness10center
        || ShotListSteadiness10p5center != e.ShotListSteadiness10p5center
        || ShotListSteadiness10 != e.ShotListSteadiness10 || ShotListSteadiness10p5 != e.ShotListSteadiness10p5
        || ShotListBreachFromAAP != e.ShotListBreachFromAAP)
        mask |= kChangeShotList;
    if (ReplaySpeed != e.ReplaySpeed)
        mask |= kChangeReplaySpeed;
    if (TraceHeadingEnabled != e.TraceHeadingEnabled || TraceHeadingLength != e.TraceHeadingLength
        || TraceColorBefore != e.TraceColorBefore || TraceColorAfter != e.TraceColorAfter
        || TraceHeadingColor != e.TraceHeadingColor || ControlIntervalColor != e.ControlIntervalColor
        || BreachColor != e.BreachColor || SelectedBreachColor != e.SelectedBreachColor
        || TraceIntervals != e.TraceIntervals)
        mask |= kChangeTraceColors;
    if (TargetResult != e.TargetResult || TargetLen != e.TargetLen || DisplayTimeCounter != e.DisplayTimeCounter)
        mask |= kChangeTraceDisplay;
    if (SoundEnabled != e.SoundEnabled || BlindGen != e.BlindGen)
        mask |= kChangeSound;
    if (BlindGenFrequencies != e.BlindGenFrequencies)
        mask |= kChangeBlindGenFreq;
    if (FiringPoint != e.FiringPoint)
        mask |= kChangeFiringPoint;

    if (this != &e)
        *this = e;
    return mask;
}

AppOptions& theAppOptions()
{
    static AppOptions options;
    return options;
}

namespace {
// The record exists before main() runs, as the rest of the program expects.
[[maybe_unused]] AppOptions& builtAtStart = theAppOptions();
} // namespace

int LoadPiezoSensitivity(const SettingsKey& root)
{
    uint32_t v = 0;
    if (!root.isValid() || FAILED(root.readDword(QStringLiteral("PiezoSensitivity"), &v)))
        return kDefaultPiezoSensitivity;
    const int64_t stored = v;
    return stored >= kMinPiezoSensitivity && stored <= kMaxPiezoSensitivity ? static_cast<int>(v)
                                                                            : kDefaultPiezoSensitivity;
}

bool SaveOptions()
{
    const SettingsKey root = OpenAppRegistryKey();
    return root.isValid() && theAppOptions().Save(root);
}

} // namespace kavro
