#pragma once
// Hands the device's events to the practice, on the thread that made the device.
#include "kavrodev.h"

class PracticeController;

ComPtr<IUnknown> makeDeviceEventSink(PracticeController* practice);
