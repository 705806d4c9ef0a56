#include "shot.h"

#include "com/classregistry.h"
#include "locked_property.h"
#include "object_helpers.h"
#include "range.h"
#include "storage/stream/stream_forms.h"
#include "value_members.h"

#include <bit>
#include <cmath>

namespace kavrodoc {

KAVRO_REGISTER_CLASS(CShot, ProgId_Shot);

namespace {
const QString kMicrophonePhase = QStringLiteral("_microphone_phase");
} // namespace

void CShot::bind(IAimingAttr* attr, IAimingTrace* trace)
{
    Lock lock(mutex_);
    attr_ = attr;
    trace_ = trace;
    breachCached_ = false;
    rangeBefore_ = nullptr;
    rangeAtShot_ = nullptr;
}

void CShot::setTraceIndex(int32_t index)
{
    Lock lock(mutex_);
    traceIndex_ = index;
    breachCached_ = false;
    rangeBefore_ = nullptr;
    rangeAtShot_ = nullptr;
}

void CShot::setMissed(bool missed)
{
    Lock lock(mutex_);
    missed_ = missed;
}

void CShot::setMicrophonePhase(double phase)
{
    Lock lock(mutex_);
    if (std::isnan(phase))
        values_.put(kMicrophonePhase, Variant());
    else
        values_.put(kMicrophonePhase, Variant(phase));
}

ComPtr<IAimingAttr> CShot::attr()
{
    Lock lock(mutex_);
    return attr_;
}

ComPtr<IAimingTrace> CShot::trace()
{
    Lock lock(mutex_);
    return trace_;
}

int32_t CShot::traceIndex()
{
    Lock lock(mutex_);
    return traceIndex_;
}

bool CShot::missed()
{
    Lock lock(mutex_);
    return missed_;
}

HRESULT CShot::get_Value(const QString& key, Variant* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    return values_.get(key, out);
}

HRESULT CShot::put_Value(const QString& key, const Variant& value)
{
    Lock lock(mutex_);
    // Unlike the other bags, every put of a value counts as a change: callers rely on the flag
    // to know that a put happened. A removal counts only when something was there.
    const bool removal = value.isEmpty();
    HRESULT hr = putBagValue(values_, key, value, &modified_);
    if (SUCCEEDED(hr) && !removal)
        modified_ = true;
    return hr;
}

HRESULT CShot::putref_Value(const QString& key, const Variant& value)
{
    return put_Value(key, value);
}

template <class T, class Find> HRESULT CShot::atBreach(T* out, T none, Find find)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = none;
    if (missed_)
        return S_OK;
    ComPtr<IEventParams> event;
    int32_t subTarget = 1;
    float x, y;
    if (!attr_ || FAILED(attr_->get_Event(event.put())) || !event || FAILED(attr_->get_SubTarget(&subTarget))
        || FAILED(breachLocked(&x, &y)))
        return E_FAIL;
    return find(event.get(), subTarget, x, y, out);
}

HRESULT CShot::get_Result(float* out)
{
    return atBreach(out, 0.0f, [](IEventParams* event, int32_t subTarget, float x, float y, float* score) {
        float s = 0;
        HRESULT hr = event->GetBreachScore(x, y, subTarget, &s);
        if (FAILED(hr))
            return hr;
        *score = s;
        return S_OK;
    });
}

HRESULT CShot::get_BreachX(float* out)
{
    if (!out)
        return E_POINTER;
    float y;
    return Breach(out, &y);
}

HRESULT CShot::get_BreachY(float* out)
{
    if (!out)
        return E_POINTER;
    float x;
    return Breach(&x, out);
}

HRESULT CShot::get_ShotTime(DATE* out) KAVRO_LOCKED_GET(shotTime_)

HRESULT CShot::put_ShotTime(DATE value)
{
    Lock lock(mutex_);
    return putTracked(shotTime_, value, &modified_);
}

HRESULT CShot::get_Missed(VARIANT_BOOL* out) KAVRO_LOCKED_GET(toVariantBool(missed_))

HRESULT CShot::get_Attr(IAimingAttr** out) KAVRO_LOCKED_GET(attr_)

