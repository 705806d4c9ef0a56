#pragma once
// The target display control: a COM object that shows aimings and shots on the target of a
// shooting event, and the widget it makes for its host. Zoom, mouse handling and replay build on
// the hooks marked below.
#include "kavrogui.h"
#include "layer_cache.h"
#include "target_state.h"

#include "com/classregistry.h"
#include "com/connection.h"
#include "thread/clock.h"
#include "thread/coalescing_ticker.h"
#include "thread/control_queue.h"

#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

class QImage;
class QPainter;

namespace kavro::target {

class TargetWidget;
class TargetPainter;
struct Hit;

// What the mouse did on the control's window.
enum class MouseAction { Move, LeftDown, LeftUp, LeftDouble, RightDown, MiddleDown };

// The pointer the window shows: over a breach, while dragging or panning, while drawing a band.
enum class MouseCursor { Arrow, OverBreach, Grabbing, Cross };

class CTarget final : public ComObject<CTarget, ITarget, ITargetWindow, IConnectionPointContainer, IPersistStreamInit,
                                       IPersistPropertyBag, IPerPropertyBrowsing> {
public:
    static constexpr CLSID clsid = kavrogui::CLSID_Target;
    static constexpr int32_t kVersion = 1;

    CTarget();
    ~CTarget() override;

    // ITarget
    HRESULT get_Item(int32_t nIndex, IAiming** out) override;
    HRESULT get_Event(IEventParams** out) override;
    HRESULT put_Event(IEventParams* value) override;
    HRESULT get_Count(int32_t* out) override;
    HRESULT get_Label(int32_t nPosition, QString* out) override;
    HRESULT put_Label(int32_t nPosition, const QString& value) override;
    HRESULT get_Match(VARIANT_BOOL* out) override;
    HRESULT put_Match(VARIANT_BOOL value) override;
    HRESULT get_TraceHeadingLength(float* seconds) override;
    HRESULT put_TraceHeadingLength(float seconds) override;
    HRESULT get_DisplayBreach(VARIANT_BOOL* out) override;
    HRESULT put_DisplayBreach(VARIANT_BOOL value) override;
    HRESULT get_DisplayTrace(VARIANT_BOOL* out) override;
    HRESULT put_DisplayTrace(VARIANT_BOOL value) override;
    HRESULT get_DisplayReplayMark(VARIANT_BOOL* out) override;
    HRESULT put_DisplayReplayMark(VARIANT_BOOL value) override;
    HRESULT get_Selectable(VARIANT_BOOL* out) override;
    HRESULT put_Selectable(VARIANT_BOOL value) override;
    HRESULT get_Dragable(VARIANT_BOOL* out) override;
    HRESULT put_Dragable(VARIANT_BOOL value) override;
    HRESULT get_Zoom(float* out) override;
    HRESULT put_Zoom(float value) override;
    HRESULT get_AutoZoom(VARIANT_BOOL* out) override;
    HRESULT put_AutoZoom(VARIANT_BOOL value) override;
    HRESULT get_ReplayMarkColor(OLE_COLOR* out) override;
    HRESULT put_ReplayMarkColor(OLE_COLOR value) override;
    HRESULT get_SightingMarkColor(OLE_COLOR* out) override;
    HRESULT put_SightingMarkColor(OLE_COLOR value) override;
    HRESULT get_TraceAfterShotColor(OLE_COLOR* out) override;
    HRESULT put_TraceAfterShotColor(OLE_COLOR value) override;
    HRESULT get_TraceColor(OLE_COLOR* out) override;
    HRESULT put_TraceColor(OLE_COLOR value) override;
    HRESULT get_TraceHeadingColor(OLE_COLOR* out) override;
    HRESULT put_TraceHeadingColor(OLE_COLOR value) override;
    HRESULT get_EnableUpdate(VARIANT_BOOL* out) override;
    HRESULT put_EnableUpdate(VARIANT_BOOL value) override;
    HRESULT Clear() override;
    HRESULT Add(IAiming* aiming) override;
    HRESULT get_SelectedAiming(IAiming** out) override;
    HRESULT get_SelectedShot(IShot** out) override;
    HRESULT put_SelectedShot(IShot* value) override;
    HRESULT ZoomToFit(VARIANT_BOOL vbSquare) override;
    HRESULT ZoomTo(float left, float top, float width, float height) override;
    HRESULT ResetIntervals() override;
    HRESULT AddTraceInterval(float secStart, float secEnd, OLE_COLOR color) override;
    HRESULT UpdateAiming(IAiming* aiming) override;
    HRESULT SetShotCorrection(IShot* shot, float dx, float dy) override;
    HRESULT GetImage(VARIANT_BOOL metafile, IUnknown** image) override;
    HRESULT get_ReplaySpeed(int32_t* percent) override;
    HRESULT put_ReplaySpeed(int32_t percent) override;
    HRESULT get_ReplayPosition(float* seconds) override;
    HRESULT put_ReplayPosition(float seconds) override;
    HRESULT get_ReplayAiming(IAiming** out) override;
    HRESULT put_ReplayAiming(IAiming* value) override;
    HRESULT get_ReplayShot(IShot** out) override;
    HRESULT put_ReplayShot(IShot* value) override;
    HRESULT get_ReplayPaused(VARIANT_BOOL* out) override;
    HRESULT put_ReplayPaused(VARIANT_BOOL value) override;
    HRESULT get_EventShortName(QString* out) override;
    HRESULT put_EventShortName(const QString& value) override;
    HRESULT get_ShadeLabel(VARIANT_BOOL* out) override;
    HRESULT put_ShadeLabel(VARIANT_BOOL value) override;
    HRESULT get_LabelColor(OLE_COLOR* out) override;
    HRESULT put_LabelColor(OLE_COLOR value) override;
    HRESULT Refresh() override;
    HRESULT get_DefaultBackground(VARIANT_BOOL* out) override;
    HRESULT put_DefaultBackground(VARIANT_BOOL value) override;
    HRESULT get_ReplayLabel(QString* out) override;
    HRESULT put_ReplayLabel(const QString& value) override;
    HRESULT get_ReplayPausedLabel(QString* out) override;
    HRESULT put_ReplayPausedLabel(const QString& value) override;
    HRESULT get_TraceThickness(float* out) override;
    HRESULT put_TraceThickness(float value) override;
    HRESULT get_BreachColor(OLE_COLOR* out) override;
    HRESULT put_BreachColor(OLE_COLOR value) override;
    HRESULT get_SelectedBreachColor(OLE_COLOR* out) override;
    HRESULT put_SelectedBreachColor(OLE_COLOR value) override;
    HRESULT get_VisibleLeft(float* out) override;
    HRESULT get_VisibleTop(float* out) override;
    HRESULT get_VisibleWidth(float* out) override;
    HRESULT get_VisibleHeight(float* out) override;
    HRESULT get_SubTarget(int32_t* out) override;
    HRESULT put_SubTarget(int32_t value) override;
    HRESULT AddElement(enumTargetElementType type, float left, float top, float width, float height,
                       ITargetElement** out) override;
    HRESULT Elements(int32_t index, ITargetElement** out) override;
    HRESULT get_ElementCount(int32_t* out) override;
    HRESULT ClearElements() override;
    HRESULT get_BackColor(OLE_COLOR* out) override;
    HRESULT put_BackColor(OLE_COLOR value) override;
    HRESULT get_DisplayScoreRings(VARIANT_BOOL* out) override;
    HRESULT put_DisplayScoreRings(VARIANT_BOOL value) override;

    // ITargetWindow
    HRESULT CreateWidget(QWidget* parent, QWidget** widget) override;

    // IConnectionPointContainer
    HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** out) override;

