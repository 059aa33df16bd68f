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
        if (!m_zonesKnown) {
            out.varying(left, right);
            return;
        }
        m_zones.emitRow(BandRow(startPoint, direction, sideDirection, y), left, right, out);
    }

    Coverage coverageAt(double x, double y) const {
        if (!enclosesArea) {
            return {};
        }
        Vector<double> q(x, y);
        q -= startPoint;
        const double t = q.dot(direction);
        const double n = std::abs(q.dot(sideDirection));
        return _band().coverageAt(t, n);
    }

private:
    // Drawn as a band from the middle of one side to the middle of the opposite side.
    RectangleBand _band() const { return {length, halfHeight, strokeWidth, mode}; }

    // Where each row's pixels are painted alike, by t and distance from the centre line; set by
    // calcRegion for a rectangle of finite size and place.
    RectangleBandZones m_zones;
    bool m_zonesKnown = false;

    void _findZones() {
        m_zonesKnown = true;
        for (const double v : {startPoint.x, startPoint.y, direction.x, direction.y,
                               sideDirection.x, sideDirection.y, length, halfHeight, strokeWidth}) {
            m_zonesKnown = m_zonesKnown && std::isfinite(v);
        }
        if (m_zonesKnown) {
            m_zones = _band().zones();
        }
    }

    // The untransformed corners, clockwise on screen from the top left. A controlledBy that
    // names neither form leaves them all at (0, 0).
    void _placeCorners() {
        if (controlledBy == byWidthAndHeight) {
            const double w = width / 2.0;
            const double h = height / 2.0;
            corners = {center, center, center, center};
            corners[0] += Vector<double>(-w, -h);
            corners[1] += Vector<double>(w, -h);
            corners[2] += Vector<double>(w, h);
            corners[3] += Vector<double>(-w, h);
        } else if (controlledBy == byTwoPoints) {
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

ONDREL_FORWARD_TO_IMPL(RectangleDrawer)

} // namespace Ondrel
