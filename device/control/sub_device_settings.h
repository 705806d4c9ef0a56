#pragma once
// What the trainer sets for one sub-device (the sensor, or the second lane of a target).
#include "kavrodev.h"

#include <QString>

namespace kavro {

struct SubDeviceSettings {
    QString eventShortName;
    ComPtr<IEventParams> event;
    enumTargetType targetType = Target10m;
    int32_t piezoSensitivity = 40;
    float maxTimeBeforeShot = 5.0f; // seconds
    float maxTimeAfterShot = 0.5f; // seconds
    int32_t correctionX = 0; // hundredths of a millimetre
    int32_t correctionY = 0;
    int32_t subTarget = 1;
    enumSensorPosition sensorPosition = SensorBottom;
    float piezoRejectInterval = 1.0f; // seconds
    bool calibrationWanted = true;
};

} // namespace kavro
