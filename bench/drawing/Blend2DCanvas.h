// Blend2D, when the benchmark is built with it (BLEND2D_DIR): the fastest rasterizer we measure
// against at 8 bits. It draws straight onto a whole frame of premultiplied 8-bit pixels, as an
// application uses it, so the case's outline is given in frame pixels.
#pragma once

#include "bench/drawing/Cases.h"

#include <blend2d/blend2d.h>

#include <vector>

namespace DrawingBench {

class Blend2DCanvas {
public:
    Blend2DCanvas(int width, int height)
        : m_image(width, height, BL_FORMAT_PRGB32), m_context(m_image) {}
    ~Blend2DCanvas() { m_context.end(); }
    Blend2DCanvas(const Blend2DCanvas&) = delete;
    Blend2DCanvas& operator=(const Blend2DCanvas&) = delete;

    void draw(const Case& c, const std::vector<Point>& outline) {
        const BLRgba32 fill(204, 102, 25);
        const BLRgba32 stroke(25, 76, 229);
        std::vector<BLPoint> corners;
        for (const Point& p : outline) {
            corners.emplace_back(p.x, p.y);
        }
        switch (c.kind) {
        case ShapeKind::circle:
            m_context.fill_circle(corners[0].x, corners[0].y, c.radius, fill);
            if (c.stroked) {
                m_context.set_stroke_width(c.strokeWidth);
                m_context.stroke_circle(corners[0].x, corners[0].y, c.radius, stroke);
            }
            return;
        case ShapeKind::line:
            m_context.set_stroke_width(c.thickness);
            m_context.set_stroke_caps(c.roundCaps ? BL_STROKE_CAP_ROUND : BL_STROKE_CAP_BUTT);
            m_context.stroke_line(corners[0], corners[1], fill);
            return;
        case ShapeKind::rectangle:
        case ShapeKind::triangle:
            m_context.fill_polygon(corners.data(), corners.size(), fill);
            if (c.stroked) {
                m_context.set_stroke_width(c.strokeWidth);
                m_context.stroke_polygon(corners.data(), corners.size(), stroke);
            }
            return;
        }
    }

private:
    BLImage m_image;
    BLContext m_context;
};

} // namespace DrawingBench
