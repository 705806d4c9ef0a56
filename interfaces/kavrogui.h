#pragma once
// The interfaces, event sink and class identifiers of the target display control (kavrogui).
// Hosts create the control by CLSID and never link against the module.
//
// Shared rules: lengths crossing the interface are millimetres from the target centre (x to the
// right, y downwards); times are seconds relative to a shot; colours are OLE_COLOR values. A flag
// property is switched on only by VARIANT_TRUE (-1): any other value, 1 included, switches it off.
// The identifiers below are stored by hosts: never change them.
#include "kavrodoc.h"
#include "olecontrol.h"

class QWidget;

// Member numbers of ITarget, used by persistence and value browsing.
enum enumTargetDispId : DISPID {
    dispidItem = 0,
    dispidEvent = 1,
    dispidCount = 2,
    dispidLabel = 3,
    dispidMatch = 4,
    dispidTraceHeadingLength = 5,
    dispidDisplayBreach = 6,
    dispidDisplayTrace = 7,
    dispidDisplayReplayMark = 8,
    dispidSelectable = 9,
    dispidDragable = 10,
    dispidZoom = 11,
    dispidAutoZoom = 12,
    dispidReplayMarkColor = 13,
    dispidSightingMarkColor = 14,
    dispidTraceAfterShotColor = 15,
    dispidTraceColor = 16,
    dispidTraceHeadingColor = 17,
    dispidEnableUpdate = 18,
    dispidReplaySpeed = 34,
    dispidReplayPaused = 39,
    dispidEventShortName = 40,
    dispidShadeLabel = 41,
    dispidLabelColor = 42,
    dispidDefaultBackground = 44,
    dispidReplayLabel = 45,
    dispidReplayPausedLabel = 46,
    dispidTraceThickness = 47,
    dispidBreachColor = 48,
    dispidSelectedBreachColor = 49,
    dispidSubTarget = 54,
    dispidBackColor = 59,
    dispidDisplayScoreRings = 60,
};

