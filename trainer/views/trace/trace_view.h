#pragma once
// The trace view: the selected shot's aiming with its trace on a large target, the pulse panel
// beside it and the replay panel over it; it follows the practice document through its hints.
#include "document_base.h"
#include "hidden_refresh.h"
#include "kavro_doc.h"
#include "pulse_window.h"
#include "replay_panel.h"
#include "target_host.h"
#include "trace_tone.h"
#include "trace_zoom.h"
#include "view_registry.h"

#include "thread/clock.h"

#include <QTimer>
#include <QWidget>

class QSplitter;

// The window around the trace control.
class CTraceWindow : public QWidget {
public:
    explicit CTraceWindow(QWidget* parent);
    CTargetHost& host() { return host_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    CTargetHost host_;
};

class CTraceView : public QWidget, public CView, public CFrameViewExtras {
public:
    CTraceView(CKavroDoc& doc, QWidget* parent);
    ~CTraceView() override;

    void OnDocumentUpdate(CView* sender, int hint, const KavroHint::Payload& payload) override;
    bool IsReplayRunning(CView* sender) override;
    // The options changed: trace colours and replay speed.
    void ReloadSettings() override;

    static void setToneGenerator(BlindToneGenerator* generator);
    // Tests drive the view's timers by hand on a clock of their own.
    void setClock(kavro::Clock& clock) { clock_ = &clock; }

    ITarget* target() const { return traceWindow_->host().target(); }
    CTraceWindow* traceWindow() const { return traceWindow_; }
    CPulseWindow* pulseWindow() const { return pulse_; }
    CReplayControlWindow* replayPanel() const { return replay_; }
    float largestZoom() const { return maxZoom_; }
    bool zoomAnimating() const { return zoom_.running(); }
    bool timeCounterRunning() const { return counterTimer_.isActive(); }
    bool heartTimerRunning() const { return heartTimer_.isActive(); }
    float correctionX() const { return dx_; }
    float correctionY() const { return dy_; }

    void ApplyTraceOptions(bool refresh);
    void ShowShot(IAiming* aiming, IShot* shot, bool zoom);
    void SetAiming(IAiming* aiming, IShot* shot, bool zoom);
    void SetZoomSmooth(float level);
    void UpdateTimeCounter();
    void BlindToneUpdate(float x, float y, IEventParams* event, IAimingAttr* attr);
    void StartReplay();
    // The replay position moved to `x` seconds from the shot: panel, tone, trigger, heart, pulse.
    void UpdateReplayPanel(float x);
    void OnReplayScroll(kavro::trace::ScrollCode code, int thumb);
    // Brings the control up to date after hints that came while the view was hidden.
    void RefreshIfNeeded();
    bool isStale() const { return refresh_.owes(); }

    // Timer steps.
    void OnZoomTimer();
    void OnHeartTimer();

    // Control events.
    void OnZoomChanged();
    void OnRightClick();
    void OnStartDrag(float x, float y);
    void OnEndDrag(float x, float y);
    void OnReplayPositionChanged();
    void OnEndReplay();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Layout();
    void OnNewPractice();
    void StopTone();
    void StopZoomAnimation();
    bool deviceConnected() const;
    void selection(ComPtr<IAiming>* aiming, ComPtr<IShot>* shot);
    bool matchStarted() const;
    bool OnKeyDown(int key);
    // While hidden, the hints that only change what the control shows are noted, not drawn.
    bool NoteWhileHidden(int hint, const KavroHint::Payload& payload);
    void ToneForNewestPoint(IAiming* aiming);
    void ShowLiveAiming(IAiming* aiming);

    CKavroDoc& doc_;
    kavro::Clock* clock_;
    QSplitter* splitter_;
    CTraceWindow* traceWindow_;
    CPulseWindow* pulse_;
    CReplayControlWindow* replay_;
    ComPtr<IShot> currentShot_;
    ComPtr<IShot> replayShot_;
    float dx_ = 0, dy_ = 0;
    float dragX_ = 0, dragY_ = 0;
    kavro::trace::ZoomAnimation zoom_;
    QTimer counterTimer_, heartTimer_;
    float maxZoom_ = 6;
    DATE lastBeat_ = 0, previousBeat_ = 0;
    int triggerMax_ = 0;
    int fixedTriggerScale_ = 0;
    HiddenRefresh refresh_;
    ComPtr<IAiming> liveAiming_; // from its start until it concludes finally
};
