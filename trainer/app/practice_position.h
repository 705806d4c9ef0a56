#pragma once
// Where the shooter shoots from: the biathlon sub-target (prone or standing), told to the device
// and the views, or the position of a three-position practice, which starts its shots afresh.
#include "target_kind.h"

#include <QString>

#include <functional>

class CKavroDoc;
class DeviceSession;
class FrameWindow;
class PracticeAutosave;
class PracticeRecorder;

class PracticePosition {
public:
    PracticePosition(CKavroDoc& doc, DeviceSession& session, PracticeRecorder& recorder, PracticeAutosave& autosave,
                     FrameWindow& window, std::function<void()> changed);

    void SelectSubTarget(int value, const QString& positionName);
    BiathlonTarget::Kind subTarget() const { return subTarget_; }
    // The sub-target a new practice starts with.
    void setSubTarget(BiathlonTarget::Kind subTarget) { subTarget_ = subTarget; }

private:
    CKavroDoc& doc_;
    DeviceSession& session_;
    PracticeRecorder& recorder_;
    PracticeAutosave& autosave_;
    FrameWindow& window_;
    std::function<void()> changed_;
    BiathlonTarget::Kind subTarget_ = BiathlonTarget::None;
};
