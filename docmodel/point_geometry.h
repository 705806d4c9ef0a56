#pragma once
// Hit tests of target element shapes, all in single precision so that a point on a line is
// judged the same way on every machine.

namespace kavrodoc::geometry {

struct PointF {
    float x = 0;
    float y = 0;
    bool operator==(const PointF&) const = default;
};

enum class Side { Left, Right, Beyond, Behind, Origin, Destination, Between };

// Where `p` lies against the directed segment p1 -> p2.
Side classify(PointF p1, PointF p2, PointF p);

// The closed polygon through `vertices` (the last joins the first) holds `p`, or, with a
// calibre above 0, one of its edges passes within half the calibre.
bool polygonHolds(const PointF* vertices, int count, PointF p, float caliber);

// The ellipse inscribed in the box holds `p`; a flat box holds nothing.
bool ellipseHolds(float left, float top, float width, float height, PointF p);

// The box grown by half the calibre on every side holds `p` (borders count as inside).
bool rectangleHolds(float left, float top, float width, float height, PointF p, float caliber);

} // namespace kavrodoc::geometry
