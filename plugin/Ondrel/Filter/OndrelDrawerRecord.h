// What the four drawers have in common outside their geometry: the fields their records end with,
// and the forwarding of their public calls to the Impl they hold.
#pragma once

#include "Ondrel/Filter/OndrelPaintMode.h"
#include "Ondrel/OndrelGeneral.h"
#include "Ondrel/Pimpl.h"

// The shape transform and the style, in this order, after a record's own geometry. They are
// spelled into each record as direct members rather than inherited, so that every record stays
// one plain struct whose fields the effects fill one by one, in the order they are declared.
#define ONDREL_PLACEMENT_AND_STYLE_FIELDS                                                          \
    Vector<double> anchorPoint;                                                                    \
    Vector<double> position;                                                                       \
    double rotation; /* radians */                                                                 \
    double scale;    /* signed, 1 = 100 % */                                                       \
    PaintMode mode;                                                                                \
    double strokeWidth;                                                                            \
    ColorFloat<float> fillColor;                                                                   \
    ColorFloat<float> strokeColor;                                                                 \
    double opacity; /* for the effect's composite only */                                          \
    int blendMode   /* for the effect's composite only */

// The definitions of a drawer's constructor, calcRegion, execute and coverageAt, each handing the
// call to the drawer's Impl, for the drawer's own .cpp file after its Impl.
#define ONDREL_FORWARD_TO_IMPL(Drawer)                                                             \
    Drawer::Drawer(const Parameter& parameter) : m_impl(makeImplHolder<Impl>(parameter)) {}        \
    Rect Drawer::calcRegion(Layer& source) {                                                       \
        return heldObject<Impl>(*m_impl).calcRegion(source);                                       \
    }                                                                                              \
    void Drawer::execute(const std::string& name, Layer& source, Layer& destination, int index,    \
                         int count) const {                                                        \
        heldObject<Impl>(*m_impl).execute(name, source, destination, index, count);                \
    }                                                                                              \
    Coverage Drawer::coverageAt(double x, double y) const {                                        \
        return heldObject<Impl>(*m_impl).coverageAt(x, y);                                         \
    }