struct ITarget : IUnknown {
    static constexpr Guid iid = Guid::parse("66586F39-A544-4438-884F-575771E6EC5B");
    virtual HRESULT get_Item(int32_t nIndex, IAiming** out) = 0; // 1-based
    virtual HRESULT get_Event(IEventParams** out) = 0; // E_INVALIDARG without one
    virtual HRESULT put_Event(IEventParams* value) = 0;
    virtual HRESULT get_Count(int32_t* out) = 0;
    // nPosition 1 or 2 (the persisted Label is label 1).
    virtual HRESULT get_Label(int32_t nPosition, QString* out) = 0;
    virtual HRESULT put_Label(int32_t nPosition, const QString& value) = 0;
    virtual HRESULT get_Match(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_Match(VARIANT_BOOL value) = 0;
    virtual HRESULT get_TraceHeadingLength(float* seconds) = 0;
    virtual HRESULT put_TraceHeadingLength(float seconds) = 0;
    virtual HRESULT get_DisplayBreach(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_DisplayBreach(VARIANT_BOOL value) = 0;
    virtual HRESULT get_DisplayTrace(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_DisplayTrace(VARIANT_BOOL value) = 0;
    virtual HRESULT get_DisplayReplayMark(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_DisplayReplayMark(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Selectable(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_Selectable(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Dragable(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_Dragable(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Zoom(float* out) = 0;
    virtual HRESULT put_Zoom(float value) = 0;
    virtual HRESULT get_AutoZoom(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_AutoZoom(VARIANT_BOOL value) = 0;
    virtual HRESULT get_ReplayMarkColor(OLE_COLOR* out) = 0;
    virtual HRESULT put_ReplayMarkColor(OLE_COLOR value) = 0;
    virtual HRESULT get_SightingMarkColor(OLE_COLOR* out) = 0;
    virtual HRESULT put_SightingMarkColor(OLE_COLOR value) = 0;
    virtual HRESULT get_TraceAfterShotColor(OLE_COLOR* out) = 0;
    virtual HRESULT put_TraceAfterShotColor(OLE_COLOR value) = 0;
    virtual HRESULT get_TraceColor(OLE_COLOR* out) = 0;
    virtual HRESULT put_TraceColor(OLE_COLOR value) = 0;
    virtual HRESULT get_TraceHeadingColor(OLE_COLOR* out) = 0;
    virtual HRESULT put_TraceHeadingColor(OLE_COLOR value) = 0;
    virtual HRESULT get_EnableUpdate(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_EnableUpdate(VARIANT_BOOL value) = 0;
    virtual HRESULT Clear() = 0;
    // Adding an aiming already shown is S_OK and changes nothing.
    virtual HRESULT Add(IAiming* aiming) = 0;
    virtual HRESULT get_SelectedAiming(IAiming** out) = 0;
    virtual HRESULT get_SelectedShot(IShot** out) = 0;
    virtual HRESULT put_SelectedShot(IShot* value) = 0;
    virtual HRESULT ZoomToFit(VARIANT_BOOL vbSquare) = 0;
    virtual HRESULT ZoomTo(float left, float top, float width, float height) = 0;
    // Back to the two default intervals: TraceColor before the shot, TraceAfterShotColor after.
    virtual HRESULT ResetIntervals() = 0;
    // Colours the trace from secStart to secEnd around every shot; later intervals win.
    virtual HRESULT AddTraceInterval(float secStart, float secEnd, OLE_COLOR color) = 0;
    // Draws what a live aiming gained since the last call.
    virtual HRESULT UpdateAiming(IAiming* aiming) = 0;
    virtual HRESULT SetShotCorrection(IShot* shot, float dx, float dy) = 0;
    // The whole drawing as a metafile picture (VARIANT_TRUE) or a bitmap picture.
    virtual HRESULT GetImage(VARIANT_BOOL metafile, IUnknown** image) = 0;
    virtual HRESULT get_ReplaySpeed(int32_t* percent) = 0;
    virtual HRESULT put_ReplaySpeed(int32_t percent) = 0; // 10..300
    virtual HRESULT get_ReplayPosition(float* seconds) = 0;
    virtual HRESULT put_ReplayPosition(float seconds) = 0;
    virtual HRESULT get_ReplayAiming(IAiming** out) = 0;
    virtual HRESULT put_ReplayAiming(IAiming* value) = 0;
    virtual HRESULT get_ReplayShot(IShot** out) = 0;
    virtual HRESULT put_ReplayShot(IShot* value) = 0;
    virtual HRESULT get_ReplayPaused(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_ReplayPaused(VARIANT_BOOL value) = 0;
    // Putting a name selects that event of the event manager; an unknown name keeps the event.
    virtual HRESULT get_EventShortName(QString* out) = 0;
    virtual HRESULT put_EventShortName(const QString& value) = 0;
    virtual HRESULT get_ShadeLabel(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_ShadeLabel(VARIANT_BOOL value) = 0;
    virtual HRESULT get_LabelColor(OLE_COLOR* out) = 0;
    virtual HRESULT put_LabelColor(OLE_COLOR value) = 0;
    virtual HRESULT Refresh() = 0;
    virtual HRESULT get_DefaultBackground(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_DefaultBackground(VARIANT_BOOL value) = 0;
    virtual HRESULT get_ReplayLabel(QString* out) = 0;
    virtual HRESULT put_ReplayLabel(const QString& value) = 0;
    virtual HRESULT get_ReplayPausedLabel(QString* out) = 0;
    virtual HRESULT put_ReplayPausedLabel(const QString& value) = 0;
    // mm; negative: the target's own thickness; 0: a one-pixel pen.
    virtual HRESULT get_TraceThickness(float* out) = 0;
    virtual HRESULT put_TraceThickness(float value) = 0;
    // 0: the target's own colour.
    virtual HRESULT get_BreachColor(OLE_COLOR* out) = 0;
    virtual HRESULT put_BreachColor(OLE_COLOR value) = 0;
    virtual HRESULT get_SelectedBreachColor(OLE_COLOR* out) = 0;
    virtual HRESULT put_SelectedBreachColor(OLE_COLOR value) = 0;
    virtual HRESULT get_VisibleLeft(float* out) = 0;
    virtual HRESULT get_VisibleTop(float* out) = 0;
    virtual HRESULT get_VisibleWidth(float* out) = 0;
    virtual HRESULT get_VisibleHeight(float* out) = 0;
    virtual HRESULT get_SubTarget(int32_t* out) = 0;
    virtual HRESULT put_SubTarget(int32_t value) = 0;
    virtual HRESULT AddElement(enumTargetElementType type, float left, float top, float width, float height,
                               ITargetElement** out)
        = 0;
    virtual HRESULT Elements(int32_t index, ITargetElement** out) = 0; // 1-based
    virtual HRESULT get_ElementCount(int32_t* out) = 0;
    virtual HRESULT ClearElements() = 0;
    virtual HRESULT get_BackColor(OLE_COLOR* out) = 0;
    virtual HRESULT put_BackColor(OLE_COLOR value) = 0;
    virtual HRESULT get_DisplayScoreRings(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_DisplayScoreRings(VARIANT_BOOL value) = 0;
};

// The control's events, called on every advised sink in the order of advising. x and y are
// millimetres on the target plane.
struct _ITargetEvents : IUnknown {
    static constexpr Guid iid = Guid::parse("C3B3F5B4-9C5B-4D8E-984B-C6C430551A3B");
    virtual HRESULT SelectionChanged() = 0;
    virtual HRESULT ZoomChanged() = 0;
    virtual HRESULT LeftClick(float x, float y) = 0;
    virtual HRESULT MiddleClick(float x, float y) = 0;
    virtual HRESULT RightClick(float x, float y) = 0;
    virtual HRESULT DblClick(float x, float y) = 0;
    virtual HRESULT StartDrag(IAiming* aiming, IShot* shot, float x, float y) = 0;
    virtual HRESULT Drag(IAiming* aiming, IShot* shot, float x, float y) = 0;
    virtual HRESULT EndDrag(IAiming* aiming, IShot* shot, float x, float y) = 0;
    virtual HRESULT DragAborted(IAiming* aiming, IShot* shot) = 0;
    virtual HRESULT StartReplay() = 0;
    virtual HRESULT ReplayPositionChanged() = 0;
    virtual HRESULT EndReplay() = 0;
    virtual HRESULT PauseReplay() = 0;
};

// What replaces in-place activation: the host asks the control for its window as a child widget.
// The host's widget tree owns it; the control draws into it while both live.
struct ITargetWindow : IUnknown {
    static constexpr Guid iid = Guid::parse("47F4EB51-A902-4639-94BD-D4A60A8616C3");
    // E_UNEXPECTED while a widget made earlier still lives.
    virtual HRESULT CreateWidget(QWidget* parent, QWidget** widget) = 0;
};

namespace kavrogui {

constexpr Guid LIBID_KAVROGUI = Guid::parse("FD2AEAE0-92DE-4F87-AF78-DE98BB77DBE1");
constexpr Guid CLSID_Target = Guid::parse("7213824B-DFA0-46AA-9DE0-10F42BA0DAAF");

inline constexpr char ProgId_Target[] = "KavroGui.Target.1";
inline constexpr char ProgIdVI_Target[] = "KavroGui.Target";

} // namespace kavrogui
