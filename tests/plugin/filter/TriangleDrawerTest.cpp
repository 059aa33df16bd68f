#include "FilterHost.h"

#include "Ondrel/Filter/OndrelShapeGeometry.h"
#include "Ondrel/Filter/OndrelTriangleDrawer.h"
#include "Ondrel/OndrelBlend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace FilterTests {
namespace {

using OfflineHost::World;
using Ondrel::Layer;
using Ondrel::Rect;
using Ondrel::TriangleDrawer;
using Ondrel::Vector;
using Corners = std::array<Vector<double>, 3>;

TriangleDrawer::Parameter triangle(const Corners& c, int mode, double strokeWidth) {
    auto p = shapeParameter<TriangleDrawer::Parameter>(mode, strokeWidth);
    p.point1 = c[0];
    p.point2 = c[1];
    p.point3 = c[2];
    return p;
}

// The triangle as it must appear in the scratch layer. Each edge, taken clockwise on screen,
// gives the signed distance D of a sample point (positive inside); the fill is the product of
// clamp01(1 + D), the outer and inner triangles have every edge moved out or in by half the
// stroke width (D + h and D - h), and the stroke clamp01(w) * outer * (1 - inner) lies over the
// fill. Products run edge by edge and stop below 1e-6.
// A corner whose angle has a half sine under 1/10 (its miter would reach more than 10 h beyond
// it) is bevelled: the outer triangle is cut square to the corner's bisector, h sin(angle / 2)
// beyond the vertex, with a ramp like an edge's. A triangle whose inscribed circle is less than
// a pixel across fades, fill and stroke, by that diameter.
// Moving the edges by h agrees with scaling the triangle about its incentre only to rounding, so
// the whole-layer comparisons use corners off the pixel grid, where no coverage lands exactly on
// a depth's rounding boundary; the grid-aligned examples are checked pixel by pixel by hand.
struct ExpectedTriangle {
    Corners corners; // scratch pixels, either winding
    double strokeWidth;
    Colors colors;

    double product(double offset, int x, int y) const {
        Corners q = corners;
        if ((q[1].x - q[0].x) * (q[2].y - q[0].y) - (q[1].y - q[0].y) * (q[2].x - q[0].x) > 0) {
            std::swap(q[1], q[2]);
        }
        double result = 1.0;
        for (int i = 0; i < 3 && !(result < 1e-6); ++i) {
            const Vector<double> a = q[i];
            const Vector<double> b = q[(i + 1) % 3];
            const double length = std::hypot(b.x - a.x, b.y - a.y);
            const double d = ((b.x - a.x) * (a.y - y) - (b.y - a.y) * (a.x - x)) / length;
            result *= ramp(1.0 + d + offset);
        }
        return result;
    }
    double bevels(int x, int y) const {
        double result = 1.0;
        for (int i = 0; i < 3; ++i) {
            const Vector<double> v = corners[i];
            const Vector<double> p = corners[(i + 1) % 3];
            const Vector<double> q = corners[(i + 2) % 3];
            const double lp = std::hypot(p.x - v.x, p.y - v.y);
            const double lq = std::hypot(q.x - v.x, q.y - v.y);
            const Vector<double> up((p.x - v.x) / lp, (p.y - v.y) / lp);
            const Vector<double> uq((q.x - v.x) / lq, (q.y - v.y) / lq);
            const double halfSine = std::sin(std::acos(up.x * uq.x + up.y * uq.y) / 2.0);
            if (halfSine < 0.1) {
                // The outward bisector, away from both edges.
                const double bx = -(up.x + uq.x), by = -(up.y + uq.y), lb = std::hypot(bx, by);
                const double along = ((x - v.x) * bx + (y - v.y) * by) / lb;
                result *= ramp(1.0 + strokeWidth / 2.0 * halfSine - along);
            }
        }
        return result;
    }
    double fade() const {
        const Vector<double> a = corners[0], b = corners[1], c = corners[2];
        const double twiceArea = std::abs((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x));
        const double perimeter = std::hypot(b.x - a.x, b.y - a.y) +
                                 std::hypot(c.x - b.x, c.y - b.y) +
                                 std::hypot(a.x - c.x, a.y - c.y);
        return ramp(2.0 * twiceArea / perimeter);
    }
    double fillCoverage(int x, int y) const { return fade() * product(0.0, x, y); }
    double strokeCoverage(int x, int y) const {
        const double outer =
            fade() * ramp(strokeWidth) * product(strokeWidth / 2.0, x, y) * bevels(x, y);
        return outer < 1e-6 ? 0.0 : outer * (1.0 - product(-strokeWidth / 2.0, x, y));
    }
    ExpectedCoverage coverage(int x, int y) const {
        return {fillCoverage(x, y), strokeCoverage(x, y)};
    }
};

Corners moved(Corners c, const Vector<double>& by) {
    for (Vector<double>& p : c) {
        p += by;
    }
    return c;
}

// Corners of the source world in the pixels of a scratch layer covering region.
Corners inRegion(const Corners& c, const Rect& region) {
    return moved(c, -Ondrel::toDouble(region.getLeftTop()));
}

// The 3-4-5 right triangle: inradius 1, incentre (1, 1), listed counter-clockwise on screen.
const Corners rightTriangle{Vector<double>(0.0, 0.0), Vector<double>(4.0, 0.0),
                            Vector<double>(0.0, 3.0)};

template <typename Pixel>
class TriangleDrawerTest : public ShapeDrawerFixture<Pixel, TriangleDrawer> {
protected:
    // The expected triangle for p, whose corners are now at `corners` in the scratch layer.
    static ExpectedTriangle expected(const TriangleDrawer::Parameter& p, const Corners& corners,
                                     double strokeWidth) {
        return {corners, strokeWidth, {p.mode, p.fillColor, p.strokeColor}};
    }

