#pragma once
// The interfaces, event sinks, enumerations and class identifiers of the document module
// (kavrodoc). Every other module codes against this header and creates the classes by CLSID.
//
// Shared rules: a null out-pointer gives E_POINTER; an interface out-pointer must point to null on
// entry; collection indexes are 1-based unless a comment says otherwise; target coordinates are
// millimetres from the target centre; seconds are relative to the shot or reference sample.
// `get__NewEnum` hands out an IEnumVARIANT whose items are the objects as VT_DISPATCH variants.
// The identifiers below are stored in documents and event files: never change them.
#include "com/unknown.h"
#include "com/variant.h"

#include <cstdint>

struct IKavroDocument;
struct IAimingCollection;
struct IAiming;
struct IAimingTrace;
struct IAimingAttr;
struct IShot;
struct IShotCollection;
struct IRange;
struct IRangeCollection;
struct ITargetParams;
struct ITargetElement;
struct IEventParams;
struct IEventManager;

enum enumTargetElementType : int32_t {
    elementPolyline = 0,
    elementEllipse = 1,
    elementPicture = 2,
    elementRectangle = 3,
    elementPolygon = 4,
    elementText = 5,
};

enum enumTargetFillCenter : int32_t {
    NoFill = 0,
    FillCenter = 1, // ring 10 filled with its line colour
    FillInnerTen = 2, // the inner ten filled
};

// ---------------------------------------------------------------------------------------------
// Practice document

struct IKavroDocument : IUnknown {
    static constexpr Guid iid = Guid::parse("B04D953E-EA78-4901-B7F7-5CF77BB3BFFD");
    // Missing key: VT_EMPTY and S_OK. Putting VT_EMPTY removes the key.
    virtual HRESULT get_Value(const QString& key, Variant* out) = 0;
    virtual HRESULT put_Value(const QString& key, const Variant& value) = 0;
    virtual HRESULT putref_Value(const QString& key, const Variant& value) = 0;
    virtual HRESULT get_Valid(VARIANT_BOOL* out) = 0;
    virtual HRESULT get_ShooterName(QString* out) = 0;
    virtual HRESULT put_ShooterName(const QString& value) = 0;
    virtual HRESULT get_FileName(QString* out) = 0;
    virtual HRESULT put_FileName(const QString& value) = 0;
    virtual HRESULT get_Event(IEventParams** out) = 0;
    virtual HRESULT put_Event(IEventParams* value) = 0;
    virtual HRESULT get_Aimings(IAimingCollection** out) = 0;
    virtual HRESULT Clear() = 0;
    virtual HRESULT ClearSightingShots() = 0;
    virtual HRESULT Save() = 0; // into FileName
    virtual HRESULT Load() = 0; // from FileName
    virtual HRESULT get_FileVersion(int32_t* out) = 0;
    virtual HRESULT ClearShots() = 0;
    // Saves under a new unique name in `folder`; FileName becomes that path.
    virtual HRESULT SaveUnique(const QString& folder) = 0;
    virtual HRESULT get_CatalogPath(QString* out) = 0; // ends with a path separator
    virtual HRESULT get_ReadErrorMsg(QString* out) = 0;
};

struct _IKavroDocumentEvents : IUnknown {
    static constexpr Guid iid = Guid::parse("BCBC4B26-8F25-410B-B0DC-1B2F2E241154");
    // While loading or saving: aiming `done` of `total`, counted from 1.
    virtual HRESULT Progress(int32_t done, int32_t total) = 0;
};

// ---------------------------------------------------------------------------------------------
// Aimings

struct IAimingCollection : IUnknown {
    static constexpr Guid iid = Guid::parse("9F1CE3C1-26D7-4053-AF46-729090CA4C1B");
    virtual HRESULT get_Item(int32_t index, IAiming** out) = 0;
    virtual HRESULT get_Count(int32_t* out) = 0;
    virtual HRESULT get_Event(IEventParams** out) = 0; // E_UNEXPECTED when there is none
    virtual HRESULT put_Event(IEventParams* value) = 0;
    // Every shot of every aiming, in order; hidden ones only when includeHidden is VARIANT_TRUE
    // (script callers may omit it: pass VARIANT_FALSE).
    virtual HRESULT Shots(VARIANT_BOOL includeHidden, IShotCollection** out) = 0;
    // Sighting aimings go before the first match aiming; adding an aiming already held is S_OK.
    virtual HRESULT Add(IAiming* aiming) = 0;
    virtual HRESULT Sighting(IAimingCollection** out) = 0; // a new collection
    virtual HRESULT Match(IAimingCollection** out) = 0; // a new collection
    // The aiming holding this very shot; null and S_OK when none.
    virtual HRESULT FindAiming(IShot* shot, IAiming** out) = 0;
    // Adds an aiming with an empty trace and one missed shot, stamped with the current time.
    virtual HRESULT AddMissed(VARIANT_BOOL match, IAiming** out) = 0;
    virtual HRESULT get__NewEnum(IUnknown** out) = 0;
    virtual HRESULT get_ReadErrorMsg(QString* out) = 0;
};

