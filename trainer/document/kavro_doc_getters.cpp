#include "kavro_doc.h"

#include "doc_facts.h"
#include "doc_helpers.h"
#include "ui_text.h"

// The getters read the document model, through the cached collections where the document has them.

namespace {

const QString kComments = QStringLiteral("_comments");

} // namespace

bool CKavroDoc::GetEvent(ComPtr<IEventParams>* out)
{
    return HasDocument() && SUCCEEDED(document_->get_Event(out->put())) && *out;
}

bool CKavroDoc::GetAimings(ComPtr<IAimingCollection>* out)
{
    return HasDocument() && cache_.aimings(document_.get(), out);
}

bool CKavroDoc::GetShots(ComPtr<IShotCollection>* out)
{
    return HasDocument() && cache_.shots(document_.get(), showHidden_, out);
}

bool CKavroDoc::GetSightingAimings(ComPtr<IAimingCollection>* out)
{
    return HasDocument() && cache_.sightingAimings(document_.get(), out);
}

bool CKavroDoc::GetMatchAimings(ComPtr<IAimingCollection>* out)
{
    return HasDocument() && cache_.matchAimings(document_.get(), out);
}

bool CKavroDoc::GetSightingShots(ComPtr<IShotCollection>* out)
{
    return HasDocument() && cache_.sightingShots(document_.get(), showHidden_, out);
}

bool CKavroDoc::GetMatchShots(ComPtr<IShotCollection>* out)
{
    return HasDocument() && cache_.matchShots(document_.get(), showHidden_, out);
}

bool CKavroDoc::GetModelAimings(ComPtr<IAimingCollection>* out)
{
    return HasDocument() && modelDocument_ && SUCCEEDED(modelDocument_->get_Aimings(out->put())) && *out;
}

bool CKavroDoc::GetModelShots(ComPtr<IShotCollection>* out)
{
    ComPtr<IAimingCollection> aimings;
    return GetModelAimings(&aimings) && SUCCEEDED(aimings->Shots(VARIANT_FALSE, out->put())) && *out;
}

bool CKavroDoc::GetSelectedShot(ComPtr<IShot>* out)
{
    if (!HasDocument() || !selection_.shot())
        return false;
    *out = selection_.shot();
    return true;
}

bool CKavroDoc::GetSelectedAiming(ComPtr<IAiming>* out)
{
    return HasDocument() && selection_.shot() && FindAiming(selection_.shot(), out);
}

bool CKavroDoc::FindAiming(IShot* shot, ComPtr<IAiming>* out)
{
    ComPtr<IAimingCollection> aimings;
    return shot && GetAimings(&aimings) && SUCCEEDED(aimings->FindAiming(shot, out->put())) && *out;
}

bool CKavroDoc::FindModelAiming(IShot* shot, ComPtr<IAiming>* out)
{
    ComPtr<IAimingCollection> aimings;
    return shot && GetModelAimings(&aimings) && SUCCEEDED(aimings->FindAiming(shot, out->put())) && *out;
}

bool CKavroDoc::GetShooterName(QString* out)
{
    return HasDocument() && SUCCEEDED(document_->get_ShooterName(out));
}

bool CKavroDoc::GetModelShooterName(QString* out)
{
    return HasDocument() && modelDocument_ && SUCCEEDED(modelDocument_->get_ShooterName(out));
}

bool CKavroDoc::GetComments(QString* out)
{
    return HasDocument() && documentString(document_.get(), kComments, out);
}

bool CKavroDoc::GetModelComments(QString* out)
{
    return HasDocument() && documentString(modelDocument_.get(), kComments, out);
}

bool CKavroDoc::GetPositionName(QString* out)
{
    return HasDocument() && positionNameOf(document_.get(), out);
}

bool CKavroDoc::GetEventShortName(QString* out)
{
    ComPtr<IEventParams> e;
    return GetEvent(&e) && SUCCEEDED(e->get_ShortName(out));
}

bool CKavroDoc::GetEventDisplayName(QString* out)
{
    ComPtr<IEventParams> e;
    if (!GetEvent(&e))
        return false;
    *out = FormatEventName(e.get(), uiLanguageId());
    return true;
}

bool CKavroDoc::GetFileVersion(int32_t* out)
{
    return HasDocument() && SUCCEEDED(document_->get_FileVersion(out));
}

bool CKavroDoc::GetFileName(QString* out)
{
    return document_ && SUCCEEDED(document_->get_FileName(out));
}

int CKavroDoc::GetPulse() const
{
    return HasDocument() ? pulse_ : 0;
}

int CKavroDoc::GetPulseCount()
{
    return HasDocument() ? GetAttrPulseCount(document_.get()) : 0;
}

bool CKavroDoc::IsThreePositions()
{
    ComPtr<IEventParams> e;
    return GetEvent(&e) && isThreePositions(e.get());
}

bool CKavroDoc::HasTriggerData()
{
    ComPtr<IShotCollection> shots;
    return GetShots(&shots) && anyShotHasTriggerData(shots.get());
}

bool CKavroDoc::HasValidShotTimes()
{
    ComPtr<IShotCollection> shots;
    if (!GetShots(&shots))
        return false;
    if (validShotTimes_ < 0)
        validShotTimes_ = shotTimesStrictlyIncreasing(shots.get()) ? 1 : 0;
    return validShotTimes_ == 1;
}

bool CKavroDoc::ModelHasValidShotTimes()
{
    ComPtr<IShotCollection> shots;
    if (!GetModelShots(&shots))
        return false;
    if (modelValidShotTimes_ < 0)
        modelValidShotTimes_ = shotTimesStrictlyIncreasing(shots.get()) ? 1 : 0;
    return modelValidShotTimes_ == 1;
}

TargetKind::Kind CKavroDoc::GetTargetKind()
{
    ComPtr<IEventParams> event;
    return GetEvent(&event) ? targetKindOf(event.get()) : TargetKind::None;
}

int CKavroDoc::MatchShotCount()
{
    ComPtr<IShotCollection> s;
    return GetMatchShots(&s) ? countOf(s.get()) : 0;
}

int CKavroDoc::SightingShotCount()
{
    ComPtr<IShotCollection> s;
    return GetSightingShots(&s) ? countOf(s.get()) : 0;
}

// Not the cached lists: those follow "Display hidden shots".
int CKavroDoc::ShotCountWithHidden()
{
    ComPtr<IAimingCollection> aimings;
    return GetAimings(&aimings) ? shotCountWithHidden(aimings.get(), false) : 0;
}

int CKavroDoc::MatchShotCountWithHidden()
{
    ComPtr<IAimingCollection> aimings;
    return GetAimings(&aimings) ? shotCountWithHidden(aimings.get(), true) : 0;
}