    // IPersistStreamInit and IPersistPropertyBag: the persisted properties in their fixed order.
    HRESULT GetClassID(CLSID* out) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, BOOL clearDirty) override;
    HRESULT GetSizeMax(uint64_t* size) override;
    HRESULT InitNew() override;
    HRESULT Load(IPropertyBag* bag) override;
    HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAllProperties) override;

    // IPerPropertyBrowsing: the installed events offered for EventShortName.
    HRESULT GetDisplayString(DISPID dispid, QString* text) override;
    HRESULT MapPropertyToPage(DISPID dispid, CLSID* page) override;
    HRESULT GetPredefinedStrings(DISPID dispid, std::vector<QString>* texts, std::vector<uint32_t>* cookies) override;
    HRESULT GetPredefinedValue(DISPID dispid, uint32_t cookie, Variant* value) override;

    // Drawing entries of the widget: the whole picture into its back buffer.
    void paintBuffer(QImage* buffer);
    // The widget is going away.
    void widgetDestroyed();
    // A mouse message at a window pixel; the cursor to show, none to keep the current one.
    std::optional<MouseCursor> mouseInput(MouseAction action, GdiPoint pixel, bool ctrl);

    // Where replay time comes from and the queue its ticks arrive on. The default is the
    // machine's clock and the Qt event loop of the thread that starts the first replay; set
    // before a replay starts.
    using QueueFactory = std::function<std::unique_ptr<ControlQueue>(QueueHandler)>;
    void setReplayTiming(Clock& clock, QueueFactory makeQueue);
    static constexpr uint32_t kReplayTickMessage = 0x7FFF;

    const TargetState& state() const { return state_; }

