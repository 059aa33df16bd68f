// Coverage that depends only on the distance d of the sample point from a centre: a point for the
// circle, the segment for a line with round caps. The body reaches `radius` from the centre, its
// one-pixel ramp inside the edge; the stroke, strokeWidth wide, is centred on the edge with its
// ramps inside its band, and strokes thinner than a pixel fade in proportion. Written once for any
// Number: doubles give the coverage, zone values what is known of it over a zone of distance
// (OndrelRowRuns.h), from which drawing finds its runs.
#pragma once

#include "Ondrel/Filter/OndrelPaintMode.h"
#include "Ondrel/Filter/OndrelShapeGeometry.h"
#include "Ondrel/Filter/OndrelValleyZones.h"
#include "Ondrel/OndrelGeneral.h"

#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace Ondrel {

struct RadialCoverage {
    double radius;
    double strokeWidth;
    PaintMode mode; // the parts not painted are left 0

    Coverage at(double d) const {
        const auto [fill, stroke] = evaluate<double>(d);
        return {fill, stroke};
    }

    // The coverage as (fill, stroke).
    template <typename Number>
    std::pair<Number, Number> evaluate(double d) const {
        return paintedParts<Number>(
            mode, [&] { return ramp<Number>(_fillTerm(d)); },
            [&] {
                return ramp<Number>(_outerTerm(d)) * Number(clamp01(strokeWidth)) *
                       (1.0 - ramp<Number>(_innerTerm(d)));
            });
    }

    // The zones of distance in which every pixel is painted alike. Their bounds are distances.
    auto zones() const {
        const PaintedParts painted = partsPainted(mode, strokeWidth);
        const ZoneBounds bounds(0.0, painted, TermsOf{*this, Part::fill, fillTerms},
                                TermsOf{*this, Part::stroke, strokeTerms});
        return ValleyZones(*this, bounds, painted);
    }

    // The same zones with squared distances as bounds, for rows of squared distances from a point.
    template <typename Zones>
    static Zones squared(const Zones& zones) {
        return zones.mapped([](double d) {
            return *lastHolding([d](double s) { return std::sqrt(s) <= d; }, 0.0,
                                std::numeric_limits<double>::infinity());
        });
    }

private:
    double _fillTerm(double d) const { return radius - d; }
    double _outerTerm(double d) const { return radius + strokeWidth / 2.0 - d; }
    double _innerTerm(double d) const { return radius - strokeWidth / 2.0 - d; }

    // Every term of the coverage, listed once.
    static constexpr std::array<double (RadialCoverage::*)(double) const, 1> fillTerms{
        &RadialCoverage::_fillTerm};
    static constexpr std::array<double (RadialCoverage::*)(double) const, 2> strokeTerms{
        &RadialCoverage::_outerTerm, &RadialCoverage::_innerTerm};
};

// Zones of distance, as RadialCoverage finds them.
using RadialZones = decltype(std::declval<const RadialCoverage&>().zones());

} // namespace Ondrel
