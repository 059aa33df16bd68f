#include "Ondrel/Filter/OndrelTriangleDrawer.h"

#include "Ondrel/Filter/OndrelRowCuts.h"
#include "Ondrel/Filter/OndrelShapeDrawer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <span>
#include <type_traits>
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

// The line through corner along the unit direction, as an edge of an outline going clockwise on
// screen. Its term at sample point s, 1 + cross(direction, corner - s), is one plus the signed
// distance of s inside the edge, so its ramp is 1 inside and on the edge and falls to 0 one pixel
// outside.
struct Edge {
    Vector<double> corner;
    Vector<double> direction;

    // The term along row y, linear in x, formed as the coverage forms it everywhere: level for a
    // level edge.
    struct AlongRow {
        double across; // direction.x * (corner.y - y)
        double slope;  // direction.y
        double cornerX;

        double value(double x) const { return 1.0 + (across - slope * (cornerX - x)); }
        double guessAt(double v) const { return cornerX - (1.0 + across - v) / slope; }
    };
    static_assert(LinearTerm<AlongRow>);

    AlongRow alongRow(double y) const {
        return {direction.x * (corner.y - y), direction.y, corner.x};
    }
    double term(const Vector<double>& s) const { return alongRow(s.y).value(s.x); }
};

// A convex outline, going clockwise on screen, as the lines of its edges: at most MaxEdges.
template <std::size_t MaxEdges>
class Outline {
public:
    using Ramps = std::array<RampAlongRow, MaxEdges>;

    Outline() = default;
    // The edges present, in order.
    explicit Outline(const std::array<std::optional<Edge>, MaxEdges>& edges) {
        std::array<std::optional<Edge>, MaxEdges> present;
        const auto end = std::copy_if(edges.begin(), edges.end(), present.begin(),
                                      [](const std::optional<Edge>& e) { return e.has_value(); });
        std::transform(present.begin(), end, m_edges.begin(),
                       [](const std::optional<Edge>& e) { return *e; });
        m_count = static_cast<std::size_t>(end - present.begin());
    }

    const Edge& edge(std::size_t i) const { return m_edges[i]; }

    // Product of the edges' ramps; once the product can no longer light a pixel the remaining
    // edges are skipped. As a double, or as what is known of it over a piece of a row
    // (OndrelRowRuns.h): where the product is not known, neither is whether the rest is skipped.
    template <typename Number>
    Number coverageAt(const Vector<double>& s) const {
        Number product = 1.0;
        for (const Edge& e : _edges()) {
            product *= ramp<Number>(e.term(s));
            if constexpr (std::is_same_v<Number, ZoneValue>) {
                if (!product.known()) {
                    return product;
                }
            }
            if (product < coverageThreshold) {
                break;
            }
        }
        return product;
    }

    // Where edge i's ramp is saturated along row y; an absent edge's ramp is 1 all along.
    RampAlongRow rampAlong(std::size_t i, double y, int left, int right) const {
        return i < m_count ? Ondrel::rampAlong(m_edges[i].alongRow(y), left, right)
                           : RampAlongRow::one(left, right);
    }
    Ramps rampsAlong(double y, int left, int right) const {
        Ramps ramps;
        for (std::size_t i = 0; i < MaxEdges; ++i) {
            ramps[i] = rampAlong(i, y, left, right);
        }
        return ramps;
    }
    // The product of the edges' ramps along row y.
    ProductAlongRow<MaxEdges> productAlong(double y, int left, int right) const {
        return ProductAlongRow<MaxEdges>(
            [&](std::size_t i) { return rampAlong(i, y, left, right); }, left, right);
    }
    // Ramps that take no part in a product.
    static Ramps ones(int left, int right) {
        Ramps ramps;
        ramps.fill(RampAlongRow::one(left, right));
        return ramps;
    }

    void include(Extent& extent) const {
        for (const Edge& e : _edges()) {
            extent.include(e.corner);
        }
    }

    void moveBy(const Vector<double>& offset) {
        for (std::size_t i = 0; i < m_count; ++i) {
            m_edges[i].corner -= offset;
        }
    }

