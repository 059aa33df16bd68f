#include "Ondrel/Filter/OndrelCircleDrawer.h"

#include "Ondrel/Filter/OndrelShapeDrawer.h"

namespace Ondrel {

class CircleDrawer::Impl : public CircleDrawer::Parameter, public ShapeDrawerBase<Impl> {
public:
    static constexpr FillBlend fillBlend = FillBlend::store;

    explicit Impl(const Parameter& parameter) : Parameter(parameter) {}

    Rect calcRegion(Layer& source) {
        const ShapeTransform transform = ShapeTransform::of(*this);
        center = transform.apply(center);
        radius = transform.scaleLength(radius);
        strokeWidth = transform.scaleLength(strokeWidth);
        center -= toDouble(source.getOrigin());
        // The whole stroke width, although only half of it lies beyond the radius.
        const double extent = mode == 1 ? radius : radius + strokeWidth;
        const Rect region = regionOf(Extent::around(center, extent), source);
        center -= toDouble(region.getLeftTop());
        return region;
    }

    // Both ramps lie inside their edge: the fill reaches full coverage one pixel inside the
    // radius; the stroke is centred on the radius, thinner strokes fading in proportion.
    Coverage coverageAt(double x, double y) const {
        Vector<double> offset(x, y);
        offset -= center;
        const double d = offset.length();
        const double h = strokeWidth / 2.0;
        Coverage coverage;
        coverage.fill = clamp01(radius - d);
        coverage.stroke =
            clamp01(radius + h - d) * clamp01(strokeWidth) * (1.0 - clamp01(radius - h - d));
        return coverage;
    }
};

CircleDrawer::CircleDrawer(const Parameter& parameter) : m_impl(makeImplHolder<Impl>(parameter)) {}

Rect CircleDrawer::calcRegion(Layer& source) {
    return heldObject<Impl>(*m_impl).calcRegion(source);
}

void CircleDrawer::execute(const std::string& name, Layer& source, Layer& destination, int index,
                           int count) const {
    heldObject<Impl>(*m_impl).execute(name, source, destination, index, count);
}

Coverage CircleDrawer::coverageAt(double x, double y) const {
    return heldObject<Impl>(*m_impl).coverageAt(x, y);
}

} // namespace Ondrel
