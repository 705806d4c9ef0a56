#pragma once
// The options the device holds (seconds kept around a shot, reject interval, firing point), and
// the keys that change the reject interval on the spot.
#include <cstdint>

class CKavroDoc;
class DeviceSession;
class FrameWindow;

class DeviceOptions {
public:
    DeviceOptions(CKavroDoc& doc, DeviceSession& session, FrameWindow& window)
        : doc_(doc), session_(session), window_(window)
    {
    }

    // What the options dialog changed (its change mask), for a device that runs.
    void ApplyOptionsChange(uint32_t mask);
    // Numeric-pad + and - on the trace view: the interval by a tenth, never below 0.
    void ChangePiezoRejectInterval(float step);
    void ShowPiezoRejectInterval();

private:
    CKavroDoc& doc_;
    DeviceSession& session_;
    FrameWindow& window_;
};
