#pragma once
// One shot of an aiming: when and where in the trace it came, whether it missed, its breach
// (from the trace, or the real breach a target reported, shifted by an offset) and its result.
#include "kavrodoc.h"
#include "object_block.h"
#include "com/persist.h"
#include "storage/stream/value_bag.h"

#include <cfloat>
#include <mutex>

namespace kavrodoc {

class CShot final : public ComObject<CShot, IShot, IPersistStreamInit, ISupportErrorInfo>, public InObjectBlock<CShot> {
public:
    static constexpr Guid clsid = CLSID_Shot;
    static constexpr int32_t kCurrentVersion = 3;
    static constexpr float kUnsetBreach = FLT_MAX;

    CShot() = default;
    // A shot its aiming makes, already bound (nobody else holds it yet, so no lock is needed).
    CShot(IAimingAttr* attr, IAimingTrace* trace) : attr_(attr), trace_(trace) { }

    HRESULT get_Value(const QString& key, Variant* out) override;
    HRESULT put_Value(const QString& key, const Variant& value) override;
    HRESULT putref_Value(const QString& key, const Variant& value) override;
    HRESULT get_Result(float* out) override;
    HRESULT get_BreachX(float* out) override;
    HRESULT get_BreachY(float* out) override;
    HRESULT get_ShotTime(DATE* out) override;
    HRESULT put_ShotTime(DATE value) override;
    HRESULT get_Missed(VARIANT_BOOL* out) override;
    HRESULT get_Attr(IAimingAttr** out) override;
    HRESULT get_TraceIndex(int32_t* out) override;
    HRESULT Breach(float* x, float* y) override;
    HRESULT Range(float first, float last, IRange** out) override;
    HRESULT get_RealBreachX(float* out) override;
    HRESULT put_RealBreachX(float value) override;
    HRESULT get_RealBreachY(float* out) override;
    HRESULT put_RealBreachY(float value) override;
    HRESULT get_IsRealBreachValid(VARIANT_BOOL* out) override;
    HRESULT get_OffsetX(float* out) override;
    HRESULT put_OffsetX(float value) override;
    HRESULT get_OffsetY(float* out) override;
    HRESULT put_OffsetY(float value) override;
    HRESULT get_Hidden(VARIANT_BOOL* out) override;
    HRESULT put_Hidden(VARIANT_BOOL value) override;
    HRESULT get_AreaIndex(int32_t* out) override;
    HRESULT get_Trace(IAimingTrace** out) override;
    HRESULT get_microphonePhase(double* out) override;

    HRESULT GetClassID(CLSID* out) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, BOOL clearDirty) override;
    HRESULT GetSizeMax(uint64_t* size) override;
    HRESULT InitNew() override;

    HRESULT InterfaceSupportsErrorInfo(const IID& iid) override;

    // Made by its aiming: bound to the aiming's attributes and trace.
    void bind(IAimingAttr* attr, IAimingTrace* trace);
    // Load for a shot that nobody else holds yet.
    HRESULT loadUnshared(IStream* stream);
    void setTraceIndex(int32_t index);
    void setMissed(bool missed);
    // NaN: no phase.
    void setMicrophonePhase(double phase);

    // What a range anchored at the shot needs.
    ComPtr<IAimingAttr> attr();
    ComPtr<IAimingTrace> trace();
    int32_t traceIndex();
    bool missed();

private:
    HRESULT load(IStream* stream, bool shared);
    HRESULT breachLocked(float* x, float* y);
    HRESULT rangeLocked(float first, float last, ComPtr<IRange>* out);
    // What `find`(event, sub-target, x, y, out) finds on the event's target at the breach of a shot
    // that hit; a missed shot reads `none`.
    template <class T, class Find> HRESULT atBreach(T* out, T none, Find find);
    double phaseLocked() const;
    bool realBreachSet() const { return realX_ != kUnsetBreach && realY_ != kUnsetBreach; }
    // The float properties that are plain fields; `onlyWithRealBreach` reads 0 while none is set.
    HRESULT getFloat(float CShot::*field, float* out, bool onlyWithRealBreach = false);
    HRESULT putFloat(float CShot::*field, float value);

    std::recursive_mutex mutex_;
    DATE shotTime_ = 0;
    kavro::ValueBag values_;
    // The ranges (-1, 0) and (0, 0), cached once the trace is read-only.
    ComPtr<IRange> rangeBefore_, rangeAtShot_;
    float breachX_ = 0, breachY_ = 0;
    bool breachCached_ = false;
    int32_t breachF_ = 0;
    ComPtr<IAimingAttr> attr_;
    ComPtr<IAimingTrace> trace_;
    int32_t traceIndex_ = -1;
    bool missed_ = false;
    bool hidden_ = false;
    float realX_ = kUnsetBreach, realY_ = kUnsetBreach;
    float offsetX_ = 0, offsetY_ = 0;
    bool modified_ = false;
};

} // namespace kavrodoc
