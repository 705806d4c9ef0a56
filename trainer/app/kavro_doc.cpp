#include "kavro_doc.h"

#include "doc_facts.h"
#include "doc_helpers.h"
#include "main_frame_base.h"
#include "frame_message.h"
#include "ui_text.h"

#include "com/classregistry.h"
#include "com/connection.h"

#include <QDir>
#include <QGuiApplication>

#include <algorithm>

namespace {

const QString kPosition = QStringLiteral("_position");

// The wait cursor while a document loads or saves, when there is a screen to show it on.
class WaitCursor {
public:
    WaitCursor() : m_active(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (m_active)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~WaitCursor()
    {
        if (m_active)
            QGuiApplication::restoreOverrideCursor();
    }

private:
    bool m_active;
};

// Forwards a document's Progress event to the frame's progress bar.
class ProgressSink final : public ComObject<ProgressSink, _IKavroDocumentEvents> {
public:
    explicit ProgressSink(CMainFrameBase* frame) : m_frame(frame) { }
    HRESULT Progress(int32_t done, int32_t total) override
    {
        if (m_frame)
            m_frame->ShowProgress(done, total);
        return S_OK;
    }

private:
    CMainFrameBase* m_frame;
};

// Status text, progress bar and the document's progress events for the length of one load or save.
class ProgressScope {
public:
    ProgressScope(const CDocumentBase& owner, IKavroDocument* doc, int stringId)
        : m_doc(doc), m_frame(CMainFrameBase::of(owner))
    {
        if (m_frame)
            m_frame->BeginProgress(stringId);
        m_sink = ProgressSink::create(m_frame);
        if (FAILED(adviseSink(doc, _IKavroDocumentEvents::iid, m_sink->identity(), &m_cookie)))
            m_cookie = 0;
    }
    ~ProgressScope()
    {
        if (m_cookie)
            unadviseSink(m_doc, _IKavroDocumentEvents::iid, m_cookie);
        if (m_frame)
            m_frame->EndProgress();
    }

private:
    IKavroDocument* m_doc;
    CMainFrameBase* m_frame;
    ComPtr<ProgressSink> m_sink;
    uint32_t m_cookie = 0;
};

ComPtr<IAimingAttr> attrOf(IShot* shot)
{
    ComPtr<IAimingAttr> a;
    if (shot)
        shot->get_Attr(a.put());
    return a;
}

} // namespace

CKavroDoc::CKavroDoc()
{
    Reset();
}

CKavroDoc::~CKavroDoc()
{
    // Only the references go: a wrapper ended after main returned must not read settings, whose
    // store may already be gone.
    m_document = nullptr;
    m_modelDocument = nullptr;
    m_selection.Clear();
    ReleaseCache();
    for (CView* v : std::vector<CView*>(views()))
        RemoveView(v);
}

bool CKavroDoc::HasDocument() const
{
    return isValidDocument(m_document.get());
}

bool CKavroDoc::HasModel() const
{
    return m_modelDocument != nullptr;
}

void CKavroDoc::Reset()
{
    m_document = nullptr;
    m_modelDocument = nullptr;
    m_selection.Clear();
    ReleaseCache();
    m_shotParameters.Reset();
    m_selection.SetIncludeSightings(false);
    m_showHidden = false;
    m_replay.Reset();
    m_pulse = 0;
    m_modified = 0;
    m_validShotTimes = -1;
    m_modelValidShotTimes = -1;
}

// --- operations -------------------------------------------------------------------------------

void CKavroDoc::SetIncludeSightings(bool include)
{
    if (!m_selection.SetIncludeSightings(include))
        return;
    UpdateAllViews(nullptr, KavroHint::IncludeSightings);
}

bool CKavroDoc::NewDocument(IEventParams* event, const QString& shooterName, int positionIndex,
                            const QString& deviceText, int fCoefficient)
{
    ReleaseCache();
    ComPtr<IKavroDocument> doc;
    bool ok = SUCCEEDED(createInstance(kavrodoc::CLSID_KavroDocument, &doc)) && doc && SUCCEEDED(doc->put_Event(event));
    if (ok && !deviceText.isEmpty())
        ok = SUCCEEDED(doc->put_Value(QStringLiteral("_device"), Variant(deviceText)));
    if (ok && positionIndex >= 0 && positionIndex <= 2) {
        static const char* const names[] = {"prone", "standing", "kneeling"};
        ok = SUCCEEDED(doc->put_Value(kPosition, Variant(names[positionIndex])));
    }
    if (ok)
        ok = SUCCEEDED(doc->put_ShooterName(shooterName));
    if (!ok) {
        m_document = nullptr;
        return false;
    }
    m_document = doc;
    m_selection.Clear();
    m_selection.SetIncludeSightings(true);
    m_shotParameters.setFCoefficient(fCoefficient);
    m_validShotTimes = 1;
    return true;
}

bool CKavroDoc::LoadWithProgress(IKavroDocument* doc, int stringId)
{
    ProgressScope progress(*this, doc, stringId);
    return SUCCEEDED(doc->Load());
}

bool CKavroDoc::OpenDocument(const QString& path)
{
    WaitCursor wait;
    m_lastReadError.clear();
    ComPtr<IKavroDocument> doc;
    if (FAILED(createInstance(kavrodoc::CLSID_KavroDocument, &doc)) || !doc) {
        m_document = nullptr;
        UpdateAllViews(nullptr, KavroHint::Everything);
        return false;
    }
    m_document = doc;
    doc->put_FileName(path);
    const bool loaded = LoadWithProgress(doc.get(), 32840);
    if (!loaded || !isValidDocument(doc.get())) {
        doc->get_ReadErrorMsg(&m_lastReadError);
        m_document = nullptr;
        ReleaseCache();
        UpdateAllViews(nullptr, KavroHint::Everything);
        return false;
    }
    ReleaseCache();
    ComPtr<IShotCollection> list;
    if (MatchShotCount() > 0) {
        if (includeSightings())
            GetShots(&list);
        else
            GetMatchShots(&list);
    } else {
        m_selection.SetIncludeSightings(true);
        GetShots(&list);
    }
    m_selection.Clear();
    m_selection.Select(shotAt(list.get(), 1).get());
    m_shotParameters.setFCoefficient(0);
    if (m_selection.shot()) {
        int32_t f = 0;
        if (ComPtr<IAimingAttr> a = attrOf(m_selection.shot()); a && SUCCEEDED(a->get_FCoefficient(&f)))
            m_shotParameters.setFCoefficient(f);
    }
    UpdateAllViews(nullptr, KavroHint::Everything);
    return true;
}

bool CKavroDoc::Save()
{
    if (!m_document)
        return false;
    WaitCursor wait;
    HRESULT hr = E_FAIL;
    {
        ProgressScope progress(*this, m_document.get(), 32841);
        QString name;
        m_document->get_FileName(&name);
        if (!name.isEmpty())
            hr = m_document->Save();
        if (FAILED(hr)) {
            QString catalog;
            m_document->get_CatalogPath(&catalog);
            // A first save on a new machine has no catalog folder yet: make it rather than fail.
            if (!catalog.isEmpty())
                QDir().mkpath(catalog);
            hr = m_document->SaveUnique(catalog);
        }
    }
    // The catalog's reason is the one told: it was the last place tried.
    m_lastSaveResult = hr;
    const bool ok = SUCCEEDED(hr);
    if (ok) {
        m_modified = 0;
        UpdateAllViews(nullptr, KavroHint::Saved);
    }
    return ok;
}

bool CKavroDoc::OpenModel(const QString& path)
{
    WaitCursor wait;
    const bool hadModel = m_modelDocument != nullptr;
    m_modelDocument = nullptr;
    m_lastReadError.clear();
    ComPtr<IKavroDocument> model;
    bool keep = HasDocument() && SUCCEEDED(createInstance(kavrodoc::CLSID_KavroDocument, &model)) && model;
    if (keep) {
        model->put_FileName(path);
        keep = LoadWithProgress(model.get(), 32840) && isValidDocument(model.get());
        if (!keep)
            model->get_ReadErrorMsg(&m_lastReadError);
    }
    if (keep) {
        ComPtr<IEventParams> mine, theirs;
        m_document->get_Event(mine.put());
        model->get_Event(theirs.put());
        ComPtr<IAimingCollection> aimings;
        keep = mine && theirs && sameObject(mine.get(), theirs.get()) && SUCCEEDED(model->get_Aimings(aimings.put()))
            && countOf(aimings.get()) > 1;
    }
    m_modelValidShotTimes = -1;
    if (!keep) {
        if (hadModel)
            UpdateAllViews(nullptr, KavroHint::Model);
        return false;
    }
    model->ClearSightingShots();
    ComPtr<IAimingCollection> aimings;
    model->get_Aimings(aimings.put());
    for (int i = 1, n = countOf(aimings.get()); i <= n; ++i) {
        ComPtr<IAimingAttr> attr;
        if (ComPtr<IAiming> a = aimingAt(aimings.get(), i); a && SUCCEEDED(a->get_Attr(attr.put())) && attr)
            attr->put_FCoefficient(fCoefficient());
    }
    m_modelDocument = model;
    UpdateAllViews(nullptr, KavroHint::Model);
    return true;
}

void CKavroDoc::CloseModel()
{
    m_modelDocument = nullptr;
    m_modelValidShotTimes = -1;
    UpdateAllViews(nullptr, KavroHint::Model);
}

bool CKavroDoc::SaveModified()
{
    if (!IsModified() || !HasDocument())
        return true;
    if (MatchShotCountWithHidden() == 0)
        return true;
    CMainFrameBase* frame = CMainFrameBase::of(*this);
    QWidget* owner = frame ? frame->GetWindow() : nullptr;
    const int answer
        = ShowMessageBox(32817, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Warning, owner);
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::Yes && !Save()) {
        // Whatever the user was about to do waits; without a word it would look as if nothing happened.
        ShowLastSaveFailure(owner);
        return false;
    }
    return true;
}

