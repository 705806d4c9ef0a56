#pragma once
// Asks the sensor on a serial port who it is: the line handshake, then the banner it sends.
#include "device/model/identification.h"
#include "thread/clock.h"

namespace kavro {

class SerialPort;

// True when a sensor answered with a sound banner tagged "KVR"; `record` is filled from the
// banner (zeroed when the bytes read held none). The port's time-outs are left as they were;
// its line settings are left at the identification speed. Waits go through `clock`.
bool IdentifySerialSensor(SerialPort& port, DeviceIdentification& record, Clock& clock = realClock());

} // namespace kavro
