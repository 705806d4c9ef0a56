#pragma once
// Hands the device's events to the frame, on the thread that made the device.
#include "kavrodev.h"

class CMainFrame;

ComPtr<IUnknown> makeDeviceEventSink(CMainFrame* frame);
