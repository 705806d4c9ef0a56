#include "range.h"

#include "breach_filter.h"
#include "com/classregistry.h"
#include "com/numeric.h"
#include "locked_property.h"
#include "object_helpers.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kavrodoc {

KAVRO_REGISTER_CLASS(CRange, ProgId_Range);

HRESULT CRange::bind(IAimingAttr* attr, IAimingTrace* trace, int32_t indexBase)
{
    if (!attr || !trace)
        return E_POINTER;
    Lock lock(mutex_);
    attr_ = attr;
    trace_ = trace;
    indexBase_ = indexBase;
    if (FAILED(attr->get_SampleRate(&sampleRate_)))
        sampleRate_ = 0;
    valid_ = false;
    first_ = last_ = requestedFirst_ = requestedLast_ = 0;
    statsComputed_ = cacheFilled_ = false;
    int32_t f = 0, l = 0;
    if (traceValidLocked() && SUCCEEDED(trace->get_First(&f)) && SUCCEEDED(trace->get_Last(&l))) {
        const int64_t first = int64_t(f) - indexBase, last = int64_t(l) - indexBase;
        // A base read from a damaged stream may lie anywhere: such a range has no window.
        if (first < std::numeric_limits<int32_t>::min() || last > std::numeric_limits<int32_t>::max())
            return S_OK;
        first_ = requestedFirst_ = int32_t(first);
        last_ = requestedLast_ = int32_t(last);
        valid_ = true;
    }
    return S_OK;
}

HRESULT CRange::setWindow(float firstSec, float lastSec)
{
    Lock lock(mutex_);
    if (!trace_)
        return E_UNEXPECTED;
    int32_t rf = 0, rl = 0, tf = 0, tl = 0;
    if (FAILED(trace_->Sec2Index(firstSec, &rf)) || FAILED(trace_->Sec2Index(lastSec, &rl)) || rl < rf)
        return E_FAIL;
    if (!traceValidLocked())
        return S_OK;
    if (FAILED(trace_->get_First(&tf)) || FAILED(trace_->get_Last(&tl)))
        return E_FAIL;
    requestedFirst_ = rf;
    requestedLast_ = rl;
    statsComputed_ = false;
    const int64_t f = int64_t(tf) - indexBase_, l = int64_t(tl) - indexBase_;
    const int64_t first = std::max<int64_t>(rf, f);
    int64_t last = std::min<int64_t>(rl, l);
    if (last < first) {
        // Nothing of the trace is left in the window.
        valid_ = false;
        first_ = rf;
        last_ = rl;
        return S_OK;
    }
    while (last > first && !sampleValid(indexBase_ + last))
        --last;
    int64_t d = last;
    while (d > first && sampleValid(indexBase_ + d - 1))
        --d;
    first_ = int32_t(d);
    last_ = int32_t(last);
    // A window whose only sample left is invalid has no aiming point at all.
    valid_ = sampleValid(indexBase_ + last);
    return S_OK;
}

bool CRange::traceValidLocked()
{
    VARIANT_BOOL v = VARIANT_FALSE;
    return trace_ && SUCCEEDED(trace_->get_Valid(&v)) && v == VARIANT_TRUE;
}

bool CRange::sampleValid(int64_t traceIndex)
{
    if (traceIndex < std::numeric_limits<int32_t>::min() || traceIndex > std::numeric_limits<int32_t>::max())
        return false;
    VARIANT_BOOL v = VARIANT_FALSE;
    return SUCCEEDED(trace_->ValidCoordinate(int32_t(traceIndex), &v)) && v == VARIANT_TRUE;
}

HRESULT CRange::get_Valid(VARIANT_BOOL* out) KAVRO_LOCKED_GET(toVariantBool(valid_))

HRESULT CRange::get_RequestedFirst(int32_t* out) KAVRO_LOCKED_GET(requestedFirst_)

HRESULT CRange::get_RequestedLast(int32_t* out) KAVRO_LOCKED_GET(requestedLast_)

HRESULT CRange::get_Count(int32_t* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = last_ - first_;
    return S_OK;
}

HRESULT CRange::get_First(int32_t* out) KAVRO_LOCKED_GET(first_)

HRESULT CRange::get_Last(int32_t* out) KAVRO_LOCKED_GET(last_)