HRESULT CShot::get_TraceIndex(int32_t* out) KAVRO_LOCKED_GET(traceIndex_)

HRESULT CShot::Breach(float* x, float* y)
{
    if (!x || !y)
        return E_POINTER;
    Lock lock(mutex_);
    return breachLocked(x, y);
}

HRESULT CShot::breachLocked(float* x, float* y)
{
    *x = *y = 0;
    if (missed_)
        return S_OK;
    if (!attr_ || !trace_)
        return E_UNEXPECTED;
    VARIANT_BOOL useReal = VARIANT_FALSE;
    float bx, by;
    if (SUCCEEDED(attr_->get_UseRealBreaches(&useReal)) && useReal && realBreachSet()) {
        bx = realX_;
        by = realY_;
    } else {
        int32_t f = 0;
        if (FAILED(attr_->get_FCoefficient(&f)))
            return E_FAIL;
        if (!breachCached_ || breachF_ != f) {
            ComPtr<IRange> range;
            HRESULT hr = rangeLocked(0, 0, &range);
            if (SUCCEEDED(hr))
                hr = range->Breaches2(0, f, phaseLocked(), &breachX_, &breachY_);
            if (FAILED(hr)) {
                breachCached_ = false;
                return hr;
            }
            breachF_ = f;
            breachCached_ = true;
        }
        bx = breachX_;
        by = breachY_;
    }
    *x = bx + offsetX_;
    *y = by + offsetY_;
    return S_OK;
}

HRESULT CShot::Range(float first, float last, IRange** out)
{
    if (badInterfaceOut(out))
        return E_POINTER;
    Lock lock(mutex_);
    ComPtr<IRange> range;
    HRESULT hr = rangeLocked(first, last, &range);
    if (FAILED(hr))
        return hr;
    return range.copyTo(out);
}

// The two standard windows are asked for again and again (breach, series tables); a trace that
// still grows would make a kept range stale, so they are kept only once it is read-only.
HRESULT CShot::rangeLocked(float first, float last, ComPtr<IRange>* out)
{
    if (missed_)
        return E_UNEXPECTED;
    if (!attr_ || !trace_)
        return E_UNEXPECTED;
    ComPtr<IRange>* cache = nullptr;
    if (last == 0 && (first == -1 || first == 0))
        cache = first == 0 ? &rangeAtShot_ : &rangeBefore_;
    if (cache && *cache) {
        *out = *cache;
        return S_OK;
    }
    auto range = CRange::create();
    if (FAILED(range->bind(attr_.get(), trace_.get(), traceIndex_)))
        return E_FAIL;
    if ((first != 0 || last != 0) && FAILED(range->setWindow(first, last)))
        return E_FAIL;
    VARIANT_BOOL readOnly = VARIANT_FALSE;
    if (cache && SUCCEEDED(trace_->get_ReadOnly(&readOnly)) && readOnly == VARIANT_TRUE)
        *cache = range;
    *out = range;
    return S_OK;
}

HRESULT CShot::getFloat(float CShot::*field, float* out, bool onlyWithRealBreach)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = (!onlyWithRealBreach || realBreachSet()) ? this->*field : 0;
    return S_OK;
}

HRESULT CShot::putFloat(float CShot::*field, float value)
{
    Lock lock(mutex_);
    this->*field = value;
    return S_OK;
}

HRESULT CShot::get_RealBreachX(float* out)
{
    return getFloat(&CShot::realX_, out, true);
}

HRESULT CShot::put_RealBreachX(float value)
{
    return putFloat(&CShot::realX_, value);
}

HRESULT CShot::get_RealBreachY(float* out)
{
    return getFloat(&CShot::realY_, out, true);
}

HRESULT CShot::put_RealBreachY(float value)
{
    return putFloat(&CShot::realY_, value);
}

HRESULT CShot::get_IsRealBreachValid(VARIANT_BOOL* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = toVariantBool(realBreachSet());
    return S_OK;
}

HRESULT CShot::get_OffsetX(float* out)
{
    return getFloat(&CShot::offsetX_, out);
}

HRESULT CShot::put_OffsetX(float value)
{
    return putFloat(&CShot::offsetX_, value);
}

