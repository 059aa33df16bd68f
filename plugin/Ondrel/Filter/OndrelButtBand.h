// Coverage of a straight band with butt ends, sampled by its own coordinates: t along the centre
// line (0 at the start, `length` at the end) and n, the distance from that line. The body is
// `halfWidth` to either side; the stroke, `strokeWidth` wide, is centred on the body's outline.
// The line and the rectangle both draw through this, differing only in where their one-pixel
// ramps sit relative to each edge.
#pragma once

#include "Ondrel/Filter/OndrelShapeGeometry.h"

namespace Ondrel {

// How far beyond an edge its ramp reaches: 0 puts the whole ramp inside the edge, 1 outside it.
struct ButtRamps {
    double fillStart;   // the body's start edge, t = 0
    double fillEnd;     // the body's end edge, t = length
    double fillSide;    // the body's sides, n = halfWidth
    double strokeStart; // the stroke's outer start edge, t = -strokeWidth / 2
};

struct ButtBand {
    double length;
    double halfWidth;
    double strokeWidth;
    ButtRamps ramps;

    Coverage coverageAt(double t, double n) const {
        const double h = strokeWidth / 2.0;
        const double outer = halfWidth + h;
        const double inner = halfWidth - h;
        const double strokeAlpha = clamp01(strokeWidth);
        // Only well inside the body do the ends get an inner stroke boundary; next to the sides
        // the side band runs on to the corner, so the corners stay closed.
        const bool insideBody = n < inner - 0.5;

        Coverage coverage;
        coverage.fill = clamp01(ramps.fillStart + t) * clamp01(length + ramps.fillEnd - t) *
                        clamp01(halfWidth + ramps.fillSide - n);
        if (t < h + 0.5) {
            double a = clamp01(ramps.strokeStart + t + h) * strokeAlpha;
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
