// Renders a thick straight line between two points, with butt or round caps, its body filled
// and/or outlined by a stroke, placed by the shape transform, into a scratch layer covering the
// line's region.
#pragma once

#include "Ondrel/Filter/OndrelDrawerRecord.h"
#include "Ondrel/Filter/OndrelPaintMode.h"
#include "Ondrel/Filter/OndrelShapeGeometry.h"
#include "Ondrel/OndrelGeneral.h"
#include "Ondrel/OndrelLayer.h"

#include <memory>
#include <string>

namespace Ondrel {

class LineDrawer {
public:
    // The values of Parameter::cap: the "Cap" popup's items. Any value but capButt draws round
    // caps.
    static constexpr int capButt = 1;
    static constexpr int capRound = 2;

    // Zero-filled by the effect before the fields are set.
    struct Parameter {
        int cap;          // capButt or capRound
        double thickness; // the body's whole width
        Vector<double> point1;
        Vector<double> point2;
        ONDREL_PLACEMENT_AND_STYLE_FIELDS;
    };

    explicit LineDrawer(const Parameter& parameter);

    // Call once, before drawing: places the line in the coordinates of the returned rectangle of
    // source, the part of the source world the line can touch. A line of no length with butt
    // caps has nothing to draw and gives an empty rectangle.
    Rect calcRegion(Layer& source);
    // Draws band index of count of destination for the pass "draw"; safe to run on several
    // threads at once for different bands.
    void execute(const std::string& name, Layer& source, Layer& destination, int index,
                 int count) const;
    // The fill and stroke coverage of scratch-layer pixel (x, y) once calcRegion has placed the
    // shape: the per-pixel definition that drawing reproduces bit for bit, however it gets there.
    Coverage coverageAt(double x, double y) const;

private:
    class Impl;
    std::unique_ptr<ImplHolderBase> m_impl;
};

} // namespace Ondrel