bool CKavroDoc::SaveCopyTo(const QString& folder)
{
    if (!m_document)
        return false;
    WaitCursor wait;
    ProgressScope progress(*this, m_document.get(), 32841);
    QString name;
    m_document->get_FileName(&name);
    m_lastSaveResult = m_document->SaveUnique(folder);
    m_document->put_FileName(name);
    return SUCCEEDED(m_lastSaveResult);
}

bool CKavroDoc::ClearFileName()
{
    return m_document && SUCCEEDED(m_document->put_FileName(QString()));
}

bool CKavroDoc::SetSelectedShot(IShot* shot, CView* sender)
{
    if (!m_selection.Select(shot))
        return false;
    UpdateAllViews(sender, KavroHint::SelectedShot);
    return true;
}

void CKavroDoc::AddShot(IShot* shot, IAiming* aiming)
{
    ComPtr<IAimingCollection> aimings;
    if (!GetAimings(&aimings))
        return;
    aimings->Add(aiming);
    m_modified = 1;
    ReleaseCache();
    bool recentred = false;
    if (shot && !isMissed(shot)) {
        m_shotParameters.ApplyToNew(shot);
        recentred = centreGroups() && CentreGroupOf(shot);
    }
    UpdateAllViews(nullptr, KavroHint::ShotAdded, aiming, shot, recentred);
}

