#include "Ondrel/Filter/OndrelShapeGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Ondrel {

Vector<double> ShapeTransform::apply(const Vector<double>& point) const {
    Vector<double> p = point;
    p -= anchorPoint;
    const double c = std::cos(rotation);
    const double s = std::sin(rotation);
    p = Vector<double>(p.x * c - p.y * s, p.x * s + p.y * c);
    p *= scale;
    p += anchorPoint;
    p += position;
    return p;
}

double ShapeTransform::scaleLength(double length) const {
    return length * std::abs(scale);
}

Extent Extent::around(const Vector<double>& center, double margin) {
    return {center.x - margin, center.y - margin, center.x + margin, center.y + margin};
}

Extent Extent::seededBy(const Layer& source) {
    return {static_cast<double>(source.getWidth()), static_cast<double>(source.getHeight()), 0.0,
            0.0};
}

Extent Extent::none() {
    constexpr double inf = std::numeric_limits<double>::infinity();
    return {inf, inf, -inf, -inf};
}

void Extent::include(const Vector<double>& point, double margin) {
    minX = std::min(minX, point.x - margin);
    minY = std::min(minY, point.y - margin);
    maxX = std::max(maxX, point.x + margin);
    maxY = std::max(maxY, point.y + margin);
}

namespace {

// An edge already rounded to a whole number, clamped to [0, limit]. Only edges of an empty region
// are moved by the upper clamp of a left or top edge and the lower clamp of a right or bottom
// edge; the clamps keep every edge an int, whatever the geometry.
int clampEdge(double edge, int limit) {
    if (!(edge > 0.0)) {
        return 0;
    }
    return edge >= static_cast<double>(limit) ? limit : static_cast<int>(edge);
}

} // namespace

Rect regionOf(const Extent& extent, const Layer& source, MarginRounding rounding) {
    // Bounds that are not numbers say nothing about where the shape is.
    if (std::isnan(extent.minX) || std::isnan(extent.minY) || std::isnan(extent.maxX) ||
        std::isnan(extent.maxY)) {
        return Rect();
    }
    const bool before = rounding == MarginRounding::beforeRounding;
    const auto low = [before](double v) {
        return before ? std::floor(v - 1.0) : std::floor(v) - 1.0;
    };
    const auto high = [before](double v) {
        return before ? std::ceil(v + 1.0) : std::ceil(v) + 1.0;
    };
    const int width = source.getWidth();
    const int height = source.getHeight();
    return Rect(clampEdge(low(extent.minX), width), clampEdge(low(extent.minY), height),
                clampEdge(high(extent.maxX), width), clampEdge(high(extent.maxY), height));
}

} // namespace Ondrel
