#include "Ondrel/Filter/OndrelLineDrawer.h"

#include "Ondrel/Filter/OndrelButtBand.h"
#include "Ondrel/Filter/OndrelShapeDrawer.h"

#include <cmath>

namespace Ondrel {

class LineDrawer::Impl : public LineDrawer::Parameter, public ShapeDrawerBase<Impl> {
public:
    static constexpr FillBlend fillBlend = FillBlend::store;

    // The body's start ramp lies before point1, its end and side ramps inside the body; the
    // stroke's start ramp lies beyond its outer edge.
    static constexpr ButtRamps buttRamps{1.0, 0.0, 0.0, 1.0};

    // Set by calcRegion, in scratch-layer pixels.
    double length = 0.0;
    Vector<double> direction;     // unit, from point1 to point2
    Vector<double> perpendicular; // direction turned a quarter
    bool collapsed = false;       // a butt segment of no length, which draws nothing

    explicit Impl(const Parameter& parameter) : Parameter(parameter) {}

    Rect calcRegion(Layer& source) {
        const ShapeTransform transform = ShapeTransform::of(*this);
        point1 = transform.apply(point1);
        point2 = transform.apply(point2);
        thickness = transform.scaleLength(thickness);
        strokeWidth = transform.scaleLength(strokeWidth);
        // A segment of no length has no ends for butt caps to square off, so it draws nothing,
        // as in every vector format. With round caps it is the disc its caps make: its direction
        // stays the zero vector, so every sample point measures its distance from point2.
        if (cap == 1 && coincide(point1, point2)) {
            collapsed = true;
            return Rect();
        }
        const Vector<double> origin = toDouble(source.getOrigin());
        point1 -= origin;
        point2 -= origin;

        // Whole widths, generously: the body and stroke reach only half of them beyond the line.
        const double margin = mode == 1 ? thickness : thickness + strokeWidth;
        Extent extent = Extent::none();
        extent.include(point1, margin);
        extent.include(point2, margin);
        const Rect region = regionOf(extent, source, MarginRounding::afterRounding);

        const Vector<double> leftTop = toDouble(region.getLeftTop());
        point1 -= leftTop;
        point2 -= leftTop;
        direction = point2;
        direction -= point1;
        length = direction.length();
        direction.normalize();
        perpendicular = Vector<double>(direction.y, -direction.x);
        return region;
    }

    // Every pixel is evaluated.
    template <typename Out>
    void rowRuns(int /*y*/, int left, int right, Out& out) const {
        out.varying(left, right);
    }

    Coverage coverageAt(double x, double y) const {
        if (collapsed) {
            return {};
        }
        Vector<double> q(x, y);
        q -= point1;
        const double t = q.dot(direction);
        const double n = std::abs(q.dot(perpendicular));
        if (cap == 1) {
            return ButtBand{length, thickness / 2.0, strokeWidth, buttRamps}.coverageAt(t, n);
        }
        return _roundCoverage(x, y, t, n);
    }

private:
    // Round caps: the body is every point within half the thickness of the segment.
    Coverage _roundCoverage(double x, double y, double t, double n) const {
        double d = n;
        if (t < 0.0 || t >= length) {
            Vector<double> toEnd(x, y);
            toEnd -= t < 0.0 ? point1 : point2;
            d = toEnd.length();
        }
        const double halfThickness = thickness / 2.0;
        const double h = strokeWidth / 2.0;
        Coverage coverage;
        coverage.fill = clamp01(halfThickness - d);
        coverage.stroke = clamp01(halfThickness + h - d) * clamp01(strokeWidth) *
                          (1.0 - clamp01(halfThickness - h - d));
        return coverage;
    }
};

LineDrawer::LineDrawer(const Parameter& parameter) : m_impl(makeImplHolder<Impl>(parameter)) {}

Rect LineDrawer::calcRegion(Layer& source) {
    return heldObject<Impl>(*m_impl).calcRegion(source);
}

void LineDrawer::execute(const std::string& name, Layer& source, Layer& destination, int index,
                         int count) const {
    heldObject<Impl>(*m_impl).execute(name, source, destination, index, count);
}

Coverage LineDrawer::coverageAt(double x, double y) const {
    return heldObject<Impl>(*m_impl).coverageAt(x, y);
}

} // namespace Ondrel
