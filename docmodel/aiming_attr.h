#pragma once
// What the device and the trainer know about one aiming: sample rate, event and sub-target,
// match or sighting, times, F-coefficient, use of real breaches and a Value bag.
#include "event_manager_access.h"
#include "kavrodoc.h"
#include "object_block.h"
#include "com/persist.h"
#include "storage/stream/value_bag.h"

#include <mutex>

namespace kavrodoc {

class CAimingAttr final : public ComObject<CAimingAttr, IAimingAttr, IPersistStreamInit, ISupportErrorInfo>,
                          public InObjectBlock<CAimingAttr> {
public:
    static constexpr Guid clsid = CLSID_AimingAttr;
    static constexpr int32_t kCurrentVersion = 3;

    HRESULT get_Value(const QString& key, Variant* out) override;
    HRESULT put_Value(const QString& key, const Variant& value) override;
    HRESULT putref_Value(const QString& key, const Variant& value) override;
    HRESULT get_FCoefficient(int32_t* out) override;
    HRESULT put_FCoefficient(int32_t value) override;
    HRESULT get_Event(IEventParams** out) override;
    HRESULT put_Event(IEventParams* value) override;
    HRESULT get_Match(VARIANT_BOOL* out) override;
    HRESULT put_Match(VARIANT_BOOL value) override;
    HRESULT get_SampleRate(int32_t* out) override;
    HRESULT put_SampleRate(int32_t value) override;
    HRESULT get_EnterTime(DATE* out) override;
    HRESULT put_EnterTime(DATE value) override;
    HRESULT get_StartTime(DATE* out) override;
    HRESULT put_StartTime(DATE value) override;
    HRESULT get_UseRealBreaches(VARIANT_BOOL* out) override;
    HRESULT put_UseRealBreaches(VARIANT_BOOL value) override;
    HRESULT get_SubTarget(int32_t* out) override;
    HRESULT put_SubTarget(int32_t value) override;

    HRESULT GetClassID(CLSID* out) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, BOOL clearDirty) override;
    HRESULT GetSizeMax(uint64_t* size) override;
    HRESULT InitNew() override;

    HRESULT InterfaceSupportsErrorInfo(const IID& iid) override;

    // The event without the E_UNEXPECTED of the interface; null when none is set.
    ComPtr<IEventParams> event();
    // What places an aiming in its collection: the event (null when none; no reference added, so
    // valid while the attributes keep it) and the match flag. Only for attributes that nobody
    // else holds yet (just loaded, unshared), so without the lock.
    void placement(IEventParams** event, bool* match);
    // Load for attributes that nobody else holds yet.
    HRESULT loadUnshared(IStream* stream);

private:
    HRESULT load(IStream* stream, bool shared);

    std::recursive_mutex mutex_;
    ComPtr<IEventParams> event_;
    const ComPtr<IEventManager> events_ = heldEventManager();
    int32_t subTarget_ = 1;
    DATE startTime_ = 0;
    DATE enterTime_ = 0;
    bool useRealBreaches_ = false;
    bool match_ = true;
    int32_t fCoefficient_ = 0;
    int32_t sampleRate_ = 0;
    kavro::ValueBag values_;
    bool modified_ = false;
};

} // namespace kavrodoc
