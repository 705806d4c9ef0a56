#pragma once
// A window of one aiming's trace around a reference sample, with its statistics: path lengths,
// mean point, bounds, steadiness, and the filtered breach point at any sample.
#include "kavrodoc.h"
#include "com/persist.h"

#include <mutex>

namespace kavrodoc {

class CRange final : public ComObject<CRange, IRange, ISupportErrorInfo> {
public:
    static constexpr Guid clsid = CLSID_Range;

    HRESULT get_Valid(VARIANT_BOOL* out) override;
    HRESULT get_RequestedFirst(int32_t* out) override;
    HRESULT get_RequestedLast(int32_t* out) override;
    HRESULT get_Count(int32_t* out) override;
    HRESULT get_First(int32_t* out) override;
    HRESULT get_Last(int32_t* out) override;
    HRESULT get_x(int32_t nIndex, float* out) override;
    HRESULT get_y(int32_t nIndex, float* out) override;
    HRESULT get_SampleRate(int32_t* out) override;
    HRESULT get_Length(float* out) override;
    HRESULT get_LengthX(float* out) override;
    HRESULT get_LengthY(float* out) override;
    HRESULT get_AveragePointX(float* out) override;
    HRESULT get_AveragePointY(float* out) override;
    HRESULT Index2Sec(int32_t nIndex, float* out) override;
    HRESULT Sec2Index(float seconds, int32_t* out) override;
    HRESULT Steadiness(float radius, int32_t nFCoefficient, float centerX, float centerY, float* out) override;
    HRESULT Breaches(int32_t nIndex, int32_t nFCoefficient, float* pX, float* pY) override;
    HRESULT get_Event(IEventParams** out) override;
    HRESULT GetBounds(float* left, float* top, float* right, float* bottom) override;
    HRESULT get_ValidCoordinate(int32_t nIndex, VARIANT_BOOL* out) override;
    HRESULT GetNearestArea(float x, float y, int32_t* areaIndex, float* cx, float* cy) override;
    HRESULT get_Trace(IAimingTrace** out) override;
    HRESULT get_IndexBase(int32_t* out) override;
    HRESULT get_UserData(int32_t dataIndex, int32_t index, int32_t* out) override;
    HRESULT Breaches2(int32_t nIndex, int32_t nFCoefficient, double microphonePhase, float* pX, float* pY) override;

    HRESULT InterfaceSupportsErrorInfo(const IID& iid) override;

    // Binds the range to an aiming's attributes and trace with relative index 0 at `indexBase`;
    // a trace with samples makes the whole trace the window.
    HRESULT bind(IAimingAttr* attr, IAimingTrace* trace, int32_t indexBase);
    // Narrows the window to firstSec..lastSec around the base: the last unbroken run of valid
    // samples in it. E_FAIL when the seconds are reversed; a window without a valid sample leaves
    // the range not valid.
    HRESULT setWindow(float firstSec, float lastSec);

private:
    struct Statistics {
        float length = 0, lengthX = 0, lengthY = 0;
        float averageX = 0, averageY = 0;
        float left = 0, top = 0, right = 0, bottom = 0;
    };

    bool traceValidLocked();
    bool inWindow(int32_t index) const { return valid_ && index >= first_ && index <= last_; }
    bool sampleValid(int64_t traceIndex);
    const Statistics& statisticsLocked();
    HRESULT statistic(float Statistics::*member, float* out);
    HRESULT breachLocked(int32_t index, int32_t f, double phase, float* x, float* y);

    std::recursive_mutex mutex_;
    ComPtr<IAimingAttr> attr_;
    ComPtr<IAimingTrace> trace_;
    int32_t indexBase_ = 0;
    int32_t requestedFirst_ = 0, requestedLast_ = 0;
    int32_t first_ = 0, last_ = 0;
    bool valid_ = false;
    int32_t sampleRate_ = 0;
    Statistics stats_;
    bool statsComputed_ = false;
    // The filtered point at relative index 0, the one shots ask for again and again.
    bool cacheFilled_ = false;
    int32_t cacheF_ = 0;
    double cachePhase_ = 0;
    float cacheX_ = 0, cacheY_ = 0;
};

} // namespace kavrodoc
