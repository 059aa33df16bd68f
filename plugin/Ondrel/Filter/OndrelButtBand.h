// Coverage of straight bands sampled by their own coordinates: t along the centre line (0 at the
// start, `length` at the end) and n, the distance from that line. The line's body with butt caps
// is one such band; the rectangle is another, with its stroke as a band around its outline.
// Each is written once for any Number: doubles give the coverage, zone values what is known of it
// over a zone of t and n (OndrelRowRuns.h), from which drawing finds its runs.
#pragma once

#include "Ondrel/Filter/OndrelPaintMode.h"
#include "Ondrel/Filter/OndrelRowRuns.h"
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

    // Its terms, for a GridZonesBuilder; the box is copied into them.
    template <typename Builder>
    void addTerms(Builder& builder) const {
        builder.alongTerm([box = *this](double t) { return box.startTerm(t); });
        builder.alongTerm([box = *this](double t) { return box.endTerm(t); });
        builder.acrossTerm([box = *this](double n) { return box.sideTerm(n); });
    }
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
    GridZones<14, 7> zones() const {
        const auto [fillPainted, strokePainted] = partsPainted(mode, strokeWidth);
        GridZonesBuilder<14, 7> grid;
        if (fillPainted) {
            _body().addTerms(grid);
        }
        if (strokePainted) {
            grid.alongTerm([this](double t) { return _strokeStart(t); });
            grid.alongTerm([this](double t) { return _startInner(t); });
            grid.alongTerm([this](double t) { return _endInner(t); });
            grid.alongTerm([this](double t) { return _strokeEnd(t); });
            grid.acrossTerm([this](double n) { return _outer(n); });
            grid.acrossTerm([this](double n) { return _inner(n); });
            grid.alongCondition([this](double t) { return _inStart(t); });
            grid.alongCondition([this](double t) { return _inMiddle(t); });
            grid.acrossCondition([this](double n) { return _insideBody(n); });
        }
        return grid.build(
            [this]<typename Number>(double t, double n) { return evaluate<Number>(t, n); },
            fillPainted, strokePainted);
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
};

} // namespace Ondrel