    static Pixel at(const Layer& scratch, int x, int y) {
        return scratch.getPixels<Pixel>().row(y)[x];
    }
    static Pixel fillPixel(double a) { return coveredPixel<Pixel>(a, 0.8f, 0.4f, 0.1f); }
    static Pixel strokePixel(double a) { return coveredPixel<Pixel>(a, 0.1f, 0.3f, 0.9f); }

    static bool transparent(const Layer& scratch) {
        const Ondrel::PixelView<Pixel> view = scratch.getPixels<Pixel>();
        for (int y = 0; y < view.height; ++y) {
            for (int x = 0; x < view.width; ++x) {
                if (!samePixel(view.row(y)[x], Pixel{})) {
                    return false;
                }
            }
        }
        return true;
    }
};

TYPED_TEST_SUITE(TriangleDrawerTest, PixelTypes);

// Moved by (5, 5), the triangle's own pixel (x, y) is scratch pixel (x + 1, y + 1): the region
// starts one pixel before the vertices' bounds. The destination is wider than the region so that
// the ramps reaching past the acute vertex (4, 0) show.
TYPED_TEST(TriangleDrawerTest, RightTriangleFill) {
    TriangleDrawer::Parameter p = triangle(rightTriangle, 1, 2.0);
    p.position = Vector<double>(5.0, 5.0);
    World world(64, 48, TestFixture::D::host);
    Layer source(this->in(), this->out(), &world.effectWorld(), TestFixture::D::bpc);
    TriangleDrawer drawer(p);
    ASSERT_EQ(drawer.calcRegion(source), Rect(4, 4, 10, 9));
    Layer scratch(this->in(), this->out(), 9, 7, TestFixture::D::bpc);
    ASSERT_EQ(Ondrel::IterateFilter(this->in(), "draw", source, scratch, drawer), PF_Err_NONE);

    const auto pixel = [&](int x, int y) { return this->at(scratch, x + 1, y + 1); };
    for (const auto& [x, y] : {std::pair{0, 0}, {4, 0}, {0, 3}, {1, 1}}) {
        EXPECT_TRUE(samePixel(pixel(x, y), this->fillPixel(1.0))) << x << "," << y;
    }
    EXPECT_TRUE(samePixel(pixel(-1, 0), TypeParam{}));
    EXPECT_TRUE(samePixel(pixel(2, 2), this->fillPixel(0.6))) << "0.4 outside the long edge";
    EXPECT_TRUE(samePixel(pixel(5, 0), this->fillPixel(0.4))) << "past the acute vertex";
    EXPECT_TRUE(samePixel(pixel(6, 0), TypeParam{}));
}

// Stroke width 2 is twice the inradius: the outer triangle is the triangle scaled by 2 about the
// incentre, (-1, -1), (7, -1), (-1, 5), and the inner one collapses to the incentre, where the
// stroke vanishes. The triangle's own pixel (x, y) is scratch pixel (x + 2, y + 2).
TYPED_TEST(TriangleDrawerTest, StrokeAsWideAsTheInscribedCircle) {
    TriangleDrawer::Parameter p = triangle(rightTriangle, 2, 2.0);
    p.position = Vector<double>(5.0, 5.0);
    Rect region;
    const Layer stroke = this->draw(p, region);
    ASSERT_EQ(region, Rect(3, 3, 13, 11)) << "outer bounds (4, 4) to (12, 10)";
    const auto pixel = [&](const Layer& scratch, int x, int y) {
        return this->at(scratch, x + 2, y + 2);
    };
    EXPECT_TRUE(samePixel(pixel(stroke, 1, 1), TypeParam{})) << "the incentre";
    for (const auto& [x, y] : {std::pair{0, 0}, {-1, 0}, {1, 0}, {7, -1}}) {
        EXPECT_TRUE(samePixel(pixel(stroke, x, y), this->strokePixel(1.0))) << x << "," << y;
    }
    EXPECT_TRUE(samePixel(pixel(stroke, -2, 0), TypeParam{})) << "1 beyond the outer edge";
    // (2, 1) lies 0.4 from the long edge, so 0.4 inside the inner triangle's long edge.
    EXPECT_TRUE(samePixel(pixel(stroke, 2, 1), this->strokePixel(0.6)));

    p.mode = Ondrel::PaintMode::fillAndStroke;
    const Layer both = this->draw(p, region);
    ASSERT_EQ(region, Rect(3, 3, 13, 11));
    EXPECT_TRUE(samePixel(pixel(both, 1, 1), this->fillPixel(1.0)));
    EXPECT_TRUE(samePixel(pixel(both, 2, 1),
                          Ondrel::Blend::normal(this->fillPixel(1.0), this->strokePixel(0.6))));
    EXPECT_TRUE(samePixel(pixel(both, -1, 0), this->strokePixel(1.0)));
}

// A stroke wider than twice the inradius mirrors the inner triangle through the incentre. With
// width 3 its edges lie 1.5 inside, beyond the incentre, which is 1 from every edge, so the
// inner coverage there is (1 + 1 - 1.5)^3 and the stroke covers 1 - 0.125.
TYPED_TEST(TriangleDrawerTest, StrokeWiderThanTheInscribedCircle) {
    TriangleDrawer::Parameter p = triangle(rightTriangle, 2, 3.0);
    p.position = Vector<double>(5.0, 5.0);
    Rect region;
    const Layer scratch = this->draw(p, region);
    // k_out = 2.5: outer corners (-1.5, -1.5), (8.5, -1.5), (-1.5, 6), moved by (5, 5).
    ASSERT_EQ(region, Rect(2, 2, 15, 12));
    EXPECT_TRUE(samePixel(this->at(scratch, 4, 4), this->strokePixel(0.875)));

    // Inradius 6.39, half the width 7.75.
    const Corners c{Vector<double>(10.3, 4.6), Vector<double>(30.1, 12.2),
                    Vector<double>(14.8, 27.9)};
    const TriangleDrawer::Parameter wide = triangle(c, 3, 15.5);
    const Layer both = this->draw(wide, region);
    EXPECT_TRUE(this->matches(both, this->expected(wide, inRegion(c, region), 15.5)));
}

// The inner product stops at its first edge once that leaves it below 1e-6: moved 1e-7 left and
// half a pixel up, the triangle's point (1e-7, 0.5) has inner factors 1e-7 (left edge, the first
// after the swap), 1 and 0.5, so B = 1e-7 and not 5e-8, which float pixels tell apart.
TYPED_TEST(TriangleDrawerTest, InnerCoverageStopsAtTheFirstNegligibleProduct) {
    TriangleDrawer::Parameter p = triangle(rightTriangle, 2, 2.0);
    p.position = Vector<double>(5.0 - 1e-7, 4.5);
    Rect region;
    const Layer scratch = this->draw(p, region);
    ASSERT_EQ(region, Rect(2, 2, 13, 11));
    EXPECT_TRUE(samePixel(this->at(scratch, 3, 3), this->strokePixel(1.0 - 1e-7)));
}

// Width 0 draws no stroke; a width below one pixel fades the stroke in proportion.
TYPED_TEST(TriangleDrawerTest, ThinStrokes) {
    const Corners c{Vector<double>(10.3, 4.6), Vector<double>(30.1, 12.2),
                    Vector<double>(14.8, 27.9)};
    Rect region;
    EXPECT_TRUE(this->transparent(this->draw(triangle(c, 2, 0.0), region)));
    EXPECT_EQ(region, Rect(9, 3, 32, 29));
    const Layer fill = this->draw(triangle(c, 1, 0.0), region);
    EXPECT_FALSE(this->transparent(fill));
    const Layer both = this->draw(triangle(c, 3, 0.0), region);
    EXPECT_TRUE(this->matches(both, this->expected(triangle(c, 1, 0.0), moved(c, {-9, -3}), 0.0)));

    const TriangleDrawer::Parameter half = triangle(c, 2, 0.4);
    const Layer faded = this->draw(half, region);
    EXPECT_TRUE(this->matches(faded, this->expected(half, inRegion(c, region), 0.4)));
    EXPECT_FALSE(this->transparent(faded));
}

// A triangle thinner than a pixel fades, fill and stroke, by its inscribed circle's diameter,
// twice its area over its perimeter: at the middle of its long edge, inside every edge, the fill
// covers exactly that. One whose inscribed circle is a pixel across or more keeps full coverage.
TYPED_TEST(TriangleDrawerTest, ThinTrianglesFadeInProportion) {
    for (const double height : {0.5, 0.25, 0.01, 3.0}) {
        const Corners c{Vector<double>(10.0, 20.0), Vector<double>(50.0, 20.0),
                        Vector<double>(30.0, 20.0 + height)};
        const double diameter = 2.0 * 40.0 * height / (40.0 + 2.0 * std::hypot(20.0, height));
        Rect region;
        const Layer fill = this->draw(triangle(c, 1, 0.0), region);
        EXPECT_TRUE(samePixel(this->at(fill, 30 - region.left, 20 - region.top),
                              this->fillPixel(std::min(diameter, 1.0))))
            << "height " << height;
    }
    // Off the pixel grid, everywhere, with a stroke: inscribed circles 0.5, 0.2 and 0.02 across.
    for (const double height : {0.5, 0.2, 0.02}) {
        const Corners c{Vector<double>(10.3, 20.1), Vector<double>(50.7, 20.1 + height),
                        Vector<double>(30.2, 20.1 + 2.0 * height)};
        const TriangleDrawer::Parameter p = triangle(c, 3, 3.0);
        Rect region;
        const Layer scratch = this->draw(p, region);
        EXPECT_TRUE(this->matches(scratch, this->expected(p, inRegion(c, region), 3.0)))
            << "height " << height;
    }
}

// A corner whose miter would reach more than 10 half stroke widths beyond it is bevelled. Here
// the corner at (50, 25) has a half angle whose sine is 3 / sqrt(1609), so its miter would reach
// 2 sqrt(1609) / 3, about 26.7, beyond it; the bevel lies h sin = 6 / sqrt(1609) beyond it.
TYPED_TEST(TriangleDrawerTest, SharpCornersOfTheStrokeAreBevelled) {
    const Corners c{Vector<double>(50.0, 25.0), Vector<double>(10.0, 22.0),
                    Vector<double>(10.0, 28.0)};
    Rect region;
    const Layer scratch = this->draw(triangle(c, 2, 4.0), region);
    // The bevel's ends lie 2 out from the corner along the edges' normals, at x 50 + 6 /
    // sqrt(1609), where the miter's tip would have been 76.7; the base's corners keep their
    // miters, at x 8 and y 25 -+ (3 + 2 sqrt(1609) / 40 + 0.15).
    ASSERT_EQ(region, Rect(7, 18, 52, 32));
    const auto pixel = [&](int x, int y) { return this->at(scratch, x - 7, y - 18); };
    EXPECT_TRUE(samePixel(pixel(50, 25), this->strokePixel(1.0)));
    EXPECT_TRUE(samePixel(pixel(51, 25), this->strokePixel(6.0 / std::sqrt(1609.0))));
    // 60 / sqrt(1609) inside both long edges, so 60 / sqrt(1609) - 2 from the inner triangle's.
    const double inner = 60.0 / std::sqrt(1609.0) - 1.0;
    EXPECT_TRUE(samePixel(pixel(30, 25), this->strokePixel(1.0 - inner * inner)));

    // Off the grid, everywhere: corners of about 8.6 degrees are bevelled, one of about 12.1 keeps
    // its miter.
    for (const double halfBase : {3.0, 4.25}) {
        const Corners sharp{Vector<double>(50.3, 25.2), Vector<double>(10.3, 25.2 - halfBase),
                            Vector<double>(10.3, 25.2 + halfBase)};
        const TriangleDrawer::Parameter p = triangle(sharp, 3, 4.0);
        const Layer both = this->draw(p, region);
        EXPECT_TRUE(this->matches(both, this->expected(p, inRegion(sharp, region), 4.0)))
            << "half base " << halfBase;
    }
}

// All six listings of one triangle, both windings, give the same region and pixels.
TYPED_TEST(TriangleDrawerTest, EitherWindingGivesTheSamePixels) {
    Corners c{Vector<double>(6.5, 30.25), Vector<double>(41.0, 5.5), Vector<double>(50.2, 40.0)};
    std::sort(c.begin(), c.end(), [](auto a, auto b) { return a.x < b.x; });
    Rect firstRegion;
    const Layer first = this->draw(triangle(c, 3, 3.5), firstRegion);
    ASSERT_TRUE(
        this->matches(first, this->expected(triangle(c, 3, 3.5), inRegion(c, firstRegion), 3.5)));
    int listings = 0;
    while (std::next_permutation(c.begin(), c.end(), [](auto a, auto b) { return a.x < b.x; })) {
        Rect region;
        const Layer other = this->draw(triangle(c, 3, 3.5), region);
        EXPECT_EQ(region, firstRegion);
        const auto a = first.getPixels<TypeParam>();
        const auto b = other.getPixels<TypeParam>();
        int differing = 0;
        for (int y = 0; y < a.height; ++y) {
            for (int x = 0; x < a.width; ++x) {
                differing += samePixel(a.row(y)[x], b.row(y)[x]) ? 0 : 1;
            }
        }
        EXPECT_EQ(differing, 0) << "listing " << listings;
        ++listings;
    }
    EXPECT_EQ(listings, 5);
}

// Anchor, rotation, a negative scale, position and the source's origin place all three
// triangles; the stroke width follows the size of the scale.
TYPED_TEST(TriangleDrawerTest, TransformedFillAndStroke) {
    TriangleDrawer::Parameter p = triangle(
        {Vector<double>(28.0, 14.0), Vector<double>(40.0, 22.0), Vector<double>(26.0, 30.0)}, 3,
        1.6);
    p.anchorPoint = Vector<double>(30.0, 20.0);
    p.position = Vector<double>(3.0, 2.0);
    p.rotation = 0.4;
    p.scale = -1.25;
    Rect region;
    const Layer scratch = this->draw(p, region, 64, 48, -2, 5);

    Corners placed;
    double minX = 64, minY = 48, maxX = 0, maxY = 0;
    for (int i = 0; i < 3; ++i) {
        const Vector<double> v = i == 0 ? p.point1 : (i == 1 ? p.point2 : p.point3);
        const double dx = v.x - 30.0, dy = v.y - 20.0;
        placed[i] = Vector<double>((dx * std::cos(0.4) - dy * std::sin(0.4)) * -1.25 + 33.0 + 2.0,
                                   (dx * std::sin(0.4) + dy * std::cos(0.4)) * -1.25 + 22.0 - 5.0);
        minX = std::min(minX, placed[i].x);
        minY = std::min(minY, placed[i].y);
        maxX = std::max(maxX, placed[i].x);
        maxY = std::max(maxY, placed[i].y);
    }
    // Fill and stroke: the outer corners lie further out than the vertices, so the region holds
    // the vertices' bounds with room to spare.
    EXPECT_LE(region.left, static_cast<int>(std::floor(minX - 1.0)));
    EXPECT_LE(region.top, static_cast<int>(std::floor(minY - 1.0)));
    EXPECT_GE(region.right, static_cast<int>(std::ceil(maxX + 1.0)));
    EXPECT_GE(region.bottom, static_cast<int>(std::ceil(maxY + 1.0)));
    EXPECT_TRUE(this->matches(scratch, this->expected(p, inRegion(placed, region), 2.0)));

    // Fill only: the vertices alone bound the region.
    p.mode = Ondrel::PaintMode::fill;
    const Layer fill = this->draw(p, region, 64, 48, -2, 5);
    EXPECT_EQ(region, Rect(static_cast<int>(std::floor(minX - 1.0)),
                           static_cast<int>(std::floor(minY - 1.0)),
                           static_cast<int>(std::ceil(maxX + 1.0)),
                           static_cast<int>(std::ceil(maxY + 1.0))));
    EXPECT_TRUE(this->matches(fill, this->expected(p, inRegion(placed, region), 2.0)));
}

// The bounds start from the world's far edges, so a triangle beyond the world's left edge keeps a
// one-pixel column, and one reaching beyond the world is cut at its edges.
TYPED_TEST(TriangleDrawerTest, RegionsReachIntoTheWorld) {
    Rect region;
    const Corners outside{Vector<double>(-90.0, 10.0), Vector<double>(-50.0, 12.0),
                          Vector<double>(-70.0, 20.0)};
    EXPECT_TRUE(this->transparent(this->draw(triangle(outside, 1, 0.0), region)));
    EXPECT_EQ(region, Rect(0, 9, 1, 21));

    const Corners across{Vector<double>(-20.0, 30.0), Vector<double>(80.0, 20.0),
                         Vector<double>(30.0, 60.0)};
    const TriangleDrawer::Parameter p = triangle(across, 1, 4.0);
    const Layer scratch = this->draw(p, region);
    EXPECT_EQ(region, Rect(0, 19, 64, 48));
    EXPECT_TRUE(this->matches(scratch, this->expected(p, moved(across, {0, -19}), 4.0)));

    // Scaled about a point inside it until its corners lie some 1e14 pixels away, it covers the
    // whole world; the region's edges are limited before they become ints.
    TriangleDrawer::Parameter huge = triangle(rightTriangle, 1, 2.0);
    huge.anchorPoint = Vector<double>(1.0, 1.0);
    huge.position = Vector<double>(30.0, 20.0);
    huge.scale = 3e13;
    const Layer covering = this->draw(huge, region);
    ASSERT_EQ(region, Rect(0, 0, 64, 48));
    const Ondrel::PixelView<TypeParam> view = covering.getPixels<TypeParam>();
    int full = 0;
    for (int y = 0; y < view.height; ++y) {
        for (int x = 0; x < view.width; ++x) {
            full += samePixel(view.row(y)[x], this->fillPixel(1.0)) ? 1 : 0;
        }
    }
    EXPECT_EQ(full, 64 * 48);
}

// Collinear or coincident points, corners merged by a scale of 0 or one so small that rounding
// merges them, or coordinates too large to place, enclose nothing: nothing to draw, in any mode.
TYPED_TEST(TriangleDrawerTest, DegenerateTrianglesDrawNothing) {
    constexpr double huge = std::numeric_limits<double>::max();
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    const Corners cases[] = {
        {Vector<double>(5.0, 5.0), Vector<double>(20.0, 20.0), Vector<double>(12.5, 12.5)},
        // Heron's formula leaves these a rounding error of inradius, about 1e-7.
        {Vector<double>(1.0, 25.0), Vector<double>(28.0, 28.0), Vector<double>(19.0, 27.0)},
        {Vector<double>(19.0, 12.0), Vector<double>(17.0, 14.0), Vector<double>(13.0, 18.0)},
        {Vector<double>(3.0, 9.0), Vector<double>(30.0, 9.0), Vector<double>(3.0, 9.0)},
        {Vector<double>(7.0, 7.0), Vector<double>(7.0, 7.0), Vector<double>(7.0, 7.0)},
        {Vector<double>(-huge, 0.0), Vector<double>(huge, 0.0), Vector<double>(0.0, huge)},
        {Vector<double>(1e200, 5.0), Vector<double>(2e200, 5.0), Vector<double>(0.0, 4e200)},
        {Vector<double>(nan, 5.0), Vector<double>(20.0, 5.0), Vector<double>(10.0, 30.0)},
    };
    for (const int mode : {1, 2, 3}) {
        for (const Corners& c : cases) {
            EXPECT_TRUE(this->drawsNothing(triangle(c, mode, 6.0)))
                << c[0].x << "," << c[1].x << ", mode " << mode;
        }
        for (const double scale : {0.0, -0.0, 1e-300}) {
            TriangleDrawer::Parameter p = triangle(rightTriangle, mode, 2.0);
            p.anchorPoint = Vector<double>(20.0, 20.0);
            p.rotation = 0.3;
            p.scale = scale;
            EXPECT_TRUE(this->drawsNothing(p)) << "scale " << scale << ", mode " << mode;
        }
    }
    TriangleDrawer::Parameter p = triangle(rightTriangle, 3, 2.0);
    p.scale = 1e308;
    EXPECT_TRUE(this->drawsNothing(p));
}

} // namespace
} // namespace FilterTests