struct _IAimingCollectionEvents : IUnknown {
    static constexpr Guid iid = Guid::parse("9EF6D386-FE92-4BE9-B2F5-5CC544B7D394");
    // While loading or saving: aiming `done` of `total`, counted from 1.
    virtual HRESULT Progress(int32_t done, int32_t total) = 0;
};

struct IAiming : IUnknown {
    static constexpr Guid iid = Guid::parse("4BAA8A31-6A6F-4577-9452-4522ADBB360C");
    virtual HRESULT get_Attr(IAimingAttr** out) = 0;
    virtual HRESULT get_Trace(IAimingTrace** out) = 0;
    virtual HRESULT get_ShotCount(int32_t* out) = 0;
    virtual HRESULT Shot(int32_t nShot, IShot** out) = 0;
    // A new shot at the trace's current end; missed only for VARIANT_TRUE (script callers may
    // omit `missed`: pass VARIANT_FALSE).
    virtual HRESULT AddShot(VARIANT_BOOL missed, IShot** out) = 0;
    // A range over the trace anchored at trace index 0; first and last in seconds, both 0 for the
    // whole trace.
    virtual HRESULT Range(float first, float last, IRange** out) = 0;
    // As AddShot, with the microphone phase of the shot (NaN: none).
    virtual HRESULT AddShot2(VARIANT_BOOL missed, double microphonePhase, IShot** out) = 0;
    virtual HRESULT get__NewEnum(IUnknown** out) = 0;
};

