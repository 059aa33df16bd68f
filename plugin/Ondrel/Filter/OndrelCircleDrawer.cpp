#include "Ondrel/Filter/OndrelCircleDrawer.h"

#include "Ondrel/Filter/OndrelRadialCoverage.h"
#include "Ondrel/Filter/OndrelShapeDrawer.h"

#include <cmath>

namespace Ondrel {

class CircleDrawer::Impl : public CircleDrawer::Parameter, public ShapeDrawerBase<Impl> {
public:
    explicit Impl(const Parameter& parameter) : Parameter(parameter) {}

    Rect calcRegion(Layer& source) {
        const ShapeTransform transform = ShapeTransform::of(*this);
        center = transform.apply(center);
        radius = transform.scaleLength(radius);
        strokeWidth = transform.scaleLength(strokeWidth);
        center -= toDouble(source.getOrigin());
        // The whole stroke width, although only half of it lies beyond the radius.
        const double extent = mode == PaintMode::fill ? radius : radius + strokeWidth;
        const Rect region = regionOf(Extent::around(center, extent), source);
        center -= toDouble(region.getLeftTop());
        _findZones();
        return region;
    }

    // Both ramps lie inside their edge: the fill reaches full coverage one pixel inside the
    // radius; the stroke is centred on the radius, thinner strokes fading in proportion.
    Coverage coverageAt(double x, double y) const {
        Vector<double> offset(x, y);
        offset -= center;
        return _radial().at(offset.length());
    }

    template <typename Out>
    void rowRuns(int y, int left, int right, Out& out) const {
        if (!m_zonesKnown) {
            out.varying(left, right);
            return;
        }
        m_zones.emitRow(PointDistanceRow(center, static_cast<double>(y)), left, right, out);
    }

private:
    RadialCoverage _radial() const { return {radius, strokeWidth, mode}; }

    // Where each row's pixels are painted alike, by squared distance from the centre; set by
    // calcRegion for a circle of finite size and place.
    RadialZones m_zones;
    bool m_zonesKnown = false;

    void _findZones() {
        m_zonesKnown = std::isfinite(center.x) && std::isfinite(center.y) &&
                       std::isfinite(radius) && std::isfinite(strokeWidth);
        if (m_zonesKnown) {
            m_zones = RadialCoverage::squared(_radial().zones());
        }
    }
};

ONDREL_FORWARD_TO_IMPL(CircleDrawer)

} // namespace Ondrel
