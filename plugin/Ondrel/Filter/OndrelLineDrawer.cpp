#include "Ondrel/Filter/OndrelLineDrawer.h"

#include "Ondrel/Filter/OndrelButtBand.h"
#include "Ondrel/Filter/OndrelRadialCoverage.h"
#include "Ondrel/Filter/OndrelShapeDrawer.h"

#include <cmath>

namespace Ondrel {

class LineDrawer::Impl : public LineDrawer::Parameter, public ShapeDrawerBase<Impl> {
public:
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
        if (cap == capButt && coincide(point1, point2)) {
            collapsed = true;
            return Rect();
        }
        const Vector<double> origin = toDouble(source.getOrigin());
        point1 -= origin;
        point2 -= origin;

        // Whole widths, generously: the body and stroke reach only half of them beyond the line.
        const double margin = mode == PaintMode::fill ? thickness : thickness + strokeWidth;
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
        _findZones();
        return region;
    }

    template <typename Out>
    void rowRuns(int y, int left, int right, Out& out) const {
        if (!m_zonesKnown) {
            out.varying(left, right);
            return;
        }
        const BandRow row(point1, direction, perpendicular, y);
        if (cap == capButt) {
            m_buttZones.emitRow(row, left, right, out);
            return;
        }
        _roundRowRuns(static_cast<double>(y), row, left, right, out);
    }

    Coverage coverageAt(double x, double y) const {
        if (collapsed) {
            return {};
        }
        Vector<double> q(x, y);
        q -= point1;
        const double t = q.dot(direction);
        const double n = std::abs(q.dot(perpendicular));
        if (cap == capButt) {
            return _butt().coverageAt(t, n);
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
        return _radial().at(d);
    }

    RadialCoverage _radial() const { return {thickness / 2.0, strokeWidth, mode}; }

    ButtBand _butt() const { return {length, thickness / 2.0, strokeWidth, mode}; }

    // Where each row's pixels are painted alike. Butt caps: by t and distance from the centre
    // line. Round caps: by distance from the segment beside it, by squared distance from an end
    // beyond it. Set by calcRegion for a line of finite size and place.
    ButtBandZones m_buttZones;
    RadialZones m_lineZones;
    RadialZones m_endZones;
    bool m_zonesKnown = false;

    void _findZones() {
        m_zonesKnown = true;
        for (const double v : {point1.x, point1.y, point2.x, point2.y, direction.x, direction.y,
                               length, thickness, strokeWidth}) {
            m_zonesKnown = m_zonesKnown && std::isfinite(v);
        }
        if (!m_zonesKnown) {
            return;
        }
        if (cap == capButt) {
            m_buttZones = _butt().zones();
        } else {
            m_lineZones = _radial().zones();
            m_endZones = RadialCoverage::squared(m_lineZones);
        }
    }

    // Along the row, t runs monotonically: the pixels before point1 (t < 0), beside the segment
    // and beyond point2 (t at least the length) follow one another, in that order or the reverse.
    template <typename Out>
    void _roundRowRuns(double y, const BandRow& row, int left, int right, Out& out) const {
        const LinearRow& along = row.along;
        const LineDistanceRow& beside = row.across;
        const PointDistanceRow fromStart(point1, y);
        const PointDistanceRow fromEnd(point2, y);
        const auto before = [&along](int x) { return along.value(x) < 0.0; };
        const auto beyond = [&along, this](int x) {
            return !(along.value(x) < 0.0) && along.value(x) >= length;
        };
        if (direction.x > 0.0) {
            const int start =
                firstPixelWhere([&](int x) { return !before(x); }, left, right, along.guessAt(0.0));
            const int end = firstPixelWhere(beyond, start, right, along.guessAt(length));
            m_endZones.emitRow(fromStart, left, start, out);
            m_lineZones.emitRow(beside, start, end, out);
            m_endZones.emitRow(fromEnd, end, right, out);
        } else if (direction.x < 0.0) {
            const int end = firstPixelWhere([&](int x) { return !beyond(x); }, left, right,
                                            along.guessAt(length));
            const int start = firstPixelWhere(before, end, right, along.guessAt(0.0));
            m_endZones.emitRow(fromEnd, left, end, out);
            m_lineZones.emitRow(beside, end, start, out);
            m_endZones.emitRow(fromStart, start, right, out);
        } else if (before(left)) {
            m_endZones.emitRow(fromStart, left, right, out);
        } else if (beyond(left)) {
            m_endZones.emitRow(fromEnd, left, right, out);
        } else {
            m_lineZones.emitRow(beside, left, right, out);
        }
    }
};

ONDREL_FORWARD_TO_IMPL(LineDrawer)

} // namespace Ondrel
