#include "info_statistics.h"

#include "doc_helpers.h"
#include "kavro_doc.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kavro::info {

std::optional<double> InfoStatistics::averageTimePerShot() const
{
    if (!hasTimes || matchShots <= 0 || totalTime <= 0)
        return std::nullopt;
    return totalTime / matchShots;
}

namespace {

struct Hit {
    float x = 0, y = 0; // breach
    float aimX = 0, aimY = 0; // mean aiming point of the shot's range
    int subTarget = 1;
    ComPtr<IRange> range;
};

DATE enterTimeOf(IShot* shot)
{
    ComPtr<IAimingAttr> attr;
    DATE t = 0;
    if (SUCCEEDED(shot->get_Attr(attr.put())) && attr)
        attr->get_EnterTime(&t);
    return t;
}

float ring10Diameter(const InfoStatisticsInput& in, int subTarget)
{
    float ring = 0;
    ComPtr<ITargetParams> target;
    if (in.event && SUCCEEDED(in.event->get_Target(subTarget, target.put())) && target)
        target->get_Ring(10, &ring);
    if (ring == 0 && in.steadinessDiameter)
        ring = *in.steadinessDiameter;
    return ring;
}

void addTimes(const InfoStatisticsInput& in, const std::vector<ComPtr<IShot>>& shots, InfoStatistics* s)
{
    if (!in.validShotTimes || shots.empty())
        return;
    s->hasTimes = true;
    s->dateTime = enterTimeOf(shots.front().get());
    DATE last = 0;
    shots.back()->get_ShotTime(&last);
    s->totalTime = last - s->dateTime;
    for (size_t i = 1; i < shots.size(); ++i) {
        DATE a = 0, b = 0;
        shots[i - 1]->get_ShotTime(&a);
        shots[i]->get_ShotTime(&b);
        const double d = b - a;
        if (!s->hasIntervals) {
            s->shortestInterval = s->longestInterval = d;
            s->hasIntervals = true;
        } else {
            s->shortestInterval = std::min(s->shortestInterval, d);
            s->longestInterval = std::max(s->longestInterval, d);
        }
    }
}

void addGroup(const InfoStatisticsInput& in, const std::vector<Hit>& hits, InfoStatistics* s)
{
    const size_t n = hits.size();
    if (n == 0)
        return;
    double sx = 0, sy = 0, ax = 0, ay = 0;
    float maxDx = 0, maxDy = 0;
    for (size_t i = 0; i < n; ++i) {
        sx += hits[i].x;
        sy += hits[i].y;
        ax += hits[i].aimX;
        ay += hits[i].aimY;
        for (size_t j = i + 1; j < n; ++j) {
            const float dx = hits[i].x - hits[j].x, dy = hits[i].y - hits[j].y;
            s->diametralDispersion = std::max(s->diametralDispersion, std::hypot(dx, dy));
            s->stabilityOfAiming
                = std::max(s->stabilityOfAiming, std::hypot(hits[i].aimX - hits[j].aimX, hits[i].aimY - hits[j].aimY));
            maxDx = std::max(maxDx, std::fabs(dx));
            maxDy = std::max(maxDy, std::fabs(dy));
        }
    }
    s->meanBreachX = float(sx / n);
    s->meanBreachY = float(sy / n);
    if (n >= 2) {
        s->accuracyOfShooting = float(std::hypot(ax / n, ay / n));
        s->ellipticalGroup = maxDy == 0 ? 1.0f : maxDx / maxDy;
    }

    double len = 0, lenX = 0, lenY = 0, ellipse = 0;
    int ellipseCount = 0, steadiness = 0;
    for (const Hit& h : hits) {
        float l = 0, lx = 0, ly = 0;
        if (h.range) {
            h.range->get_Length(&l);
            h.range->get_LengthX(&lx);
            h.range->get_LengthY(&ly);
        }
        len += l;
        lenX += lx;
        lenY += ly;
        if (ly != 0) {
            ellipse += lx / ly;
            ++ellipseCount;
        }
        if (!in.standingProne && h.range) {
            float caliber = 0, percent = 0;
            if (in.event)
                in.event->get_Caliber(&caliber);
            const float radius = (ring10Diameter(in, h.subTarget) + caliber) / 2;
            h.range->Steadiness(radius, in.fCoefficient, 0, 0, &percent);
            steadiness += std::isfinite(percent) ? int(percent) : 0;
        }
    }
    s->avgLength = float(len / n);
    s->avgLengthX = float(lenX / n);
    s->avgLengthY = float(lenY / n);
    s->ellipticalTrace = ellipseCount ? float(ellipse / ellipseCount) : 0.0f;
    if (!in.standingProne) {
        s->hasSteadiness = true;
        s->avgSteadiness = steadiness / int(n);
    }
    if (!in.standingProne && !in.centreGroups && in.event) {
        s->hasCentredResult = true;
        for (const Hit& h : hits) {
            float score = 0;
            in.event->GetBreachScore(h.x - s->meanBreachX, h.y - s->meanBreachY, h.subTarget, &score);
            s->resultCentred += score;
        }
    }
}

} // namespace

