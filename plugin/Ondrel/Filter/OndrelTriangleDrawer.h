// Renders a filled and/or stroked triangle through three points, placed by the shape transform,
// into a scratch layer covering the triangle's region.
#pragma once

#include "Ondrel/Filter/OndrelDrawerRecord.h"
#include "Ondrel/Filter/OndrelPaintMode.h"
#include "Ondrel/Filter/OndrelShapeGeometry.h"
#include "Ondrel/OndrelGeneral.h"
#include "Ondrel/OndrelLayer.h"

#include <memory>
#include <string>

namespace Ondrel {

class TriangleDrawer {
public:
    // Zero-filled by the effect before the fields are set.
    struct Parameter {
        Vector<double> point1;
        Vector<double> point2;
        Vector<double> point3;
        ONDREL_PLACEMENT_AND_STYLE_FIELDS;
    };

    explicit TriangleDrawer(const Parameter& parameter);

    // Call once, before drawing: places the triangle in the coordinates of the returned rectangle
    // of source, the part of the source world the triangle can touch. Three collinear or
    // coincident points, given so or merged by the transform, enclose nothing and give an empty
    // rectangle.
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