HRESULT CRange::get_x(int32_t nIndex, float* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = 0;
    if (!inWindow(nIndex))
        return E_INVALIDARG;
    return trace_->get_x(indexBase_ + nIndex, out);
}

HRESULT CRange::get_y(int32_t nIndex, float* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = 0;
    if (!inWindow(nIndex))
        return E_INVALIDARG;
    return trace_->get_y(indexBase_ + nIndex, out);
}

HRESULT CRange::get_SampleRate(int32_t* out) KAVRO_LOCKED_GET(sampleRate_)

// The path is scaled from the samples used up to the samples requested, so that a window cut
// short by the trace's ends or by invalid samples compares with full windows. A whole-trace window
// may hold runs of invalid samples: they carry no aiming point and are left out, and no step is
// measured across them.
const CRange::Statistics& CRange::statisticsLocked()
{
    if (statsComputed_)
        return stats_;
    stats_ = Statistics{};
    if (!valid_ || first_ == last_ || !traceValidLocked())
        return stats_;
    double path = 0, sx = 0, sy = 0, sumX = 0, sumY = 0;
    int64_t used = 0;
    int32_t minX = 0, minY = 0, maxX = 0, maxY = 0, prevX = 0, prevY = 0;
    bool previousValid = false;
    for (int32_t i = first_; i <= last_; ++i) {
        int32_t x = 0, y = 0;
        if (FAILED(trace_->_GetPoint(indexBase_ + i, &x, &y))) {
            stats_ = Statistics{}; // samples gone from a sliding trace: try again later
            return stats_;
        }
        if (x == IAimingTrace::kInvalidSample || y == IAimingTrace::kInvalidSample) {
            previousValid = false;
            continue;
        }
        if (used == 0) {
            minX = maxX = x;
            minY = maxY = y;
        } else if (previousValid) {
            const double dx = double(x) - prevX, dy = double(y) - prevY;
            path += std::sqrt(dx * dx + dy * dy);
            sx += std::fabs(dx);
            sy += std::fabs(dy);
        }
        ++used;
        sumX += x;
        sumY += y;
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
        prevX = x;
        prevY = y;
        previousValid = true;
    }
    statsComputed_ = true;
    if (used == 0)
        return stats_;
    const double n = double(used);
    const double m = double(requestedLast_) - requestedFirst_ + 1;
    stats_.length = float(m * path / (n * 100));
    stats_.lengthX = float(m * sx / (n * 100));
    stats_.lengthY = float(m * sy / (n * 100));
    stats_.averageX = float(sumX / (n * 100));
    stats_.averageY = float(sumY / (n * 100));
    stats_.left = float(minX / 100.0);
    stats_.top = float(minY / 100.0);
    stats_.right = float(maxX / 100.0);
    stats_.bottom = float(maxY / 100.0);
    return stats_;
}

HRESULT CRange::statistic(float Statistics::*member, float* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = statisticsLocked().*member;
    return S_OK;
}

HRESULT CRange::get_Length(float* out)
{
    return statistic(&Statistics::length, out);
}
HRESULT CRange::get_LengthX(float* out)
{
    return statistic(&Statistics::lengthX, out);
}
HRESULT CRange::get_LengthY(float* out)
{
    return statistic(&Statistics::lengthY, out);
}
HRESULT CRange::get_AveragePointX(float* out)
{
    return statistic(&Statistics::averageX, out);
}
HRESULT CRange::get_AveragePointY(float* out)
{
    return statistic(&Statistics::averageY, out);
}

HRESULT CRange::GetBounds(float* left, float* top, float* right, float* bottom)
{
    if (!left || !top || !right || !bottom)
        return E_POINTER;
    Lock lock(mutex_);
    const Statistics& s = statisticsLocked();
    *left = s.left;
    *top = s.top;
    *right = s.right;
    *bottom = s.bottom;
    return S_OK;
}

HRESULT CRange::Index2Sec(int32_t nIndex, float* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = 0;
    if (sampleRate_ <= 0)
        return E_UNEXPECTED;
    *out = float(nIndex) / float(sampleRate_);
    return S_OK;
}

HRESULT CRange::Sec2Index(float seconds, int32_t* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = 0;
    if (sampleRate_ <= 0)
        return E_UNEXPECTED; // a rate never set, or so stored, gives no time-based result
    volatile float product = float(sampleRate_) * seconds; // single precision, as the trace does
    return kavro::checkedRound<int32_t>(product, out) ? S_OK : E_INVALIDARG;
}

