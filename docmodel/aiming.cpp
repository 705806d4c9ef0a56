#include "aiming.h"

#include "aiming_attr.h"
#include "aiming_trace.h"
#include "com/classregistry.h"
#include "com/enumvariant.h"
#include "locked_property.h"
#include "object_helpers.h"
#include "range.h"
#include "shot.h"
#include "storage/stream/stream_forms.h"

#include <cmath>
#include <limits>

namespace kavrodoc {

KAVRO_REGISTER_CLASS(CAiming, ProgId_Aiming);

namespace {
// Class id, then a version 1 shot: version, missed, trace index and time.
constexpr uint64_t kSmallestStoredShot = 16 + 4 + 4 + 4 + 8;
constexpr int32_t kShotsReservedUnchecked = 16;
} // namespace

CAiming::CAiming()
{
    attr_ = CAimingAttr::create();
    trace_ = CAimingTrace::create(attr_.get());
}

ComPtr<IAimingAttr> CAiming::attr()
{
    Lock lock(mutex_);
    return attr_;
}

ComPtr<IAimingTrace> CAiming::trace()
{
    Lock lock(mutex_);
    return trace_;
}

void CAiming::placement(IEventParams** event, bool* match)
{
    attr_->placement(event, match);
}

HRESULT CAiming::get_Attr(IAimingAttr** out)
{
    if (badInterfaceOut(out))
        return E_POINTER;
    Lock lock(mutex_);
    return ComPtr<IAimingAttr>(attr_).copyTo(out);
}

HRESULT CAiming::get_Trace(IAimingTrace** out) KAVRO_LOCKED_GET(trace_)

HRESULT CAiming::get_ShotCount(int32_t* out) KAVRO_LOCKED_GET(int32_t(shots_.size()))

HRESULT CAiming::Shot(int32_t nShot, IShot** out)
{
    Lock lock(mutex_);
    return copyItem(shots_, nShot, out);
}

HRESULT CAiming::AddShot(VARIANT_BOOL missed, IShot** out)
{
    return AddShotCore(missed, std::numeric_limits<double>::quiet_NaN(), out);
}

HRESULT CAiming::AddShot2(VARIANT_BOOL missed, double microphonePhase, IShot** out)
{
    return AddShotCore(missed, microphonePhase, out);
}

HRESULT CAiming::AddShotCore(VARIANT_BOOL missed, double microphonePhase, IShot** out)
{
    if (badInterfaceOut(out))
        return E_POINTER;
    Lock lock(mutex_);
    int32_t last = -1;
    if (FAILED(trace_->get_Last(&last)))
        return E_FAIL;
    auto shot = CShot::create(attr_.get(), trace_.get());
    shot->setTraceIndex(last);
    shot->setMissed(missed == VARIANT_TRUE);
    shot->setMicrophonePhase(microphonePhase);
    if (FAILED(queryOut(shot.get(), out)))
        return E_FAIL;
    shots_.push_back(ComPtr<IShot>(shot.get()));
    modified_ = true;
    return S_OK;
}

HRESULT CAiming::Range(float first, float last, IRange** out)
{
    if (badInterfaceOut(out))
        return E_POINTER;
    Lock lock(mutex_);
    auto range = CRange::create();
    if (FAILED(range->bind(attr_.get(), trace_.get(), 0)))
        return E_FAIL;
    if ((first != 0 || last != 0) && FAILED(range->setWindow(first, last)))
        return E_FAIL;
    return queryOut(range.get(), out);
}

HRESULT CAiming::get__NewEnum(IUnknown** out)
{
    Lock lock(mutex_);
    return enumerateObjects(shots_, out);
}

KAVRO_PERSIST_STREAM_INIT_BASICS(CAiming, mutex_, modified_)

HRESULT CAiming::InterfaceSupportsErrorInfo(const IID& iid)
{
    return supportsErrorInfo(iid, IAiming::iid);
}

HRESULT CAiming::Save(IStream* stream, BOOL clearDirty)
{
    if (!stream)
        return E_POINTER;
    Lock lock(mutex_);
    auto attr = attr_.query<IPersistStreamInit>();
    auto trace = trace_.query<IPersistStreamInit>();
    if (!attr || !trace)
        return E_FAIL;
    if (FAILED(kavro::writeValue<int32_t>(stream, kCurrentVersion)))
        return E_FAIL;
    HRESULT hr = saveObjectForm(stream, attr.get(), clearDirty);
    if (SUCCEEDED(hr))
        hr = saveObjectForm(stream, trace.get(), clearDirty);
    if (FAILED(hr))
        return hr;
    if (FAILED(kavro::writeValue<int32_t>(stream, int32_t(shots_.size()))))
        return E_FAIL;
    for (const auto& shot : shots_) {
        auto persist = shot.query<IPersistStreamInit>();
        if (!persist)
            return E_FAIL;
        hr = saveObjectForm(stream, persist.get(), clearDirty);
        if (FAILED(hr))
            return hr;
    }
    return endSave(S_OK, clearDirty, &modified_);
}

size_t CAiming::loadedBlockBytes()
{
    return ObjectBlock::roomFor<CAiming, CAimingAttr, CAimingTrace, CShot>();
}

HRESULT CAiming::Load(IStream* stream)
{
    return load(stream, true);
}

HRESULT CAiming::loadUnshared(IStream* stream)
{
    return load(stream, false);
}

// Everything is read into new objects, which nobody else holds until the aiming takes them over
// when all was read.
HRESULT CAiming::load(IStream* stream, bool shared)
{
    if (!stream)
        return E_POINTER;
    int32_t version = 0;
    if (FAILED(kavro::readVersion(stream, kCurrentVersion, &version)) || version < 1)
        return E_FAIL;
    ObjectBlock* block = shared ? nullptr : madeIn();
    auto attr = ObjectBlock::make<CAimingAttr>(block);
    auto trace = ObjectBlock::make<CAimingTrace>(block, attr.get());
    if (FAILED(loadUnsharedObjectForm(stream, attr.get())))
        return E_FAIL;
    // A trace refused for want of memory is not damage: the user is told which.
    if (const HRESULT hr = loadUnsharedObjectForm(stream, trace.get()); FAILED(hr))
        return hr == E_OUTOFMEMORY ? hr : E_FAIL;
    if (version == 1) {
        Guid ignoredId;
        int32_t flag = 0;
        if (FAILED(kavro::readGuid(stream, &ignoredId)) || FAILED(kavro::readValue(stream, &flag)) || flag < 0
            || flag > 1)
            return E_FAIL;
    }
    int32_t shotCount = 0;
    // A count sizes nothing before it is checked against the stream, unless it is small.
    if (FAILED(kavro::readValue(stream, &shotCount)) || shotCount < 0
        || (shotCount > kShotsReservedUnchecked
            && !kavro::fitsInStream(stream, uint64_t(shotCount), kSmallestStoredShot)))
        return E_FAIL;
    Shots shots;
    if (shotCount > shots.capacity())
        shots.reserve(shotCount);
    for (int32_t i = 0; i < shotCount; ++i) {
        auto shot = ObjectBlock::make<CShot>(block, attr.get(), trace.get());
        if (FAILED(loadUnsharedObjectForm(stream, shot.get())))
            return E_FAIL;
        shots.push_back(moveAs<IShot>(std::move(shot)));
    }
    const auto lock = loadLock(mutex_, shared);
    attr_ = std::move(attr);
    trace_ = moveAs<IAimingTrace>(std::move(trace));
    moveInto(shots_, std::move(shots));
    modified_ = false;
    return S_OK;
}

} // namespace kavrodoc
