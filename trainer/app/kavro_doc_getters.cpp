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
    return HasDocument() && SUCCEEDED(m_document->get_Event(out->put())) && *out;
}

bool CKavroDoc::GetAimings(ComPtr<IAimingCollection>* out)
{
    return HasDocument() && m_cache.Aimings(m_document.get(), out);
}

bool CKavroDoc::GetShots(ComPtr<IShotCollection>* out)
{
    return HasDocument() && m_cache.Shots(m_document.get(), m_showHidden, out);
}

bool CKavroDoc::GetSightingAimings(ComPtr<IAimingCollection>* out)
{
    return HasDocument() && m_cache.SightingAimings(m_document.get(), out);
}

bool CKavroDoc::GetMatchAimings(ComPtr<IAimingCollection>* out)
{
    return HasDocument() && m_cache.MatchAimings(m_document.get(), out);
}

bool CKavroDoc::GetSightingShots(ComPtr<IShotCollection>* out)
{
    return HasDocument() && m_cache.SightingShots(m_document.get(), m_showHidden, out);
}

bool CKavroDoc::GetMatchShots(ComPtr<IShotCollection>* out)
{
    return HasDocument() && m_cache.MatchShots(m_document.get(), m_showHidden, out);
}

bool CKavroDoc::GetModelAimings(ComPtr<IAimingCollection>* out)
{
    return HasDocument() && m_modelDocument && SUCCEEDED(m_modelDocument->get_Aimings(out->put())) && *out;
}

bool CKavroDoc::GetModelShots(ComPtr<IShotCollection>* out)
{
    ComPtr<IAimingCollection> aimings;
    return GetModelAimings(&aimings) && SUCCEEDED(aimings->Shots(VARIANT_FALSE, out->put())) && *out;
}

bool CKavroDoc::GetSelectedShot(ComPtr<IShot>* out)
{
    if (!HasDocument() || !m_selection.shot())
        return false;
    *out = m_selection.shot();
    return true;
}

bool CKavroDoc::GetSelectedAiming(ComPtr<IAiming>* out)
{
    return HasDocument() && m_selection.shot() && FindAiming(m_selection.shot(), out);
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
    return HasDocument() && SUCCEEDED(m_document->get_ShooterName(out));
}

bool CKavroDoc::GetModelShooterName(QString* out)
{
    return HasDocument() && m_modelDocument && SUCCEEDED(m_modelDocument->get_ShooterName(out));
}

bool CKavroDoc::GetComments(QString* out)
{
    return HasDocument() && documentString(m_document.get(), kComments, out);
}

bool CKavroDoc::GetModelComments(QString* out)
{
    return HasDocument() && documentString(m_modelDocument.get(), kComments, out);
}

bool CKavroDoc::GetPositionName(QString* out)
{
    return HasDocument() && positionNameOf(m_document.get(), out);
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
    return HasDocument() && SUCCEEDED(m_document->get_FileVersion(out));
}

bool CKavroDoc::GetFileName(QString* out)
{
    return m_document && SUCCEEDED(m_document->get_FileName(out));
}

int CKavroDoc::GetPulse() const
{
    return HasDocument() ? m_pulse : 0;
}

int CKavroDoc::GetPulseCount()
{
    return HasDocument() ? GetAttrPulseCount(m_document.get()) : 0;
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
    if (m_validShotTimes < 0)
        m_validShotTimes = shotTimesStrictlyIncreasing(shots.get()) ? 1 : 0;
    return m_validShotTimes == 1;
}

bool CKavroDoc::ModelHasValidShotTimes()
{
    ComPtr<IShotCollection> shots;
    if (!GetModelShots(&shots))
        return false;
    if (m_modelValidShotTimes < 0)
        m_modelValidShotTimes = shotTimesStrictlyIncreasing(shots.get()) ? 1 : 0;
    return m_modelValidShotTimes == 1;
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
