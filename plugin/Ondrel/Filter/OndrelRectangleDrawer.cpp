#include "Ondrel/Filter/OndrelRectangleDrawer.h"

#include "Ondrel/Filter/OndrelButtBand.h"
#include "Ondrel/Filter/OndrelShapeDrawer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace Ondrel {

class RectangleDrawer::Impl : public RectangleDrawer::Parameter, public ShapeDrawerBase<Impl> {
public:
    // Drawn as boxes along the rectangle, from the middle of one side to the middle of the
    // opposite side. All fill ramps lie outside the edges, so corners on whole pixels cover their
    // pixels fully. The stroke is a band h to either side of every edge with all its ramps inside
    // the band: the box grown by h, ramps inside, less the box shrunk by h, ramps outside.
    static constexpr BoxRamps outside{1.0, 1.0, 1.0};
    static constexpr BoxRamps inside{0.0, 0.0, 0.0};

    // Set by calcRegion, in scratch-layer pixels.
    std::array<Vector<double>, 4> corners{}; // going round the rectangle
    Vector<double> startPoint;               // middle of the side from corner 3 to corner 0
    Vector<double> direction;                // unit, from corner 0 to corner 1
    Vector<double> sideDirection;            // unit, from corner 0 to corner 3
    double length = 0.0;
    double halfHeight = 0.0;
    bool enclosesArea = false;

    explicit Impl(const Parameter& parameter) : Parameter(parameter) {}

    Rect calcRegion(Layer& source) {
        _placeCorners();
        const ShapeTransform transform = ShapeTransform::of(*this);
        strokeWidth = transform.scaleLength(strokeWidth);
        const Vector<double> origin = toDouble(source.getOrigin());
        for (Vector<double>& corner : corners) {
            corner = transform.apply(corner);
            corner -= origin;
        }
        // A rectangle of no width or no height, or scaled to nothing, has no inside to fill and
        // no outline to stroke.
        enclosesArea = !coincide(corners[0], corners[1]) && !coincide(corners[0], corners[3]);
        if (!enclosesArea) {
            return Rect();
        }

        // The whole stroke width, although only half of it lies outside the edges.
        const double margin = mode == PaintMode::fill ? 0.0 : strokeWidth;
        Extent extent = Extent::seededBy(source);
        for (const Vector<double>& corner : corners) {
            extent.include(corner, margin);
        }
        const Rect region = regionOf(extent, source);

        const Vector<double> leftTop = toDouble(region.getLeftTop());
        for (Vector<double>& corner : corners) {
            corner -= leftTop;
        }
        direction = corners[1];
        direction -= corners[0];
        length = direction.length();
        direction.normalize();
        sideDirection = corners[3];
        sideDirection -= corners[0];
        halfHeight = sideDirection.length() / 2.0;
        sideDirection.normalize();
        startPoint = corners[0];
        startPoint += corners[3];
        startPoint /= 2.0;
        _findZones();
        return region;
    }

    template <typename Out>
    void rowRuns(int y, int left, int right, Out& out) const {
        if (!_zonesKnown) {
            out.varying(left, right);
            return;
        }
        _zones.emitRow(BandRow(startPoint, direction, sideDirection, y), left, right, out);
    }

    Coverage coverageAt(double x, double y) const {
        if (!enclosesArea) {
            return {};
        }
        Vector<double> q(x, y);
        q -= startPoint;
        const double t = q.dot(direction);
        const double n = std::abs(q.dot(sideDirection));
        const auto [fill, stroke] = _evaluate<double>(t, n);
        return {fill, stroke};
    }

private:
    // The coverage as (fill, stroke).
    template <typename Number>
    std::pair<Number, Number> _evaluate(double t, double n) const {
        return paintedParts<Number>(
            mode, [&] { return _fill().coverage<Number>(t, n); },
            [&] {
                return Number(clamp01(strokeWidth)) * _strokeOuter().coverage<Number>(t, n) *
                       (1.0 - _strokeInner().coverage<Number>(t, n));
            });
    }

    Box _fill() const { return {0.0, length, halfHeight, outside}; }
    Box _strokeOuter() const {
        const double h = strokeWidth / 2.0;
        return {-h, length + h, halfHeight + h, inside};
    }
    Box _strokeInner() const {
        const double h = strokeWidth / 2.0;
        return {h, length - h, halfHeight - h, outside};
    }

    // The zones of t and n in which every pixel is painted alike, for the parts mode paints.
    GridZones<14, 7> _findGrid() const {
        const auto [fillPainted, strokePainted] = partsPainted(mode, strokeWidth);
        GridZonesBuilder<14, 7> grid;
        if (fillPainted) {
            _fill().addTerms(grid);
        }
        if (strokePainted) {
            _strokeOuter().addTerms(grid);
            _strokeInner().addTerms(grid);
        }
        return grid.build(
            [this]<typename Number>(double t, double n) { return _evaluate<Number>(t, n); },
            fillPainted, strokePainted);
    }

    // Where each row's pixels are painted alike, by t and distance from the centre line; set by
    // calcRegion for a rectangle of finite size and place.
    GridZones<14, 7> _zones;
    bool _zonesKnown = false;

    void _findZones() {
        _zonesKnown = true;
        for (const double v : {startPoint.x, startPoint.y, direction.x, direction.y,
                               sideDirection.x, sideDirection.y, length, halfHeight, strokeWidth}) {
            _zonesKnown = _zonesKnown && std::isfinite(v);
        }
        if (_zonesKnown) {
            _zones = _findGrid();
        }
    }

    // The untransformed corners, clockwise on screen from the top left. A controlledBy that
    // names neither form leaves them all at (0, 0).
    void _placeCorners() {
        if (controlledBy == 2) {
            const double w = width / 2.0;
            const double h = height / 2.0;
            corners = {center, center, center, center};
            corners[0] += Vector<double>(-w, -h);
            corners[1] += Vector<double>(w, -h);
            corners[2] += Vector<double>(w, h);
            corners[3] += Vector<double>(-w, h);
        } else if (controlledBy == 1) {
            const double minX = std::min(point1.x, point2.x);
            const double minY = std::min(point1.y, point2.y);
            const double maxX = std::max(point1.x, point2.x);
            const double maxY = std::max(point1.y, point2.y);
            corners = {Vector<double>(minX, minY), Vector<double>(maxX, minY),
                       Vector<double>(maxX, maxY), Vector<double>(minX, maxY)};
        } else {
            corners.fill(Vector<double>());
        }
    }
};

RectangleDrawer::RectangleDrawer(const Parameter& parameter)
    : m_impl(makeImplHolder<Impl>(parameter)) {}

Rect RectangleDrawer::calcRegion(Layer& source) {
    return heldObject<Impl>(*m_impl).calcRegion(source);
}

void RectangleDrawer::execute(const std::string& name, Layer& source, Layer& destination, int index,
                              int count) const {
    heldObject<Impl>(*m_impl).execute(name, source, destination, index, count);
}

Coverage RectangleDrawer::coverageAt(double x, double y) const {
    return heldObject<Impl>(*m_impl).coverageAt(x, y);
}

} // namespace Ondrel