    bool allFinite() const {
        const std::span<const Edge> edges = _edges();
        return std::all_of(edges.begin(), edges.end(), [](const Edge& e) {
            return isFinite(e.corner) && isFinite(e.direction);
        });
    }

private:
    std::span<const Edge> _edges() const { return {m_edges.data(), m_count}; }

    std::array<Edge, MaxEdges> m_edges{};
    std::size_t m_count = 0;
};

} // namespace

class TriangleDrawer::Impl : public TriangleDrawer::Parameter, public ShapeDrawerBase<Impl> {
public:
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
        m_fillAlpha = fade;
        m_strokeAlpha = fade * clamp01(strokeWidth);

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
        std::array<std::optional<Edge>, 3> fillEdges;
        std::array<std::optional<Edge>, 3> innerEdges;
        for (std::size_t i = 0; i < 3; ++i) {
            directions[i] = vertices[(i + 1) % 3];
            directions[i] -= vertices[i];
            directions[i].normalize();
            fillEdges[i] = Edge{vertices[i], directions[i]};
            innerEdges[i] = Edge{innerPoints[i], directions[i]};
        }
        m_fill = Outline<3>(fillEdges);
        m_inner = Outline<3>(innerEdges);
        m_outer = _strokeOutline(vertices, outerPoints, directions);

        // Collinear or coincident points leave no inradius and no finite inner or outer triangle;
        // such a triangle encloses nothing, and its infinities must not reach the region. A
        // scale of 0, or one so small that rounding merges the corners, collapses it too, and a
        // triangle that fades to nothing might as well.
        m_enclosesArea = !givenCollinear && !collinear(vertices[0], vertices[1], vertices[2]) &&
                         r > 0.0 && fade > coverageThreshold && m_fill.allFinite() &&
                         m_inner.allFinite() && m_outer.allFinite();
        if (!m_enclosesArea) {
            return Rect();
        }

        _moveBy(origin);
        Extent extent = Extent::seededBy(source);
        if (paintsFill(mode)) {
            m_fill.include(extent);
        }
        if (paintsStroke(mode)) {
            m_outer.include(extent);
        }
        const Rect region = regionOf(extent, source);
        _moveBy(toDouble(region.getLeftTop()));
        return region;
    }

    template <typename Out>
    void rowRuns(int y, int left, int right, Out& out) const {
        if (!m_enclosesArea) {
            return;
        }
        if (paintsStroke(mode)) {
            _strokedRowRuns(static_cast<double>(y), left, right, out);
        } else {
            _fillRowRuns(static_cast<double>(y), left, right, out);
        }
    }

    Coverage coverageAt(double x, double y) const {
        const auto [fillCoverage, strokeCoverage] = _evaluate<double>(Vector<double>(x, y));
        return {fillCoverage, strokeCoverage};
    }

