#include "point_geometry.h"

#include <cmath>

namespace kavrodoc::geometry {
namespace {

float length(float dx, float dy)
{
    return std::sqrt(dx * dx + dy * dy);
}

enum class EdgeKind { Crossing, Touching, Ignored };

EdgeKind edgeKind(PointF p1, PointF p2, PointF p)
{
    switch (classify(p1, p2, p)) {
    case Side::Left: return p1.y < p.y && p.y <= p2.y ? EdgeKind::Crossing : EdgeKind::Ignored;
    case Side::Right: return p2.y < p.y && p.y <= p1.y ? EdgeKind::Crossing : EdgeKind::Ignored;
    case Side::Between:
    case Side::Origin:
    case Side::Destination: return EdgeKind::Touching;
    default: return EdgeKind::Ignored;
    }
}

// The edge's band of half the calibre on either side, as a rectangle walked so that its inside
// is on the left of every side.
bool nearEdge(PointF p1, PointF p2, PointF p, float caliber)
{
    float half = caliber / 2;
    float d = length(p2.x - p1.x, p2.y - p1.y);
    float a = (p2.y - p1.y) / d * half;
    float v = (p2.x - p1.x) / d * half;
    const PointF corners[4] = {{p1.x + a, p1.y - v}, {p2.x + a, p2.y - v}, {p2.x - a, p2.y + v}, {p1.x - a, p1.y + v}};
    bool inside = true;
    for (int i = 0; i < 4 && inside; ++i) {
        Side s = classify(corners[i], corners[(i + 1) % 4], p);
        inside = s != Side::Right && s != Side::Beyond && s != Side::Behind;
    }
    return inside || length(p.x - p1.x, p.y - p1.y) <= half;
}

} // namespace

Side classify(PointF p1, PointF p2, PointF p)
{
    float ax = p2.x - p1.x, ay = p2.y - p1.y;
    float bx = p.x - p1.x, by = p.y - p1.y;
    float s = ax * by - bx * ay;
    if (s > 0)
        return Side::Left;
    if (s < 0)
        return Side::Right;
    if (ax * bx < 0 || ay * by < 0)
        return Side::Behind;
    if (length(bx, by) > length(ax, ay))
        return Side::Beyond;
    if (p == p1)
        return Side::Origin;
    if (p == p2)
        return Side::Destination;
    return Side::Between;
}

bool polygonHolds(const PointF* vertices, int count, PointF p, float caliber)
{
    bool odd = false;
    bool near = false;
    for (int i = 0; i < count; ++i) {
        PointF p1 = vertices[i];
        PointF p2 = vertices[(i + 1) % count];
        if (p1 == p2)
            continue;
        EdgeKind kind = edgeKind(p1, p2, p);
        if (kind == EdgeKind::Touching)
            return true;
        if (kind == EdgeKind::Crossing)
            odd = !odd;
        if (!near && caliber > 0)
            near = nearEdge(p1, p2, p, caliber);
    }
    return odd || near;
}

bool ellipseHolds(float left, float top, float width, float height, PointF p)
{
    float a = width / 2, b = height / 2;
    if (a == 0 || b == 0)
        return false;
    float u = p.x - left - a;
    float v = p.y - top - b;
    return u * u / a / a + v * v / b / b <= 1;
}

bool rectangleHolds(float left, float top, float width, float height, PointF p, float caliber)
{
    float half = caliber / 2;
    return left <= p.x + half && left + width >= p.x - half && top <= p.y + half && top + height >= p.y - half;
}

} // namespace kavrodoc::geometry
