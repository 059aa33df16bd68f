// Coverage of straight bands sampled by their own coordinates: t along the centre line (0 at the
// start, `length` at the end) and n, the distance from that line. The line's body with butt caps
// is one such band; the rectangle is another, with its stroke as a band around its outline.
// Each is written once for any Number: doubles give the coverage, zone values what is known of it
// over a zone of t and n (OndrelRowRuns.h), from which drawing finds its runs.
#pragma once

#include "Ondrel/Filter/OndrelGridZones.h"
#include "Ondrel/Filter/OndrelPaintMode.h"
#include "Ondrel/Filter/OndrelShapeGeometry.h"

#include <array>
#include <limits>
#include <utility>

namespace Ondrel {

// How far beyond an edge its one-pixel ramp reaches: 0 puts the whole ramp inside the edge, 1
// outside it.
struct BoxRamps {
    double start; // the edge at t = start
    double end;   // the edge at t = end
    double side;  // the sides, n = halfWidth
};

// The box from t = start to t = end, reaching halfWidth to either side of the centre line: its
// coverage is the product of its three edges' ramps.
struct Box {
    double start;
    double end;
    double halfWidth;
    BoxRamps ramps;

    template <typename Number = double>
    Number coverage(double t, double n) const {
        return ramp<Number>(startTerm(t)) * ramp<Number>(endTerm(t)) * ramp<Number>(sideTerm(n));
    }

    double startTerm(double t) const { return ramps.start + t - start; }
    double endTerm(double t) const { return end + ramps.end - t; }
    double sideTerm(double n) const { return halfWidth + ramps.side - n; }

    // Its terms, listed once: of t, and of n.
    static constexpr std::array<double (Box::*)(double) const, 2> alongTerms{&Box::startTerm,
                                                                             &Box::endTerm};
    static constexpr std::array<double (Box::*)(double) const, 1> acrossTerms{&Box::sideTerm};
};

// The line's body with butt ends: `halfWidth` to either side, its start ramp before the start,
// its end and side ramps inside. The stroke, `strokeWidth` wide, is centred on the body's
// outline, its start ramp beyond its outer edge.
struct ButtBand {
    double length;
    double halfWidth;
    double strokeWidth;
    PaintMode mode; // the parts not painted are left 0

    Coverage coverageAt(double t, double n) const {
        const auto [fill, stroke] = evaluate<double>(t, n);
        return {fill, stroke};
    }

    // The coverage as (fill, stroke).
    template <typename Number>
    std::pair<Number, Number> evaluate(double t, double n) const {
        return paintedParts<Number>(
            mode, [&] { return _body().coverage<Number>(t, n); },
            [&] { return _stroke<Number>(t, n); });
    }

    // The zones of t and of n in which every pixel is painted alike.
    auto zones() const {
        const PaintedParts painted = partsPainted(mode, strokeWidth);
        const Box body = _body();
        const ZoneBounds along(-std::numeric_limits<double>::infinity(), painted,
                               TermsOf{body, Part::fill, Box::alongTerms},
                               TermsOf{*this, Part::stroke, strokeAlongTerms},
                               ConditionsOf{*this, Part::stroke, strokeAlongConditions});
        const ZoneBounds across(0.0, painted, TermsOf{body, Part::fill, Box::acrossTerms},
                                TermsOf{*this, Part::stroke, strokeAcrossTerms},
                                ConditionsOf{*this, Part::stroke, strokeAcrossConditions});
        return GridZones(*this, along, across, painted);
    }

private:
    Box _body() const { return {0.0, length, halfWidth, {1.0, 0.0, 0.0}}; }

    // By zones along the line: its start, its middle and its end.
    template <typename Number>
    Number _stroke(double t, double n) const {
        const Number strokeAlpha = clamp01(strokeWidth);
        // Only well inside the body do the ends get an inner stroke boundary; next to the sides
        // the side band runs on to the corner, so the corners stay closed.
        const bool insideBody = _insideBody(n);
        if (_inStart(t)) {
            Number a = ramp<Number>(_strokeStart(t)) * strokeAlpha;
            if (insideBody) {
                a *= ramp<Number>(_startInner(t));
            }
            return a * ramp<Number>(_outer(n));
        }
        if (_inMiddle(t)) {
            return ramp<Number>(_outer(n)) * strokeAlpha * (1.0 - ramp<Number>(_inner(n)));
        }
        const Number f = insideBody ? ramp<Number>(_endInner(t)) * strokeAlpha : strokeAlpha;
        return f * ramp<Number>(_strokeEnd(t)) * ramp<Number>(_outer(n));
    }