bool CKavroDoc::AddMissedShot(bool match, ComPtr<IShot>* out)
{
    ComPtr<IAimingCollection> aimings;
    ComPtr<IAiming> aiming;
    if (!GetAimings(&aimings) || FAILED(aimings->AddMissed(toVariantBool(match), aiming.put())) || !aiming)
        return false;
    m_modified = 1;
    ReleaseCache();
    aiming->Shot(1, out->put());
    UpdateAllViews(nullptr, KavroHint::ShotAdded, aiming.get(), out->get());
    return true;
}

void CKavroDoc::SetPosition(const QString& name)
{
    if (!m_document)
        return;
    QString current;
    if (documentString(m_document.get(), kPosition, &current) && current == name)
        return;
    m_document->put_Value(kPosition, Variant(name));
    m_modified = 1;
    UpdateAllViews(nullptr, KavroHint::Position);
}

void CKavroDoc::SetShotsParameters(int fCoefficient, float traceSeconds, int controlInterval2, float shotTimeOffset,
                                   float dispersion, bool centreGroups)
{
    if (!m_shotParameters.Set(fCoefficient, traceSeconds, controlInterval2, shotTimeOffset, dispersion, centreGroups))
        return;
    ComPtr<IShotCollection> shots;
    if (GetSightingShots(&shots))
        m_shotParameters.ApplyTo(shots.get());
    if (GetMatchShots(&shots))
        m_shotParameters.ApplyTo(shots.get());
    if (GetModelShots(&shots))
        m_shotParameters.ApplyTo(shots.get());
    UpdateAllViews(nullptr, KavroHint::ShotParameters);
}

bool CKavroDoc::CentreGroupOf(IShot* shot)
{
    VARIANT_BOOL match = VARIANT_FALSE;
    if (ComPtr<IAimingAttr> a = attrOf(shot))
        a->get_Match(&match);
    ComPtr<IShotCollection> group;
    if (!(match == VARIANT_TRUE ? GetMatchShots(&group) : GetSightingShots(&group)))
        return false;
    ShotParameters::CentreGroup(group.get());
    return true;
}

