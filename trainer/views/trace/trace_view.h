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
    CTargetHost& host() { return m_host; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    CTargetHost m_host;
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
    void setClock(kavro::Clock& clock) { m_clock = &clock; }

    ITarget* target() const { return m_traceWindow->host().target(); }
    CTraceWindow* traceWindow() const { return m_traceWindow; }
    CPulseWindow* pulseWindow() const { return m_pulse; }
    CReplayControlWindow* replayPanel() const { return m_replay; }
    float largestZoom() const { return m_maxZoom; }
    bool zoomAnimating() const { return m_zoom.running(); }
    bool timeCounterRunning() const { return m_counterTimer.isActive(); }
    bool heartTimerRunning() const { return m_heartTimer.isActive(); }
    float correctionX() const { return m_dx; }
    float correctionY() const { return m_dy; }

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
    bool isStale() const { return m_refresh.owes(); }

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

    CKavroDoc& m_doc;
    kavro::Clock* m_clock;
    QSplitter* m_splitter;
    CTraceWindow* m_traceWindow;
    CPulseWindow* m_pulse;
    CReplayControlWindow* m_replay;
    ComPtr<IShot> m_currentShot;
    ComPtr<IShot> m_replayShot;
    float m_dx = 0, m_dy = 0;
    float m_dragX = 0, m_dragY = 0;
    kavro::trace::ZoomAnimation m_zoom;
    QTimer m_counterTimer, m_heartTimer;
    float m_maxZoom = 6;
    DATE m_lastBeat = 0, m_previousBeat = 0;
    int m_triggerMax = 0;
    int m_fixedTriggerScale = 0;
    HiddenRefresh m_refresh;
    ComPtr<IAiming> m_liveAiming; // from its start until it concludes finally
};
