#pragma once
// Stand-ins for the aiming and shot classes, used only while this build has none of its own:
// the device module needs no more of them than to make them and to add shots.
#include "com/classregistry.h"
#include "kavrodoc.h"

#include <atomic>

namespace devtest {

#define KAVRO_NOT_USED(sig) HRESULT sig override { return E_NOTIMPL; }

class FakeShot final : public ComObject<FakeShot, IShot> {
public:
    explicit FakeShot(bool missed) : missed_(missed) {}
    HRESULT get_Missed(VARIANT_BOOL* out) override { *out = missed_ ? VARIANT_TRUE : VARIANT_FALSE; return S_OK; }
    KAVRO_NOT_USED(get_Value(const QString&, Variant*))
    KAVRO_NOT_USED(put_Value(const QString&, const Variant&))
    KAVRO_NOT_USED(putref_Value(const QString&, const Variant&))
    KAVRO_NOT_USED(get_Result(float*))
    KAVRO_NOT_USED(get_BreachX(float*))
    KAVRO_NOT_USED(get_BreachY(float*))
    KAVRO_NOT_USED(get_ShotTime(DATE*))
    KAVRO_NOT_USED(put_ShotTime(DATE))
    KAVRO_NOT_USED(get_Attr(IAimingAttr**))
    KAVRO_NOT_USED(get_TraceIndex(int32_t*))
    KAVRO_NOT_USED(Breach(float*, float*))
    KAVRO_NOT_USED(Range(float, float, IRange**))
    KAVRO_NOT_USED(get_RealBreachX(float*))
    KAVRO_NOT_USED(put_RealBreachX(float))
    KAVRO_NOT_USED(get_RealBreachY(float*))
    KAVRO_NOT_USED(put_RealBreachY(float))
    KAVRO_NOT_USED(get_IsRealBreachValid(VARIANT_BOOL*))
    KAVRO_NOT_USED(get_OffsetX(float*))
    KAVRO_NOT_USED(put_OffsetX(float))
    KAVRO_NOT_USED(get_OffsetY(float*))
    KAVRO_NOT_USED(put_OffsetY(float))
    KAVRO_NOT_USED(get_Hidden(VARIANT_BOOL*))
    KAVRO_NOT_USED(put_Hidden(VARIANT_BOOL))
    KAVRO_NOT_USED(get_AreaIndex(int32_t*))
    KAVRO_NOT_USED(get_Trace(IAimingTrace**))
    KAVRO_NOT_USED(get_microphonePhase(double*))

private:
    bool missed_;
};

class FakeAiming final : public ComObject<FakeAiming, IAiming> {
public:
    HRESULT get_ShotCount(int32_t* out) override { *out = shots_; return S_OK; }
    HRESULT AddShot(VARIANT_BOOL missed, IShot** out) override
    {
        ++shots_;
        return queryOut(FakeShot::create(missed == VARIANT_TRUE).get(), out);
    }
    KAVRO_NOT_USED(get_Attr(IAimingAttr**))
    KAVRO_NOT_USED(get_Trace(IAimingTrace**))
    KAVRO_NOT_USED(Shot(int32_t, IShot**))
    KAVRO_NOT_USED(Range(float, float, IRange**))
    KAVRO_NOT_USED(AddShot2(VARIANT_BOOL, double, IShot**))
    KAVRO_NOT_USED(get__NewEnum(IUnknown**))

private:
    int32_t shots_ = 0;
};

#undef KAVRO_NOT_USED

// Puts the stand-in in place when the document module's own aiming class is not built in.
inline void ensureAimingClass()
{
    ComPtr<IClassFactory> factory;
    if (SUCCEEDED(CoGetClassObject(kavrodoc::CLSID_Aiming, IClassFactory::iid, factory.putVoid())))
        return;
    kavro::registerClass(kavrodoc::CLSID_Aiming, &kavro::detail::createObject<FakeAiming>, "");
}

} // namespace devtest
