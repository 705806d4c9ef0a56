#pragma once
// One calibration per pair of optical sensor and target, and the light levels of a target, kept
// as values of the per-user settings root whose names carry the devices' serial texts.
#include "settings/settings.h"

#include <QString>

#include <optional>

namespace kavro {

struct SensorCalibration {
    int32_t signal[2] = {0, 0}; // the target's two emitter settings
    double angle0 = 0; // radians
    double dx0 = 0;
    double dy0 = 0;
    double corrx = 0; // hundredths of a millimetre
    double corry = 0;
    double scale = 0; // replaces the sensor's own scale
};

// The range a stored emitter setting must lie in for the target in use.
struct SignalRange {
    int32_t low;
    int32_t high;
};

class CalibrationStore {
public:
    // The per-user root ("software\Kavro\Kavro Professional"); an invalid key reads nothing.
    static CalibrationStore open();
    explicit CalibrationStore(SettingsKey key) : key_(std::move(key)) { }

    // "<sensor>.<target>", the prefix of every value of one calibration.
    static QString keyText(const QString& sensorSerial, const QString& targetSerial);

    // Nothing when any value is missing or out of range, or the scale is 0.01 or less.
    std::optional<SensorCalibration> Load(const QString& keyText, SignalRange range) const;
    // Writes "scale" = 0 first and the real scale last, so a save cut short is refused on load.
    // False when a write failed (the rest is not written).
    bool Save(const QString& keyText, const SensorCalibration& c) const;
    // Marks the stored calibration as not whole ("scale" = 0).
    bool Invalidate(const QString& keyText) const;

    // 0..7; 7 when missing or out of range.
    int32_t LoadLightLevel(const QString& targetSerial, const char* name) const;
    bool SaveLightLevel(const QString& targetSerial, const char* name, int32_t level) const;

private:
    std::optional<double> readNumber(const QString& name) const;
    bool writeNumber(const QString& name, double value) const;

    SettingsKey key_;
};

} // namespace kavro