struct IAimingAttr : IUnknown {
    static constexpr Guid iid = Guid::parse("5D588525-2D2E-4993-B7B8-D4D9A607E9CA");
    virtual HRESULT get_Value(const QString& key, Variant* out) = 0;
    virtual HRESULT put_Value(const QString& key, const Variant& value) = 0;
    virtual HRESULT putref_Value(const QString& key, const Variant& value) = 0;
    virtual HRESULT get_FCoefficient(int32_t* out) = 0; // ms the breach is projected along the trace
    virtual HRESULT put_FCoefficient(int32_t value) = 0;
    virtual HRESULT get_Event(IEventParams** out) = 0; // E_UNEXPECTED when there is none
    virtual HRESULT put_Event(IEventParams* value) = 0;
    virtual HRESULT get_Match(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_Match(VARIANT_BOOL value) = 0;
    // Samples per second, 20..500; can be put once (E_UNEXPECTED after that). 0: not set yet.
    virtual HRESULT get_SampleRate(int32_t* out) = 0;
    virtual HRESULT put_SampleRate(int32_t value) = 0;
    virtual HRESULT get_EnterTime(DATE* out) = 0;
    virtual HRESULT put_EnterTime(DATE value) = 0;
    virtual HRESULT get_StartTime(DATE* out) = 0;
    virtual HRESULT put_StartTime(DATE value) = 0;
    virtual HRESULT get_UseRealBreaches(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_UseRealBreaches(VARIANT_BOOL value) = 0;
    virtual HRESULT get_SubTarget(int32_t* out) = 0; // 1-based
    virtual HRESULT put_SubTarget(int32_t value) = 0;
};

// Sample values are kept as integers of 0.01 mm; kInvalidSample marks a sample without an aiming
// point. "index" is a trace index (every sample ever added counts) within First..Last.
struct IAimingTrace : IUnknown {
    static constexpr Guid iid = Guid::parse("017D2BD5-4AD1-4CCB-9B0E-62EA73AB855C");
    static constexpr int32_t kInvalidSample = 2147483647;

    virtual HRESULT get_Valid(VARIANT_BOOL* out) = 0;
    virtual HRESULT get_Count(int32_t* out) = 0;
    virtual HRESULT get_First(int32_t* out) = 0;
    virtual HRESULT get_Last(int32_t* out) = 0;
    virtual HRESULT get_Attr(IAimingAttr** out) = 0;
    virtual HRESULT get_x(int32_t index, float* out) = 0; // mm
    virtual HRESULT get_y(int32_t index, float* out) = 0; // mm
    // Seconds kept while the sliding window is on; at least 0.5.
    virtual HRESULT get_MaxTimeBeforeShot(float* out) = 0;
    virtual HRESULT put_MaxTimeBeforeShot(float value) = 0;
    virtual HRESULT Add(float x, float y) = 0; // mm
    virtual HRESULT Index2Sec(int32_t nIndex, float* out) = 0;
    virtual HRESULT Sec2Index(float seconds, int32_t* out) = 0;
    // Once read-only, a trace stays so (putting VARIANT_FALSE then gives E_INVALIDARG).
    virtual HRESULT get_ReadOnly(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_ReadOnly(VARIANT_BOOL value) = 0;
    // Only VARIANT_FALSE is accepted: it switches the sliding window off for good.
    virtual HRESULT put_WrapEnabled(VARIANT_BOOL value) = 0;
    virtual HRESULT ValidCoordinate(int32_t index, VARIANT_BOOL* out) = 0;
    virtual HRESULT AddInvalid() = 0;
    // Per-sample user-data channels, named exactly (the trigger channel is "_trigger"), addressed
    // by a 1-based channel index. AddUserData answers the existing channel of that name.
    virtual HRESULT AddUserData(const QString& name, int32_t* dataIndex) = 0;
    virtual HRESULT GetUserData(const QString& name, int32_t* dataIndex) = 0; // -1 when missing
    virtual HRESULT get_UserData(int32_t dataIndex, int32_t index, int32_t* out) = 0;
    virtual HRESULT put_UserData(int32_t dataIndex, int32_t index, int32_t value) = 0;
    virtual HRESULT _Add(int32_t x, int32_t y) = 0; // 0.01 mm; E_UNEXPECTED when read-only
    virtual HRESULT _GetPoint(int32_t nIndex, int32_t* x, int32_t* y) = 0; // 0.01 mm
    virtual HRESULT RemoveUserData(const QString& name) = 0; // S_OK also when there is none
};

// ---------------------------------------------------------------------------------------------
// Shots

struct IShot : IUnknown {
    static constexpr Guid iid = Guid::parse("1DA90212-0A7C-4DC8-80D7-260BCFDB860E");
    virtual HRESULT get_Value(const QString& key, Variant* out) = 0;
    virtual HRESULT put_Value(const QString& key, const Variant& value) = 0;
    virtual HRESULT putref_Value(const QString& key, const Variant& value) = 0;
    virtual HRESULT get_Result(float* out) = 0; // 0 for a missed shot
    virtual HRESULT get_BreachX(float* out) = 0; // mm
    virtual HRESULT get_BreachY(float* out) = 0; // mm
    virtual HRESULT get_ShotTime(DATE* out) = 0;
    virtual HRESULT put_ShotTime(DATE value) = 0;
    virtual HRESULT get_Missed(VARIANT_BOOL* out) = 0;
    virtual HRESULT get_Attr(IAimingAttr** out) = 0;
    // Trace index of the last sample present when the shot was added (-1: empty trace).
    virtual HRESULT get_TraceIndex(int32_t* out) = 0;
    // Where the shot went, offsets included; (0, 0) for a missed shot.
    virtual HRESULT Breach(float* x, float* y) = 0;
    // First and last in seconds around the shot; E_UNEXPECTED for a missed shot.
    virtual HRESULT Range(float first, float last, IRange** out) = 0;
    // The breach reported by an electronic target, mm; reads 0 until both are put.
    virtual HRESULT get_RealBreachX(float* out) = 0;
    virtual HRESULT put_RealBreachX(float value) = 0;
    virtual HRESULT get_RealBreachY(float* out) = 0;
    virtual HRESULT put_RealBreachY(float value) = 0;
    virtual HRESULT get_IsRealBreachValid(VARIANT_BOOL* out) = 0;
    // Shift added to every breach, mm.
    virtual HRESULT get_OffsetX(float* out) = 0;
    virtual HRESULT put_OffsetX(float value) = 0;
    virtual HRESULT get_OffsetY(float* out) = 0;
    virtual HRESULT put_OffsetY(float value) = 0;
    virtual HRESULT get_Hidden(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_Hidden(VARIANT_BOOL value) = 0;
    virtual HRESULT get_AreaIndex(int32_t* out) = 0; // -1 for a missed shot
    virtual HRESULT get_Trace(IAimingTrace** out) = 0;
    virtual HRESULT get_microphonePhase(double* out) = 0; // NaN when there is none
};

struct IShotCollection : IUnknown {
    static constexpr Guid iid = Guid::parse("0AACEF62-2903-4984-8CE0-1D4C09C67775");
    virtual HRESULT get_Item(int32_t nShot, IShot** out) = 0;
    virtual HRESULT get_Count(int32_t* out) = 0;
    virtual HRESULT get_Result(float* out) = 0; // sum of the shots' results
    virtual HRESULT get_AverageResult(float* out) = 0; // 0 when empty
    virtual HRESULT get_SerieCount(int32_t* out) = 0;
    // A new collection holding series nSerie (1-based); empty beyond the last series.
    virtual HRESULT Serie(int32_t nSerie, IShotCollection** out) = 0;
    // Adding a shot already held is S_OK; a shot of another event is E_INVALIDARG.
    virtual HRESULT Add(IShot* shot) = 0;
    virtual HRESULT Sighting(IShotCollection** out) = 0; // a new collection
    virtual HRESULT Match(IShotCollection** out) = 0; // a new collection
    // The Range(first, last) of every shot that is not missed; first and last in seconds.
    virtual HRESULT Range(float first, float last, IRangeCollection** out) = 0;
    virtual HRESULT get_Event(IEventParams** out) = 0; // may be null
    virtual HRESULT get__NewEnum(IUnknown** out) = 0;
};

// ---------------------------------------------------------------------------------------------
// Range statistics. Indexes are relative to IndexBase; lengths and points in mm.

struct IRange : IUnknown {
    static constexpr Guid iid = Guid::parse("A58597CB-CC75-47DC-AAC3-A90A3DBAD724");
    virtual HRESULT get_Valid(VARIANT_BOOL* out) = 0;
    virtual HRESULT get_RequestedFirst(int32_t* out) = 0;
    virtual HRESULT get_RequestedLast(int32_t* out) = 0;
    virtual HRESULT get_Count(int32_t* out) = 0; // Last - First
    virtual HRESULT get_First(int32_t* out) = 0;
    virtual HRESULT get_Last(int32_t* out) = 0;
    virtual HRESULT get_x(int32_t nIndex, float* out) = 0;
    virtual HRESULT get_y(int32_t nIndex, float* out) = 0;
    virtual HRESULT get_SampleRate(int32_t* out) = 0;
    // Path length scaled up to the requested number of samples.
    virtual HRESULT get_Length(float* out) = 0;
    virtual HRESULT get_LengthX(float* out) = 0;
    virtual HRESULT get_LengthY(float* out) = 0;
    virtual HRESULT get_AveragePointX(float* out) = 0;
    virtual HRESULT get_AveragePointY(float* out) = 0;
    virtual HRESULT Index2Sec(int32_t nIndex, float* out) = 0;
    virtual HRESULT Sec2Index(float seconds, int32_t* out) = 0;
    // Percentage of the requested samples whose filtered point lies within radius of the centre.
    virtual HRESULT Steadiness(float radius, int32_t nFCoefficient, float centerX, float centerY, float* out) = 0;
    // The filtered breach point at nIndex with a microphone phase of 1.
    virtual HRESULT Breaches(int32_t nIndex, int32_t nFCoefficient, float* pX, float* pY) = 0;
    virtual HRESULT get_Event(IEventParams** out) = 0;
    virtual HRESULT GetBounds(float* left, float* top, float* right, float* bottom) = 0;
    virtual HRESULT get_ValidCoordinate(int32_t nIndex, VARIANT_BOOL* out) = 0;
    // The event's nearest area on the aiming's sub-target.
    virtual HRESULT GetNearestArea(float x, float y, int32_t* areaIndex, float* cx, float* cy) = 0;
    virtual HRESULT get_Trace(IAimingTrace** out) = 0;
    virtual HRESULT get_IndexBase(int32_t* out) = 0; // trace index that relative index 0 stands for
    virtual HRESULT get_UserData(int32_t dataIndex, int32_t index, int32_t* out) = 0;
    // microphonePhase: NaN counts as 1.
    virtual HRESULT Breaches2(int32_t nIndex, int32_t nFCoefficient, double microphonePhase, float* pX, float* pY) = 0;
};

struct IRangeCollection : IUnknown {
    static constexpr Guid iid = Guid::parse("D0F49F66-63E1-459C-B3DF-604D9D02CCF3");
    virtual HRESULT get_Item(int32_t nIndex, IRange** out) = 0;
    virtual HRESULT get_Valid(VARIANT_BOOL* out) = 0;
    virtual HRESULT get_PointCount(int32_t* out) = 0; // Last - First + 1
    virtual HRESULT get_RequestedFirst(int32_t* out) = 0;
    virtual HRESULT get_RequestedLast(int32_t* out) = 0;
    virtual HRESULT get_Count(int32_t* out) = 0;
    virtual HRESULT get_First(int32_t* out) = 0;
    virtual HRESULT get_Last(int32_t* out) = 0;
    // Means over the ranges.
    virtual HRESULT get_Length(float* out) = 0;
    virtual HRESULT get_LengthX(float* out) = 0;
    virtual HRESULT get_LengthY(float* out) = 0;
    virtual HRESULT get_AveragePointX(float* out) = 0;
    virtual HRESULT get_AveragePointY(float* out) = 0;
    // Mean distance from the nearest area centre at a relative index, mm; negative where not every
    // range covers the index.
    virtual HRESULT get_CoordinationPoint(int32_t nIndex, float* out) = 0;
    virtual HRESULT get_SpeedPoint(int32_t nIndex, float* out) = 0; // mm per second
    virtual HRESULT Steadiness(float radius, int32_t nFCoefficient, float centerX, float centerY, float* out) = 0;
    // An invalid range is ignored (S_OK); another sample rate or event is E_INVALIDARG.
    virtual HRESULT Add(IRange* range) = 0;
    virtual HRESULT get__NewEnum(IUnknown** out) = 0;
};

// ---------------------------------------------------------------------------------------------
// Targets. Lengths in mm; ring sizes are diameters.

struct ITargetParams : IUnknown {
    static constexpr Guid iid = Guid::parse("0C666985-4197-4EDD-A253-5F35113A4079");
    virtual HRESULT get_FormWidth(float* out) = 0;
    virtual HRESULT put_FormWidth(float value) = 0;
    virtual HRESULT get_FormHeight(float* out) = 0;
    virtual HRESULT put_FormHeight(float value) = 0;
    // Outer diameter of the ring worth `score` points (1..10); 0: no such ring.
    virtual HRESULT get_Ring(int32_t score, float* out) = 0;
    virtual HRESULT put_Ring(int32_t score, float value) = 0;
    virtual HRESULT get_InnerTen(float* out) = 0;
    virtual HRESULT put_InnerTen(float value) = 0;
    virtual HRESULT get_RingThickness(float* out) = 0;
    virtual HRESULT put_RingThickness(float value) = 0;
    virtual HRESULT get_Black(float* out) = 0;
    virtual HRESULT put_Black(float value) = 0;
    virtual HRESULT get_TextHeight(float* out) = 0;
    virtual HRESULT put_TextHeight(float value) = 0;
    // Rings 1 up to this one carry numbers (0..10; 0: none).
    virtual HRESULT get_LastNumberedRing(int32_t* out) = 0;
    virtual HRESULT put_LastNumberedRing(int32_t value) = 0;
    virtual HRESULT get_TextOrientation(int32_t* out) = 0; // 0: on the axes, 1: on the diagonals
    virtual HRESULT put_TextOrientation(int32_t value) = 0;
    virtual HRESULT get_FillCenter(enumTargetFillCenter* out) = 0;
    virtual HRESULT put_FillCenter(enumTargetFillCenter value) = 0;
    virtual HRESULT get_BackgroundColor(OLE_COLOR* out) = 0;
    virtual HRESULT put_BackgroundColor(OLE_COLOR value) = 0;
    virtual HRESULT get_BlackColor(OLE_COLOR* out) = 0;
    virtual HRESULT put_BlackColor(OLE_COLOR value) = 0;
    virtual HRESULT get_RingColor(OLE_COLOR* out) = 0;
    virtual HRESULT put_RingColor(OLE_COLOR value) = 0;
    virtual HRESULT get_TraceThickness(float* out) = 0;
    virtual HRESULT put_TraceThickness(float value) = 0;
    virtual HRESULT get_InnerRingColor(OLE_COLOR* out) = 0;
    virtual HRESULT put_InnerRingColor(OLE_COLOR value) = 0;
    virtual HRESULT get_BreachColor(OLE_COLOR* out) = 0;
    virtual HRESULT put_BreachColor(OLE_COLOR value) = 0;
    virtual HRESULT get_SelectedBreachColor(OLE_COLOR* out) = 0;
    virtual HRESULT put_SelectedBreachColor(OLE_COLOR value) = 0;
    // A picture object; E_FAIL when there is none.
    virtual HRESULT get_Picture(IUnknown** out) = 0;
    virtual HRESULT put_Picture(IUnknown* value) = 0;
    virtual HRESULT AddElement(enumTargetElementType type, float left, float top, float width, float height,
                               ITargetElement** out)
        = 0;
    virtual HRESULT Elements(int32_t index, ITargetElement** out) = 0;
    virtual HRESULT get_ElementCount(int32_t* out) = 0;
    // The first element whose AreaIndex is nArea; S_OK with null when none.
    virtual HRESULT get_Areas(int32_t nArea, ITargetElement** out) = 0;
    virtual HRESULT get__NewEnum(IUnknown** out) = 0;
};

struct ITargetElement : IUnknown {
    static constexpr Guid iid = Guid::parse("F4D105FF-DA24-4B55-B88B-A0C05BAEC07D");
    // Text elements read "text" and "font" from here.
    virtual HRESULT get_Value(const QString& key, Variant* out) = 0;
    virtual HRESULT put_Value(const QString& key, const Variant& value) = 0;
    virtual HRESULT putref_Value(const QString& key, const Variant& value) = 0;
    virtual HRESULT get_Picture(IUnknown** out) = 0; // E_FAIL when there is none
    virtual HRESULT put_Picture(IUnknown* value) = 0;
    // Score of a point inside the element; 0: none of its own.
    virtual HRESULT get_Result(float* out) = 0;
    virtual HRESULT put_Result(float value) = 0;
    virtual HRESULT get_Left(float* out) = 0;
    virtual HRESULT put_Left(float value) = 0;
    virtual HRESULT get_Top(float* out) = 0; // the smaller y of the box
    virtual HRESULT put_Top(float value) = 0;
    virtual HRESULT get_Width(float* out) = 0;
    virtual HRESULT put_Width(float value) = 0;
    virtual HRESULT get_Height(float* out) = 0;
    virtual HRESULT put_Height(float value) = 0;
    virtual HRESULT get_Type(enumTargetElementType* out) = 0;
    virtual HRESULT put_Type(enumTargetElementType value) = 0;
    // The element's shape limits the scorable region and clips the picture.
    virtual HRESULT get_Clip(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_Clip(VARIANT_BOOL value) = 0;
    virtual HRESULT AddPoint(float x, float y) = 0;
    virtual HRESULT get_PointCount(int32_t* out) = 0;
    virtual HRESULT get_x(int32_t index, float* out) = 0;
    virtual HRESULT get_y(int32_t index, float* out) = 0;
    virtual HRESULT get_BorderWidth(float* out) = 0;
    virtual HRESULT put_BorderWidth(float value) = 0;
    virtual HRESULT get_Fill(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_Fill(VARIANT_BOOL value) = 0;
    virtual HRESULT get_BodyColor(OLE_COLOR* out) = 0;
    virtual HRESULT put_BodyColor(OLE_COLOR value) = 0;
    virtual HRESULT get_BorderColor(OLE_COLOR* out) = 0;
    virtual HRESULT put_BorderColor(OLE_COLOR value) = 0;
    virtual HRESULT get_DrawBeforeRings(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_DrawBeforeRings(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Visible(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_Visible(VARIANT_BOOL value) = 0;
    // The shape grown by half the calibre (mm) where the shape allows it.
    virtual HRESULT IsPointInside(float x, float y, float caliber, VARIANT_BOOL* out) = 0;
    // A point inside scores 0.
    virtual HRESULT get_IgnoreResult(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_IgnoreResult(VARIANT_BOOL value) = 0;
    virtual HRESULT get_AreaIndex(int32_t* out) = 0; // 0: not an area
    virtual HRESULT put_AreaIndex(int32_t value) = 0;
    virtual HRESULT get_ValuesCount(int32_t* out) = 0;
    // 0-based, in name order.
    virtual HRESULT KeyValue(int32_t index, QString* key, Variant* value) = 0;
    // Tested for scoring only when no ring holds the point.
    virtual HRESULT get_CalcAfterRings(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_CalcAfterRings(VARIANT_BOOL value) = 0;
};

// ---------------------------------------------------------------------------------------------
// Shooting events. Sub-targets are 1-based.

struct IEventParams : IUnknown {
    static constexpr Guid iid = Guid::parse("BA960D24-FC1E-44BD-B0AB-1FBA206AF3E0");
    // "synonym" holds comma-separated further short names.
    virtual HRESULT get_Value(const QString& key, Variant* out) = 0;
    virtual HRESULT put_Value(const QString& key, const Variant& value) = 0;
    virtual HRESULT putref_Value(const QString& key, const Variant& value) = 0;
    virtual HRESULT get_ShortName(QString* out) = 0;
    virtual HRESULT put_ShortName(const QString& value) = 0;
    // subTarget TargetCount + 1 appends a new target.
    virtual HRESULT get_Target(int32_t subTarget, ITargetParams** out) = 0;
    // The target face as a picture object; the flags count only as VARIANT_TRUE.
    virtual HRESULT GetTargetAppearance(int32_t subTarget, VARIANT_BOOL background, VARIANT_BOOL scoreRings,
                                        IUnknown** picture)
        = 0;
    virtual HRESULT get_Name(QString* out) = 0;
    virtual HRESULT put_Name(const QString& value) = 0;
    virtual HRESULT get_Caliber(float* out) = 0; // mm, at least 0.1
    virtual HRESULT put_Caliber(float value) = 0;
    virtual HRESULT get_Distance(float* out) = 0; // metres, 2..1000
    virtual HRESULT put_Distance(float value) = 0;
    virtual HRESULT get_MinShotsPerAiming(int32_t* out) = 0;
    virtual HRESULT put_MinShotsPerAiming(int32_t value) = 0;
    virtual HRESULT get_MaxShotsPerAiming(int32_t* out) = 0;
    virtual HRESULT put_MaxShotsPerAiming(int32_t value) = 0;
    // Score of an aiming point (no calibre).
    virtual HRESULT GetPointScore(float x, float y, int32_t subTarget, float* score) = 0;
    // Score of a shot whose centre is at (x, y), with the event's calibre.
    virtual HRESULT GetBreachScore(float x, float y, int32_t subTarget, float* score) = 0;
    // Writes the event definition file named by ShortName; E_UNEXPECTED without one.
    virtual HRESULT Save() = 0;
    virtual HRESULT Update() = 0;
    virtual HRESULT get_DisplayCaliber(float* out) = 0; // mm, at least 0.1
    virtual HRESULT put_DisplayCaliber(float value) = 0;
    virtual HRESULT get_TargetCount(int32_t* out) = 0;
    // The area holding the point and its centre: areaIndex 0 for none, -1 outside the form.
    virtual HRESULT GetPointArea(float x, float y, int32_t subTarget, int32_t* areaIndex, float* cx, float* cy) = 0;
    // The area whose centre is nearest: areaIndex 0 for none, -1 outside the form.
    virtual HRESULT GetNearestArea(float x, float y, int32_t subTarget, int32_t* areaIndex, float* cx, float* cy) = 0;
    virtual HRESULT get_MaxShotsPerSerie(int32_t* out) = 0;
    virtual HRESULT put_MaxShotsPerSerie(int32_t value) = 0;
    virtual HRESULT get_ValuesCount(int32_t* out) = 0;
    // 0-based, in name order.
    virtual HRESULT KeyValue(int32_t index, QString* key, Variant* value) = 0;
};

// One per process: every creation gives the same instance.
struct IEventManager : IUnknown {
    static constexpr Guid iid = Guid::parse("A9DE93E8-D30A-4E63-8A22-0A2EF425B3D8");
    virtual HRESULT get_Item(int32_t nIndex, IEventParams** out) = 0;
    virtual HRESULT get_Count(int32_t* out) = 0;
    // A new event in memory only, without a check for an existing one of that name.
    virtual HRESULT Add(const QString& shortName, IEventParams** out) = 0;
    // S_FALSE and null when not found (the look-ups are case-sensitive).
    virtual HRESULT Find(const QString& name, IEventParams** out) = 0;
    // Also matches the "synonym" value; S_FALSE and null when not found.
    virtual HRESULT FindByShortName(const QString& shortName, IEventParams** out) = 0;
    virtual HRESULT get__NewEnum(IUnknown** out) = 0;
};

// ---------------------------------------------------------------------------------------------
// Classes

namespace kavrodoc {

// The sample rates a put accepts (aiming attributes, device control). A stored rate is taken as
// it is, so users of a rate guard it.
inline bool isSettableSampleRate(int32_t rate)
{
    return rate >= 20 && rate <= 500;
}

constexpr Guid CLSID_KavroDocument = Guid::parse("8767729C-E56E-4C37-B439-500C695C4CDD");
constexpr Guid CLSID_AimingCollection = Guid::parse("B3915293-F692-4747-AA24-5796D39473D2");
constexpr Guid CLSID_Aiming = Guid::parse("B18BA8C2-6609-4965-93CB-6B88BE23C39B");
constexpr Guid CLSID_AimingTrace = Guid::parse("460696D0-A9CA-4C61-BBB5-1C76B6989D58");
constexpr Guid CLSID_AimingAttr = Guid::parse("54A56956-6E6B-4BB1-94EB-B8802BBF4F0F");
constexpr Guid CLSID_Shot = Guid::parse("3D507B4A-52BF-4779-9190-2B0AFF8B77B5");
constexpr Guid CLSID_ShotCollection = Guid::parse("999ECC7D-27C6-45AD-8139-6751539D78E7");
constexpr Guid CLSID_Range = Guid::parse("E8CBBD21-CC15-47C7-ABBA-3517B854D69F");
constexpr Guid CLSID_RangeCollection = Guid::parse("D9B03E51-517A-4FED-8DB4-EFEC1D58A8AB");
constexpr Guid CLSID_TargetParams = Guid::parse("4C2ED37C-CEA2-4A88-A390-B59868710771");
constexpr Guid CLSID_TargetElement = Guid::parse("5B1CE488-A8B2-46AA-B83F-DF7D11A5CD16");
constexpr Guid CLSID_EventParams = Guid::parse("251216BD-4F43-49FC-BF1E-C89F44D960DA");
constexpr Guid CLSID_EventManager = Guid::parse("33E91FCA-A9C6-4A88-8EA9-A460E59AD75E");

// ProgIDs: versioned, then version-independent.
inline constexpr char ProgId_KavroDocument[] = "KavroDoc.KavroDocument.1";
inline constexpr char ProgIdVI_KavroDocument[] = "KavroDoc.KavroDocument";
inline constexpr char ProgId_AimingCollection[] = "KavroDoc.AimingCollection.1";
inline constexpr char ProgIdVI_AimingCollection[] = "KavroDoc.AimingCollection";
inline constexpr char ProgId_Aiming[] = "KavroDoc.Aiming.1";
inline constexpr char ProgIdVI_Aiming[] = "KavroDoc.Aiming";
inline constexpr char ProgId_AimingTrace[] = "KavroDoc.AimingTrace.1";
inline constexpr char ProgIdVI_AimingTrace[] = "KavroDoc.AimingTrace";
inline constexpr char ProgId_AimingAttr[] = "KavroDoc.AimingAttr.1";
inline constexpr char ProgIdVI_AimingAttr[] = "KavroDoc.AimingAttr";
inline constexpr char ProgId_Shot[] = "KavroDoc.Shot.1";
inline constexpr char ProgIdVI_Shot[] = "KavroDoc.Shot";
inline constexpr char ProgId_ShotCollection[] = "KavroDoc.ShotCollection.1";
inline constexpr char ProgIdVI_ShotCollection[] = "KavroDoc.ShotCollection";
inline constexpr char ProgId_Range[] = "KavroDoc.Range.1";
inline constexpr char ProgIdVI_Range[] = "KavroDoc.Range";
inline constexpr char ProgId_RangeCollection[] = "KavroDoc.RangeCollection.1";
inline constexpr char ProgIdVI_RangeCollection[] = "KavroDoc.RangeCollection";
inline constexpr char ProgId_TargetParams[] = "KavroDoc.TargetParams.1";
inline constexpr char ProgIdVI_TargetParams[] = "KavroDoc.TargetParams";
inline constexpr char ProgId_TargetElement[] = "KavroDoc.TargetElement.1";
inline constexpr char ProgIdVI_TargetElement[] = "KavroDoc.TargetElement";
inline constexpr char ProgId_EventParams[] = "KavroDoc.EventParams.1";
inline constexpr char ProgIdVI_EventParams[] = "KavroDoc.EventParams";
inline constexpr char ProgId_EventManager[] = "KavroDoc.EventManager.1";
inline constexpr char ProgIdVI_EventManager[] = "KavroDoc.EventManager";

// Every class of the module, for registration.
struct ClassInfo {
    const Guid* clsid;
    const char* progId;
    const char* versionIndependentProgId;
};

inline constexpr ClassInfo kClasses[] = {
    {&CLSID_KavroDocument, ProgId_KavroDocument, ProgIdVI_KavroDocument},
    {&CLSID_AimingCollection, ProgId_AimingCollection, ProgIdVI_AimingCollection},
    {&CLSID_Aiming, ProgId_Aiming, ProgIdVI_Aiming},
    {&CLSID_AimingTrace, ProgId_AimingTrace, ProgIdVI_AimingTrace},
    {&CLSID_AimingAttr, ProgId_AimingAttr, ProgIdVI_AimingAttr},
    {&CLSID_Shot, ProgId_Shot, ProgIdVI_Shot},
    {&CLSID_ShotCollection, ProgId_ShotCollection, ProgIdVI_ShotCollection},
    {&CLSID_Range, ProgId_Range, ProgIdVI_Range},
    {&CLSID_RangeCollection, ProgId_RangeCollection, ProgIdVI_RangeCollection},
    {&CLSID_TargetParams, ProgId_TargetParams, ProgIdVI_TargetParams},
    {&CLSID_TargetElement, ProgId_TargetElement, ProgIdVI_TargetElement},
    {&CLSID_EventParams, ProgId_EventParams, ProgIdVI_EventParams},
    {&CLSID_EventManager, ProgId_EventManager, ProgIdVI_EventManager},
};

} // namespace kavrodoc