HRESULT CShot::get_OffsetY(float* out)
{
    return getFloat(&CShot::offsetY_, out);
}

HRESULT CShot::put_OffsetY(float value)
{
    return putFloat(&CShot::offsetY_, value);
}

HRESULT CShot::get_Hidden(VARIANT_BOOL* out) KAVRO_LOCKED_GET(toVariantBool(hidden_))

HRESULT CShot::put_Hidden(VARIANT_BOOL value)
{
    Lock lock(mutex_);
    hidden_ = value == VARIANT_TRUE;
    return S_OK;
}

HRESULT CShot::get_AreaIndex(int32_t* out)
{
    return atBreach(out, -1, [](IEventParams* event, int32_t subTarget, float x, float y, int32_t* index) {
        int32_t area = -1;
        float cx, cy;
        if (FAILED(event->GetPointArea(x, y, subTarget, &area, &cx, &cy)))
            return E_FAIL;
        *index = area;
        return S_OK;
    });
}

HRESULT CShot::get_Trace(IAimingTrace** out) KAVRO_LOCKED_GET(trace_)

double CShot::phaseLocked() const
{
    Variant v;
    values_.get(kMicrophonePhase, &v);
    if (v.vt() == VT_R8)
        return v.r8();
    return std::bit_cast<double>(~uint64_t(0)); // a NaN with every bit set: no phase
}

HRESULT CShot::get_microphonePhase(double* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = phaseLocked();
    return S_OK;
}

KAVRO_PERSIST_STREAM_INIT_BASICS(CShot, mutex_, modified_)

HRESULT CShot::InterfaceSupportsErrorInfo(const IID& iid)
{
    return supportsErrorInfo(iid, IShot::iid);
}

HRESULT CShot::Save(IStream* stream, BOOL clearDirty)
{
    if (!stream)
        return E_POINTER;
    Lock lock(mutex_);
    using kavro::writeValue;
    if (FAILED(writeValue<int32_t>(stream, kCurrentVersion)) || FAILED(writeValue<uint8_t>(stream, missed_ ? 1 : 0))
        || FAILED(writeValue<uint8_t>(stream, hidden_ ? 1 : 0)) || FAILED(writeValue(stream, traceIndex_))
        || FAILED(writeValue(stream, shotTime_)) || FAILED(values_.write(stream)))
        return E_FAIL;
    return endSave(S_OK, clearDirty, &modified_);
}

HRESULT CShot::Load(IStream* stream)
{
    return load(stream, true);
}

HRESULT CShot::loadUnshared(IStream* stream)
{
    return load(stream, false);
}

HRESULT CShot::load(IStream* stream, bool shared)
{
    if (!stream)
        return E_POINTER;
    const auto lock = loadLock(mutex_, shared);
    offsetX_ = offsetY_ = 0;
    hidden_ = false;
    breachCached_ = false;
    rangeBefore_ = nullptr;
    rangeAtShot_ = nullptr;

    using kavro::readFields;
    int32_t version = 0, traceIndex = 0;
    bool missed = false;
    uint8_t hidden8 = 0;
    DATE shotTime = 0;
    kavro::ValueBag values;
    if (FAILED(kavro::readVersion(stream, kCurrentVersion, &version)) || version < 1)
        return E_FAIL;
    HRESULT hr = S_OK;
    if (version == 1) {
        int32_t missed32 = 0;
        hr = readFields(stream, &missed32, &traceIndex, &shotTime);
        missed = missed32 == 1;
    } else {
        uint8_t missed8 = 0;
        hr = version == 2 ? readFields(stream, &missed8, &traceIndex, &shotTime)
                          : readFields(stream, &missed8, &hidden8, &traceIndex, &shotTime);
        missed = missed8 == 1;
    }
    if (FAILED(hr) || (version >= 2 && FAILED(values.read(stream))))
        return E_FAIL;

    missed_ = missed;
    hidden_ = hidden8 != 0;
    traceIndex_ = traceIndex;
    shotTime_ = shotTime;
    values_ = std::move(values);
    modified_ = false;
    return S_OK;
}

} // namespace kavrodoc