bool CKavroDoc::SetShowHidden(bool show)
{
    if (m_showHidden == show)
        return true;
    m_showHidden = show;
    ReleaseCache();
    ComPtr<IAimingCollection> aimings;
    ComPtr<IShotCollection> withHidden;
    if (GetAimings(&aimings) && SUCCEEDED(aimings->Shots(VARIANT_TRUE, withHidden.put()))) {
        for (int i = 1, n = countOf(withHidden.get()); i <= n; ++i) {
            if (isHidden(shotAt(withHidden.get(), i).get())) {
                UpdateAllViews(nullptr, KavroHint::Everything);
                break;
            }
        }
    }
    return true;
}

void CKavroDoc::SetShotHidden(IShot* shot, bool hide)
{
    if (!shot || !m_document)
        return;
    if (hide && !m_showHidden && m_selection.shot() == shot)
        m_selection.LeaveForNeighbour(NavigationSteps());
    shot->put_Hidden(toVariantBool(hide));
    ReleaseCache();
    m_modified = 1;
    UpdateAllViews(nullptr, KavroHint::Everything);
}

void CKavroDoc::ClearAllShots()
{
    m_selection.Clear();
    if (m_document)
        m_document->ClearShots();
    ReleaseCache();
    m_selection.SetIncludeSightings(false);
    m_modified = 1;
    UpdateAllViews(nullptr, KavroHint::Everything);
}

void CKavroDoc::ClearSightingShots()
{
    if (!m_document)
        return;
    m_selection.DropSightingShot();
    m_document->ClearSightingShots();
    ReleaseCache();
    m_modified = 1;
    UpdateAllViews(nullptr, KavroHint::Everything);
}

void CKavroDoc::SetPulse(int pulse)
{
    if (pulse == m_pulse)
        return;
    m_pulse = uint16_t(pulse);
    UpdateAllViews(nullptr, KavroHint::Pulse);
}

void CKavroDoc::AppendPulseSample(DATE time, int pulse)
{
    if (m_document)
        appendPulseSample(m_document.get(), time, pulse);
}

bool CKavroDoc::ReadPulseSample(int i, DATE* time, int* pulse)
{
    return m_document && readPulseSample(m_document.get(), i, time, pulse);
}

std::vector<PulseSample> CKavroDoc::PulseSamples()
{
    return HasDocument() ? readPulseSamples(m_document.get()) : std::vector<PulseSample>();
}

// --- replay and navigation ------------------------------------------------------------------

int CKavroDoc::GetReplayState()
{
    return m_replay.Current(m_selection.shot() != nullptr);
}

bool CKavroDoc::StartReplay()
{
    return m_replay.Start(m_selection.shot() != nullptr);
}

void CKavroDoc::PauseReplay()
{
    m_replay.Pause();
}

void CKavroDoc::ResumeReplay()
{
    m_replay.Resume();
}

void CKavroDoc::StopReplay()
{
    m_replay.Stop();
}

ShotSteps CKavroDoc::NavigationSteps()
{
    ShotSteps steps;
    if (!(includeSightings() ? GetShots(&steps.list) : GetMatchShots(&steps.list)))
        return steps;
    GetAimings(&steps.aimings);
    steps.byAiming = GetTargetKind() == TargetKind::Biathlon;
    ComPtr<IEventParams> event;
    int32_t d = 0;
    if (GetEvent(&event))
        event->get_MaxShotsPerSerie(&d);
    steps.seriesSize = d < 1 ? 10 : d;
    ComPtr<IShotCollection> sighting;
    if (includeSightings() && GetSightingShots(&sighting))
        steps.sightings = countOf(sighting.get());
    return steps;
}

bool CKavroDoc::Navigate(IShot* current, ComPtr<IShot>* out, int step)
{
    return stepShot(NavigationSteps(), current, step, out);
}

QString CKavroDoc::saveFailureText(HRESULT result)
{
    int reason = 33303;
    switch (result) {
    case STG_E_MEDIUMFULL: reason = 33300; break;
    case E_ACCESSDENIED:
    case STG_E_ACCESSDENIED: reason = 33301; break;
    case HRESULT_FROM_WIN32(ERROR_DISK_QUOTA_EXCEEDED): reason = 33302; break;
    default: break;
    }
    QString text = uiText(32818) + QLatin1Char('\n') + uiText(reason);
    if (reason == 33303)
        text = text.arg(QString::number(uint32_t(result), 16).toUpper().rightJustified(8, QLatin1Char('0')));
    return text;
}

void CKavroDoc::ShowLastSaveFailure(QWidget* owner) const
{
    ShowMessageBox(lastSaveFailureText(), QMessageBox::Ok, QMessageBox::Critical, QString(), owner);
}

QString CKavroDoc::openFailureText(const QString& readError)
{
    QString text = uiText(32863);
    if (!readError.isEmpty())
        text += QLatin1Char('\n') + readError;
    return text;
}
