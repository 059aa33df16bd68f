// Renders a filled and/or stroked circle, placed by centre, radius and the shape transform, into a
// scratch layer covering the circle's region.
#pragma once

#include "Ondrel/Filter/OndrelDrawerRecord.h"
#include "Ondrel/Filter/OndrelPaintMode.h"
#include "Ondrel/Filter/OndrelShapeGeometry.h"
#include "Ondrel/OndrelGeneral.h"
#include "Ondrel/OndrelLayer.h"

#include <memory>
#include <string>

namespace Ondrel {

class CircleDrawer {
public:
    // Zero-filled by the effect before the fields are set.
    struct Parameter {
        double radius;
        Vector<double> center;
        ONDREL_PLACEMENT_AND_STYLE_FIELDS;
    };

    explicit CircleDrawer(const Parameter& parameter);

    // Call once, before drawing: places the circle in the coordinates of the returned rectangle
    // of source, the part of the source world the circle can touch.
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
