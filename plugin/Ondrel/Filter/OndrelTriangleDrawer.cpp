#include "Ondrel/Filter/OndrelTriangleDrawer.h"

#include "Ondrel/Filter/OndrelShapeDrawer.h"

#include <array>
#include <cmath>
#include <utility>

namespace Ondrel {

namespace {

using Triple = std::array<Vector<double>, 3>;

// A corner of the stroke's outline whose miter would reach further than this many half stroke
// widths beyond its vertex is bevelled, as PostScript does by default: every corner of more than
// about 11.5 degrees keeps its miter.
constexpr double miterLimit = 10.0;

double distance(Vector<double> p, const Vector<double>& q) {
    p -= q;
    return p.length();
}

// p moved away from centre by the factor k.
Vector<double> scaledAbout(const Vector<double>& centre, Vector<double> p, double k) {
    p -= centre;
    p *= k;
    p += centre;
    return p;
}

// Whether three points lie on one line. Heron's formula may leave collinear points a rounding
// error of inradius; comparing the two products of their cross product is exact instead: equal
// products round alike (a fused multiply-subtract could not promise that), and the host's 16.16
// points subtract exactly. Products that both overflow prove nothing.
bool collinear(const Vector<double>& p1, const Vector<double>& p2, const Vector<double>& p3) {
    Vector<double> side12 = p2;
    side12 -= p1;
    Vector<double> side13 = p3;
    side13 -= p1;
    const double product = side12.x * side13.y;
    return product == side12.y * side13.x && std::isfinite(product);
}

bool isFinite(const Vector<double>& v) {
    return std::isfinite(v.x) && std::isfinite(v.y);
}

// The direction d turned a quarter towards the outside of an outline going clockwise on screen.
Vector<double> outwardNormal(const Vector<double>& d) {
    return Vector<double>(-d.y, d.x);
}

// A convex outline, going clockwise on screen, as the lines of its edges: each line through the
// corner where its edge starts, along the edge's unit direction.
class Outline {
public:
    void add(const Vector<double>& corner, const Vector<double>& direction) {
        _corners[_count] = corner;
        _directions[_count] = direction;
        ++_count;
    }

    // Product of the edge factors, each 1 inside and on its edge and falling to 0 one pixel
    // outside; once the product can no longer light a pixel the remaining edges are skipped.
    double coverageAt(const Vector<double>& s) const {
        double product = 1.0;
        for (std::size_t i = 0; i < _count; ++i) {
            Vector<double> toEdge = _corners[i];
            toEdge -= s;
            product *= clamp01(1.0 + _directions[i].cross(toEdge));
            if (product < coverageThreshold) {
                break;
            }
        }
        return product;
    }

    void include(Extent& extent) const {
        for (std::size_t i = 0; i < _count; ++i) {
            extent.include(_corners[i]);
        }
    }

    void moveBy(const Vector<double>& offset) {
        for (std::size_t i = 0; i < _count; ++i) {
            _corners[i] -= offset;
        }
    }

    bool allFinite() const {
        for (std::size_t i = 0; i < _count; ++i) {
            if (!isFinite(_corners[i]) || !isFinite(_directions[i])) {
                return false;
            }
        }
        return true;
    }

private:
    // Three edges, and a bevel at each corner at most.
    std::array<Vector<double>, 6> _corners{};
    std::array<Vector<double>, 6> _directions{};
    std::size_t _count = 0;
};

} // namespace

class TriangleDrawer::Impl : public TriangleDrawer::Parameter, public ShapeDrawerBase<Impl> {
public:
    static constexpr FillBlend fillBlend = FillBlend::composite;

    explicit Impl(const Parameter& parameter) : Parameter(parameter) {}