InfoStatistics ComputeInfoStatistics(const InfoStatisticsInput& in)
{
    InfoStatistics s;
    std::vector<ComPtr<IShot>> shots;
    for (int i = 1, n = countOf(in.matchShots); i <= n; ++i)
        if (ComPtr<IShot> shot = shotAt(in.matchShots, i))
            shots.push_back(shot);
    s.matchShots = int(shots.size());

    std::vector<Hit> hits;
    for (const ComPtr<IShot>& shot : shots) {
        const int sub = shotSubTarget(shot.get());
        if (in.standingProne)
            ++(sub == BiathlonTarget::Standing ? s.standingShots : s.proneShots);
        if (isMissed(shot.get()))
            continue;
        Hit h;
        h.subTarget = sub;
        shot->get_BreachX(&h.x);
        shot->get_BreachY(&h.y);
        float result = 0;
        shot->get_Result(&result);
        s.resultInt += int(result);
        s.resultDecimal += result;
        if (SUCCEEDED(shot->Range(-in.traceSeconds, 0, h.range.put())) && h.range) {
            h.range->get_AveragePointX(&h.aimX);
            h.range->get_AveragePointY(&h.aimY);
        }
        hits.push_back(std::move(h));
    }
    s.hits = int(hits.size());
    if (s.matchShots > 0)
        s.resultAverage = std::nearbyint(double(s.resultDecimal) * 1000.0 / s.matchShots) / 1000.0;

    addTimes(in, shots, &s);
    if (in.validShotTimes) {
        s.intervalStability = int(in.standingProne ? ComputeAimingIntervalStability(in.matchAimings, in.showHidden)
                                                   : ComputeIntervalStability(in.matchShots));
    }
    addGroup(in, hits, &s);
    return s;
}

namespace {

std::optional<float> steadinessDiameterOf(IKavroDocument* document)
{
    Variant v;
    float d = 0;
    if (document && SUCCEEDED(document->get_Value(QStringLiteral("_steadiness_diam"), &v)) && !v.isEmpty()
        && SUCCEEDED(v.toFloat(&d)))
        return d;
    return std::nullopt;
}

InfoStatisticsInput wrapperInput(CKavroDoc& doc)
{
    InfoStatisticsInput in;
    in.traceSeconds = doc.traceSeconds();
    in.fCoefficient = doc.fCoefficient();
    in.centreGroups = doc.centreGroups();
    in.standingProne = doc.GetTargetKind() == TargetKind::Biathlon;
    in.showHidden = doc.showHidden();
    return in;
}

} // namespace

std::optional<InfoStatistics> documentStatistics(CKavroDoc& doc)
{
    ComPtr<IEventParams> event;
    ComPtr<IShotCollection> shots;
    ComPtr<IAimingCollection> aimings;
    if (!doc.HasDocument() || !doc.GetMatchShots(&shots))
        return std::nullopt;
    doc.GetEvent(&event);
    doc.GetMatchAimings(&aimings);
    InfoStatisticsInput in = wrapperInput(doc);
    in.event = event.get();
    in.matchShots = shots.get();
    in.matchAimings = aimings.get();
    in.validShotTimes = doc.HasValidShotTimes();
    in.steadinessDiameter = steadinessDiameterOf(doc.document());
    return ComputeInfoStatistics(in);
}

std::optional<InfoStatistics> modelStatistics(CKavroDoc& doc)
{
    ComPtr<IAimingCollection> all, match;
    ComPtr<IShotCollection> shots;
    ComPtr<IEventParams> event;
    if (!doc.HasModel() || !doc.GetModelAimings(&all) || FAILED(all->Match(match.put())) || !match
        || FAILED(match->Shots(VARIANT_FALSE, shots.put())) || !shots)
        return std::nullopt;
    if (FAILED(match->get_Event(event.put())))
        doc.GetEvent(&event);
    InfoStatisticsInput in = wrapperInput(doc);
    in.event = event.get();
    in.matchShots = shots.get();
    in.matchAimings = match.get();
    in.validShotTimes = doc.ModelHasValidShotTimes();
    in.steadinessDiameter = steadinessDiameterOf(doc.modelDocument());
    return ComputeInfoStatistics(in);
}

} // namespace kavro::info