private:
    // A member changed what is drawn.
    void requestRedraw();
    // Frees the kept pictures of the lower layers.
    void dropKeptLayers();
    void invalidate(const std::optional<GdiRect>& rect = std::nullopt);
    HRESULT setEvent(IEventParams* event);
    void endMouseAction(bool aborted);
    COLORREF backgroundColour() const;
    // Where the control draws: its widget, or its extent in pixels while it has none.
    GdiRect windowBounds() const;
    DrawGeometry windowGeometry() const;
    HRESULT setFlag(bool& field, VARIANT_BOOL value, bool redrawOnChange);
    HRESULT setColour(OLE_COLOR& field, OLE_COLOR value, bool redraw);
    std::vector<Variant> persistedValues();

    // Zoom.
    void applyZoomLevel();
    void autoZoom();
    void setVisible(const GdiRect& rect);
    float smallestExtent() const; // mm
    void setSquareView(float side);

    // Selection and the mouse.
    // The aiming entry that holds the shot (same object).
    std::optional<size_t> findShot(IShot* shot) const;
    void selectShot(IShot* shot);
    MouseCursor mouseMove(GdiPoint pixel, GdiPoint p, bool overBreach);
    void mouseLeftDown(GdiPoint p, bool ctrl, const Hit* hit);
    void mouseDoubleClick(GdiPoint p, const Hit* hit);
    void clickSelecting(GdiPoint p, const Hit* hit, HRESULT (_ITargetEvents::*click)(float, float));
    void pan(GdiPoint pixel, GdiPoint p);
    void endBand(bool aborted);
    bool insideWindow(GdiPoint pixel) const;

    // Replay.
    void startReplay();
    void stopReplay();
    void replayTick();
    bool startTicker(int32_t rate);
    void stopTicker();
    // Draws the replay's move from sample e to d on the window; false when only a redraw will do.
    void drawReplayAdvance(int32_t e, int32_t d, std::optional<bool> markVisible);
    void setMarkVisible(bool visible);
    // Runs `draw` on the window's back buffer and shows what it touched; false without one.
    bool drawOnWindow(const std::function<void(TargetPainter&)>& draw);

    template <class F> void fire(F&& f) { events_.fire(std::forward<F>(f)); }

    TargetState state_;
    ConnectionPoint<_ITargetEvents> events_{identity()};
    QPointer<TargetWidget> widget_;
    std::vector<Variant> savedValues_; // the persisted values at the last load or save
    LayerCache faceLayer_; // the background and the face
    LayerCache shotLayer_; // the face with the aimings' filled breaches and traces over it

    Clock* clock_ = &realClock();
    QueueFactory makeQueue_;
    std::unique_ptr<ControlQueue> queue_; // before the ticker: the ticker posts to it
    std::unique_ptr<CoalescingTicker> ticker_;
};

} // namespace kavro::target