    // The stroke's terms of t and of n that the ramps clamp, and the comparisons that choose its
    // formula: its start zone, its middle zone, and the part of the body well inside it.
    double _half() const { return strokeWidth / 2.0; }
    double _strokeStart(double t) const { return 1.0 + t + _half(); }
    double _startInner(double t) const { return _half() - t; }
    double _endInner(double t) const { return t - (length - _half()); }
    double _strokeEnd(double t) const { return length + _half() - t; }
    bool _inStart(double t) const { return t < _half() + 0.5; }
    bool _inMiddle(double t) const { return t < length - _half() - 0.5; }
    double _outer(double n) const { return halfWidth + _half() - n; }
    double _inner(double n) const { return halfWidth - _half() - n; }
    bool _insideBody(double n) const { return n < halfWidth - _half() - 0.5; }

    // Each listed once.
    using Term = double (ButtBand::*)(double) const;
    using Condition = bool (ButtBand::*)(double) const;
    static constexpr std::array<Term, 4> strokeAlongTerms{
        &ButtBand::_strokeStart, &ButtBand::_startInner, &ButtBand::_endInner,
        &ButtBand::_strokeEnd};
    static constexpr std::array<Term, 2> strokeAcrossTerms{&ButtBand::_outer, &ButtBand::_inner};
    static constexpr std::array<Condition, 2> strokeAlongConditions{&ButtBand::_inStart,
                                                                    &ButtBand::_inMiddle};
    static constexpr std::array<Condition, 1> strokeAcrossConditions{&ButtBand::_insideBody};
};

// The rectangle: its fill a box with every ramp outside its edges, so that corners on whole
// pixels cover their pixels fully, and its stroke a band h to either side of every edge with all
// its ramps inside the band: the box grown by h, ramps inside, less the box shrunk by h, ramps
// outside. t runs from the middle of one side to the middle of the opposite one.
struct RectangleBand {
    double length;
    double halfHeight;
    double strokeWidth;
    PaintMode mode; // the parts not painted are left 0

    Coverage coverageAt(double t, double n) const {
        const auto [fill, stroke] = evaluate<double>(t, n);
        return {fill, stroke};
    }

    // The coverage as (fill, stroke).
    template <typename Number>
    std::pair<Number, Number> evaluate(double t, double n) const {
        return paintedParts<Number>(
            mode, [&] { return _fill().coverage<Number>(t, n); },
            [&] {
                return Number(clamp01(strokeWidth)) * _strokeOuter().coverage<Number>(t, n) *
                       (1.0 - _strokeInner().coverage<Number>(t, n));
            });
    }

    // The zones of t and of n in which every pixel is painted alike.
    auto zones() const {
        const PaintedParts painted = partsPainted(mode, strokeWidth);
        const Box fill = _fill();
        const Box outer = _strokeOuter();
        const Box inner = _strokeInner();
        const ZoneBounds along(-std::numeric_limits<double>::infinity(), painted,
                               TermsOf{fill, Part::fill, Box::alongTerms},
                               TermsOf{outer, Part::stroke, Box::alongTerms},
                               TermsOf{inner, Part::stroke, Box::alongTerms});
        const ZoneBounds across(0.0, painted, TermsOf{fill, Part::fill, Box::acrossTerms},
                                TermsOf{outer, Part::stroke, Box::acrossTerms},
                                TermsOf{inner, Part::stroke, Box::acrossTerms});
        return GridZones(*this, along, across, painted);
    }

private:
    static constexpr BoxRamps outside{1.0, 1.0, 1.0};
    static constexpr BoxRamps inside{0.0, 0.0, 0.0};

    Box _fill() const { return {0.0, length, halfHeight, outside}; }
    Box _strokeOuter() const {
        const double h = strokeWidth / 2.0;
        return {-h, length + h, halfHeight + h, inside};
    }
    Box _strokeInner() const {
        const double h = strokeWidth / 2.0;
        return {h, length - h, halfHeight - h, outside};
    }
};

// Zones of t and n, as each band finds them.
using ButtBandZones = decltype(std::declval<const ButtBand&>().zones());
using RectangleBandZones = decltype(std::declval<const RectangleBand&>().zones());

} // namespace Ondrel
