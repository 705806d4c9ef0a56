#include "practice_position.h"

#include "device_session.h"
#include "frame_window.h"
#include "kavro_doc.h"
#include "practice_autosave.h"
#include "practice_recorder.h"

PracticePosition::PracticePosition(CKavroDoc& doc, DeviceSession& session, PracticeRecorder& recorder,
                                   PracticeAutosave& autosave, FrameWindow& window, std::function<void()> changed)
    : doc_(doc), session_(session), recorder_(recorder), autosave_(autosave), window_(window),
      changed_(std::move(changed))
{
}

void PracticePosition::SelectSubTarget(int value, const QString& positionName)
{
    if (doc_.GetTargetKind() == TargetKind::Biathlon) {
        subTarget_ = BiathlonTarget::Kind(value);
        if (const ComPtr<IKavroDevice> device = session_.device())
            device->put_SubTarget(1, subTarget_);
        if (!recorder_.currentAiming())
            doc_.UpdateAllViews(nullptr, KavroHint::BiathlonSubTarget, KavroHint::SubTargetArgs{subTarget_});
        changed_();
        return;
    }
    if (!doc_.document())
        return;
    Variant position;
    doc_.document()->get_Value(QStringLiteral("_position"), &position);
    if (position.vt() == VT_BSTR && position.bstr() == positionName)
        return;
    if (doc_.IsModified() && doc_.MatchShotCountWithHidden() > 0 && !doc_.Save())
        return;
    recorder_.setMatchStarted(false);
    doc_.SetPosition(positionName);
    doc_.ClearFileName();
    doc_.SetSelectedShot(nullptr, nullptr);
    doc_.ClearAllShots();
    // The cleared practice has nothing to lose until its next shot.
    doc_.ClearModified();
    autosave_.reset();
    window_.UpdateTitle();
}
