// Geometry shared by the shape drawers: the placement transform, the region a shape can touch
// in its source layer, and the one-pixel coverage ramps.
#pragma once

#include "Ondrel/OndrelGeneral.h"
#include "Ondrel/OndrelLayer.h"

namespace Ondrel {

// Coverage at or below this does not change a pixel.
inline constexpr double coverageThreshold = 1e-6;

// The linear one-pixel ramp of every edge. NaN passes through and then fails the threshold.
constexpr double clamp01(double v) {
    if (v < 0.0) {
        return 0.0;
    }
    return v > 1.0 ? 1.0 : v;
}

// Fill and stroke coverage of one sample point, each in 0 to 1.
struct Coverage {
    double fill = 0.0;
    double stroke = 0.0;
};

// Exactly the same point; a shape whose corners coincide has collapsed.
inline bool coincide(const Vector<double>& a, const Vector<double>& b) {
    return a.x == b.x && a.y == b.y;
}

inline Vector<double> toDouble(const Vector<int>& v) {
    return Vector<double>(static_cast<double>(v.x), static_cast<double>(v.y));
}

// The user's placement of a shape: about the anchor point, rotate (clockwise on screen for a
// positive angle, y pointing down), scale by the signed factor, then move by position.
struct ShapeTransform {
    Vector<double> anchorPoint;
    Vector<double> position;
    double rotation = 0.0;
    double scale = 1.0;

    template <typename Record>
    static ShapeTransform of(const Record& record) {
        return {record.anchorPoint, record.position, record.rotation, record.scale};
    }

    Vector<double> apply(const Vector<double>& point) const;
    // Lengths follow the size of the scale, not its sign.
    double scaleLength(double length) const;
};

// The axis-aligned bounds of a shape in source-world pixels, margins included.
struct Extent {
    double minX;
    double minY;
    double maxX;
    double maxY;

    static Extent around(const Vector<double>& center, double margin);
    // Bounds that start from the world's far edges, so that the region of any shape reaches into
    // the world.
    static Extent seededBy(const Layer& source);
    // Bounds that hold nothing yet.
    static Extent none();

    void include(const Vector<double>& point, double margin = 0.0);
};

// Where the one-pixel margin goes relative to the rounding to whole pixels.
enum class MarginRounding {
    beforeRounding, // floor(min - 1), ceil(max + 1)
    afterRounding,  // floor(min) - 1, ceil(max) + 1
};

// The rectangle of the source world that a shape with these bounds can touch: the bounds plus a
// one-pixel margin, rounded outward to whole pixels and clamped to the world. A shape wholly
// outside the world, or with bounds that are not numbers, gives an empty rectangle.
Rect regionOf(const Extent& extent, const Layer& source,
              MarginRounding rounding = MarginRounding::beforeRounding);

} // namespace Ondrel
