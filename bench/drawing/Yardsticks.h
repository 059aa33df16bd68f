// The yardsticks: Cairo (8 bits only) and AGG (8 and 16 bits per channel and float) drawing a
// case's shape, antialiased and opaque, into a surface of the drawer's scratch-layer size, the way
// an application would call them. Fills and strokes both use each library's own path rasterizer.
#pragma once

#include "bench/drawing/Cases.h"

#include <agg_basics.h>
#include <agg_conv_stroke.h>
#include <agg_ellipse.h>
#include <agg_path_storage.h>
#include <agg_pixfmt_rgba.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_rendering_buffer.h>
#include <agg_scanline_p.h>
#include <cairo.h>

#include <cstddef>
#include <numbers>
#include <vector>

namespace DrawingBench {

class CairoCanvas {
public:
    CairoCanvas(int width, int height)
        : m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
          m_cr(cairo_create(m_surface)) {}
    ~CairoCanvas() {
        cairo_destroy(m_cr);
        cairo_surface_destroy(m_surface);
    }
    CairoCanvas(const CairoCanvas&) = delete;
    CairoCanvas& operator=(const CairoCanvas&) = delete;

    void draw(const Case& c, const std::vector<Point>& outline) {
        cairo_new_path(m_cr);
        switch (c.kind) {
        case ShapeKind::circle:
            cairo_arc(m_cr, outline[0].x, outline[0].y, c.radius, 0.0, 2.0 * std::numbers::pi);
            break;
        case ShapeKind::line:
            // The line's body is a stroke of its thickness.
            cairo_move_to(m_cr, outline[0].x, outline[0].y);
            cairo_line_to(m_cr, outline[1].x, outline[1].y);
            cairo_set_line_cap(m_cr, c.roundCaps ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
            cairo_set_line_width(m_cr, c.thickness);
            cairo_set_source_rgb(m_cr, 0.8, 0.4, 0.1);
            cairo_stroke(m_cr);
            return;
        case ShapeKind::rectangle:
        case ShapeKind::triangle:
            cairo_move_to(m_cr, outline[0].x, outline[0].y);
            for (std::size_t i = 1; i < outline.size(); ++i) {
                cairo_line_to(m_cr, outline[i].x, outline[i].y);
            }
            cairo_close_path(m_cr);
            break;
        }
        cairo_set_source_rgb(m_cr, 0.8, 0.4, 0.1);
        if (!c.stroked) {
            cairo_fill(m_cr);
            return;
        }
        cairo_fill_preserve(m_cr);
        cairo_set_source_rgb(m_cr, 0.1, 0.3, 0.9);
        cairo_set_line_width(m_cr, c.strokeWidth);
        cairo_stroke(m_cr);
    }

private:
    cairo_surface_t* m_surface;
    cairo_t* m_cr;
};

// PixelFormat is one of AGG's alpha-blending ARGB formats: agg::pixfmt_argb32, _argb64, _argb128.
template <typename PixelFormat>
class AggCanvas {
public:
    using Color = typename PixelFormat::color_type;

    AggCanvas(int width, int height)
        : m_bytes(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                  PixelFormat::pix_width),
          m_buffer(m_bytes.data(), static_cast<unsigned>(width), static_cast<unsigned>(height),
                   width * static_cast<int>(PixelFormat::pix_width)),
          m_pixels(m_buffer), m_renderer(m_pixels) {}

    void draw(const Case& c, const std::vector<Point>& outline) {
        const Color fill(agg::rgba(0.8, 0.4, 0.1, 1.0));
        const Color stroke(agg::rgba(0.1, 0.3, 0.9, 1.0));
        switch (c.kind) {
        case ShapeKind::circle: {
            agg::ellipse circle(outline[0].x, outline[0].y, c.radius, c.radius);
            _render(circle, fill);
            if (c.stroked) {
                agg::conv_stroke<agg::ellipse> ring(circle);
                ring.width(c.strokeWidth);
                _render(ring, stroke);
            }
            return;
        }
        case ShapeKind::line: {
            agg::path_storage path;
            path.move_to(outline[0].x, outline[0].y);
            path.line_to(outline[1].x, outline[1].y);
            agg::conv_stroke<agg::path_storage> body(path);
            body.width(c.thickness);
            body.line_cap(c.roundCaps ? agg::round_cap : agg::butt_cap);
            _render(body, fill);
            return;
        }
        case ShapeKind::rectangle:
        case ShapeKind::triangle: {
            agg::path_storage path;
            path.move_to(outline[0].x, outline[0].y);
            for (std::size_t i = 1; i < outline.size(); ++i) {
                path.line_to(outline[i].x, outline[i].y);
            }
            path.close_polygon();
            _render(path, fill);
            if (c.stroked) {
                agg::conv_stroke<agg::path_storage> edge(path);
                edge.width(c.strokeWidth);
                _render(edge, stroke);
            }
            return;
        }
        }
    }

private:
    template <typename VertexSource>
    void _render(VertexSource& shape, const Color& color) {
        m_rasterizer.reset();
        m_rasterizer.add_path(shape);
        agg::render_scanlines_aa_solid(m_rasterizer, m_scanline, m_renderer, color);
    }

    std::vector<agg::int8u> m_bytes;
    agg::rendering_buffer m_buffer;
    PixelFormat m_pixels;
    agg::renderer_base<PixelFormat> m_renderer;
    agg::rasterizer_scanline_aa<> m_rasterizer;
    agg::scanline_p8 m_scanline;
};

} // namespace DrawingBench