HRESULT CRange::breachLocked(int32_t index, int32_t f, double phase, float* x, float* y)
{
    *x = *y = 0;
    if (std::isnan(phase))
        phase = 1;
    if (!traceValidLocked())
        return S_OK;
    if (index == 0 && cacheFilled_ && cacheF_ == f && cachePhase_ == phase) {
        *x = cacheX_;
        *y = cacheY_;
        return S_OK;
    }
    HRESULT hr = filteredBreachPoint(trace_.get(), int64_t(indexBase_) + index, f, sampleRate_, phase, x, y);
    if (FAILED(hr))
        return hr;
    if (index == 0) {
        cacheFilled_ = true;
        cacheF_ = f;
        cachePhase_ = phase;
        cacheX_ = *x;
        cacheY_ = *y;
    }
    return S_OK;
}

HRESULT CRange::Breaches2(int32_t nIndex, int32_t nFCoefficient, double microphonePhase, float* pX, float* pY)
{
    if (!pX || !pY)
        return E_POINTER;
    Lock lock(mutex_);
    return breachLocked(nIndex, nFCoefficient, microphonePhase, pX, pY);
}

HRESULT CRange::Breaches(int32_t nIndex, int32_t nFCoefficient, float* pX, float* pY)
{
    return Breaches2(nIndex, nFCoefficient, 1.0, pX, pY);
}

// Samples missing at the ends of the requested window count as not steady.
HRESULT CRange::Steadiness(float radius, int32_t nFCoefficient, float centerX, float centerY, float* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = 0;
    if (!valid_ || !traceValidLocked())
        return S_OK;
    const double r2 = double(radius) * radius;
    int64_t count = 0;
    for (int32_t i = first_; i <= last_; ++i) {
        float x = 0, y = 0;
        if (FAILED(breachLocked(i, nFCoefficient, 1.0, &x, &y)))
            continue;
        const double dx = double(x) - centerX, dy = double(y) - centerY;
        if (dx * dx + dy * dy <= r2)
            ++count;
    }
    const int64_t requested = int64_t(requestedLast_) - requestedFirst_ + 1;
    *out = std::trunc(float(count * 100 / requested));
    return S_OK;
}

HRESULT CRange::get_Event(IEventParams** out)
{
    if (badInterfaceOut(out))
        return E_POINTER;
    Lock lock(mutex_);
    if (!attr_ || FAILED(attr_->get_Event(out)) || !*out)
        return E_FAIL;
    return S_OK;
}

HRESULT CRange::get_ValidCoordinate(int32_t nIndex, VARIANT_BOOL* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = VARIANT_FALSE;
    if (!inWindow(nIndex) || FAILED(trace_->ValidCoordinate(indexBase_ + nIndex, out)))
        return E_INVALIDARG;
    return S_OK;
}

HRESULT CRange::GetNearestArea(float x, float y, int32_t* areaIndex, float* cx, float* cy)
{
    if (!areaIndex || !cx || !cy)
        return E_POINTER;
    Lock lock(mutex_);
    *areaIndex = 0;
    *cx = *cy = 0;
    ComPtr<IEventParams> event;
    int32_t subTarget = 1;
    if (!attr_ || FAILED(attr_->get_Event(event.put())) || !event || FAILED(attr_->get_SubTarget(&subTarget)))
        return E_FAIL;
    return event->GetNearestArea(x, y, subTarget, areaIndex, cx, cy);
}

HRESULT CRange::get_Trace(IAimingTrace** out) KAVRO_LOCKED_GET(trace_)

HRESULT CRange::get_IndexBase(int32_t* out) KAVRO_LOCKED_GET(indexBase_)

HRESULT CRange::get_UserData(int32_t dataIndex, int32_t index, int32_t* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = 0;
    if (dataIndex < 1 || !inWindow(index) || FAILED(trace_->get_UserData(dataIndex, indexBase_ + index, out)))
        return E_INVALIDARG;
    return S_OK;
}

HRESULT CRange::InterfaceSupportsErrorInfo(const IID& iid)
{
    return supportsErrorInfo(iid, IRange::iid);
}

} // namespace kavrodoc