private:
    template <typename Number>
    std::pair<Number, Number> _evaluate(const Vector<double>& s) const {
        if (!m_enclosesArea) {
            return {0.0, 0.0};
        }
        return paintedParts<Number>(
            mode, [&] { return m_fillAlpha * m_fill.coverageAt<Number>(s); },
            [&] {
                const Number a = m_strokeAlpha * m_outer.coverageAt<Number>(s);
                return a < coverageThreshold ? Number(0.0)
                                             : a * (1.0 - m_inner.coverageAt<Number>(s));
            });
    }

    // A fill alone is the product of its edges' ramps: nothing outside where they are all above
    // 0, exactly the fill alpha where they are all 1.
    template <typename Out>
    void _fillRowRuns(double y, int left, int right, Out& out) const {
        const ProductAlongRow<3> product = m_fill.productAlong(y, left, right);
        if (product.first >= product.last) {
            return;
        }
        if (product.full >= product.fullEnd) {
            _fillRamp(y, product, product.first, product.last, out);
            return;
        }
        _fillRamp(y, product, product.first, product.full, out);
        out.uniform(product.full, product.fullEnd, Coverage{m_fillAlpha, 0.0});
        _fillRamp(y, product, product.fullEnd, product.last, out);
    }

    // Pixels of a fill alone, each evaluated. Where every edge but one has its ramp at 1 all
    // along the run, the product is that one ramp exactly.
    template <typename Out>
    void _fillRamp(double y, const ProductAlongRow<3>& product, int begin, int end,
                   Out& out) const {
        if (begin >= end) {
            return;
        }
        const std::size_t edge = product.soleRamp(begin, end);
        if (edge == 3) {
            out.varying(begin, end);
            return;
        }
        const Edge::AlongRow term = m_fill.edge(edge).alongRow(y);
        out.varying(begin, end, [this, &term](int x) {
            return Coverage{m_fillAlpha * clamp01(term.value(static_cast<double>(x))), 0.0};
        });
    }

    // With a stroke, only within the fill's and the stroke's outer outline can anything be
    // drawn. There the row is cut wherever any edge's ramp saturates or stops saturating, and
    // each piece is judged at one of its pixels.
    template <typename Out>
    void _strokedRowRuns(double y, int left, int right, Out& out) const {
        const Outline<6>::Ramps outer = m_outer.rampsAlong(y, left, right);
        const Outline<3>::Ramps fill =
            paintsFill(mode) ? m_fill.rampsAlong(y, left, right) : Outline<3>::ones(left, right);
        const ProductAlongRow<6> outerProduct(outer, left, right);
        int first = outerProduct.first;
        int last = outerProduct.last;
        if (paintsFill(mode)) {
            const ProductAlongRow<3> fillProduct(fill, left, right);
            if (first >= last) {
                first = fillProduct.first;
                last = fillProduct.last;
            } else if (fillProduct.first < fillProduct.last) {
                first = std::min(first, fillProduct.first);
                last = std::max(last, fillProduct.last);
            }
        }
        if (first >= last) {
            return;
        }
        const RowCuts cuts(first, last, joined(fill, outer, m_inner.rampsAlong(y, left, right)));
        const PaintedParts painted{paintsFill(mode), m_strokeAlpha > coverageThreshold};
        cuts.emit(
            [&](int x) {
                const Vector<double> s(static_cast<double>(x), y);
                return judgedZone([&]<typename Number>() { return _evaluate<Number>(s); }, painted);
            },
            out);
    }

    // The stroke's outline: the triangle grown by half the stroke width, each edge moved out and
    // meeting the next in a miter, unless that miter would reach too far beyond its vertex: then
    // a bevel joins the two moved edges' ends, as vector formats draw such corners.
    Outline<6> _strokeOutline(const Triple& vertices, const Triple& mitred,
                              const Triple& directions) const {
        const double h = strokeWidth * 0.5;
        // Each corner's bevel, if it has one, then its outgoing edge.
        std::array<std::optional<Edge>, 6> edges;
        for (std::size_t i = 0; i < 3; ++i) {
            const Vector<double>& incoming = directions[(i + 2) % 3];
            const Vector<double>& outgoing = directions[i];
            // Twice the sine of half the corner's angle; the miter reaches h over that sine.
            // Directions lost to overflow leave nothing to bevel.
            Vector<double> bevel = incoming;
            bevel += outgoing;
            const double twiceSine = bevel.length();
            if (!(h > 0.0 && twiceSine > 0.0 && twiceSine * miterLimit < 2.0)) {
                edges[2 * i + 1] = Edge{mitred[i], outgoing};
                continue;
            }
            Vector<double> start = outwardNormal(incoming);
            start *= h;
            start += vertices[i];
            Vector<double> end = outwardNormal(outgoing);
            end *= h;
            end += vertices[i];
            bevel /= twiceSine;
            edges[2 * i] = Edge{start, bevel};
            edges[2 * i + 1] = Edge{end, outgoing};
        }
        return Outline<6>(edges);
    }

    void _moveBy(const Vector<double>& offset) {
        m_fill.moveBy(offset);
        m_inner.moveBy(offset);
        m_outer.moveBy(offset);
    }

    // Set by calcRegion, in scratch-layer pixels.
    Outline<3> m_fill;
    Outline<3> m_inner; // the triangle with every edge moved in by half the stroke width
    Outline<6> m_outer; // moved out by as much, its sharpest corners bevelled
    // Fill and stroke coverage are scaled by these: a triangle thinner than a pixel fades, and so
    // does a stroke.
    double m_fillAlpha = 0.0;
    double m_strokeAlpha = 0.0;
    bool m_enclosesArea = false;
};

ONDREL_FORWARD_TO_IMPL(TriangleDrawer)

} // namespace Ondrel
