// Coverage of straight bands sampled by their own coordinates: t along the centre line (0 at the
// start, `length` at the end) and n, the distance from that line. The line's body with butt caps
// is one such band; the rectangle is another, with its stroke as a band around its outline.
#pragma once

#include "Ondrel/Filter/OndrelShapeGeometry.h"

namespace Ondrel {

// How far beyond an edge its one-pixel ramp reaches: 0 puts the whole ramp inside the edge, 1
// outside it.
struct BoxRamps {
    double start; // the edge at t = start
    double end;   // the edge at t = end
    double side;  // the sides, n = halfWidth
};

// Coverage of the box from t = start to t = end, reaching halfWidth to either side of the centre
// line: the product of its three edges' ramps.
constexpr double boxCoverage(double t, double n, double start, double end, double halfWidth,
                             const BoxRamps& ramps) {
    return clamp01(ramps.start + t - start) * clamp01(end + ramps.end - t) *
           clamp01(halfWidth + ramps.side - n);
}

// The line's body with butt ends: `halfWidth` to either side, its start ramp before the start,
// its end and side ramps inside. The stroke, `strokeWidth` wide, is centred on the body's
// outline, its start ramp beyond its outer edge.
struct ButtBand {
    double length;
    double halfWidth;
    double strokeWidth;

    Coverage coverageAt(double t, double n) const {
        const double h = strokeWidth / 2.0;
        const double outer = halfWidth + h;
        const double inner = halfWidth - h;
        const double strokeAlpha = clamp01(strokeWidth);
        // Only well inside the body do the ends get an inner stroke boundary; next to the sides
        // the side band runs on to the corner, so the corners stay closed.
        const bool insideBody = n < inner - 0.5;

        Coverage coverage;
        coverage.fill = boxCoverage(t, n, 0.0, length, halfWidth, {1.0, 0.0, 0.0});
        if (t < h + 0.5) {
            double a = clamp01(1.0 + t + h) * strokeAlpha;
            if (insideBody) {
                a *= clamp01(h - t);
            }
            coverage.stroke = a * clamp01(outer - n);
        } else if (t < length - h - 0.5) {
            coverage.stroke = clamp01(outer - n) * strokeAlpha * (1.0 - clamp01(inner - n));
        } else {
            const double f = insideBody ? clamp01(t - (length - h)) * strokeAlpha : strokeAlpha;
            coverage.stroke = f * clamp01(length + h - t) * clamp01(outer - n);
        }
        return coverage;
    }
};

} // namespace Ondrel
