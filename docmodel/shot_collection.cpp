#include "shot_collection.h"

#include "com/classregistry.h"
#include "com/enumvariant.h"
#include "locked_property.h"
#include "object_helpers.h"
#include "range_collection.h"

#include <algorithm>

namespace kavrodoc {

KAVRO_REGISTER_CLASS(CShotCollection, ProgId_ShotCollection);

namespace {

ComPtr<IEventParams> eventOf(IShot* shot)
{
    ComPtr<IAimingAttr> attr;
    ComPtr<IEventParams> event;
    if (SUCCEEDED(shot->get_Attr(attr.put())) && attr)
        attr->get_Event(event.put());
    return event;
}

bool isMatch(IShot* shot)
{
    ComPtr<IAimingAttr> attr;
    VARIANT_BOOL match = VARIANT_FALSE;
    return SUCCEEDED(shot->get_Attr(attr.put())) && attr && SUCCEEDED(attr->get_Match(&match)) && match == VARIANT_TRUE;
}

bool isSighting(IShot* shot)
{
    ComPtr<IAimingAttr> attr;
    VARIANT_BOOL match = VARIANT_TRUE;
    return SUCCEEDED(shot->get_Attr(attr.put())) && attr && SUCCEEDED(attr->get_Match(&match))
        && match == VARIANT_FALSE;
}

} // namespace

ComPtr<CShotCollection> CShotCollection::withEvent(IEventParams* event)
{
    auto c = create();
    c->event_ = event;
    return c;
}

void CShotCollection::append(IShot* shot)
{
    Lock lock(mutex_);
    for (const auto& held : shots_) {
        if (sameObject(held.get(), shot))
            return;
    }
    shots_.push_back(shot);
}

void CShotCollection::appendAll(const std::vector<ComPtr<IShot>>& shots)
{
    // What sameObject compares: the IUnknown an object gives, or the pointer itself when it
    // gives none. The shots are held throughout, so their identities stay valid.
    auto identity = [](IShot* shot) -> IUnknown* {
        ComPtr<IUnknown> unknown;
        if (FAILED(shot->QueryInterface(IUnknown::iid, unknown.putVoid())))
            return shot;
        return unknown.get();
    };
    Lock lock(mutex_);
    std::vector<IUnknown*> identities;
    identities.reserve(shots_.size() + shots.size());
    for (const auto& shot : shots_)
        identities.push_back(identity(shot.get()));
    for (const auto& shot : shots)
        identities.push_back(identity(shot.get()));
    std::sort(identities.begin(), identities.end());
    if (std::adjacent_find(identities.begin(), identities.end()) == identities.end()) {
        shots_.insert(shots_.end(), shots.begin(), shots.end());
        return;
    }
    // A shot given twice (or held already) is kept once, where it first came.
    for (const auto& shot : shots)
        append(shot.get());
}

std::vector<ComPtr<IShot>> CShotCollection::shots()
{
    Lock lock(mutex_);
    return shots_;
}

ComPtr<IEventParams> CShotCollection::event()
{
    Lock lock(mutex_);
    return event_;
}

HRESULT CShotCollection::get_Item(int32_t nShot, IShot** out)
{
    Lock lock(mutex_);
    return copyItem(shots_, nShot, out);
}

HRESULT CShotCollection::get_Count(int32_t* out) KAVRO_LOCKED_GET(int32_t(shots_.size()))

HRESULT CShotCollection::get_Result(float* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    float sum = 0;
    for (const auto& shot : shots_) {
        float r = 0;
        shot->get_Result(&r); // a shot that cannot be scored counts 0
        sum += r;
    }
    *out = sum;
    return S_OK;
}

HRESULT CShotCollection::get_AverageResult(float* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    float sum = 0;
    get_Result(&sum);
    *out = shots_.empty() ? 0.0f : sum / float(shots_.size());
    return S_OK;
}

// Without an event, or with an event that gives no usable size, a series has ten shots.
int32_t CShotCollection::shotsPerSerieLocked()
{
    int32_t s = 0;
    if (!event_ || FAILED(event_->get_MaxShotsPerSerie(&s)) || s < 1)
        s = 10;
    return s;
}

HRESULT CShotCollection::get_SerieCount(int32_t* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    int64_t s = shotsPerSerieLocked();
    *out = int32_t((int64_t(shots_.size()) + s - 1) / s);
    return S_OK;
}

HRESULT CShotCollection::Serie(int32_t nSerie, IShotCollection** out)
{
    if (badInterfaceOut(out))
        return E_POINTER;
    Lock lock(mutex_);
    int64_t s = shotsPerSerieLocked();
    auto serie = withEvent(event_.get());
    if (nSerie < 1)
        return queryOut(serie.get(), out); // no such series: empty, like one beyond the last
    int64_t from = (int64_t(nSerie) - 1) * s; // 0-based
    int64_t to = std::min<int64_t>(int64_t(nSerie) * s, int64_t(shots_.size()));
    for (int64_t i = from; i < to; ++i)
        serie->shots_.push_back(shots_[size_t(i)]);
    return queryOut(serie.get(), out);
}

HRESULT CShotCollection::Add(IShot* shot)
{
    if (!shot)
        return E_INVALIDARG;
    Lock lock(mutex_);
    ComPtr<IEventParams> shotEvent = eventOf(shot);
    if (event_ && !sameObject(event_.get(), shotEvent.get()))
        return E_INVALIDARG;
    for (const auto& held : shots_) {
        if (sameObject(held.get(), shot))
            return S_OK;
    }
    shots_.push_back(shot);
    if (!event_)
        event_ = shotEvent;
    return S_OK;
}

HRESULT CShotCollection::subset(bool (*keep)(IShot*), IShotCollection** out)
{
    if (badInterfaceOut(out))
        return E_POINTER;
    Lock lock(mutex_);
    auto part = withEvent(event_.get());
    for (const auto& shot : shots_) {
        if (keep(shot.get()))
            part->shots_.push_back(shot);
    }
    return queryOut(part.get(), out);
}

HRESULT CShotCollection::Sighting(IShotCollection** out)
{
    return subset(&isSighting, out);
}

HRESULT CShotCollection::Match(IShotCollection** out)
{
    return subset(&isMatch, out);
}

HRESULT CShotCollection::Range(float first, float last, IRangeCollection** out)
{
    if (badInterfaceOut(out))
        return E_POINTER;
    Lock lock(mutex_);
    auto ranges = CRangeCollection::withEvent(event_.get());
    for (const auto& shot : shots_) {
        VARIANT_BOOL missed = VARIANT_FALSE;
        if (FAILED(shot->get_Missed(&missed)))
            return E_FAIL;
        if (missed == VARIANT_TRUE)
            continue;
        // A shot whose aiming was stored with an unusable sample rate has no window in seconds and
        // no rate to share with the others: it is left out, so that it does not empty every chart.
        ComPtr<IRange> range;
        int32_t rate = 0;
        if (FAILED(shot->Range(first, last, range.put())) || !range || FAILED(range->get_SampleRate(&rate))
            || rate <= 0)
            continue;
        if (FAILED(ranges->Add(range.get())))
            return E_FAIL;
    }
    return queryOut(ranges.get(), out);
}

HRESULT CShotCollection::get_Event(IEventParams** out) KAVRO_LOCKED_GET(event_)

HRESULT CShotCollection::get__NewEnum(IUnknown** out)
{
    Lock lock(mutex_);
    return enumerateObjects(shots_, out);
}

HRESULT CShotCollection::InterfaceSupportsErrorInfo(const IID& iid)
{
    return supportsErrorInfo(iid, IShotCollection::iid);
}

} // namespace kavrodoc
