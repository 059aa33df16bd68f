#include "Ondrel/Filter/OndrelTriangleDrawer.h"

#include "Ondrel/Filter/OndrelShapeDrawer.h"

#include <array>
#include <cmath>
#include <utility>

namespace Ondrel {

namespace {

using Triple = std::array<Vector<double>, 3>;

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

} // namespace

class TriangleDrawer::Impl : public TriangleDrawer::Parameter, public ShapeDrawerBase<Impl> {
public:
    static constexpr FillBlend fillBlend = FillBlend::composite;

    explicit Impl(const Parameter& parameter) : Parameter(parameter) {}

    Rect calcRegion(Layer& source) {
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

        // The edge factors count the inside of a triangle listed clockwise on screen.
        Vector<double> side12 = vertices[1];
        side12 -= vertices[0];
        Vector<double> side13 = vertices[2];
        side13 -= vertices[0];
        if (side12.cross(side13) > 0.0) {
            for (Triple* points : {&vertices, &innerPoints, &outerPoints}) {
                std::swap((*points)[1], (*points)[2]);
            }
        }
        for (std::size_t i = 0; i < 3; ++i) {
            edgeDirections[i] = vertices[(i + 1) % 3];
            edgeDirections[i] -= vertices[i];
            edgeDirections[i].normalize();
        }

        _moveBy(vertices, origin);
        // Collinear or coincident points leave no inradius and no finite inner or outer triangle;
        // such a triangle encloses nothing, and its infinities must not reach the region. A
        // scale of 0, or one so small that rounding merges the corners, collapses it too.
        enclosesArea = !givenCollinear && !collinear(vertices[0], vertices[1], vertices[2]) &&
                       r > 0.0 && _allFinite(vertices);
        if (!enclosesArea) {
            return Rect();
        }

        Extent extent = Extent::seededBy(source);
        if (mode != 2) {
            for (const Vector<double>& p : vertices) {
                extent.include(p);
            }
        }
        if (mode != 1) {
            for (const Vector<double>& p : outerPoints) {
                extent.include(p);
            }
        }
        const Rect region = regionOf(extent, source);
        _moveBy(vertices, toDouble(region.getLeftTop()));
        point1 = vertices[0];
        point2 = vertices[1];
        point3 = vertices[2];
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
            coverage.fill = _coverage(Triple{point1, point2, point3}, s);
        }
        if (mode != 1) {
            // Strokes thinner than a pixel fade in proportion to their width.
            const double outer = clamp01(strokeWidth) * _coverage(outerPoints, s);
            if (!(outer < coverageThreshold)) {
                coverage.stroke = outer * (1.0 - _coverage(innerPoints, s));
            }
        }
        return coverage;
    }

private:
    // Edge i runs from point i to point i + 1; each is transformed and moved like the vertices.
    Triple edgeDirections{};
    Triple innerPoints{};
    Triple outerPoints{};
    bool enclosesArea = false;

    // Product of the triangle's edge factors, each 1 inside and on its edge and falling to 0 one
    // pixel outside. Once the product can no longer light a pixel the remaining edges are skipped.
    double _coverage(const Triple& points, const Vector<double>& s) const {
        double product = 1.0;
        for (std::size_t i = 0; i < 3; ++i) {
            Vector<double> toEdge = points[i];
            toEdge -= s;
            product *= clamp01(1.0 + edgeDirections[i].cross(toEdge));
            if (product < coverageThreshold) {
                break;
            }
        }
        return product;
    }

    void _moveBy(Triple& vertices, const Vector<double>& offset) {
        for (Triple* points : {&vertices, &innerPoints, &outerPoints}) {
            for (Vector<double>& p : *points) {
                p -= offset;
            }
        }
    }

    bool _allFinite(const Triple& vertices) const {
        for (const Triple* points : {&vertices, &innerPoints, &outerPoints, &edgeDirections}) {
            for (const Vector<double>& p : *points) {
                if (!isFinite(p)) {
                    return false;
                }
            }
        }
        return true;
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
