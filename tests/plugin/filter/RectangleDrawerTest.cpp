#include "FilterHost.h"

#include "Ondrel/Filter/OndrelRectangleDrawer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace FilterTests {
namespace {

using Ondrel::Layer;
using Ondrel::Rect;
using Ondrel::RectangleDrawer;
using Ondrel::Vector;

using Corners = std::array<Vector<double>, 4>;

RectangleDrawer::Parameter twoPoints(Vector<double> p1, Vector<double> p2, int mode,
                                     double strokeWidth) {
    auto p = shapeParameter<RectangleDrawer::Parameter>(mode, strokeWidth);
    p.controlledBy = RectangleDrawer::byTwoPoints;
    p.point1 = p1;
    p.point2 = p2;
    return p;
}

RectangleDrawer::Parameter centred(Vector<double> center, double width, double height, int mode,
                                   double strokeWidth) {
    RectangleDrawer::Parameter p = twoPoints({}, {}, mode, strokeWidth);
    p.controlledBy = RectangleDrawer::byWidthAndHeight;
    p.center = center;
    p.width = width;
    p.height = height;
    return p;
}

// The rectangle as it must appear in the scratch layer, from the written-out rules: with u the
// unit vector from corner 0 to corner 1 (length L), v from corner 0 to corner 3 (2 hh) and q = s
// minus the middle of corners 0 and 3: t = q . u, n = |q . v|, so a sample point lies t, L - t
// and hh - n inside the rectangle's edges. The fill ramps lie outside the edges. The stroke is
// the band h to either side of every edge, every ramp inside the band: the rectangle grown by h
// with its ramps inside, less the rectangle shrunk by h with its ramps outside.
struct ExpectedRectangle {
    Corners c; // scratch-layer pixels
    double strokeWidth;
    Colors colors;

    ExpectedCoverage coverage(int x, int y) const {
        const auto unit = [](Vector<double> a, Vector<double> b, double& length) {
            const double dx = b.x - a.x, dy = b.y - a.y;
            length = std::sqrt(dx * dx + dy * dy);
            return length > 0.0 ? Vector<double>(dx / length, dy / length) : Vector<double>();
        };
        double L = 0.0, side = 0.0;
        const Vector<double> u = unit(c[0], c[1], L), v = unit(c[0], c[3], side);
        const double qx = x - (c[0].x + c[3].x) / 2.0, qy = y - (c[0].y + c[3].y) / 2.0;
        const double t = qx * u.x + qy * u.y;
        const double n = std::abs(qx * v.x + qy * v.y);
        const double inside[] = {t, L - t, side / 2.0 - n};
        const double h = strokeWidth / 2.0;
        double fill = 1.0, grown = 1.0, shrunk = 1.0;
        for (const double d : inside) {
            fill *= ramp(1.0 + d);
            grown *= ramp(d + h);
            shrunk *= ramp(1.0 + d - h);
        }
        return {fill, ramp(strokeWidth) * grown * (1.0 - shrunk)};
    }
};

// The rectangle's region rule: the minima start from the world's width and height, the maxima
// from 0; then floor(min - 1) and ceil(max + 1), clamped to the world.
Rect rectangleRegion(const Corners& c, double e, int width, int height) {
    double minX = width, minY = height, maxX = 0.0, maxY = 0.0;
    for (const Vector<double>& p : c) {
        minX = std::min(minX, p.x - e);
        minY = std::min(minY, p.y - e);
        maxX = std::max(maxX, p.x + e);
        maxY = std::max(maxY, p.y + e);
    }
    const auto clampTo = [](double v, int limit) {
        return static_cast<int>(std::min(std::max(v, 0.0), static_cast<double>(limit)));
    };
    return Rect(clampTo(std::floor(minX - 1.0), width), clampTo(std::floor(minY - 1.0), height),
                clampTo(std::ceil(maxX + 1.0), width), clampTo(std::ceil(maxY + 1.0), height));
}

template <typename Pixel>
class RectangleDrawerTest : public ShapeDrawerFixture<Pixel, RectangleDrawer> {
protected:
    // The expectation for a rectangle whose corners land at c in source-world pixels.
    static ExpectedRectangle expected(const RectangleDrawer::Parameter& p, const Rect& region,
                                      Corners c, double strokeWidth) {
        for (Vector<double>& corner : c) {
            corner -= Vector<double>(region.left, region.top);
        }
        return {c, strokeWidth, {p.mode, p.fillColor, p.strokeColor}};
    }

