#include "range_collection.h"

#include "com/classregistry.h"
#include "com/enumvariant.h"
#include "com/numeric.h"
#include "locked_property.h"
#include "object_helpers.h"

#include <cmath>
#include <new>

namespace kavrodoc {

KAVRO_REGISTER_CLASS(CRangeCollection, ProgId_RangeCollection);

namespace {

// Curves longer than this are refused as out of memory rather than attempted (an hour at 500/s
// is 1.8 million samples).
constexpr int64_t kLargestCurve = int64_t(1) << 26;

ComPtr<IEventParams> eventOf(IRange* range)
{
    ComPtr<IEventParams> event;
    if (FAILED(range->get_Event(event.put())))
        event = nullptr;
    return event;
}

int32_t intOf(IRange* range, HRESULT (IRange::*get)(int32_t*))
{
    int32_t v = 0;
    (range->*get)(&v);
    return v;
}

// What the curves read of one range: its window and its samples in 0.01 mm.
struct RangeSamples {
    explicit RangeSamples(IRange* range)
    {
        range->get_Trace(trace.put());
        first = intOf(range, &IRange::get_First);
        last = intOf(range, &IRange::get_Last);
        base = intOf(range, &IRange::get_IndexBase);
    }
    // False for a sample outside the window, invalid, or gone from the trace.
    bool point(int32_t i, double* x, double* y) const
    {
        if (!trace || i < first || i > last)
            return false;
        int32_t xi = 0, yi = 0;
        if (FAILED(trace->_GetPoint(base + i, &xi, &yi)) || xi == IAimingTrace::kInvalidSample
            || yi == IAimingTrace::kInvalidSample)
            return false;
        *x = xi;
        *y = yi;
        return true;
    }
    ComPtr<IAimingTrace> trace;
    int32_t first = 0, last = 0, base = 0;
};

} // namespace

ComPtr<CRangeCollection> CRangeCollection::withEvent(IEventParams* event)
{
    auto c = create();
    c->event_ = event;
    return c;
}

void CRangeCollection::dropResults()
{
    for (float& m : means_)
        m = FLT_MAX;
    coordination_ = Curve{};
    speed_ = Curve{};
}

HRESULT CRangeCollection::get_Item(int32_t nIndex, IRange** out)
{
    Lock lock(mutex_);
    return copyItem(ranges_, nIndex, out);
}

HRESULT CRangeCollection::get_Valid(VARIANT_BOOL* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = toVariantBool(!ranges_.empty());
    return S_OK;
}

HRESULT CRangeCollection::get_PointCount(int32_t* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = last_ - first_ + 1;
    return S_OK;
}

HRESULT CRangeCollection::get_RequestedFirst(int32_t* out) KAVRO_LOCKED_GET(requestedFirst_)

HRESULT CRangeCollection::get_RequestedLast(int32_t* out) KAVRO_LOCKED_GET(requestedLast_)

HRESULT CRangeCollection::get_Count(int32_t* out) KAVRO_LOCKED_GET(int32_t(ranges_.size()))

HRESULT CRangeCollection::get_First(int32_t* out) KAVRO_LOCKED_GET(first_)

HRESULT CRangeCollection::get_Last(int32_t* out) KAVRO_LOCKED_GET(last_)

HRESULT CRangeCollection::mean(Mean which, float* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    if (means_[which] == FLT_MAX) {
        double sum = 0;
        for (const auto& range : ranges_) {
            float v = 0;
            switch (which) {
            case MeanLength: range->get_Length(&v); break;
            case MeanLengthX: range->get_LengthX(&v); break;
            case MeanLengthY: range->get_LengthY(&v); break;
            case MeanAverageX: range->get_AveragePointX(&v); break;
            case MeanAverageY: range->get_AveragePointY(&v); break;
            case MeanCount: break;
            }
            sum += v;
        }
        means_[which] = ranges_.empty() ? 0.0f : float(sum / double(ranges_.size()));
    }
    *out = means_[which];
    return S_OK;
}

HRESULT CRangeCollection::get_Length(float* out)
{
    return mean(MeanLength, out);
}
HRESULT CRangeCollection::get_LengthX(float* out)
{
    return mean(MeanLengthX, out);
}
HRESULT CRangeCollection::get_LengthY(float* out)
{
    return mean(MeanLengthY, out);
}
HRESULT CRangeCollection::get_AveragePointX(float* out)
{
    return mean(MeanAverageX, out);
}
HRESULT CRangeCollection::get_AveragePointY(float* out)
{
    return mean(MeanAverageY, out);
}

HRESULT CRangeCollection::Steadiness(float radius, int32_t nFCoefficient, float centerX, float centerY, float* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = 0;
    if (ranges_.empty())
        return S_OK;
    double sum = 0;
    for (const auto& range : ranges_) {
        float v = 0;
        range->Steadiness(radius, nFCoefficient, centerX, centerY, &v);
        sum += v;
    }
    *out = std::trunc(float(sum / double(ranges_.size())));
    return S_OK;
}

HRESULT CRangeCollection::Add(IRange* range)
{
    if (!range)
        return E_INVALIDARG;
    Lock lock(mutex_);
    VARIANT_BOOL valid = VARIANT_FALSE;
    if (FAILED(range->get_Valid(&valid)) || valid != VARIANT_TRUE)
        return S_OK;
    for (const auto& held : ranges_) {
        if (sameObject(held.get(), range))
            return S_OK;
    }
    const int32_t rate = intOf(range, &IRange::get_SampleRate);
    ComPtr<IEventParams> event = eventOf(range);
    if (!ranges_.empty() && rate != sampleRate_)
        return E_INVALIDARG;
    if (event_ && !sameObject(event_.get(), event.get()))
        return E_INVALIDARG;
    const int32_t f = intOf(range, &IRange::get_First), l = intOf(range, &IRange::get_Last);
    const int32_t rf = intOf(range, &IRange::get_RequestedFirst);
    const int32_t rl = intOf(range, &IRange::get_RequestedLast);
    if (ranges_.empty()) {
        first_ = f;
        last_ = l;
        requestedFirst_ = rf;
        requestedLast_ = rl;
    } else {
        first_ = std::max(first_, f);
        last_ = std::min(last_, l);
        requestedFirst_ = std::min(requestedFirst_, rf);
        requestedLast_ = std::max(requestedLast_, rl);
    }
    sampleRate_ = rate;
    if (!event_)
        event_ = event;
    ranges_.push_back(ComPtr<IRange>(range));
    dropResults();
    return S_OK;
}

HRESULT CRangeCollection::curveArrays(std::vector<double>* sums, std::vector<int32_t>* counts)
{
    const int64_t size = int64_t(requestedLast_) - requestedFirst_ + 1;
    if (size < 1 || size > kLargestCurve)
        return E_OUTOFMEMORY;
    try {
        sums->assign(size_t(size), 0.0);
        counts->assign(size_t(size), 0);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CRangeCollection::buildCoordination()
{
    std::vector<double> sums;
    std::vector<int32_t> counts;
    HRESULT hr = curveArrays(&sums, &counts);
    if (FAILED(hr))
        return hr;
    for (const auto& range : ranges_) {
        const RangeSamples s(range.get());
        // The shot sample when the window spans it, else the window's end.
        const int32_t ref = s.first < 1 && s.last >= 0 ? 0 : s.last;
        float x = 0, y = 0, cx = 0, cy = 0;
        int32_t area = 0;
        range->get_x(ref, &x);
        range->get_y(ref, &y);
        if (FAILED(range->GetNearestArea(x, y, &area, &cx, &cy)))
            cx = cy = 0;
        const double centreX = kavro::roundSaturated(double(cx) * 100);
        const double centreY = kavro::roundSaturated(double(cy) * 100);
        for (int32_t i = s.first; i <= s.last; ++i) {
            const int64_t at = int64_t(i) - requestedFirst_;
            double px = 0, py = 0;
            if (at < 0 || at >= int64_t(sums.size()) || !s.point(i, &px, &py))
                continue;
            sums[size_t(at)] += std::hypot(px - centreX, py - centreY);
            ++counts[size_t(at)];
        }
    }
    coordination_.values.assign(sums.size(), 0.0f);
    const int64_t all = int64_t(ranges_.size());
    for (size_t i = 0; i < sums.size(); ++i) {
        if (counts[i] <= 0)
            continue;
        // Never exactly 0, so that a covered index can be told from an empty one; negative where
        // some ranges do not reach.
        float v = float(sums[i] / (double(counts[i]) * 100) + 0.01);
        coordination_.values[i] = counts[i] < all ? -v : v;
    }
    return S_OK;
}

HRESULT CRangeCollection::buildSpeed()
{
    std::vector<double> sums;
    std::vector<int32_t> counts;
    HRESULT hr = curveArrays(&sums, &counts);
    if (FAILED(hr))
        return hr;
    const int32_t d = std::max(1, sampleRate_ / 25);
    for (const auto& range : ranges_) {
        const RangeSamples s(range.get());
        for (int32_t i = s.first; i <= s.last; ++i) {
            const int64_t at = int64_t(i) - requestedFirst_;
            const int64_t partner = int64_t(i) > int64_t(s.first) + d ? int64_t(i) - d : int64_t(i) + d;
            double x = 0, y = 0, px = 0, py = 0;
            if (at < 0 || at >= int64_t(sums.size()) || partner > s.last || !s.point(i, &x, &y)
                || !s.point(int32_t(partner), &px, &py))
                continue;
            sums[size_t(at)] += std::hypot(x - px, y - py);
            ++counts[size_t(at)];
        }
    }
    speed_.values.assign(sums.size(), 0.0f);
    for (size_t i = 0; i < sums.size(); ++i) {
        if (counts[i] <= 0 || sampleRate_ <= 0)
            continue;
        // The time between partners in hundredths of a second, in integers as the rate gives it.
        const int64_t time = int64_t(counts[i]) * d * 100 / sampleRate_;
        if (time > 0)
            speed_.values[i] = float(sums[i] / double(time));
    }
    return S_OK;
}

HRESULT CRangeCollection::curvePoint(Curve& curve, HRESULT (CRangeCollection::*build)(), int32_t nIndex, float* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = 0;
    if (ranges_.empty() || last_ < first_)
        return S_OK;
    if (!curve.built) {
        HRESULT hr = (this->*build)();
        if (FAILED(hr)) {
            curve = Curve{};
            return hr;
        }
        curve.built = true;
    }
    const int64_t at = int64_t(nIndex) - requestedFirst_;
    if (at < 0 || at >= int64_t(curve.values.size()))
        return E_INVALIDARG;
    *out = curve.values[size_t(at)];
    return S_OK;
}

HRESULT CRangeCollection::get_CoordinationPoint(int32_t nIndex, float* out)
{
    return curvePoint(coordination_, &CRangeCollection::buildCoordination, nIndex, out);
}

HRESULT CRangeCollection::get_SpeedPoint(int32_t nIndex, float* out)
{
    return curvePoint(speed_, &CRangeCollection::buildSpeed, nIndex, out);
}

HRESULT CRangeCollection::get__NewEnum(IUnknown** out)
{
    Lock lock(mutex_);
    return enumerateObjects(ranges_, out);
}

HRESULT CRangeCollection::InterfaceSupportsErrorInfo(const IID& iid)
{
    return supportsErrorInfo(iid, IRangeCollection::iid);
}

} // namespace kavrodoc
