#include "target.h"

#include "plane_math.h"
#include "target_painter.h"
#include "target_widget.h"

#include "com/numeric.h"

#include <cmath>

namespace kavro::target {

KAVRO_REGISTER_CLASS(CTarget, kavrogui::ProgId_Target);

namespace {

bool isOn(VARIANT_BOOL value)
{
    return value == VARIANT_TRUE;
}

template <class T> HRESULT getValue(const T& field, T* out)
{
    if (!out)
        return E_POINTER;
    *out = field;
    return S_OK;
}

HRESULT getFlag(bool field, VARIANT_BOOL* out)
{
    if (!out)
        return E_POINTER;
    *out = toVariantBool(field);
    return S_OK;
}

} // namespace

CTarget::CTarget()
{
    state_.intervals.reset(state_.traceColor, state_.traceAfterShotColor);
    // Without an event manager the control still shows what it is given; only names are not found.
    createInstance(kavrodoc::CLSID_EventManager, &state_.eventManager);
    savedValues_ = persistedValues();
}

CTarget::~CTarget()
{
    if (widget_)
        widget_->detach();
    events_.clear();
}

void CTarget::requestRedraw()
{
    if (state_.enableUpdate) {
        invalidate();
        state_.redrawPending = false;
    } else {
        state_.redrawPending = true;
    }
}

HRESULT CTarget::setFlag(bool& field, VARIANT_BOOL value, bool redrawOnChange)
{
    const bool on = isOn(value);
    if (on == field)
        return S_OK;
    field = on;
    if (redrawOnChange)
        requestRedraw();
    return S_OK;
}

HRESULT CTarget::setColour(OLE_COLOR& field, OLE_COLOR value, bool redraw)
{
    field = value;
    if (redraw)
        requestRedraw();
    return S_OK;
}

void CTarget::autoZoom()
{
    if (state_.autoZoom)
        ZoomToFit(VARIANT_FALSE);
}

HRESULT CTarget::get_Item(int32_t nIndex, IAiming** out)
{
    if (!out)
        return E_POINTER;
    if (nIndex < 1 || size_t(nIndex) > state_.aimings.size())
        return E_INVALIDARG;
    return state_.aimings[size_t(nIndex) - 1].aiming.copyTo(out);
}

HRESULT CTarget::get_Event(IEventParams** out)
{
    if (!out)
        return E_POINTER;
    if (!state_.event)
        return E_INVALIDARG;
    return state_.event.copyTo(out);
}

HRESULT CTarget::setEvent(IEventParams* event)
{
    if (!event)
        return E_INVALIDARG;
    ComPtr<ITargetParams> params;
    float width = 0, height = 0;
    if (FAILED(event->get_Target(1, params.put())) || !params || FAILED(params->get_FormWidth(&width))
        || FAILED(params->get_FormHeight(&height)))
        return E_FAIL;
    GdiRect form;
    form.left = -roundedProduct(100.0f * width, 0.5f);
    form.top = -roundedProduct(100.0f * height, 0.5f);
    form.right = clampCoordinate(int64_t(form.left) + roundedProduct(100.0f, width));
    form.bottom = clampCoordinate(int64_t(form.top) + roundedProduct(100.0f, height));

    state_.event = event;
    state_.targetParams = params;
    state_.formRect = form;
    state_.visibleRect = form;
    requestRedraw();
    return S_OK;
}

HRESULT CTarget::put_Event(IEventParams* value)
{
    HRESULT hr = setEvent(value);
    if (SUCCEEDED(hr)) {
        // The name follows the event, so that a saved control finds its event again.
        QString name;
        if (SUCCEEDED(value->get_ShortName(&name)))
            state_.eventShortName = name;
    }
    return hr;
}

HRESULT CTarget::get_Count(int32_t* out)
{
    if (!out)
        return E_POINTER;
    *out = int32_t(state_.aimings.size());
    return S_OK;
}

HRESULT CTarget::get_Label(int32_t nPosition, QString* out)
{
    if (!out)
        return E_POINTER;
    if (nPosition != 1 && nPosition != 2)
        return E_INVALIDARG;
    *out = nPosition == 1 ? state_.label1 : state_.label2;
    return S_OK;
}

HRESULT CTarget::put_Label(int32_t nPosition, const QString& value)
{
    if (nPosition != 1 && nPosition != 2)
        return E_INVALIDARG;
    QString& label = nPosition == 1 ? state_.label1 : state_.label2;
    if (label == value)
        return S_OK;
    if (nPosition == 2 && state_.enableUpdate) {
        // Only the label's own area changes on screen.
        const GdiRect bounds = windowBounds();
        const GdiRect before = labelRect(state_, bounds, 2);
        label = value;
        invalidate(before.united(labelRect(state_, bounds, 2)));
        return S_OK;
    }
    label = value;
    requestRedraw();
    return S_OK;
}

HRESULT CTarget::get_Match(VARIANT_BOOL* out)
{
    return getFlag(state_.match, out);
}
HRESULT CTarget::put_Match(VARIANT_BOOL value)
{
    return setFlag(state_.match, value, true);
}
HRESULT CTarget::get_TraceHeadingLength(float* seconds)
{
    return getValue(state_.traceHeadingLength, seconds);
}

HRESULT CTarget::put_TraceHeadingLength(float seconds)
{
    if (!(seconds >= 0))
        return E_INVALIDARG;
    state_.traceHeadingLength = seconds;
    return S_OK;
}

HRESULT CTarget::get_DisplayBreach(VARIANT_BOOL* out)
{
    return getFlag(state_.displayBreach, out);
}
HRESULT CTarget::put_DisplayBreach(VARIANT_BOOL value)
{
    return setFlag(state_.displayBreach, value, true);
}
HRESULT CTarget::get_DisplayTrace(VARIANT_BOOL* out)
{
    return getFlag(state_.displayTrace, out);
}

HRESULT CTarget::put_DisplayTrace(VARIANT_BOOL value)
{
    if (isOn(value) == state_.displayTrace)
        return S_OK;
    state_.displayTrace = isOn(value);
    autoZoom();
    requestRedraw();
    return S_OK;
}

HRESULT CTarget::get_DisplayReplayMark(VARIANT_BOOL* out)
{
    return getFlag(state_.displayReplayMark, out);
}
HRESULT CTarget::put_DisplayReplayMark(VARIANT_BOOL value)
{
    return setFlag(state_.displayReplayMark, value, true);
}
HRESULT CTarget::get_Selectable(VARIANT_BOOL* out)
{
    return getFlag(state_.selectable, out);
}
HRESULT CTarget::put_Selectable(VARIANT_BOOL value)
{
    return setFlag(state_.selectable, value, false);
}
HRESULT CTarget::get_Dragable(VARIANT_BOOL* out)
{
    return getFlag(state_.dragable, out);
}

HRESULT CTarget::put_Dragable(VARIANT_BOOL value)
{
    const bool on = isOn(value);
    if (on == state_.dragable)
        return S_OK;
    state_.dragable = on;
    if (!on) {
        if (state_.mouse.dragging)
            endMouseAction(true);
        state_.mouse.dragAiming = nullptr;
        state_.mouse.dragShot = nullptr;
        requestRedraw();
    }
    return S_OK;
}

HRESULT CTarget::get_Zoom(float* out)
{
    return getValue(state_.zoom, out);
}

HRESULT CTarget::put_Zoom(float value)
{
    if (!(value >= 0 && value <= 10))
        return E_INVALIDARG;
    state_.zoom = value > 9 ? 9.0f : value < 1 ? 0.0f : value;
    if (state_.targetParams)
        applyZoomLevel();
    return S_OK;
}

HRESULT CTarget::get_AutoZoom(VARIANT_BOOL* out)
{
    return getFlag(state_.autoZoom, out);
}

HRESULT CTarget::put_AutoZoom(VARIANT_BOOL value)
{
    const bool wasOn = state_.autoZoom;
    state_.autoZoom = isOn(value);
    if (state_.autoZoom && !wasOn)
        autoZoom();
    return S_OK;
}

HRESULT CTarget::get_ReplayMarkColor(OLE_COLOR* out)
{
    return getValue(state_.replayMarkColor, out);
}
HRESULT CTarget::put_ReplayMarkColor(OLE_COLOR value)
{
    return setColour(state_.replayMarkColor, value, true);
}
HRESULT CTarget::get_SightingMarkColor(OLE_COLOR* out)
{
    return getValue(state_.sightingMarkColor, out);
}
HRESULT CTarget::put_SightingMarkColor(OLE_COLOR value)
{
    return setColour(state_.sightingMarkColor, value, true);
}
HRESULT CTarget::get_TraceAfterShotColor(OLE_COLOR* out)
{
    return getValue(state_.traceAfterShotColor, out);
}

HRESULT CTarget::put_TraceAfterShotColor(OLE_COLOR value)
{
    state_.traceAfterShotColor = value;
    state_.intervals.setColor(1, value);
    return S_OK;
}

HRESULT CTarget::get_TraceColor(OLE_COLOR* out)
{
    return getValue(state_.traceColor, out);
}

HRESULT CTarget::put_TraceColor(OLE_COLOR value)
{
    state_.traceColor = value;
    state_.intervals.setColor(0, value);
    return S_OK;
}

HRESULT CTarget::get_TraceHeadingColor(OLE_COLOR* out)
{
    return getValue(state_.traceHeadingColor, out);
}
HRESULT CTarget::put_TraceHeadingColor(OLE_COLOR value)
{
    return setColour(state_.traceHeadingColor, value, false);
}
HRESULT CTarget::get_EnableUpdate(VARIANT_BOOL* out)
{
    return getFlag(state_.enableUpdate, out);
}

HRESULT CTarget::put_EnableUpdate(VARIANT_BOOL value)
{
    const bool wasOn = state_.enableUpdate;
    state_.enableUpdate = isOn(value);
    if (state_.enableUpdate && !wasOn && state_.redrawPending)
        requestRedraw();
    return S_OK;
}

HRESULT CTarget::Clear()
{
    endMouseAction(true);
    state_.elements.clear();
    state_.selectedAiming = nullptr;
    state_.selectedShot = nullptr;
    state_.mouse.dragAiming = nullptr;
    state_.mouse.dragShot = nullptr;
    stopReplay();
    state_.replay.paused = false;
    state_.aimings.clear();
    state_.label1.clear();
    state_.label2.clear();
    autoZoom();
    requestRedraw();
    return S_OK;
}

HRESULT CTarget::Add(IAiming* aiming)
{
    if (!aiming)
        return E_INVALIDARG;
    for (const AimingEntry& entry : state_.aimings)
        if (sameObject(entry.aiming.get(), aiming))
            return S_OK;
    state_.aimings.push_back({aiming, 0, 0});
    autoZoom();
    requestRedraw();
    return S_OK;
}

HRESULT CTarget::get_SelectedAiming(IAiming** out)
{
    if (!out)
        return E_INVALIDARG;
    return state_.selectedAiming.copyTo(out);
}

HRESULT CTarget::get_SelectedShot(IShot** out)
{
    if (!out)
        return E_INVALIDARG;
    return state_.selectedShot.copyTo(out);
}

HRESULT CTarget::ResetIntervals()
{
    state_.intervals.reset(state_.traceColor, state_.traceAfterShotColor);
    return S_OK;
}

HRESULT CTarget::AddTraceInterval(float secStart, float secEnd, OLE_COLOR color)
{
    state_.intervals.add({color, secStart, secEnd});
    return S_OK;
}

HRESULT CTarget::get_ReplaySpeed(int32_t* percent)
{
    return getValue(state_.replay.speed, percent);
}

HRESULT CTarget::get_ReplayPosition(float* seconds)
{
    if (!seconds)
        return E_POINTER;
    *seconds = 0;
    const ReplayState& r = state_.replay;
    if (!r.aiming || !r.shot)
        return S_OK;
    int32_t shotIndex = 0;
    ComPtr<IRange> range;
    if (FAILED(r.shot->get_TraceIndex(&shotIndex)) || FAILED(r.aiming->Range(0, 0, range.put())) || !range)
        return E_FAIL;
    return range->Index2Sec(clampCoordinate(int64_t(r.position) - shotIndex), seconds);
}

HRESULT CTarget::get_ReplayAiming(IAiming** out)
{
    if (!out)
        return E_INVALIDARG;
    return state_.replay.aiming.copyTo(out);
}

HRESULT CTarget::get_ReplayShot(IShot** out)
{
    if (!out)
        return E_INVALIDARG;
    return state_.replay.shot.copyTo(out);
}

HRESULT CTarget::get_ReplayPaused(VARIANT_BOOL* out)
{
    return getFlag(state_.replay.paused, out);
}

HRESULT CTarget::get_EventShortName(QString* out)
{
    return getValue(state_.eventShortName, out);
}

HRESULT CTarget::put_EventShortName(const QString& value)
{
    state_.eventShortName = value;
    ComPtr<IEventParams> event;
    if (state_.eventManager && state_.eventManager->FindByShortName(value, event.put()) == S_OK && event)
        setEvent(event.get());
    return S_OK;
}

HRESULT CTarget::get_ShadeLabel(VARIANT_BOOL* out)
{
    return getFlag(state_.shadeLabel, out);
}

HRESULT CTarget::put_ShadeLabel(VARIANT_BOOL value)
{
    return setFlag(state_.shadeLabel, value, !state_.label1.isEmpty() || !state_.label2.isEmpty());
}

HRESULT CTarget::get_LabelColor(OLE_COLOR* out)
{
    return getValue(state_.labelColor, out);
}
HRESULT CTarget::put_LabelColor(OLE_COLOR value)
{
    return setColour(state_.labelColor, value, true);
}

HRESULT CTarget::Refresh()
{
    requestRedraw();
    return S_OK;
}

HRESULT CTarget::get_DefaultBackground(VARIANT_BOOL* out)
{
    return getFlag(state_.defaultBackground, out);
}
HRESULT CTarget::put_DefaultBackground(VARIANT_BOOL value)
{
    return setFlag(state_.defaultBackground, value, true);
}
HRESULT CTarget::get_ReplayLabel(QString* out)
{
    return getValue(state_.replayLabel, out);
}

HRESULT CTarget::put_ReplayLabel(const QString& value)
{
    const bool shown = !value.isEmpty() || !state_.replayLabel.isEmpty();
    state_.replayLabel = value;
    if (shown && state_.displayReplayMark && state_.replay.markVisible && !state_.replay.paused)
        requestRedraw();
    return S_OK;
}

HRESULT CTarget::get_ReplayPausedLabel(QString* out)
{
    return getValue(state_.replayPausedLabel, out);
}

HRESULT CTarget::put_ReplayPausedLabel(const QString& value)
{
    const bool shown = !value.isEmpty() || !state_.replayPausedLabel.isEmpty();
    state_.replayPausedLabel = value;
    if (shown && state_.displayReplayMark && state_.replay.markVisible && state_.replay.paused)
        requestRedraw();
    return S_OK;
}

HRESULT CTarget::get_TraceThickness(float* out)
{
    return getValue(state_.traceThickness, out);
}

HRESULT CTarget::put_TraceThickness(float value)
{
    if (std::isnan(value))
        return E_INVALIDARG;
    if (value == state_.traceThickness)
        return S_OK;
    state_.traceThickness = value;
    requestRedraw();
    return S_OK;
}

HRESULT CTarget::get_BreachColor(OLE_COLOR* out)
{
    return getValue(state_.breachColor, out);
}
HRESULT CTarget::put_BreachColor(OLE_COLOR value)
{
    return setColour(state_.breachColor, value, false);
}
HRESULT CTarget::get_SelectedBreachColor(OLE_COLOR* out)
{
    return getValue(state_.selectedBreachColor, out);
}
HRESULT CTarget::put_SelectedBreachColor(OLE_COLOR value)
{
    return setColour(state_.selectedBreachColor, value, false);
}

HRESULT CTarget::get_VisibleLeft(float* out)
{
    if (!out)
        return E_POINTER;
    *out = float(state_.visibleRect.left) / 100.0f;
    return S_OK;
}

HRESULT CTarget::get_VisibleTop(float* out)
{
    if (!out)
        return E_POINTER;
    *out = float(state_.visibleRect.top) / 100.0f;
    return S_OK;
}

HRESULT CTarget::get_VisibleWidth(float* out)
{
    if (!out)
        return E_POINTER;
    *out = float(windowGeometry().visibleWidthFromFit()) / 100.0f;
    return S_OK;
}

HRESULT CTarget::get_VisibleHeight(float* out)
{
    if (!out)
        return E_POINTER;
    *out = float(windowGeometry().visibleHeightFromFit()) / 100.0f;
    return S_OK;
}

HRESULT CTarget::get_SubTarget(int32_t* out)
{
    return getValue(state_.subTarget, out);
}

HRESULT CTarget::put_SubTarget(int32_t value)
{
    if (value == state_.subTarget)
        return S_OK;
    state_.subTarget = value;
    requestRedraw();
    return S_OK;
}

HRESULT CTarget::AddElement(enumTargetElementType type, float left, float top, float width, float height,
                            ITargetElement** out)
{
    if (!out || *out)
        return E_POINTER;
    ComPtr<ITargetElement> element;
    if (FAILED(createInstance(kavrodoc::CLSID_TargetElement, &element)) || !element)
        return E_FAIL;
    HRESULT hr = element->put_Type(type);
    if (SUCCEEDED(hr))
        hr = element->put_Left(left);
    if (SUCCEEDED(hr))
        hr = element->put_Top(top);
    if (SUCCEEDED(hr))
        hr = element->put_Width(width);
    if (SUCCEEDED(hr))
        hr = element->put_Height(height);
    if (FAILED(hr))
        return hr;
    state_.elements.push_back(element);
    requestRedraw();
    return element.copyTo(out);
}

HRESULT CTarget::Elements(int32_t index, ITargetElement** out)
{
    if (!out)
        return E_POINTER;
    if (index < 1 || size_t(index) > state_.elements.size())
        return E_INVALIDARG;
    return state_.elements[size_t(index) - 1].copyTo(out);
}

HRESULT CTarget::get_ElementCount(int32_t* out)
{
    if (!out)
        return E_POINTER;
    *out = int32_t(state_.elements.size());
    return S_OK;
}

HRESULT CTarget::ClearElements()
{
    if (state_.elements.empty())
        return S_OK;
    state_.elements.clear();
    requestRedraw();
    return S_OK;
}

HRESULT CTarget::get_BackColor(OLE_COLOR* out)
{
    return getValue(state_.backColor, out);
}
HRESULT CTarget::put_BackColor(OLE_COLOR value)
{
    return setColour(state_.backColor, value, true);
}
HRESULT CTarget::get_DisplayScoreRings(VARIANT_BOOL* out)
{
    return getFlag(state_.displayScoreRings, out);
}
HRESULT CTarget::put_DisplayScoreRings(VARIANT_BOOL value)
{
    return setFlag(state_.displayScoreRings, value, true);
}

HRESULT CTarget::FindConnectionPoint(const IID& iid, IConnectionPoint** out)
{
    return findConnectionPoint(iid, out, events_);
}

} // namespace kavro::target