    Rect calcRegion(Layer& source) {
        fill = inner = outer = Outline();
        const Vector<double> origin = toDouble(source.getOrigin());
        const bool givenCollinear = collinear(point1, point2, point3);

        // The inner and outer triangles are the triangle scaled about its incentre, which lies at
        // the inradius from every edge: scaling by (r -+ h) / r moves each edge by h, parallel.
        const double a = distance(point2, point3);
        const double b = distance(point1, point3);
        const double c = distance(point1, point2);
        const double u = (a + b + c) * 0.5;
        const double r = std::sqrt((u - c) * (u - b) * (u - a) * u) / u;
        const double h = strokeWidth * 0.5;
        const double kIn = (r - h) / r;
        const double kOut = (h + r) / r;
        Vector<double> incentre = point1;
        incentre *= a;
        Vector<double> weighted = point2;
        weighted *= b;
        incentre += weighted;
        weighted = point3;
        weighted *= c;
        incentre += weighted;
        incentre /= a + b + c;

        Triple vertices{point1, point2, point3};
        Triple innerPoints;
        Triple outerPoints;
        for (std::size_t i = 0; i < 3; ++i) {
            innerPoints[i] = scaledAbout(incentre, vertices[i], kIn);
            outerPoints[i] = scaledAbout(incentre, vertices[i], kOut);
        }

        const ShapeTransform transform = ShapeTransform::of(*this);
        for (Triple* points : {&vertices, &innerPoints, &outerPoints}) {
            for (Vector<double>& p : *points) {
                p = transform.apply(p);
            }
        }
        strokeWidth = transform.scaleLength(strokeWidth);

        // A triangle thinner than a pixel fades in proportion, as a thin stroke does: by its
        // inscribed circle's diameter once placed. Twice the area over the perimeter gives the
        // inradius without Heron's cancellation.
        Vector<double> side12 = point2;
        side12 -= point1;
        Vector<double> side13 = point3;
        side13 -= point1;
        const double inradius = transform.scaleLength(std::abs(side12.cross(side13)) / (a + b + c));
        const double fade = clamp01(2.0 * inradius);
        fillAlpha = fade;
        strokeAlpha = fade * clamp01(strokeWidth);

        // The edge factors count the inside of a triangle listed clockwise on screen.
        side12 = vertices[1];
        side12 -= vertices[0];
        side13 = vertices[2];
        side13 -= vertices[0];
        if (side12.cross(side13) > 0.0) {
            for (Triple* points : {&vertices, &innerPoints, &outerPoints}) {
                std::swap((*points)[1], (*points)[2]);
            }
        }
        Triple directions;
        for (std::size_t i = 0; i < 3; ++i) {
            directions[i] = vertices[(i + 1) % 3];
            directions[i] -= vertices[i];
            directions[i].normalize();
            fill.add(vertices[i], directions[i]);
            inner.add(innerPoints[i], directions[i]);
        }
        _outline(vertices, outerPoints, directions);

        // Collinear or coincident points leave no inradius and no finite inner or outer triangle;
        // such a triangle encloses nothing, and its infinities must not reach the region. A
        // scale of 0, or one so small that rounding merges the corners, collapses it too, and a
        // triangle that fades to nothing might as well.
        enclosesArea = !givenCollinear && !collinear(vertices[0], vertices[1], vertices[2]) &&
                       r > 0.0 && fade > coverageThreshold && fill.allFinite() &&
                       inner.allFinite() && outer.allFinite();
        if (!enclosesArea) {
            return Rect();
        }

        _moveBy(origin);
        Extent extent = Extent::seededBy(source);
        if (mode != 2) {
            fill.include(extent);
        }
        if (mode != 1) {
            outer.include(extent);
        }
        const Rect region = regionOf(extent, source);
        _moveBy(toDouble(region.getLeftTop()));
        return region;
    }

    // Every pixel is evaluated.
    template <typename Out>
    void rowRuns(int /*y*/, int left, int right, Out& out) const {
        out.varying(left, right);
    }

    Coverage coverageAt(double x, double y) const {
        const Vector<double> s(x, y);
        Coverage coverage;
        if (!enclosesArea) {
            return coverage;
        }
        if (mode != 2) {
            coverage.fill = fillAlpha * fill.coverageAt(s);
        }
        if (mode != 1) {
            const double a = strokeAlpha * outer.coverageAt(s);
            if (!(a < coverageThreshold)) {
                coverage.stroke = a * (1.0 - inner.coverageAt(s));
            }
        }
        return coverage;
    }

private:
    // Set by calcRegion, in scratch-layer pixels.
    Outline fill;
    Outline inner; // the triangle with every edge moved in by half the stroke width
    Outline outer; // moved out by as much, its sharpest corners bevelled
    // Fill and stroke coverage are scaled by these: a triangle thinner than a pixel fades, and so
    // does a stroke.
    double fillAlpha = 0.0;
    double strokeAlpha = 0.0;
    bool enclosesArea = false;

    // The stroke's outline: the triangle grown by half the stroke width, each edge moved out and
    // meeting the next in a miter, unless that miter would reach too far beyond its vertex: then
    // a bevel joins the two moved edges' ends, as vector formats draw such corners.
    void _outline(const Triple& vertices, const Triple& mitred, const Triple& directions) {
        const double h = strokeWidth * 0.5;
        for (std::size_t i = 0; i < 3; ++i) {
            const Vector<double>& incoming = directions[(i + 2) % 3];
            const Vector<double>& outgoing = directions[i];
            // Twice the sine of half the corner's angle; the miter reaches h over that sine.
            // Directions lost to overflow leave nothing to bevel.
            Vector<double> bevel = incoming;
            bevel += outgoing;
            const double twiceSine = bevel.length();
            if (!(h > 0.0 && twiceSine > 0.0 && twiceSine * miterLimit < 2.0)) {
                outer.add(mitred[i], outgoing);
                continue;
            }
            Vector<double> start = outwardNormal(incoming);
            start *= h;
            start += vertices[i];
            Vector<double> end = outwardNormal(outgoing);
            end *= h;
            end += vertices[i];
            bevel /= twiceSine;
            outer.add(start, bevel);
            outer.add(end, outgoing);
        }
    }

    void _moveBy(const Vector<double>& offset) {
        for (Outline* outline : {&fill, &inner, &outer}) {
            outline->moveBy(offset);
        }
    }
};

TriangleDrawer::TriangleDrawer(const Parameter& parameter)
    : m_impl(makeImplHolder<Impl>(parameter)) {}

Rect TriangleDrawer::calcRegion(Layer& source) {
    return heldObject<Impl>(*m_impl).calcRegion(source);
}

void TriangleDrawer::execute(const std::string& name, Layer& source, Layer& destination, int index,
                             int count) const {
    heldObject<Impl>(*m_impl).execute(name, source, destination, index, count);
}

Coverage TriangleDrawer::coverageAt(double x, double y) const {
    return heldObject<Impl>(*m_impl).coverageAt(x, y);
}

} // namespace Ondrel
