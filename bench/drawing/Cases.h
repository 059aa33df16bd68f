// The shapes the drawing benchmark draws, each given once and handed both to the module's drawer
// (as its parameter record) and to the yardsticks (as the same outline in scratch-layer pixels).
#pragma once

#include "Ondrel/Filter/OndrelCircleDrawer.h"
#include "Ondrel/Filter/OndrelLineDrawer.h"
#include "Ondrel/Filter/OndrelRectangleDrawer.h"
#include "Ondrel/Filter/OndrelTriangleDrawer.h"
#include "Ondrel/OndrelGeneral.h"

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace DrawingBench {

using Point = Ondrel::Vector<double>;

enum class ShapeKind { circle, line, rectangle, triangle };

// A frame of the host's layer: the shape's positions are fractions of it.
struct FrameSize {
    const char* name;
    int width;
    int height;
};

inline const std::vector<FrameSize> frameSizes{{"1080p", 1920, 1080}, {"4K", 3840, 2160}};

// One shape as the user places it: the shape's own points (a circle's centre; a line's, a
// rectangle's two corners or a triangle's points), then the effect's transform about anchor.
struct Case {
    std::string id;          // in benchmark names
    std::string description; // in the tables
    ShapeKind kind;
    std::vector<Point> points;
    double radius = 0.0;    // circle
    double thickness = 0.0; // line
    bool roundCaps = false; // line
    bool stroked = false;   // fill and stroke instead of fill alone
    double strokeWidth = 0.0;
    Point anchor{};
    Point position{};
    double rotation = 0.0; // radians

    // A point of the shape where the transform puts it in the layer.
    Point placed(const Point& p) const {
        const double c = std::cos(rotation);
        const double s = std::sin(rotation);
        const Point d(p.x - anchor.x, p.y - anchor.y);
        return Point(d.x * c - d.y * s + anchor.x + position.x,
                     d.x * s + d.y * c + anchor.y + position.y);
    }
};

// The cases a to f, then the rotated and off-grid variants, in a frame of width x height.
inline std::vector<Case> casesFor(const FrameSize& frame) {
    const double w = frame.width;
    const double h = frame.height;
    const auto at = [w, h](double fx, double fy) { return Point(w * fx, h * fy); };
    const Point middle = at(0.5, 0.5);
    const double third = 1.0 / 3.0;

    std::vector<Case> cases;
    cases.push_back({.id = "a",
                     .description = "circle r 100",
                     .kind = ShapeKind::circle,
                     .points = {middle},
                     .radius = 100.0});
    cases.push_back({.id = "b",
                     .description = "circle r 500",
                     .kind = ShapeKind::circle,
                     .points = {middle},
                     .radius = 500.0});
    cases.push_back({.id = "c",
                     .description = "circle r 500, stroke 20",
                     .kind = ShapeKind::circle,
                     .points = {middle},
                     .radius = 500.0,
                     .stroked = true,
                     .strokeWidth = 20.0});
    cases.push_back({.id = "d1",
                     .description = "line 20, butt",
                     .kind = ShapeKind::line,
                     .points = {at(0.25, 0.5), at(0.75, 0.5)},
                     .thickness = 20.0});
    cases.push_back({.id = "d2",
                     .description = "line 20, round",
                     .kind = ShapeKind::line,
                     .points = {at(0.25, 0.5), at(0.75, 0.5)},
                     .thickness = 20.0,
                     .roundCaps = true});
    cases.push_back({.id = "e",
                     .description = "rectangle",
                     .kind = ShapeKind::rectangle,
                     .points = {at(0.25, 0.25), at(0.75, 0.75)}});
    cases.push_back({.id = "f",
                     .description = "triangle",
                     .kind = ShapeKind::triangle,
                     .points = {at(0.5, 0.25), at(0.25, 0.75), at(0.75, 0.75)}});
    // Nothing axis-aligned and nothing on whole pixels.
    cases.push_back({.id = "d1-diagonal",
                     .description = "line 20, butt, diagonal",
                     .kind = ShapeKind::line,
                     .points = {at(0.25, 0.25), at(0.75, 0.75)},
                     .thickness = 20.0,
                     .position = Point(third, third)});
    cases.push_back({.id = "d2-diagonal",
                     .description = "line 20, round, diagonal",
                     .kind = ShapeKind::line,
                     .points = {at(0.25, 0.25), at(0.75, 0.75)},
                     .thickness = 20.0,
                     .roundCaps = true,
                     .position = Point(third, third)});
    cases.push_back({.id = "e-rotated",
                     .description = "rectangle turned 30 deg",
                     .kind = ShapeKind::rectangle,
                     .points = {at(0.3, 0.3), at(0.7, 0.7)},
                     .anchor = middle,
                     .position = Point(third, third),
                     .rotation = std::numbers::pi / 6.0});
    cases.push_back({.id = "e-subpixel",
                     .description = "rectangle off the grid",
                     .kind = ShapeKind::rectangle,
                     .points = {at(0.25, 0.25), at(0.75, 0.75)},
                     .position = Point(0.37, 0.37)});
    cases.push_back({.id = "f-slanted",
                     .description = "triangle, no level edge",
                     .kind = ShapeKind::triangle,
                     .points = {at(0.5, 0.22), at(0.27, 0.71), at(0.76, 0.79)},
                     .position = Point(third, third)});
    return cases;
}

// The drawers' records for a case, at scale 1, opaque colours.
template <typename Parameter>
Parameter placementAndStyle(const Case& c) {
    Parameter p{};
    p.anchorPoint = c.anchor;
    p.position = c.position;
    p.rotation = c.rotation;
    p.scale = 1.0;
    p.mode = c.stroked ? Ondrel::PaintMode::fillAndStroke : Ondrel::PaintMode::fill;
    p.strokeWidth = c.strokeWidth;
    p.fillColor = Ondrel::ColorFloat<float>(0.8f, 0.4f, 0.1f);
    p.strokeColor = Ondrel::ColorFloat<float>(0.1f, 0.3f, 0.9f);
    p.opacity = 1.0;
    return p;
}

inline Ondrel::CircleDrawer::Parameter circleParameter(const Case& c) {
    auto p = placementAndStyle<Ondrel::CircleDrawer::Parameter>(c);
    p.center = c.points[0];
    p.radius = c.radius;
    return p;
}

inline Ondrel::LineDrawer::Parameter lineParameter(const Case& c) {
    auto p = placementAndStyle<Ondrel::LineDrawer::Parameter>(c);
    p.cap = c.roundCaps ? Ondrel::LineDrawer::capRound : Ondrel::LineDrawer::capButt;
    p.thickness = c.thickness;
    p.point1 = c.points[0];
    p.point2 = c.points[1];
    return p;
}

inline Ondrel::RectangleDrawer::Parameter rectangleParameter(const Case& c) {
    auto p = placementAndStyle<Ondrel::RectangleDrawer::Parameter>(c);
    p.controlledBy = Ondrel::RectangleDrawer::byTwoPoints;
    p.point1 = c.points[0];
    p.point2 = c.points[1];
    return p;
}

inline Ondrel::TriangleDrawer::Parameter triangleParameter(const Case& c) {
    auto p = placementAndStyle<Ondrel::TriangleDrawer::Parameter>(c);
    p.point1 = c.points[0];
    p.point2 = c.points[1];
    p.point3 = c.points[2];
    return p;
}

// The case's outline in the pixels of a surface whose top-left corner is the layer's (left, top):
// the circle's centre, the line's two ends, or the polygon's corners in order round it.
inline std::vector<Point> outlineIn(const Case& c, int left, int top) {
    std::vector<Point> corners = c.points;
    if (c.kind == ShapeKind::rectangle) {
        const Point& a = c.points[0];
        const Point& b = c.points[1];
        corners = {a, Point(b.x, a.y), b, Point(a.x, b.y)};
    }
    for (Point& p : corners) {
        p = c.placed(p);
        p.x -= left;
        p.y -= top;
    }
    return corners;
}

} // namespace DrawingBench