    // Exactly the source pixels from (left, top) to (right, bottom) inclusive hold want.
    static void expectBlock(const Layer& scratch, const Rect& region, Rect inclusive,
                            const Pixel& want) {
        const Ondrel::PixelView<Pixel> view = scratch.getPixels<Pixel>();
        for (int y = region.top; y < region.bottom; ++y) {
            for (int x = region.left; x < region.right; ++x) {
                const bool inside = x >= inclusive.left && x <= inclusive.right &&
                                    y >= inclusive.top && y <= inclusive.bottom;
                EXPECT_TRUE(
                    samePixel(view.row(y - region.top)[x - region.left], inside ? want : Pixel{}))
                    << x << ", " << y;
            }
        }
    }
};

TYPED_TEST_SUITE(RectangleDrawerTest, PixelTypes);

const Corners exampleCorners{Vector<double>(10.0, 10.0), Vector<double>(14.0, 10.0),
                             Vector<double>(14.0, 13.0), Vector<double>(10.0, 13.0)};

// Corners on whole pixels cover their own pixels fully; both ways of giving the rectangle, and
// either order of the points, give the same corners.
TYPED_TEST(RectangleDrawerTest, BothFormsCoverExactlyTheirPixels) {
    const TypeParam full = coveredPixel<TypeParam>(1.0, 0.8f, 0.4f, 0.1f);
    Rect first;
    const Layer reference = this->draw(twoPoints({10.0, 10.0}, {14.0, 13.0}, 1, 2.0), first);
    ASSERT_EQ(first, Rect(9, 9, 15, 14));
    this->expectBlock(reference, first, Rect(10, 10, 14, 13), full);
    EXPECT_TRUE(
        this->matches(reference, this->expected(twoPoints({10.0, 10.0}, {14.0, 13.0}, 1, 2.0),
                                                first, exampleCorners, 2.0)));

    for (const RectangleDrawer::Parameter& p :
         {centred({12.0, 11.5}, 4.0, 3.0, 1, 2.0), twoPoints({14.0, 13.0}, {10.0, 10.0}, 1, 2.0),
          twoPoints({14.0, 10.0}, {10.0, 13.0}, 1, 2.0)}) {
        Rect region;
        const Layer scratch = this->draw(p, region);
        EXPECT_EQ(region, first) << "controlled by " << p.controlledBy;
        EXPECT_TRUE(sameLayers<TypeParam>(scratch, reference))
            << "controlled by " << p.controlledBy;
    }
}

// A rectangle without area has nothing to fill or stroke, in any mode, turned or not: no width,
// no height, the two points on one spot or one above the other, a scale of 0, or a controlledBy
// that names neither form and so puts every corner at (0, 0).
TYPED_TEST(RectangleDrawerTest, RectanglesWithoutAreaDrawNothing) {
    RectangleDrawer::Parameter scaledToNothing = twoPoints({10.0, 10.0}, {30.0, 20.0}, 1, 4.0);
    scaledToNothing.scale = 0.0;
    RectangleDrawer::Parameter neitherForm = centred({30.0, 20.0}, 10.0, 8.0, 1, 4.0);
    neitherForm.point1 = Vector<double>(5.0, 5.0);
    neitherForm.point2 = Vector<double>(25.0, 30.0);
    neitherForm.controlledBy = 3;
    for (RectangleDrawer::Parameter p :
         {centred({20.0, 20.0}, 0.0, 6.0, 1, 4.0), centred({20.0, 20.0}, 6.0, 0.0, 1, 4.0),
          centred({20.0, 20.0}, 0.0, 0.0, 1, 4.0), twoPoints({12.5, 9.0}, {12.5, 9.0}, 1, 4.0),
          twoPoints({12.0, 9.0}, {12.0, 30.0}, 1, 4.0), scaledToNothing, neitherForm}) {
        p.anchorPoint = Vector<double>(5.0, 5.0);
        p.position = Vector<double>(20.0, 15.0);
        for (const double rotation : {0.0, 0.7}) {
            p.rotation = rotation;
            for (const int mode : {1, 2, 3}) {
                p.mode = static_cast<Ondrel::PaintMode>(mode);
                EXPECT_TRUE(this->drawsNothing(p))
                    << "controlled by " << p.controlledBy << ", " << p.width << " x " << p.height
                    << ", scale " << p.scale << ", rotation " << rotation << ", mode " << mode;
            }
        }
    }
}

// A rectangle a quarter of a pixel wide still draws: the column it lies on fully and, its fill
// ramps lying outside its edges, the columns 0.875 beyond them with 0.125.
TYPED_TEST(RectangleDrawerTest, ASliverStillDraws) {
    Rect region;
    const Layer scratch = this->draw(centred({20.0, 20.0}, 0.25, 6.0, 1, 4.0), region);
    ASSERT_EQ(region, Rect(18, 16, 22, 24));
    const TypeParam full = coveredPixel<TypeParam>(1.0, 0.8f, 0.4f, 0.1f);
    const TypeParam edge = coveredPixel<TypeParam>(0.125, 0.8f, 0.4f, 0.1f);
    EXPECT_TRUE(matchesEverywhere<TypeParam>(scratch, [&](int x, int y) {
        if (y < 1) {
            return TypeParam{};
        }
        return x == 2 ? full : (x == 1 || x == 3 ? edge : TypeParam{});
    }));
}

// Stroke width 0: stroke only draws nothing at all, fill and stroke draws just the fill.
TYPED_TEST(RectangleDrawerTest, ZeroStrokeWidthDrawsNoStroke) {
    Rect region;
    const Layer strokeOnly = this->draw(twoPoints({8.0, 9.5}, {30.5, 22.0}, 2, 0.0), region);
    ASSERT_EQ(region, Rect(7, 8, 32, 23));
    EXPECT_TRUE(matchesEverywhere<TypeParam>(strokeOnly, [](int, int) { return TypeParam{}; }));

    const Layer both = this->draw(twoPoints({8.0, 9.5}, {30.5, 22.0}, 3, 0.0), region);
    const Layer fillOnly = this->draw(twoPoints({8.0, 9.5}, {30.5, 22.0}, 1, 0.0), region);
    EXPECT_TRUE(sameLayers<TypeParam>(both, fillOnly));
}

// The stroke band is centred on the edges, h to either side, with its ramps inside the band, on
// every side alike; near the corners it runs on along the sides, so the corners are closed.
TYPED_TEST(RectangleDrawerTest, StrokeIsCentredOnTheEdges) {
    // L 20, hh 5, h 2, startPoint (10, 15). Across the ends the band is full from t -1 to 1 and
    // from 19 to 21; along the sides from n 4 to 6; the ramps end at t -2, 2, 18 and 22 and at n 3
    // and 7.
    const RectangleDrawer::Parameter p = twoPoints({10.0, 10.0}, {30.0, 20.0}, 2, 4.0);
    Rect region;
    const Layer scratch = this->draw(p, region);
    ASSERT_EQ(region, Rect(5, 5, 35, 25));
    const Corners corners{Vector<double>(10.0, 10.0), Vector<double>(30.0, 10.0),
                          Vector<double>(30.0, 20.0), Vector<double>(10.0, 20.0)};
    EXPECT_TRUE(this->matches(scratch, this->expected(p, region, corners, 4.0)));

    const TypeParam stroke = coveredPixel<TypeParam>(1.0, 0.1f, 0.3f, 0.9f);
    const auto expectAt = [&](int x, int y, const TypeParam& want) {
        EXPECT_TRUE(
            samePixel(scratch.getPixels<TypeParam>().row(y - region.top)[x - region.left], want))
            << x << ", " << y;
    };
    expectAt(8, 15, TypeParam{});  // t -2
    expectAt(9, 15, stroke);       // t -1
    expectAt(11, 15, stroke);      // t 1
    expectAt(12, 15, TypeParam{}); // t 2
    expectAt(20, 15, TypeParam{}); // the centre
    expectAt(20, 12, TypeParam{}); // n 3
    expectAt(20, 11, stroke);      // n 4
    expectAt(20, 9, stroke);       // n 6
    expectAt(20, 8, TypeParam{});  // n 7
    expectAt(9, 9, stroke);        // outside the corner
    expectAt(31, 21, stroke);      // outside the opposite corner
    expectAt(12, 12, TypeParam{}); // the inside corner of the band
    expectAt(11, 11, stroke);
    expectAt(29, 15, stroke);      // t 19
    expectAt(28, 15, TypeParam{}); // t 18
    expectAt(32, 15, TypeParam{}); // t 22
}

// A stroke of even width is as wide on every side, with the same ramps: a rectangle and the same
// rectangle mirrored across the diagonal x = y draw mirrored pixels, on the grid and off it.
TYPED_TEST(RectangleDrawerTest, EverySideOfTheStrokeIsAlike) {
    const auto mirrored = [](Vector<double> v) { return Vector<double>(v.y, v.x); };
    for (const double width : {8.0, 3.0, 5.5}) {
        for (const auto& [a, b] :
             {std::pair{Vector<double>(10.0, 12.0), Vector<double>(40.0, 32.0)},
              {Vector<double>(10.25, 12.5), Vector<double>(40.75, 32.25)}}) {
            Rect region;
            Rect mirroredRegion;
            const Layer scratch = this->draw(twoPoints(a, b, 2, width), region, 64, 64);
            const Layer other =
                this->draw(twoPoints(mirrored(a), mirrored(b), 2, width), mirroredRegion, 64, 64);
            ASSERT_EQ(mirroredRegion, Rect(region.top, region.left, region.bottom, region.right));
            const auto view = other.getPixels<TypeParam>();
            EXPECT_TRUE(matchesEverywhere<TypeParam>(
                scratch, [&view](int x, int y) { return view.row(x)[y]; }))
                << "width " << width << " from " << a.x << ", " << a.y;
        }
    }
    // Stroke width 8 on the grid: 7 pixels fully covered across the middle of each side, between
    // the ramps' empty ends 4 from the edge.
    Rect region;
    const Layer scratch = this->draw(twoPoints({10.0, 12.0}, {40.0, 32.0}, 2, 8.0), region);
    const TypeParam stroke = coveredPixel<TypeParam>(1.0, 0.1f, 0.3f, 0.9f);
    const auto at = [&](int x, int y) {
        return scratch.getPixels<TypeParam>().row(y - region.top)[x - region.left];
    };
    for (int d = -4; d <= 4; ++d) {
        const TypeParam want = d == -4 || d == 4 ? TypeParam{} : stroke;
        EXPECT_TRUE(samePixel(at(10 + d, 22), want)) << "left, " << d;
        EXPECT_TRUE(samePixel(at(40 + d, 22), want)) << "right, " << d;
        EXPECT_TRUE(samePixel(at(25, 12 + d), want)) << "top, " << d;
        EXPECT_TRUE(samePixel(at(25, 32 + d), want)) << "bottom, " << d;
    }
}

// Anchor, rotation, negative scale, position and the source's origin place the four corners,
// for both forms; the stroke width follows |scale|, the size scales through the corners.
TYPED_TEST(RectangleDrawerTest, TransformedRectanglesMatchTheFormulas) {
    const double angle = -0.35, scale = -1.25;
    const auto place = [&](double x, double y) {
        // (p - anchor) turned, scaled, plus anchor and position, minus the origin (5, -2).
        const double dx = x - 24.0, dy = y - 18.0;
        return Vector<double>(
            (dx * std::cos(angle) - dy * std::sin(angle)) * scale + 24.0 + 9.0 - 5.0,
            (dx * std::sin(angle) + dy * std::cos(angle)) * scale + 18.0 + 4.0 + 2.0);
    };
    // Corner 0 is the smaller x and y of the points, going round clockwise on screen.
    const Corners corners{place(12.0, 14.5), place(33.0, 14.5), place(33.0, 29.0),
                          place(12.0, 29.0)};
    for (const int mode : {1, 2, 3}) {
        for (RectangleDrawer::Parameter p : {twoPoints({33.0, 14.5}, {12.0, 29.0}, mode, 3.0),
                                             centred({22.5, 21.75}, 21.0, 14.5, mode, 3.0)}) {
            p.anchorPoint = Vector<double>(24.0, 18.0);
            p.position = Vector<double>(9.0, 4.0);
            p.rotation = angle;
            p.scale = scale;
            Rect region;
            const Layer scratch = this->draw(p, region, 64, 48, 5, -2);
            const double e = mode == 1 ? 0.0 : 3.75;
            ASSERT_EQ(region, rectangleRegion(corners, e, 64, 48));
            EXPECT_TRUE(this->matches(scratch, this->expected(p, region, corners, 3.75)))
                << "mode " << mode << ", controlled by " << p.controlledBy;
        }
    }
}

// The minima start from the world's size and the maxima from 0, so a rectangle wholly outside
// the world still gets a one-pixel region at the world's nearest corner, and draws nothing there.
TYPED_TEST(RectangleDrawerTest, RectanglesOutsideTheWorldKeepAOnePixelRegion) {
    Rect region;
    const Layer before = this->draw(twoPoints({-50.0, -50.0}, {-40.0, -40.0}, 3, 2.0), region);
    EXPECT_EQ(region, Rect(0, 0, 1, 1));
    EXPECT_TRUE(matchesEverywhere<TypeParam>(before, [](int, int) { return TypeParam{}; }));
    const Layer after = this->draw(twoPoints({100.0, 90.0}, {120.0, 110.0}, 1, 2.0), region);
    EXPECT_EQ(region, Rect(63, 47, 64, 48));
    EXPECT_TRUE(matchesEverywhere<TypeParam>(after, [](int, int) { return TypeParam{}; }));
}

} // namespace
} // namespace FilterTests
