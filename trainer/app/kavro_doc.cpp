#include "kavro_doc.h"

#include "doc_helpers.h"
#include "main_frame_base.h"
#include "frame_message.h"
#include "random_offset.h"
#include "shot_navigation.h"
#include "ui_text.h"

#include "com/classregistry.h"
#include "com/connection.h"
#include "app_registry.h"

#include <QDir>
#include <QGuiApplication>

#include <algorithm>

namespace {

const QString kControlInterval2 = QStringLiteral("ControlInterval2");
const QString kPosition = QStringLiteral("_position");
const QString kComments = QStringLiteral("_comments");

SettingsKey settingsRoot()
{
    return kavro::OpenAppRegistryKey();
}

int storedControlInterval2()
{
    uint32_t v = 0;
    if (SUCCEEDED(settingsRoot().readDword(kControlInterval2, &v)) && v >= 1 && v <= 5)
        return int(v);
    return 2;
}

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

bool isValid(IKavroDocument* doc)
{
    VARIANT_BOOL v = VARIANT_FALSE;
    return doc && SUCCEEDED(doc->get_Valid(&v)) && v == VARIANT_TRUE;
}

bool stringValue(IKavroDocument* doc, const QString& key, QString* out)
{
    Variant v;
    if (!doc || FAILED(doc->get_Value(key, &v)) || v.vt() != VT_BSTR)
        return false;
    *out = v.bstr();
    return true;
}

bool positionName(IKavroDocument* doc, QString* out)
{
    QString p;
    if (!stringValue(doc, kPosition, &p))
        return false;
    if (p == u"prone")
        *out = uiText(32824);
    else if (p == u"standing")
        *out = uiText(32825);
    else if (p == u"kneeling")
        *out = uiText(32826);
    else
        *out = p;
    return true;
}

ComPtr<IAimingAttr> attrOf(IShot* shot)
{
    ComPtr<IAimingAttr> a;
    if (shot)
        shot->get_Attr(a.put());
    return a;
}

bool inRange(float v, float lo, float hi)
{
    return v >= lo && v <= hi; // NaN is out of every range
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
    m_selectedShot = nullptr;
    ReleaseCache();
    for (CView* v : std::vector<CView*>(views()))
        RemoveView(v);
}

bool CKavroDoc::HasDocument() const
{
    return isValid(m_document.get());
}

bool CKavroDoc::HasModel() const
{
    return m_modelDocument != nullptr;
}

void CKavroDoc::ReleaseCache()
{
    m_aimings = nullptr;
    m_allShots = nullptr;
    m_sightingAimings = nullptr;
    m_matchAimings = nullptr;
    m_sightingShots = nullptr;
    m_matchShots = nullptr;
}

void CKavroDoc::Reset()
{
    m_document = nullptr;
    m_modelDocument = nullptr;
    m_selectedShot = nullptr;
    ReleaseCache();
    m_dispersion = 0;
    m_shotTimeOffset = 0;
    m_includeSightings = 0;
    m_showHidden = false;
    m_fCoefficient = 0;
    m_centreGroups = 0;
    m_replayState = ReplayStopped;
    m_pulse = 0;
    m_modified = 0;
    m_traceSeconds = 1.0f;
    m_controlInterval2 = storedControlInterval2();
    m_validShotTimes = -1;
    m_modelValidShotTimes = -1;
}

// --- getters ----------------------------------------------------------------------------------

bool CKavroDoc::GetEvent(ComPtr<IEventParams>* out)
{
    return HasDocument() && SUCCEEDED(m_document->get_Event(out->put())) && *out;
}

bool CKavroDoc::GetAimings(ComPtr<IAimingCollection>* out)
{
    if (!HasDocument())
        return false;
    if (!m_aimings && FAILED(m_document->get_Aimings(m_aimings.put())))
        m_aimings = nullptr;
    *out = m_aimings;
    return *out != nullptr;
}

bool CKavroDoc::GetShots(ComPtr<IShotCollection>* out)
{
    ComPtr<IAimingCollection> aimings;
    if (!GetAimings(&aimings))
        return false;
    if (!m_allShots && FAILED(aimings->Shots(toVariantBool(m_showHidden), m_allShots.put())))
        m_allShots = nullptr;
    *out = m_allShots;
    return *out != nullptr;
}

bool CKavroDoc::GetSightingAimings(ComPtr<IAimingCollection>* out)
{
    ComPtr<IAimingCollection> aimings;
    if (!GetAimings(&aimings))
        return false;
    if (!m_sightingAimings && FAILED(aimings->Sighting(m_sightingAimings.put())))
        m_sightingAimings = nullptr;
    *out = m_sightingAimings;
    return *out != nullptr;
}

bool CKavroDoc::GetMatchAimings(ComPtr<IAimingCollection>* out)
{
    ComPtr<IAimingCollection> aimings;
    if (!GetAimings(&aimings))
        return false;
    if (!m_matchAimings && FAILED(aimings->Match(m_matchAimings.put())))
        m_matchAimings = nullptr;
    *out = m_matchAimings;
    return *out != nullptr;
}

bool CKavroDoc::GetSightingShots(ComPtr<IShotCollection>* out)
{
    ComPtr<IShotCollection> all;
    if (!GetShots(&all))
        return false;
    if (!m_sightingShots && FAILED(all->Sighting(m_sightingShots.put())))
        m_sightingShots = nullptr;
    *out = m_sightingShots;
    return *out != nullptr;
}

bool CKavroDoc::GetMatchShots(ComPtr<IShotCollection>* out)
{
    ComPtr<IShotCollection> all;
    if (!GetShots(&all))
        return false;
    if (!m_matchShots && FAILED(all->Match(m_matchShots.put())))
        m_matchShots = nullptr;
    *out = m_matchShots;
    return *out != nullptr;
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
    if (!HasDocument() || !m_selectedShot)
        return false;
    *out = m_selectedShot;
    return true;
}

bool CKavroDoc::GetSelectedAiming(ComPtr<IAiming>* out)
{
    return HasDocument() && m_selectedShot && FindAiming(m_selectedShot.get(), out);
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
    return HasDocument() && stringValue(m_document.get(), kComments, out);
}

bool CKavroDoc::GetModelComments(QString* out)
{
    return HasDocument() && stringValue(m_modelDocument.get(), kComments, out);
}

bool CKavroDoc::GetPositionName(QString* out)
{
    return HasDocument() && positionName(m_document.get(), out);
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
    Variant v;
    bool three = false;
    return GetEvent(&e) && SUCCEEDED(e->get_Value(QStringLiteral("_three_positions"), &v))
        && SUCCEEDED(v.toBool(&three)) && three;
}

bool CKavroDoc::HasTriggerData()
{
    ComPtr<IShotCollection> shots;
    if (!GetShots(&shots))
        return false;
    for (int i = 1, n = countOf(shots.get()); i <= n; ++i) {
        ComPtr<IShot> s = shotAt(shots.get(), i);
        ComPtr<IAimingTrace> trace;
        int32_t index = -1;
        if (s && SUCCEEDED(s->get_Trace(trace.put())) && trace
            && SUCCEEDED(trace->GetUserData(QStringLiteral("_trigger"), &index)) && index > 0)
            return true;
    }
    return false;
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
    ComPtr<IShotCollection> all;
    if (!GetAimings(&aimings) || FAILED(aimings->Shots(VARIANT_TRUE, all.put())) || !all)
        return 0;
    return countOf(all.get());
}

int CKavroDoc::MatchShotCountWithHidden()
{
    ComPtr<IAimingCollection> aimings;
    ComPtr<IShotCollection> all, match;
    if (!GetAimings(&aimings) || FAILED(aimings->Shots(VARIANT_TRUE, all.put())) || !all
        || FAILED(all->Match(match.put())) || !match)
        return 0;
    return countOf(match.get());
}

// --- operations -------------------------------------------------------------------------------

void CKavroDoc::SetIncludeSightings(bool include)
{
    if (includeSightings() == include)
        return;
    m_includeSightings = include ? 1 : 0;
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
    m_selectedShot = nullptr;
    m_includeSightings = 1;
    m_fCoefficient = fCoefficient;
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
    if (!loaded || !isValid(doc.get())) {
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
        m_includeSightings = 1;
        GetShots(&list);
    }
    m_selectedShot = shotAt(list.get(), 1);
    m_fCoefficient = 0;
    if (m_selectedShot) {
        int32_t f = 0;
        if (ComPtr<IAimingAttr> a = attrOf(m_selectedShot.get()); a && SUCCEEDED(a->get_FCoefficient(&f)))
            m_fCoefficient = f;
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
        keep = LoadWithProgress(model.get(), 32840) && isValid(model.get());
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
            attr->put_FCoefficient(m_fCoefficient);
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
    if (m_selectedShot.get() == shot)
        return false;
    m_selectedShot = shot;
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
    if (shot && !isMissed(shot))
        ApplyShotParametersToNew(shot, &recentred);
    UpdateAllViews(nullptr, KavroHint::ShotAdded, aiming, shot, recentred ? 1 : 0);
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
    UpdateAllViews(nullptr, KavroHint::ShotAdded, aiming.get(), out->get(), 0);
    return true;
}

void CKavroDoc::SetPosition(const QString& name)
{
    if (!m_document)
        return;
    QString current;
    if (stringValue(m_document.get(), kPosition, &current) && current == name)
        return;
    m_document->put_Value(kPosition, Variant(name));
    m_modified = 1;
    UpdateAllViews(nullptr, KavroHint::Position);
}

void CKavroDoc::SetShotsParameters(int fCoefficient, float traceSeconds, int controlInterval2, float shotTimeOffset,
                                   float dispersion, bool centreGroups)
{
    if (fCoefficient == m_fCoefficient && traceSeconds == m_traceSeconds && controlInterval2 == m_controlInterval2
        && shotTimeOffset == m_shotTimeOffset && dispersion == m_dispersion && centreGroups == this->centreGroups())
        return;
    if (fCoefficient >= -500 && fCoefficient <= 500)
        m_fCoefficient = fCoefficient;
    if (inRange(traceSeconds, 0.1f, 5.0f))
        m_traceSeconds = traceSeconds;
    if (controlInterval2 >= 1 && controlInterval2 <= 5) {
        m_controlInterval2 = controlInterval2;
        settingsRoot().writeDword(kControlInterval2, uint32_t(controlInterval2));
    }
    if (inRange(shotTimeOffset, -5.0f, 0.5f))
        m_shotTimeOffset = shotTimeOffset;
    if (inRange(dispersion, 0.0f, 50.0f))
        m_dispersion = dispersion;
    m_centreGroups = centreGroups ? 1 : 0;

    ComPtr<IShotCollection> shots;
    if (GetSightingShots(&shots))
        ApplyShotParameters(shots.get());
    if (GetMatchShots(&shots))
        ApplyShotParameters(shots.get());
    if (GetModelShots(&shots))
        ApplyShotParameters(shots.get());
    UpdateAllViews(nullptr, KavroHint::ShotParameters);
}

namespace {

void takeBreachAtOffset(IShot* shot, float offset, int fCoefficient)
{
    shot->put_RealBreachX(0);
    shot->put_RealBreachY(0);
    if (offset == 0)
        return;
    ComPtr<IRange> r;
    if (FAILED(shot->Range(0, 0, r.put())) || !r)
        return;
    int32_t k = 0, first = 0, last = 0;
    r->Sec2Index(offset, &k);
    r->get_First(&first);
    r->get_Last(&last);
    k = std::clamp(k, first, std::max(first, last));
    float x = 0, y = 0;
    if (SUCCEEDED(r->Breaches(k, fCoefficient, &x, &y))) {
        shot->put_RealBreachX(x);
        shot->put_RealBreachY(y);
    }
}

void resetShot(IShot* shot, int fCoefficient, float offset)
{
    shot->put_OffsetX(0);
    shot->put_OffsetY(0);
    if (ComPtr<IAimingAttr> a = attrOf(shot)) {
        a->put_FCoefficient(fCoefficient);
        a->put_UseRealBreaches(toVariantBool(offset != 0));
    }
    takeBreachAtOffset(shot, offset, fCoefficient);
}

void addRandomOffset(IShot* shot, float radius)
{
    const auto [dx, dy] = NextRandomOffset(radius);
    float x = 0, y = 0;
    shot->get_OffsetX(&x);
    shot->get_OffsetY(&y);
    shot->put_OffsetX(x + dx);
    shot->put_OffsetY(y + dy);
}

} // namespace

void CKavroDoc::CentreGroup(IShotCollection* shots)
{
    double sx = 0, sy = 0;
    int n = 0;
    std::vector<ComPtr<IShot>> counted;
    for (int i = 1, c = countOf(shots); i <= c; ++i) {
        ComPtr<IShot> s = shotAt(shots, i);
        float x = 0, y = 0;
        if (!s || isMissed(s.get()) || FAILED(s->Breach(&x, &y)))
            continue;
        sx += x;
        sy += y;
        ++n;
        counted.push_back(s);
    }
    if (n == 0)
        return;
    const float cx = float(sx / n), cy = float(sy / n);
    for (const ComPtr<IShot>& s : counted) {
        float ox = 0, oy = 0;
        s->get_OffsetX(&ox);
        s->get_OffsetY(&oy);
        s->put_OffsetX(ox - cx);
        s->put_OffsetY(oy - cy);
    }
}

void CKavroDoc::ApplyShotParameters(IShotCollection* shots)
{
    std::vector<ComPtr<IShot>> processed;
    for (int i = 1, n = countOf(shots); i <= n; ++i) {
        ComPtr<IShot> s = shotAt(shots, i);
        if (!s || isMissed(s.get()))
            continue;
        resetShot(s.get(), m_fCoefficient, m_shotTimeOffset);
        processed.push_back(s);
    }
    if (!processed.empty() && m_dispersion > 0) {
        for (const ComPtr<IShot>& s : processed)
            addRandomOffset(s.get(), m_dispersion);
    }
    if (m_centreGroups)
        CentreGroup(shots);
}

void CKavroDoc::ApplyShotParametersToNew(IShot* shot, bool* recentred)
{
    // The new shot's coefficient was set when its aiming started; only a time offset redoes it.
    if (m_shotTimeOffset != 0)
        resetShot(shot, m_fCoefficient, m_shotTimeOffset);
    if (m_dispersion > 0)
        addRandomOffset(shot, m_dispersion);
    if (m_centreGroups) {
        VARIANT_BOOL match = VARIANT_FALSE;
        if (ComPtr<IAimingAttr> a = attrOf(shot))
            a->get_Match(&match);
        ComPtr<IShotCollection> group;
        if (match == VARIANT_TRUE ? GetMatchShots(&group) : GetSightingShots(&group)) {
            CentreGroup(group.get());
            *recentred = true;
        }
    }
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
            VARIANT_BOOL h = VARIANT_FALSE;
            if (ComPtr<IShot> s = shotAt(withHidden.get(), i); s && SUCCEEDED(s->get_Hidden(&h)) && h == VARIANT_TRUE) {
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
    if (hide && !m_showHidden && m_selectedShot.get() == shot) {
        ComPtr<IShot> other;
        if (!Navigate(shot, &other, 1))
            Navigate(shot, &other, -1);
        m_selectedShot = other; // null when it was the only shot
    }
    shot->put_Hidden(toVariantBool(hide));
    ReleaseCache();
    m_modified = 1;
    UpdateAllViews(nullptr, KavroHint::Everything);
}

void CKavroDoc::ClearAllShots()
{
    m_selectedShot = nullptr;
    if (m_document)
        m_document->ClearShots();
    ReleaseCache();
    m_includeSightings = 0;
    m_modified = 1;
    UpdateAllViews(nullptr, KavroHint::Everything);
}

void CKavroDoc::ClearSightingShots()
{
    if (!m_document)
        return;
    VARIANT_BOOL match = VARIANT_TRUE;
    if (ComPtr<IAimingAttr> a = attrOf(m_selectedShot.get());
        a && SUCCEEDED(a->get_Match(&match)) && match != VARIANT_TRUE)
        m_selectedShot = nullptr;
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
    if (!m_document)
        return;
    const int count = GetAttrPulseCount(m_document.get());
    if (count > 0) {
        int p = 0;
        DATE t = 0;
        if (ReadPulseSample(count - 1, &t, &p) && p == pulse)
            return;
    }
    Variant li;
    m_document->get_Value(QStringLiteral("_pulse_li"), &li);
    int32_t i = 0;
    if (li.vt() == VT_I4) {
        i = int32_t(li.integer()) + 1;
    } else {
        m_document->put_Value(QStringLiteral("_pulse_fi"), Variant(int32_t(0)));
    }
    m_document->put_Value(QStringLiteral("_pulse_s%1").arg(i), Variant::fromInteger(VT_I2, pulse));
    m_document->put_Value(QStringLiteral("_pulse_t%1").arg(i), Variant::fromDate(time));
    m_document->put_Value(QStringLiteral("_pulse_li"), Variant(i));
}

bool CKavroDoc::ReadPulseSample(int i, DATE* time, int* pulse)
{
    if (!m_document || i < 0 || i >= GetAttrPulseCount(m_document.get()))
        return false;
    Variant fi, s, t;
    m_document->get_Value(QStringLiteral("_pulse_fi"), &fi);
    const int64_t k = fi.integer() + i;
    m_document->get_Value(QStringLiteral("_pulse_s%1").arg(k), &s);
    m_document->get_Value(QStringLiteral("_pulse_t%1").arg(k), &t);
    if (s.vt() != VT_I2 || t.vt() != VT_DATE)
        return false;
    *pulse = int(s.integer());
    *time = t.r8();
    return true;
}

int CKavroDoc::PulseAt(DATE moment)
{
    int pulse = 0;
    const int count = GetPulseCount();
    for (int i = 0; i < count; ++i) {
        DATE t = 0;
        if (!ReadPulseSample(i, &t, &pulse))
            continue;
        if (t > moment)
            break;
    }
    return pulse;
}

// --- replay -----------------------------------------------------------------------------------

int CKavroDoc::GetReplayState()
{
    if (m_selectedShot && m_replayState != ReplayStopped) {
        uint8_t running = 0;
        UpdateAllViews(nullptr, KavroHint::IsReplayRunning, &running);
        if (!running)
            m_replayState = ReplayStopped;
    }
    return m_replayState;
}

bool CKavroDoc::StartReplay()
{
    if (!m_selectedShot)
        return false;
    uint8_t refuse = 0;
    UpdateAllViews(nullptr, KavroHint::MayReplayStart, &refuse);
    if (refuse)
        return false;
    UpdateAllViews(nullptr, KavroHint::ReplayStarts);
    m_replayState = ReplayPlaying;
    return true;
}

void CKavroDoc::PauseReplay()
{
    if (m_replayState == ReplayStopped || m_replayState == ReplayPaused)
        return;
    m_replayState = ReplayPaused;
    uint8_t paused = 1;
    UpdateAllViews(nullptr, KavroHint::ReplayPaused, &paused);
}

void CKavroDoc::ResumeReplay()
{
    if (m_replayState == ReplayStopped || m_replayState == ReplayPlaying)
        return;
    m_replayState = ReplayPlaying;
    uint8_t paused = 0;
    UpdateAllViews(nullptr, KavroHint::ReplayPaused, &paused);
}

void CKavroDoc::StopReplay()
{
    UpdateAllViews(nullptr, KavroHint::ReplayStopped);
    m_replayState = ReplayStopped;
}

// --- navigation -------------------------------------------------------------------------------

bool CKavroDoc::Navigate(IShot* current, ComPtr<IShot>* out, int step)
{
    ComPtr<IShotCollection> list;
    if (!(includeSightings() ? GetShots(&list) : GetMatchShots(&list)))
        return false;
    const int n = countOf(list.get());
    if (n == 0)
        return false;
    auto give = [&](int t) {
        *out = shotAt(list.get(), t);
        return *out != nullptr;
    };
    if (step == -3)
        return give(1);
    if (step == 3)
        return give(n);
    if (!current)
        return give(step < 1 ? n : 1);
    int i = 0;
    for (int k = 1; k <= n && i == 0; ++k) {
        if (shotAt(list.get(), k).get() == current)
            i = k;
    }
    if (i == 0)
        return give(step < -2 || step >= 0 ? 1 : n);

    int t = i;
    if (step == -1 || step == 1) {
        t = i + step;
    } else if ((step == -2 || step == 2) && GetTargetKind() == TargetKind::Biathlon) {
        ComPtr<IAiming> aiming;
        if (!FindAiming(current, &aiming))
            return false;
        int32_t k = 0;
        aiming->get_ShotCount(&k);
        int j = 0;
        for (int m = 1; m <= k && j == 0; ++m) {
            ComPtr<IShot> s;
            if (SUCCEEDED(aiming->Shot(m, s.put())) && s.get() == current)
                j = m;
        }
        if (j == 0)
            return false;
        if (step == 2 && j < k) {
            t = i + k - j;
        } else if (step == -2 && j > 1) {
            t = i - j + 1;
        } else {
            const int neighbour = step == 2 ? i + 1 : i - 1;
            if (neighbour < 1 || neighbour > n)
                return false;
            ComPtr<IAiming> next;
            if (!FindAiming(shotAt(list.get(), neighbour).get(), &next))
                return false;
            int32_t k2 = 0;
            next->get_ShotCount(&k2);
            t = step == 2 ? i + k2 : i - k2;
        }
    } else if (step == -2 || step == 2) {
        ComPtr<IEventParams> event;
        int32_t d = 0;
        if (GetEvent(&event))
            event->get_MaxShotsPerSerie(&d);
        if (d < 1)
            d = 10;
        int s = 0;
        if (includeSightings()) {
            ComPtr<IShotCollection> sighting;
            if (GetSightingShots(&sighting))
                s = countOf(sighting.get());
        }
        t = seriesStepTarget(i, step, d, s);
    }
    t = std::clamp(t, 1, n);
    if (t == i)
        return false;
    return give(t);
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
