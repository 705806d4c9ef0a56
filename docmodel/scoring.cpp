#include "scoring.h"

#include <cmath>
#include <vector>

namespace kavrodoc::scoring {
namespace {

struct ElementView {
    ComPtr<ITargetElement> element;
    bool clip = false;
    bool afterRings = false;
    bool ignoreResult = false;
    float result = 0;
    int32_t area = 0;
    float cx = 0, cy = 0;

    bool holds(float x, float y, float caliber) const
    {
        VARIANT_BOOL inside = VARIANT_FALSE;
        element->IsPointInside(x, y, caliber, &inside);
        return inside != VARIANT_FALSE;
    }
};

std::vector<ElementView> elementsOf(ITargetParams* target)
{
    int32_t count = 0;
    target->get_ElementCount(&count);
    std::vector<ElementView> views;
    for (int32_t i = 1; i <= count; ++i) {
        ElementView v;
        if (FAILED(target->Elements(i, v.element.put())) || !v.element)
            continue;
        VARIANT_BOOL b = VARIANT_FALSE;
        v.element->get_Clip(&b);
        v.clip = b != VARIANT_FALSE;
        v.element->get_CalcAfterRings(&b);
        v.afterRings = b != VARIANT_FALSE;
        v.element->get_IgnoreResult(&b);
        v.ignoreResult = b != VARIANT_FALSE;
        v.element->get_Result(&v.result);
        v.element->get_AreaIndex(&v.area);
        float left = 0, top = 0, width = 0, height = 0;
        v.element->get_Left(&left);
        v.element->get_Top(&top);
        v.element->get_Width(&width);
        v.element->get_Height(&height);
        v.cx = left + width * 0.5f;
        v.cy = top + height * 0.5f;
        views.push_back(std::move(v));
    }
    return views;
}

bool outsideForm(ITargetParams* target, float x, float y)
{
    float width = 0, height = 0;
    target->get_FormWidth(&width);
    target->get_FormHeight(&height);
    return std::fabs(x) > width * 0.5f || std::fabs(y) > height * 0.5f;
}

// False when clip elements exist and none holds the point.
bool insideClip(const std::vector<ElementView>& elements, float x, float y, float caliber, bool clipAfterRingsToo)
{
    bool anyClip = false;
    for (const auto& e : elements) {
        if (!e.clip || (e.afterRings && !clipAfterRingsToo))
            continue;
        anyClip = true;
        if (e.holds(x, y, caliber))
            return true;
    }
    return !anyClip;
}

// The last element of the pass that holds the point and decides its score: 0 when it ignores
// results, else its own non-zero result. Elements with a result of 0 let the walk go on.
bool elementScore(const std::vector<ElementView>& elements, bool afterRings, float x, float y, float caliber,
                  float* score)
{
    for (auto it = elements.rbegin(); it != elements.rend(); ++it) {
        if (it->afterRings != afterRings || !it->holds(x, y, caliber))
            continue;
        if (it->ignoreResult) {
            *score = 0;
            return true;
        }
        if (it->result != 0) {
            *score = it->result;
            return true;
        }
    }
    return false;
}

// The score runs linearly across each ring from its outer edge towards the next existing ring
// inwards, truncated to tenths; missing rings between two existing ones widen the step.
bool ringScore(ITargetParams* target, float x, float y, float caliber, float* score)
{
    float d = std::sqrt(x * x + y * y);
    float innerRadius = 0;
    int innerScore = 11;
    for (int n = 10; n >= 1; --n) {
        float diameter = 0;
        target->get_Ring(n, &diameter);
        if (diameter == 0) {
            if (innerRadius == 0)
                innerScore = n;
            continue;
        }
        float r = diameter * 0.5f + caliber * 0.5f;
        if (r >= d) {
            double span = static_cast<double>(r) - innerRadius;
            // Rings given out of order would divide by zero or less: the edge value holds then.
            double value = span > 0 ? (static_cast<double>(r) - d) * (innerScore - n) / span + n : n;
            double s = std::floor(value * 10) / 10;
            *score = static_cast<float>(s > 10.9 ? 10.9 : s);
            return true;
        }
        innerRadius = r;
        innerScore = n;
    }
    return false;
}

} // namespace

float score(ITargetParams* target, float x, float y, float caliber)
{
    if (outsideForm(target, x, y))
        return 0;
    std::vector<ElementView> elements = elementsOf(target);
    if (!insideClip(elements, x, y, caliber, false))
        return 0;
    float s = 0;
    if (elementScore(elements, false, x, y, caliber, &s))
        return s;
    if (ringScore(target, x, y, caliber, &s))
        return s;
    if (elementScore(elements, true, x, y, caliber, &s))
        return s;
    return 0;
}

Area pointArea(ITargetParams* target, float x, float y)
{
    if (outsideForm(target, x, y))
        return {-1, 0, 0};
    std::vector<ElementView> elements = elementsOf(target);
    if (!insideClip(elements, x, y, 0, true))
        return {};
    for (auto it = elements.rbegin(); it != elements.rend(); ++it)
        if (it->area != 0 && it->holds(x, y, 0))
            return {it->area, it->cx, it->cy};
    return {};
}

Area nearestArea(ITargetParams* target, float x, float y)
{
    if (outsideForm(target, x, y))
        return {-1, 0, 0};
    Area best;
    bool taken = false;
    float bestDistance = 0;
    std::vector<ElementView> elements = elementsOf(target);
    for (auto it = elements.rbegin(); it != elements.rend(); ++it) {
        if (it->area == 0)
            continue;
        float dx = x - it->cx, dy = y - it->cy;
        float distance = dx * dx + dy * dy;
        if (!taken || bestDistance > distance) {
            taken = true;
            bestDistance = distance;
            best = {it->area, it->cx, it->cy};
        }
    }
    return best;
}

} // namespace kavrodoc::scoring
