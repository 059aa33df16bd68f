#include "Ondrel/Filter/OndrelTriangleDrawer.h"

#include "Ondrel/Filter/OndrelRowRuns.h"
#include "Ondrel/Filter/OndrelShapeDrawer.h"

#include <algorithm>

#include <array>
#include <cmath>
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
    // outside; once the product can no longer light a pixel the remaining edges are skipped. As
    // a double, or as what is known of it over a zone (OndrelRowRuns.h): where the product is not
    // known, neither is whether the rest is skipped.
    template <typename Number>
    Number coverageAt(const Vector<double>& s) const {
        Number product = 1.0;
        for (std::size_t i = 0; i < _count; ++i) {
            Vector<double> toEdge = _corners[i];
            toEdge -= s;
            product *= ramp<Number>(1.0 + _directions[i].cross(toEdge));
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

    // Edge i's term along row y, 1 + cross(direction, corner - (x, y)) as coverageAt forms it:
    // monotone in x, the same at every pixel for a level edge.
    struct EdgeRow {
        double across; // direction.x * (corner.y - y)
        double slope;  // direction.y
        double cornerX;

        double value(int x) const {
            return 1.0 + (across - slope * (cornerX - static_cast<double>(x)));
        }
        double guessAt(double v) const { return cornerX - (1.0 + across - v) / slope; }
    };

    EdgeRow edgeRow(std::size_t i, double y) const {
        return {_directions[i].x * (_corners[i].y - y), _directions[i].y, _corners[i].x};
    }

    // Where the product of the edge factors is above 0 along a row, [first, last), and where it
    // is exactly 1, [full, fullEnd) (empty when nowhere); and where each edge's factor is 1.
    struct ProductRow {
        int first;
        int last;
        int full;
        int fullEnd;
        std::array<int, 6> oneFrom;  // a rising edge's factor is 1 from here on
        std::array<int, 6> oneUntil; // a falling edge's up to here; a level edge's both or
                                     // neither, everywhere or nowhere
        std::size_t count;

        // The one edge whose factor is not 1 all along [begin, end), if only one is (else none):
        // there the product is that factor exactly.
        static constexpr std::size_t none = 6;
        std::size_t soleRamp(int begin, int end) const {
            std::size_t ramp = none;
            for (std::size_t i = 0; i < count; ++i) {
                if (oneFrom[i] > begin || oneUntil[i] < end) {
                    if (ramp != none) {
                        return none;
                    }
                    ramp = i;
                }
            }
            return ramp;
        }
    };

    ProductRow productRow(double y, int left, int right) const {
        ProductRow row{left, right, left, right, {}, {}, _count};
        for (std::size_t i = 0; i < _count; ++i) {
            const EdgeRow edge = edgeRow(i, y);
            const auto positive = [&edge](int x) { return edge.value(x) > 0.0; };
            const auto one = [&edge](int x) { return edge.value(x) >= 1.0; };
            row.oneFrom[i] = left;
            row.oneUntil[i] = right;
            if (edge.slope > 0.0) {
                row.first =
                    std::max(row.first, firstPixelWhere(positive, left, right, edge.guessAt(0.0)));
                row.oneFrom[i] = firstPixelWhere(one, left, right, edge.guessAt(1.0));
                row.full = std::max(row.full, row.oneFrom[i]);
            } else if (edge.slope < 0.0) {
                const auto notPositive = [&positive](int x) { return !positive(x); };
                const auto notOne = [&one](int x) { return !one(x); };
                row.last = std::min(row.last,
                                    firstPixelWhere(notPositive, left, right, edge.guessAt(0.0)));
                row.oneUntil[i] = firstPixelWhere(notOne, left, right, edge.guessAt(1.0));
                row.fullEnd = std::min(row.fullEnd, row.oneUntil[i]);
            } else if (!positive(left)) {
                row.last = row.first;
            } else if (!one(left)) {
                row.oneFrom[i] = right;
                row.fullEnd = row.full;
            }
        }
        row.full = std::max(row.full, row.first);
        row.fullEnd = std::min(row.fullEnd, row.last);
        return row;
    }

    // The pixels of [left, right) of row y where every edge's term is above 0, [first, second):
    // outside them the product is 0 or was skipped below the threshold. With full set, where
    // every term is at least 1 instead: there the product is exactly 1.
    std::pair<int, int> within(double y, int left, int right, bool full) const {
        const double level = full ? 1.0 : 0.0;
        const auto inside = [full](double term) { return full ? term >= 1.0 : term > 0.0; };
        int first = left;
        int last = right;
        for (std::size_t i = 0; i < _count && first < last; ++i) {
            const EdgeRow edge = edgeRow(i, y);
            if (edge.slope > 0.0) {
                first = firstPixelWhere([&](int x) { return inside(edge.value(x)); }, first, last,
                                        edge.guessAt(level));
            } else if (edge.slope < 0.0) {
                last = firstPixelWhere([&](int x) { return !inside(edge.value(x)); }, first, last,
                                       edge.guessAt(level));
            } else if (!inside(edge.value(first))) {
                return {first, first};
            }
        }
        return {first, last};
    }

    // Calls visit(x) with each pixel x of [left, right) of row y where an edge's term stops
    // being at most 0 or starts being at least 1, in no order.
    template <typename Visit>
    void forEachChange(double y, int left, int right, Visit&& visit) const {
        for (std::size_t i = 0; i < _count; ++i) {
            const EdgeRow edge = edgeRow(i, y);
            if (!(edge.slope > 0.0 || edge.slope < 0.0)) {
                continue;
            }
            const bool rising = edge.slope > 0.0;
            for (const double level : {0.0, 1.0}) {
                const auto changed = [&](int x) {
                    const double term = edge.value(x);
                    const bool above = level == 0.0 ? term > 0.0 : term >= 1.0;
                    return above == rising;
                };
                visit(firstPixelWhere(changed, left, right, edge.guessAt(level)));
            }
        }
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
        if (paintsFill(mode)) {
            fill.include(extent);
        }
        if (paintsStroke(mode)) {
            outer.include(extent);
        }
        const Rect region = regionOf(extent, source);
        _moveBy(toDouble(region.getLeftTop()));
        return region;
    }

    // A fill alone is the product of its edges' factors: nothing outside where they are all
    // above 0, exactly fillAlpha where they are all 1. With a stroke, the row is cut wherever
    // any edge's factor saturates, and each piece is judged at one of its pixels.
    template <typename Out>
    void rowRuns(int y, int left, int right, Out& out) const {
        if (!enclosesArea) {
            return;
        }
        const double row = static_cast<double>(y);
        if (!paintsStroke(mode)) {
            const Outline::ProductRow product = fill.productRow(row, left, right);
            if (product.first >= product.last) {
                return;
            }
            if (product.full >= product.fullEnd) {
                _fillRamp(row, product, product.first, product.last, out);
                return;
            }
            _fillRamp(row, product, product.first, product.full, out);
            out.uniform(product.full, product.fullEnd, Coverage{fillAlpha, 0.0});
            _fillRamp(row, product, product.fullEnd, product.last, out);
            return;
        }
        _strokedRowRuns(row, left, right, out);
    }

    Coverage coverageAt(double x, double y) const {
        const auto [fillCoverage, strokeCoverage] = _evaluate<double>(Vector<double>(x, y));
        return {fillCoverage, strokeCoverage};
    }

private:
    template <typename Number>
    std::pair<Number, Number> _evaluate(const Vector<double>& s) const {
        if (!enclosesArea) {
            return {0.0, 0.0};
        }
        return paintedParts<Number>(
            mode, [&] { return fillAlpha * fill.coverageAt<Number>(s); },
            [&] {
                const Number a = strokeAlpha * outer.coverageAt<Number>(s);
                return a < coverageThreshold ? Number(0.0)
                                             : a * (1.0 - inner.coverageAt<Number>(s));
            });
    }

    // Pixels of a fill alone, each evaluated. Where every edge but one has its factor at 1 all
    // along the run, the product is that one factor exactly.
    template <typename Out>
    void _fillRamp(double y, const Outline::ProductRow& product, int begin, int end,
                   Out& out) const {
        if (begin >= end) {
            return;
        }
        const std::size_t edge = product.soleRamp(begin, end);
        if (edge == Outline::ProductRow::none) {
            out.varying(begin, end);
            return;
        }
        const Outline::EdgeRow ramp = fill.edgeRow(edge, y);
        out.varying(begin, end, [this, &ramp](int x) {
            return Coverage{fillAlpha * clamp01(ramp.value(x)), 0.0};
        });
    }

    // Only within the fill's and the stroke's outer outline can anything be drawn.
    template <typename Out>
    void _strokedRowRuns(double y, int left, int right, Out& out) const {
        auto [first, last] = outer.within(y, left, right, false);
        if (paintsFill(mode)) {
            const auto [fillFirst, fillLast] = fill.within(y, left, right, false);
            if (first >= last) {
                first = fillFirst;
                last = fillLast;
            } else if (fillFirst < fillLast) {
                first = std::min(first, fillFirst);
                last = std::max(last, fillLast);
            }
        }
        if (first >= last) {
            return;
        }
        std::array<int, 2 * 12 + 2> cuts{};
        std::size_t count = 0;
        cuts[count++] = first;
        cuts[count++] = last;
        const auto cut = [&cuts, &count](int x) { cuts[count++] = x; };
        if (paintsFill(mode)) {
            fill.forEachChange(y, first, last, cut);
        }
        outer.forEachChange(y, first, last, cut);
        inner.forEachChange(y, first, last, cut);
        std::sort(cuts.begin(), cuts.begin() + count);
        const bool strokePainted = strokeAlpha > coverageThreshold;
        for (std::size_t k = 0; k + 1 < count; ++k) {
            if (cuts[k] == cuts[k + 1]) {
                continue;
            }
            // No edge's factor changes state within the piece.
            const Vector<double> s(static_cast<double>(cuts[k]), y);
            const auto [fillKnown, strokeKnown] = _evaluate<ZoneValue>(s);
            const auto [fillCoverage, strokeCoverage] = _evaluate<double>(s);
            emitRun(out, cuts[k], cuts[k + 1],
                    zoneOf(Coverage{fillCoverage, strokeCoverage}, fillKnown.known(),
                           strokeKnown.known(), paintsFill(mode), strokePainted));
        }
    }

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
