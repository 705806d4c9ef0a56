#include "kavro_doc.h"

#include "doc_facts.h"
#include "doc_helpers.h"
#include "main_frame_base.h"
#include "frame_message.h"
#include "ui_text.h"

#include "com/classregistry.h"
#include "com/connection.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <algorithm>

namespace {

const QString kPosition = QStringLiteral("_position");

// Why a practice did not open, as its document tells; a folder is no file the document could
// read, and saying only that it does not open leaves the user guessing.
QString readErrorOf(IKavroDocument* doc, const QString& path)
{
    if (QFileInfo(path).isDir())
        return uiText(32864);
    QString message;
    doc->get_ReadErrorMsg(&message);
    return message;
}

// The wait cursor while a document loads or saves, when there is a screen to show it on.
class WaitCursor {
public:
    WaitCursor() : active_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (active_)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~WaitCursor()
    {
        if (active_)
            QGuiApplication::restoreOverrideCursor();
    }

private:
    bool active_;
};

// Forwards a document's Progress event to the frame's progress bar.
class ProgressSink final : public ComObject<ProgressSink, _IKavroDocumentEvents> {
public:
    explicit ProgressSink(CMainFrameBase* frame) : frame_(frame) { }
    HRESULT Progress(int32_t done, int32_t total) override
    {
        if (frame_)
            frame_->ShowProgress(done, total);
        return S_OK;
    }

private:
    CMainFrameBase* frame_;
};

// Status text, progress bar and the document's progress events for the length of one load or save.
class ProgressScope {
public:
    ProgressScope(const CDocumentBase& owner, IKavroDocument* doc, int stringId)
        : doc_(doc), frame_(CMainFrameBase::of(owner))
    {
        if (frame_)
            frame_->BeginProgress(stringId);
        sink_ = ProgressSink::create(frame_);
        if (FAILED(adviseSink(doc, _IKavroDocumentEvents::iid, sink_->identity(), &cookie_)))
            cookie_ = 0;
    }
    ~ProgressScope()
    {
        if (cookie_)
            unadviseSink(doc_, _IKavroDocumentEvents::iid, cookie_);
        if (frame_)
            frame_->EndProgress();
    }

private:
    IKavroDocument* doc_;
    CMainFrameBase* frame_;
    ComPtr<ProgressSink> sink_;
    uint32_t cookie_ = 0;
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
    document_ = nullptr;
    modelDocument_ = nullptr;
    selection_.clear();
    ReleaseCache();
    for (CView* v : std::vector<CView*>(views()))
        RemoveView(v);
}

bool CKavroDoc::HasDocument() const
{
    return isValidDocument(document_.get());
}

bool CKavroDoc::HasModel() const
{
    return modelDocument_ != nullptr;
}

void CKavroDoc::Reset()
{
    document_ = nullptr;
    modelDocument_ = nullptr;
    selection_.clear();
    ReleaseCache();
    shotParameters_.reset();
    selection_.setIncludeSightings(false);
    showHidden_ = false;
    replay_.reset();
    pulse_ = 0;
    modified_ = 0;
    validShotTimes_ = -1;
    modelValidShotTimes_ = -1;
}

// --- operations -------------------------------------------------------------------------------

void CKavroDoc::SetIncludeSightings(bool include)
{
    if (!selection_.setIncludeSightings(include))
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
        document_ = nullptr;
        return false;
    }
    document_ = doc;
    selection_.clear();
    selection_.setIncludeSightings(true);
    shotParameters_.setFCoefficient(fCoefficient);
    validShotTimes_ = 1;
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
    lastReadError_.clear();
    ComPtr<IKavroDocument> doc;
    if (FAILED(createInstance(kavrodoc::CLSID_KavroDocument, &doc)) || !doc) {
        document_ = nullptr;
        UpdateAllViews(nullptr, KavroHint::Everything);
        return false;
    }
    document_ = doc;
    doc->put_FileName(path);
    const bool loaded = LoadWithProgress(doc.get(), 32840);
    if (!loaded || !isValidDocument(doc.get())) {
        lastReadError_ = readErrorOf(doc.get(), path);
        document_ = nullptr;
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
        selection_.setIncludeSightings(true);
        GetShots(&list);
    }
    selection_.clear();
    selection_.select(shotAt(list.get(), 1).get());
    shotParameters_.setFCoefficient(0);
    if (selection_.shot()) {
        int32_t f = 0;
        if (ComPtr<IAimingAttr> a = attrOf(selection_.shot()); a && SUCCEEDED(a->get_FCoefficient(&f)))
            shotParameters_.setFCoefficient(f);
    }
    UpdateAllViews(nullptr, KavroHint::Everything);
    return true;
}

bool CKavroDoc::Save()
{
    if (!document_)
        return false;
    WaitCursor wait;
    HRESULT hr = E_FAIL;
    {
        ProgressScope progress(*this, document_.get(), 32841);
        QString name;
        document_->get_FileName(&name);
        if (!name.isEmpty())
            hr = document_->Save();
        if (FAILED(hr)) {
            QString catalog;
            document_->get_CatalogPath(&catalog);
            // A first save on a new machine has no catalog folder yet: make it rather than fail.
            if (!catalog.isEmpty())
                QDir().mkpath(catalog);
            hr = document_->SaveUnique(catalog);
        }
    }
    // The catalog's reason is the one told: it was the last place tried.
    lastSaveResult_ = hr;
    const bool ok = SUCCEEDED(hr);
    if (ok) {
        modified_ = 0;
        UpdateAllViews(nullptr, KavroHint::Saved);
    }
    return ok;
}

