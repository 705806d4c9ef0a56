#pragma once
// Hands the device's events to the practice's recorder, on the thread that made the device.
#include "kavrodev.h"

class PracticeRecorder;

ComPtr<IUnknown> makeDeviceEventSink(PracticeRecorder* recorder);
