// Renders a filled and/or stroked rectangle, given by two opposite corners or by its centre and
// size and placed by the shape transform, into a scratch layer covering the rectangle's region.
#pragma once

#include "Ondrel/Filter/OndrelDrawerRecord.h"
#include "Ondrel/Filter/OndrelPaintMode.h"
#include "Ondrel/Filter/OndrelShapeGeometry.h"
#include "Ondrel/OndrelGeneral.h"
#include "Ondrel/OndrelLayer.h"

#include <memory>
#include <string>

namespace Ondrel {

class RectangleDrawer {
public:
    // The values of Parameter::controlledBy: the "Controlled By" popup's items.
    static constexpr int byTwoPoints = 1;      // point1 and point2
    static constexpr int byWidthAndHeight = 2; // center, width and height

    // Zero-filled by the effect before the fields are set. Both ways of giving the rectangle
    // may be filled; controlledBy picks one.
    struct Parameter {
        int controlledBy; // byTwoPoints or byWidthAndHeight
        Vector<double> point1;
        Vector<double> point2;
        Vector<double> center;
        double width;
        double height;
        ONDREL_PLACEMENT_AND_STYLE_FIELDS;
    };

    explicit RectangleDrawer(const Parameter& parameter);

    // Call once, before drawing: places the rectangle in the coordinates of the returned
    // rectangle of source, the part of the source world the rectangle can touch. The result
    // always lies in the world, and is never empty for a world with pixels unless the
    // rectangle, once placed, has no width or no height: then there is nothing to draw.
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
