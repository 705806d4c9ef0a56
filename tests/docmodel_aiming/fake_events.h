#pragma once
// A stand-in for the shooting events: rings of 5 mm width from 10 down to 1 (the breach's
// distance from the centre decides, no calibre), area 1 within 10 mm, and a manager that finds
// events by short name.
#include "event_manager_access.h"
#include "kavrodoc.h"

#include <cmath>
#include <vector>

namespace fake {

class Event final : public ComObject<Event, IEventParams> {
public:
    explicit Event(QString name = QStringLiteral("AR10"), int32_t perSerie = 10)
        : name_(std::move(name)), perSerie_(perSerie)
    {
    }

    HRESULT get_ShortName(QString* out) override
    {
        *out = name_;
        return S_OK;
    }
    HRESULT get_MaxShotsPerSerie(int32_t* out) override
    {
        *out = perSerie_;
        return S_OK;
    }
    HRESULT GetBreachScore(float x, float y, int32_t subTarget, float* score) override
    {
        lastSubTarget = subTarget;
        float d = std::sqrt(x * x + y * y);
        *score = std::max(0.0f, 10.0f - std::floor(d / 5.0f));
        return S_OK;
    }
    HRESULT GetPointArea(float x, float y, int32_t, int32_t* area, float* cx, float* cy) override
    {
        *area = std::sqrt(x * x + y * y) <= 10.0f ? 1 : 0;
        *cx = *cy = 0;
        return S_OK;
    }

    int32_t lastSubTarget = 0;

#define KAVRO_FAKE_NOTIMPL(sig)                                                                                        \
    HRESULT sig override                                                                                               \
    {                                                                                                                  \
        return E_NOTIMPL;                                                                                              \
    }
    KAVRO_FAKE_NOTIMPL(get_Value(const QString&, Variant*))
    KAVRO_FAKE_NOTIMPL(put_Value(const QString&, const Variant&))
    KAVRO_FAKE_NOTIMPL(putref_Value(const QString&, const Variant&))
    KAVRO_FAKE_NOTIMPL(put_ShortName(const QString&))
    KAVRO_FAKE_NOTIMPL(get_Target(int32_t, ITargetParams**))
    KAVRO_FAKE_NOTIMPL(GetTargetAppearance(int32_t, VARIANT_BOOL, VARIANT_BOOL, IUnknown**))
    KAVRO_FAKE_NOTIMPL(get_Name(QString*))
    KAVRO_FAKE_NOTIMPL(put_Name(const QString&))
    KAVRO_FAKE_NOTIMPL(get_Caliber(float*))
    KAVRO_FAKE_NOTIMPL(put_Caliber(float))
    KAVRO_FAKE_NOTIMPL(get_Distance(float*))
    KAVRO_FAKE_NOTIMPL(put_Distance(float))
    KAVRO_FAKE_NOTIMPL(get_MinShotsPerAiming(int32_t*))
    KAVRO_FAKE_NOTIMPL(put_MinShotsPerAiming(int32_t))
    KAVRO_FAKE_NOTIMPL(get_MaxShotsPerAiming(int32_t*))
    KAVRO_FAKE_NOTIMPL(put_MaxShotsPerAiming(int32_t))
    KAVRO_FAKE_NOTIMPL(GetPointScore(float, float, int32_t, float*))
    KAVRO_FAKE_NOTIMPL(Save())
    KAVRO_FAKE_NOTIMPL(Update())
    KAVRO_FAKE_NOTIMPL(get_DisplayCaliber(float*))
    KAVRO_FAKE_NOTIMPL(put_DisplayCaliber(float))
    KAVRO_FAKE_NOTIMPL(get_TargetCount(int32_t*))
    KAVRO_FAKE_NOTIMPL(GetNearestArea(float, float, int32_t, int32_t*, float*, float*))
    KAVRO_FAKE_NOTIMPL(put_MaxShotsPerSerie(int32_t))
    KAVRO_FAKE_NOTIMPL(get_ValuesCount(int32_t*))
    KAVRO_FAKE_NOTIMPL(KeyValue(int32_t, QString*, Variant*))

private:
    QString name_;
    int32_t perSerie_;
};

class Manager final : public ComObject<Manager, IEventManager> {
public:
    HRESULT FindByShortName(const QString& name, IEventParams** out) override
    {
        *out = nullptr;
        for (auto& e : events) {
            QString n;
            e->get_ShortName(&n);
            if (n == name)
                return e.copyTo(out);
        }
        return S_FALSE;
    }
    KAVRO_FAKE_NOTIMPL(get_Item(int32_t, IEventParams**))
    KAVRO_FAKE_NOTIMPL(get_Count(int32_t*))
    KAVRO_FAKE_NOTIMPL(Add(const QString&, IEventParams**))
    KAVRO_FAKE_NOTIMPL(Find(const QString&, IEventParams**))
    KAVRO_FAKE_NOTIMPL(get__NewEnum(IUnknown**))
#undef KAVRO_FAKE_NOTIMPL

    std::vector<ComPtr<IEventParams>> events;
};

// Installs a manager holding the given events for the life of the scope.
class Installed {
public:
    explicit Installed(std::vector<ComPtr<IEventParams>> events)
    {
        manager_ = Manager::create();
        manager_->events = std::move(events);
        kavrodoc::setEventManagerForTesting(manager_.get());
    }
    ~Installed() { kavrodoc::setEventManagerForTesting(nullptr); }

private:
    ComPtr<Manager> manager_;
};

} // namespace fake
