#include "doc_shot_parameters.h"

#include "doc_helpers.h"
#include "random_offset.h"

#include "app_registry.h"

#include <algorithm>
#include <vector>

namespace {

const QString kControlInterval2 = QStringLiteral("ControlInterval2");

int storedControlInterval2()
{
    uint32_t v = 0;
    if (SUCCEEDED(kavro::OpenAppRegistryKey().readDword(kControlInterval2, &v)) && v >= 1 && v <= 5)
        return int(v);
    return 2;
}

bool inRange(float v, float lo, float hi)
{
    return v >= lo && v <= hi; // NaN is out of every range
}

void takeBreachAtOffset(IShot* shot, float offset, int fCoefficient)
{
    shot->put_RealBreachX(0);
    shot->put_RealBreachY(0);
    if (offset == 0)
        return;
    ComPtr<IRange> r;
    if (FAILED(shot->Range(0, 0, r.put())) || !r)
        return;
    int32_t k = 0, first = 0, last = 0;
    r->Sec2Index(offset, &k);
    r->get_First(&first);
    r->get_Last(&last);
    k = std::clamp(k, first, std::max(first, last));
    float x = 0, y = 0;
    if (SUCCEEDED(r->Breaches(k, fCoefficient, &x, &y))) {
        shot->put_RealBreachX(x);
        shot->put_RealBreachY(y);
    }
}

void resetShot(IShot* shot, int fCoefficient, float offset)
{
    shot->put_OffsetX(0);
    shot->put_OffsetY(0);
    ComPtr<IAimingAttr> a;
    shot->get_Attr(a.put());
    if (a) {
        a->put_FCoefficient(fCoefficient);
        a->put_UseRealBreaches(toVariantBool(offset != 0));
    }
    takeBreachAtOffset(shot, offset, fCoefficient);
}

void addRandomOffset(IShot* shot, float radius)
{
    const auto [dx, dy] = NextRandomOffset(radius);
    float x = 0, y = 0;
    shot->get_OffsetX(&x);
    shot->get_OffsetY(&y);
    shot->put_OffsetX(x + dx);
    shot->put_OffsetY(y + dy);
}

} // namespace

void ShotParameters::reset()
{
    fCoefficient_ = 0;
    traceSeconds_ = 1.0f;
    controlInterval2_ = storedControlInterval2();
    shotTimeOffset_ = 0;
    dispersion_ = 0;
    centreGroups_ = false;
}

bool ShotParameters::set(int fCoefficient, float traceSeconds, int controlInterval2, float shotTimeOffset,
                         float dispersion, bool centreGroups)
{
    if (fCoefficient == fCoefficient_ && traceSeconds == traceSeconds_ && controlInterval2 == controlInterval2_
        && shotTimeOffset == shotTimeOffset_ && dispersion == dispersion_ && centreGroups == centreGroups_)
        return false;
    if (fCoefficient >= -500 && fCoefficient <= 500)
        fCoefficient_ = fCoefficient;
    if (inRange(traceSeconds, 0.1f, 5.0f))
        traceSeconds_ = traceSeconds;
    if (controlInterval2 >= 1 && controlInterval2 <= 5) {
        controlInterval2_ = controlInterval2;
        kavro::OpenAppRegistryKey().writeDword(kControlInterval2, uint32_t(controlInterval2));
    }
    if (inRange(shotTimeOffset, -5.0f, 0.5f))
        shotTimeOffset_ = shotTimeOffset;
    if (inRange(dispersion, 0.0f, 50.0f))
        dispersion_ = dispersion;
    centreGroups_ = centreGroups;
    return true;
}

void ShotParameters::centreGroup(IShotCollection* shots)
{
    double sx = 0, sy = 0;
    int n = 0;
    std::vector<ComPtr<IShot>> counted;
    for (int i = 1, c = countOf(shots); i <= c; ++i) {
        ComPtr<IShot> s = shotAt(shots, i);
        float x = 0, y = 0;
        if (!s || isMissed(s.get()) || FAILED(s->Breach(&x, &y)))
            continue;
        sx += x;
        sy += y;
        ++n;
        counted.push_back(s);
    }
    if (n == 0)
        return;
    const float cx = float(sx / n), cy = float(sy / n);
    for (const ComPtr<IShot>& s : counted) {
        float ox = 0, oy = 0;
        s->get_OffsetX(&ox);
        s->get_OffsetY(&oy);
        s->put_OffsetX(ox - cx);
        s->put_OffsetY(oy - cy);
    }
}

void ShotParameters::applyTo(IShotCollection* shots) const
{
    std::vector<ComPtr<IShot>> processed;
    for (int i = 1, n = countOf(shots); i <= n; ++i) {
        ComPtr<IShot> s = shotAt(shots, i);
        if (!s || isMissed(s.get()))
            continue;
        resetShot(s.get(), fCoefficient_, shotTimeOffset_);
        processed.push_back(s);
    }
    if (!processed.empty() && dispersion_ > 0) {
        for (const ComPtr<IShot>& s : processed)
            addRandomOffset(s.get(), dispersion_);
    }
    if (centreGroups_)
        centreGroup(shots);
}

void ShotParameters::applyToNew(IShot* shot) const
{
    if (shotTimeOffset_ != 0)
        resetShot(shot, fCoefficient_, shotTimeOffset_);
    if (dispersion_ > 0)
        addRandomOffset(shot, dispersion_);
}