bool CKavroDoc::OpenModel(const QString& path)
{
    WaitCursor wait;
    const bool hadModel = modelDocument_ != nullptr;
    modelDocument_ = nullptr;
    lastReadError_.clear();
    ComPtr<IKavroDocument> model;
    bool keep = HasDocument() && SUCCEEDED(createInstance(kavrodoc::CLSID_KavroDocument, &model)) && model;
    if (keep) {
        model->put_FileName(path);
        keep = LoadWithProgress(model.get(), 32840) && isValidDocument(model.get());
        if (!keep)
            lastReadError_ = readErrorOf(model.get(), path);
    }
    if (keep) {
        ComPtr<IEventParams> mine, theirs;
        document_->get_Event(mine.put());
        model->get_Event(theirs.put());
        ComPtr<IAimingCollection> aimings;
        keep = mine && theirs && sameObject(mine.get(), theirs.get()) && SUCCEEDED(model->get_Aimings(aimings.put()))
            && countOf(aimings.get()) > 1;
    }
    modelValidShotTimes_ = -1;
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
    modelDocument_ = model;
    UpdateAllViews(nullptr, KavroHint::Model);
    return true;
}

void CKavroDoc::CloseModel()
{
    modelDocument_ = nullptr;
    modelValidShotTimes_ = -1;
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
    if (!document_)
        return false;
    WaitCursor wait;
    ProgressScope progress(*this, document_.get(), 32841);
    QString name;
    document_->get_FileName(&name);
    lastSaveResult_ = document_->SaveUnique(folder);
    document_->put_FileName(name);
    return SUCCEEDED(lastSaveResult_);
}

bool CKavroDoc::ClearFileName()
{
    return document_ && SUCCEEDED(document_->put_FileName(QString()));
}

bool CKavroDoc::SetSelectedShot(IShot* shot, CView* sender)
{
    if (!selection_.select(shot))
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
    modified_ = 1;
    ReleaseCache();
    bool recentred = false;
    if (shot && !isMissed(shot)) {
        shotParameters_.applyToNew(shot);
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
    modified_ = 1;
    ReleaseCache();
    aiming->Shot(1, out->put());
    UpdateAllViews(nullptr, KavroHint::ShotAdded, aiming.get(), out->get());
    return true;
}

void CKavroDoc::SetPosition(const QString& name)
{
    if (!document_)
        return;
    QString current;
    if (documentString(document_.get(), kPosition, &current) && current == name)
        return;
    document_->put_Value(kPosition, Variant(name));
    modified_ = 1;
    UpdateAllViews(nullptr, KavroHint::Position);
}

void CKavroDoc::SetShotsParameters(int fCoefficient, float traceSeconds, int controlInterval2, float shotTimeOffset,
                                   float dispersion, bool centreGroups)
{
    if (!shotParameters_.set(fCoefficient, traceSeconds, controlInterval2, shotTimeOffset, dispersion, centreGroups))
        return;
    ComPtr<IShotCollection> shots;
    if (GetSightingShots(&shots))
        shotParameters_.applyTo(shots.get());
    if (GetMatchShots(&shots))
        shotParameters_.applyTo(shots.get());
    if (GetModelShots(&shots))
        shotParameters_.applyTo(shots.get());
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
    ShotParameters::centreGroup(group.get());
    return true;
}

bool CKavroDoc::SetShowHidden(bool show)
{
    if (showHidden_ == show)
        return true;
    showHidden_ = show;
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
    if (!shot || !document_)
        return;
    if (hide && !showHidden_ && selection_.shot() == shot)
        selection_.leaveForNeighbour(NavigationSteps());
    shot->put_Hidden(toVariantBool(hide));
    ReleaseCache();
    modified_ = 1;
    UpdateAllViews(nullptr, KavroHint::Everything);
}

void CKavroDoc::ClearAllShots()
{
    selection_.clear();
    if (document_)
        document_->ClearShots();
    ReleaseCache();
    selection_.setIncludeSightings(false);
    modified_ = 1;
    UpdateAllViews(nullptr, KavroHint::Everything);
}

void CKavroDoc::ClearSightingShots()
{
    if (!document_)
        return;
    selection_.dropSightingShot();
    document_->ClearSightingShots();
    ReleaseCache();
    modified_ = 1;
    UpdateAllViews(nullptr, KavroHint::Everything);
}

void CKavroDoc::SetPulse(int pulse)
{
    if (pulse == pulse_)
        return;
    pulse_ = uint16_t(pulse);
    UpdateAllViews(nullptr, KavroHint::Pulse);
}

void CKavroDoc::AppendPulseSample(DATE time, int pulse)
{
    if (document_)
        appendPulseSample(document_.get(), time, pulse);
}

bool CKavroDoc::ReadPulseSample(int i, DATE* time, int* pulse)
{
    return document_ && readPulseSample(document_.get(), i, time, pulse);
}

std::vector<PulseSample> CKavroDoc::PulseSamples()
{
    return HasDocument() ? readPulseSamples(document_.get()) : std::vector<PulseSample>();
}

// --- replay and navigation ------------------------------------------------------------------

CKavroDoc::ReplayState CKavroDoc::GetReplayState()
{
    return replay_.current(selection_.shot() != nullptr);
}

bool CKavroDoc::StartReplay()
{
    return replay_.start(selection_.shot() != nullptr);
}

void CKavroDoc::PauseReplay()
{
    replay_.pause();
}

void CKavroDoc::ResumeReplay()
{
    replay_.resume();
}

void CKavroDoc::StopReplay()
{
    replay_.stop();
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
    case HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE): reason = 33304; break;
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
