#include "aiming_attr.h"

#include "com/classregistry.h"
#include "event_manager_access.h"
#include "locked_property.h"
#include "object_helpers.h"
#include "value_members.h"
#include "storage/stream/stream_forms.h"

namespace kavrodoc {

KAVRO_REGISTER_CLASS(CAimingAttr, ProgId_AimingAttr);

ComPtr<IEventParams> CAimingAttr::event()
{
    Lock lock(mutex_);
    return event_;
}

void CAimingAttr::placement(IEventParams** event, bool* match)
{
    *event = event_.get();
    *match = match_;
}

KAVRO_LOCKED_VALUE_BAG(CAimingAttr, values_, modified_)

HRESULT CAimingAttr::get_FCoefficient(int32_t* out) KAVRO_LOCKED_GET(fCoefficient_)

HRESULT CAimingAttr::put_FCoefficient(int32_t value)
{
    Lock lock(mutex_);
    return putTracked(fCoefficient_, value, &modified_);
}

HRESULT CAimingAttr::get_Event(IEventParams** out)
{
    Lock lock(mutex_);
    return copyRequired(event_, out);
}

HRESULT CAimingAttr::put_Event(IEventParams* value)
{
    Lock lock(mutex_);
    return putRequired(&event_, value, &modified_);
}

HRESULT CAimingAttr::get_Match(VARIANT_BOOL* out) KAVRO_LOCKED_GET(toVariantBool(match_))

HRESULT CAimingAttr::put_Match(VARIANT_BOOL value)
{
    Lock lock(mutex_);
    return putTracked(match_, value == VARIANT_TRUE, &modified_);
}

HRESULT CAimingAttr::get_SampleRate(int32_t* out) KAVRO_LOCKED_GET(sampleRate_)

HRESULT CAimingAttr::put_SampleRate(int32_t value)
{
    if (!isSettableSampleRate(value))
        return E_INVALIDARG;
    Lock lock(mutex_);
    if (sampleRate_ != 0)
        return E_UNEXPECTED;
    sampleRate_ = value;
    modified_ = true;
    return S_OK;
}

HRESULT CAimingAttr::get_EnterTime(DATE* out) KAVRO_LOCKED_GET(enterTime_)

HRESULT CAimingAttr::put_EnterTime(DATE value)
{
    Lock lock(mutex_);
    return putTracked(enterTime_, value, &modified_);
}

HRESULT CAimingAttr::get_StartTime(DATE* out) KAVRO_LOCKED_GET(startTime_)

HRESULT CAimingAttr::put_StartTime(DATE value)
{
    Lock lock(mutex_);
    return putTracked(startTime_, value, &modified_);
}

HRESULT CAimingAttr::get_UseRealBreaches(VARIANT_BOOL* out) KAVRO_LOCKED_GET(toVariantBool(useRealBreaches_))

HRESULT CAimingAttr::put_UseRealBreaches(VARIANT_BOOL value)
{
    Lock lock(mutex_);
    return putTracked(useRealBreaches_, value == VARIANT_TRUE, &modified_);
}

HRESULT CAimingAttr::get_SubTarget(int32_t* out) KAVRO_LOCKED_GET(subTarget_)

HRESULT CAimingAttr::put_SubTarget(int32_t value) KAVRO_LOCKED_PUT(subTarget_)

KAVRO_PERSIST_STREAM_INIT_BASICS(CAimingAttr, mutex_, modified_)

HRESULT CAimingAttr::InterfaceSupportsErrorInfo(const IID& iid)
{
    return supportsErrorInfo(iid, IAimingAttr::iid);
}

HRESULT CAimingAttr::Save(IStream* stream, BOOL clearDirty)
{
    if (!stream)
        return E_POINTER;
    Lock lock(mutex_);
    QString shortName;
    if (HRESULT hr = storedEventName(event_, &shortName); FAILED(hr))
        return hr;
    using kavro::writeValue;
    if (FAILED(writeValue<int32_t>(stream, kCurrentVersion)) || FAILED(kavro::writeBstr(stream, shortName))
        || FAILED(writeValue(stream, startTime_)) || FAILED(writeValue(stream, enterTime_))
        || FAILED(writeValue(stream, sampleRate_)) || FAILED(writeValue(stream, fCoefficient_))
        || FAILED(writeValue<uint8_t>(stream, match_ ? 1 : 0)) || FAILED(writeValue(stream, subTarget_))
        || FAILED(values_.write(stream)))
        return E_FAIL;
    return endSave(S_OK, clearDirty, &modified_);
}

HRESULT CAimingAttr::Load(IStream* stream)
{
    return load(stream, true);
}

HRESULT CAimingAttr::loadUnshared(IStream* stream)
{
    return load(stream, false);
}

HRESULT CAimingAttr::load(IStream* stream, bool shared)
{
    if (!stream)
        return E_POINTER;
    using kavro::readFields;
    int32_t version = 0;
    kavro::ShortBstr shortName;
    DATE startTime = 0, enterTime = 0;
    int32_t sampleRate = 0, fCoefficient = 0, subTarget = 1;
    bool match = true;
    kavro::ValueBag values;
    if (FAILED(kavro::readVersion(stream, kCurrentVersion, &version)) || version < 1
        || FAILED(kavro::readBstr(stream, &shortName)))
        return E_FAIL;
    if (version == 1) {
        kavro::ShortBstr ignoredText;
        int32_t match32 = 0, ignored[2];
        if (FAILED(kavro::readBstr(stream, &ignoredText))
            || FAILED(readFields(stream, &startTime, &enterTime, &sampleRate, &fCoefficient, &match32, &ignored)))
            return E_FAIL;
        match = match32 == 1;
    } else {
        uint8_t match8 = 0;
        const HRESULT hr = version == 2
            ? readFields(stream, &startTime, &enterTime, &sampleRate, &fCoefficient, &match8)
            : readFields(stream, &startTime, &enterTime, &sampleRate, &fCoefficient, &match8, &subTarget);
        if (FAILED(hr) || FAILED(values.read(stream)))
            return E_FAIL;
        match = match8 != 0;
    }
    // The stored rate is taken as it is, even 0 (never set) or one the put would refuse: refusing
    // it would lose the whole document over one aiming. Read-only traces never size storage by
    // it, and every use that divides by it checks it.

    ComPtr<IEventParams> event;
    if (FAILED(findInstalledEvent(events_.get(), shortName.view(), &event)))
        return E_FAIL;

    const auto lock = loadLock(mutex_, shared);
    event_ = std::move(event);
    startTime_ = startTime;
    enterTime_ = enterTime;
    sampleRate_ = sampleRate;
    fCoefficient_ = fCoefficient;
    match_ = match;
    subTarget_ = subTarget;
    useRealBreaches_ = false;
    values_ = std::move(values);
    modified_ = false;
    return S_OK;
}

} // namespace kavrodoc
