#pragma once
// The trainer's document: the practice being shown or recorded, an optional read-only model
// practice beside it, the selection, the replay state, the heart pulse and the shot-display
// parameters. Every change reaches the views through UpdateAllViews with a hint of kavro_hints.h.
// Getters return false when there is no valid document and hand out new references.
// Loading and saving live here; each other concern has its own part, which this class forwards to.
#include "doc_collections.h"
#include "doc_pulse.h"
#include "doc_replay.h"
#include "doc_selection.h"
#include "doc_shot_parameters.h"
#include "document_base.h"
#include "kavro_hints.h"
#include "kavrodoc.h"
#include "target_kind.h"

#include <QString>

class QWidget;

class CKavroDoc : public CDocumentBase {
public:
    using ReplayState = DocumentReplay::State;
    using enum DocumentReplay::State;

    CKavroDoc();
    ~CKavroDoc() override;

    // --- state ---------------------------------------------------------------------------
    bool HasDocument() const;
    bool HasModel() const;
    bool IsModified() const { return modified_ != 0; }
    void SetModified() { modified_ = 1; }
    void ClearModified() { modified_ = 0; }
    QString lastReadError() const { return lastReadError_; }
    IKavroDocument* document() const { return document_.get(); }
    IKavroDocument* modelDocument() const { return modelDocument_.get(); }

    // --- getters -------------------------------------------------------------------------
    bool GetEvent(ComPtr<IEventParams>* out);
    bool GetAimings(ComPtr<IAimingCollection>* out);
    bool GetShots(ComPtr<IShotCollection>* out); // all shots, hidden ones with showHidden
    bool GetSightingAimings(ComPtr<IAimingCollection>* out);
    bool GetMatchAimings(ComPtr<IAimingCollection>* out);
    bool GetSightingShots(ComPtr<IShotCollection>* out);
    bool GetMatchShots(ComPtr<IShotCollection>* out);
    bool GetModelAimings(ComPtr<IAimingCollection>* out);
    bool GetModelShots(ComPtr<IShotCollection>* out); // hidden excluded, not cached
    bool GetSelectedShot(ComPtr<IShot>* out);
    bool GetSelectedAiming(ComPtr<IAiming>* out);
    bool FindAiming(IShot* shot, ComPtr<IAiming>* out);
    bool FindModelAiming(IShot* shot, ComPtr<IAiming>* out);
    bool GetShooterName(QString* out);
    bool GetModelShooterName(QString* out);
    bool GetComments(QString* out);
    bool GetModelComments(QString* out);
    bool GetPositionName(QString* out);
    bool GetEventShortName(QString* out);
    bool GetEventDisplayName(QString* out);
    bool GetFileVersion(int32_t* out);
    bool GetFileName(QString* out);
    int GetPulse() const;
    int GetPulseCount();
    bool IsThreePositions();
    bool HasTriggerData();
    bool HasValidShotTimes();
    bool ModelHasValidShotTimes();
    // 0 no event, 1 ordinary, 2 biathlon, 4..11 the special targets (by the event's short name).
    TargetKind::Kind GetTargetKind();
    int MatchShotCount();
    int SightingShotCount();
    // Counts that decide whether a practice is kept: hidden shots are shots, whatever is shown.
    int ShotCountWithHidden();
    int MatchShotCountWithHidden();

    // --- shot display parameters -----------------------------------------------------------
    bool includeSightings() const { return selection_.includeSightings(); }
    void SetIncludeSightings(bool include); // IncludeSightings when it changes
    bool showHidden() const { return showHidden_; }
    int fCoefficient() const { return shotParameters_.fCoefficient(); }
    float traceSeconds() const { return shotParameters_.traceSeconds(); }
    int controlInterval2() const { return shotParameters_.controlInterval2(); }
    float shotTimeOffset() const { return shotParameters_.shotTimeOffset(); }
    float dispersion() const { return shotParameters_.dispersion(); }
    bool centreGroups() const { return shotParameters_.centreGroups(); }

    // --- operations ----------------------------------------------------------------------
    void Reset();
    bool NewDocument(IEventParams* event, const QString& shooterName, int positionIndex, const QString& deviceText,
                     int fCoefficient);
    bool OpenDocument(const QString& path);
    bool Save();
    bool OpenModel(const QString& path);
    void CloseModel();
    // False when the user cancels, or chose to save and the save failed.
    bool SaveModified();
    bool SaveCopyTo(const QString& folder);
    bool ClearFileName();
    bool SetSelectedShot(IShot* shot, CView* sender);
    void AddShot(IShot* shot, IAiming* aiming);
    bool AddMissedShot(bool match, ComPtr<IShot>* out);
    void SetPosition(const QString& name);
    void SetShotsParameters(int fCoefficient, float traceSeconds, int controlInterval2, float shotTimeOffset,
                            float dispersion, bool centreGroups);
    bool SetShowHidden(bool show);
    void SetShotHidden(IShot* shot, bool hide);
    void ClearAllShots();
    // Deletes the sighting shots; a selected sighting shot is deselected.
    void ClearSightingShots();
    void SetPulse(int pulse);
    void AppendPulseSample(DATE time, int pulse);
    bool ReadPulseSample(int i, DATE* time, int* pulse);
    // Every sample that reads back, oldest first; pulseAt tells the pulse at a moment.
    std::vector<PulseSample> PulseSamples();

    // --- replay --------------------------------------------------------------------------
    ReplayState GetReplayState();
    bool StartReplay();
    void PauseReplay();
    void ResumeReplay();
    void StopReplay();

    // step: a NavigateStep; by series means by aiming in biathlon. True when *out holds a shot
    // other than `current`.
    bool Navigate(IShot* current, ComPtr<IShot>* out, int step);

    // "Unable to load file." with the read error on a line of its own when there is one.
    static QString openFailureText(const QString& readError);
    // "Unable to save the file." with the reason of a failed save and what to do on a second line.
    static QString saveFailureText(HRESULT result);
    // That text for the last Save or SaveCopyTo.
    QString lastSaveFailureText() const { return saveFailureText(lastSaveResult_); }
    // Tells the user, over `owner`, why the last Save or SaveCopyTo failed.
    void ShowLastSaveFailure(QWidget* owner) const;

private:
    void ReleaseCache() { cache_.release(); }
    bool LoadWithProgress(IKavroDocument* doc, int stringId);
    // The list Navigate walks, with what its series and aiming steps need.
    ShotSteps NavigationSteps();
    // Re-centres the group of a new shot: the match shots or the sighting shots.
    bool CentreGroupOf(IShot* shot);

    QString lastReadError_;
    HRESULT lastSaveResult_ = S_OK;
    ComPtr<IKavroDocument> document_;
    ComPtr<IKavroDocument> modelDocument_;
    ShotSelection selection_;
    bool showHidden_ = false;
    int validShotTimes_ = -1;
    int modelValidShotTimes_ = -1;
    CachedCollections cache_;
    ShotParameters shotParameters_;
    DocumentReplay replay_{*this};
    uint16_t pulse_ = 0;
    uint8_t modified_ = 0;
};
