// Coverage that depends only on the distance d of the sample point from a centre: a point for the
// circle, the segment for a line with round caps. The body reaches `radius` from the centre, its
// one-pixel ramp inside the edge; the stroke, strokeWidth wide, is centred on the edge with its
// ramps inside its band, and strokes thinner than a pixel fade in proportion.
#pragma once

#include "Ondrel/Filter/OndrelPaintMode.h"
#include "Ondrel/Filter/OndrelRowRuns.h"
#include "Ondrel/Filter/OndrelShapeGeometry.h"
#include "Ondrel/OndrelGeneral.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace Ondrel {

struct RadialCoverage {
    double radius;
    double strokeWidth;
    PaintMode mode; // the parts not painted are left 0

    Coverage at(double d) const {
        const auto [fill, stroke] = paintedParts<double>(
            mode, [&] { return clamp01(_fillTerm(d)); },
            [&] {
                return clamp01(_outerTerm(d)) * clamp01(strokeWidth) *
                       (1.0 - clamp01(_innerTerm(d)));
            });
        return {fill, stroke};
    }

    // The zones of distance in which every pixel is painted alike. Their bounds are distances.
    ValleyZones<6> zones() const {
        const auto [fillPainted, strokePainted] = partsPainted(mode, strokeWidth);
        constexpr double infinity = std::numeric_limits<double>::infinity();

        // Each term falls as d grows; its ramp ends where it stops being at least 1 and where it
        // stops being above 0.
        ValleyZones<6> zones;
        const auto addBounds = [&zones](auto term) {
            zones.bounds.addChangeOf([&term](double d) { return term(d) >= 1.0; }, 0.0, infinity);
            zones.bounds.addChangeOf([&term](double d) { return term(d) > 0.0; }, 0.0, infinity);
        };
        if (fillPainted) {
            addBounds([this](double d) { return _fillTerm(d); });
        }
        if (strokePainted) {
            addBounds([this](double d) { return _outerTerm(d); });
            addBounds([this](double d) { return _innerTerm(d); });
        }
        zones.bounds.sortAndMerge();

        // No term changes within a zone, so one distance in it tells what all its pixels get.
        for (std::size_t k = 0; k <= zones.bounds.count; ++k) {
            const double d = zones.bounds.pointIn(k, 0.0);
            const Saturation fill = saturation(_fillTerm(d));
            const Saturation outer = saturation(_outerTerm(d));
            const Saturation inner = saturation(_innerTerm(d));
            const bool strokeZero = outer == Saturation::zero || inner == Saturation::one;
            const bool strokeSame =
                strokeZero || (outer != Saturation::partial && inner != Saturation::partial);
            zones.zones[k] =
                zoneOf(at(d), fill != Saturation::partial, strokeSame, fillPainted, strokePainted);
        }
        return zones;
    }

    // The same zones with squared distances as bounds, for rows of squared distances from a point.
    static ValleyZones<6> squared(ValleyZones<6> zones) {
        for (std::size_t k = 0; k < zones.bounds.count; ++k) {
            const double d = zones.bounds.values[k];
            zones.bounds.values[k] = *lastHolding([d](double s) { return std::sqrt(s) <= d; }, 0.0,
                                                  std::numeric_limits<double>::infinity());
        }
        return zones;
    }

private:
    double _fillTerm(double d) const { return radius - d; }
    double _outerTerm(double d) const { return radius + strokeWidth / 2.0 - d; }
    double _innerTerm(double d) const { return radius - strokeWidth / 2.0 - d; }
};

} // namespace Ondrel
