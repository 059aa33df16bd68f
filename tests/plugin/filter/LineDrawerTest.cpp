#include "FilterHost.h"

#include "Ondrel/Filter/OndrelLineDrawer.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <type_traits>
#include <utility>

namespace FilterTests {
namespace {

using Ondrel::Layer;
using Ondrel::LineDrawer;
using Ondrel::Rect;
using Ondrel::Vector;

LineDrawer::Parameter line(Vector<double> p1, Vector<double> p2, double thickness, int cap,
                           int mode, double strokeWidth) {
    auto p = shapeParameter<LineDrawer::Parameter>(mode, strokeWidth);
    p.cap = cap;
    p.thickness = thickness;
    p.point1 = p1;
    p.point2 = p2;
    return p;
}

// The line as it must appear in the scratch layer, from the written-out rules. With u the unit
// vector from p1 to p2 and q = s - p1: t = q . u, n = |q . (u.y, -u.x)|; ht and h are half the
// thickness and half the stroke width, outer = ht + h, inner = ht - h, sa = clamp01(strokeWidth).
struct ExpectedLine {
    Vector<double> p1;
    Vector<double> p2;
    double thickness;
    double strokeWidth;
    int cap;
    Colors colors;

    ExpectedCoverage coverage(int x, int y) const {
        const double dx = p2.x - p1.x, dy = p2.y - p1.y;
        const double length = std::sqrt(dx * dx + dy * dy);
        const double ux = dx / length, uy = dy / length;
        const double qx = x - p1.x, qy = y - p1.y;
        const double t = qx * ux + qy * uy;
        const double n = std::abs(qx * uy - qy * ux);
        const double ht = thickness / 2.0, h = strokeWidth / 2.0;
        const double outer = ht + h, inner = ht - h, sa = ramp(strokeWidth);

        ExpectedCoverage c;
        if (cap != 1) {
            double d = n;
            if (t < 0.0) {
                d = std::hypot(x - p1.x, y - p1.y);
            } else if (t >= length) {
                d = std::hypot(x - p2.x, y - p2.y);
            }
            c.fill = ramp(ht - d);
            c.stroke = ramp(outer - d) * sa * (1.0 - ramp(inner - d));
            return c;
        }
        c.fill = ramp(1.0 + t) * ramp(length - t) * ramp(ht - n);
        if (t < h + 0.5) {
            c.stroke = ramp(1.0 + t + h) * sa;
            if (n < inner - 0.5) {
                c.stroke *= ramp(h - t);
            }
            c.stroke *= ramp(outer - n);
        } else if (t < length - h - 0.5) {
            c.stroke = ramp(outer - n) * sa * (1.0 - ramp(inner - n));
        } else {
            const double f = n < inner - 0.5 ? ramp(t - (length - h)) * sa : sa;
            c.stroke = f * ramp(length + h - t) * ramp(outer - n);
        }
        return c;
    }
};

// The line's region rule in source-world pixels: floor(min - e) - 1 and ceil(max + e) + 1,
// clamped to the world; e the thickness, plus the stroke width unless the mode is fill only.
Rect lineRegion(Vector<double> a, Vector<double> b, double e, int width, int height) {
    const auto clampTo = [](double v, int limit) {
        return static_cast<int>(std::min(std::max(v, 0.0), static_cast<double>(limit)));
    };
    return Rect(clampTo(std::floor(std::min(a.x, b.x) - e) - 1.0, width),
                clampTo(std::floor(std::min(a.y, b.y) - e) - 1.0, height),
                clampTo(std::ceil(std::max(a.x, b.x) + e) + 1.0, width),
                clampTo(std::ceil(std::max(a.y, b.y) + e) + 1.0, height));
}

template <typename Pixel>
class LineDrawerTest : public ShapeDrawerFixture<Pixel, LineDrawer> {
protected:
    // The expectation for a line whose points land at a and b in source-world pixels.
    static ExpectedLine expected(const LineDrawer::Parameter& p, const Rect& region,
                                 Vector<double> a, Vector<double> b, double thickness,
                                 double strokeWidth) {
        const Vector<double> leftTop(region.left, region.top);
        a -= leftTop;
        b -= leftTop;
        return {a, b, thickness, strokeWidth, p.cap, {p.mode, p.fillColor, p.strokeColor}};
    }

    static Pixel at(const Layer& scratch, const Rect& region, int sourceX, int sourceY) {
        return scratch.getPixels<Pixel>().row(sourceY - region.top)[sourceX - region.left];
    }
};

TYPED_TEST_SUITE(LineDrawerTest, PixelTypes);

TYPED_TEST(LineDrawerTest, ButtLineCoversExactlyItsPixels) {
    const LineDrawer::Parameter p =
        line(Vector<double>(10.0, 10.0), Vector<double>(20.0, 10.0), 4.0, 1, 1, 3.0);
    Rect region;
    const Layer scratch = this->draw(p, region);
    ASSERT_EQ(region, Rect(5, 5, 25, 15));

    const TypeParam full = coveredPixel<TypeParam>(1.0, 0.8f, 0.4f, 0.1f);
    for (int y = region.top; y < region.bottom; ++y) {
        for (int x = region.left; x < region.right; ++x) {
            const bool covered = x >= 10 && x <= 19 && y >= 9 && y <= 11;
            EXPECT_TRUE(samePixel(this->at(scratch, region, x, y), covered ? full : TypeParam{}))
                << x << ", " << y;
        }
    }
    EXPECT_TRUE(this->matches(scratch, this->expected(p, region, p.point1, p.point2, 4.0, 3.0)));
}

// Round caps add a half disc of radius 2 at each end; every cap value but 1 is round.
TYPED_TEST(LineDrawerTest, RoundCapsAddHalfDiscs) {
    Rect region;
    const Layer round = this->draw(
        line(Vector<double>(10.0, 10.0), Vector<double>(20.0, 10.0), 4.0, 2, 1, 0.0), region);
    ASSERT_EQ(region, Rect(5, 5, 25, 15));
    const TypeParam full = coveredPixel<TypeParam>(1.0, 0.8f, 0.4f, 0.1f);
    for (const auto& [x, y] :
         std::array<std::pair<int, int>, 5>{{{9, 10}, {20, 10}, {21, 10}, {10, 9}, {19, 11}}}) {
        EXPECT_TRUE(samePixel(this->at(round, region, x, y), full)) << x << ", " << y;
    }
    EXPECT_TRUE(samePixel(this->at(round, region, 9, 11),
                          coveredPixel<TypeParam>(2.0 - std::sqrt(2.0), 0.8f, 0.4f, 0.1f)));
    EXPECT_TRUE(samePixel(this->at(round, region, 8, 10), TypeParam{}));
    EXPECT_TRUE(samePixel(this->at(round, region, 22, 10), TypeParam{}));
    const LineDrawer::Parameter p =
        line(Vector<double>(10.0, 10.0), Vector<double>(20.0, 10.0), 4.0, 2, 1, 0.0);
    EXPECT_TRUE(this->matches(round, this->expected(p, region, p.point1, p.point2, 4.0, 0.0)));

    for (const int cap : {0, 3, -7}) {
        Rect other;
        const Layer scratch = this->draw(
            line(Vector<double>(10.0, 10.0), Vector<double>(20.0, 10.0), 4.0, cap, 1, 0.0), other);
        EXPECT_EQ(other, region);
        EXPECT_TRUE(samePixel(this->at(scratch, other, 21, 10), full)) << "cap " << cap;
        EXPECT_TRUE(sameLayers<TypeParam>(scratch, round)) << "cap " << cap;
    }
}

// Coincident points with round caps draw the disc the caps make: every pixel, fill and stroke,
// as far from the point as the disc's own rules say, and nothing beyond the disc's margin.
TYPED_TEST(LineDrawerTest, CoincidentPointsWithRoundCapsDrawADisc) {
    // Half the thickness 3; the stroke, 2 wide, spans 2 to 4 from the point.
    const LineDrawer::Parameter p =
        line(Vector<double>(20.0, 20.0), Vector<double>(20.0, 20.0), 6.0, 2, 3, 2.0);
    Rect region;
    const Layer scratch = this->draw(p, region);
    ASSERT_EQ(region, Rect(11, 11, 29, 29));
    const Colors colors{p.mode, p.fillColor, p.strokeColor};
    EXPECT_TRUE(matchesEverywhere<TypeParam>(scratch, [&](int x, int y) {
        const double d = std::hypot(x + region.left - 20.0, y + region.top - 20.0);
        return shapePixel<TypeParam>(colors, {ramp(3.0 - d), ramp(4.0 - d) * ramp(d - 1.0)});
    }));
    // At the point only the fill; 2 away the stroke covers fully, over a full fill; 4 away nothing.
    const TypeParam fill = coveredPixel<TypeParam>(1.0, 0.8f, 0.4f, 0.1f);
    EXPECT_TRUE(samePixel(this->at(scratch, region, 20, 20), fill));
    EXPECT_TRUE(
        samePixel(this->at(scratch, region, 22, 20),
                  Ondrel::Blend::normal(fill, coveredPixel<TypeParam>(1.0, 0.1f, 0.3f, 0.9f))));
    EXPECT_TRUE(samePixel(this->at(scratch, region, 20, 24), TypeParam{}));
}

// Butt caps square off a segment's ends, so a segment of no length, given so or scaled to
// nothing, has nothing to draw, in any mode.
TYPED_TEST(LineDrawerTest, ButtLinesOfNoLengthDrawNothing) {
    for (const int mode : {1, 2, 3}) {
        EXPECT_TRUE(this->drawsNothing(
            line(Vector<double>(20.0, 20.0), Vector<double>(20.0, 20.0), 10.0, 1, mode, 4.0)))
            << "mode " << mode;
        LineDrawer::Parameter p =
            line(Vector<double>(10.0, 20.0), Vector<double>(30.0, 25.0), 10.0, 1, mode, 4.0);
        p.scale = 0.0;
        EXPECT_TRUE(this->drawsNothing(p)) << "scale 0, mode " << mode;
    }
}

// Thickness 0 draws no body; the stroke is still a band of the stroke width along the segment,
// with butt or round ends.
TYPED_TEST(LineDrawerTest, ZeroThicknessStrokesOnlyABand) {
    for (const int cap : {1, 2}) {
        LineDrawer::Parameter p =
            line(Vector<double>(10.0, 20.0), Vector<double>(30.0, 20.0), 0.0, cap, 3, 4.0);
        Rect region;
        const Layer scratch = this->draw(p, region);
        ASSERT_EQ(region, Rect(5, 15, 35, 25));
        const ExpectedLine e = this->expected(p, region, p.point1, p.point2, 0.0, 4.0);
        EXPECT_TRUE(this->matches(scratch, e)) << "cap " << cap;
        const TypeParam stroke = coveredPixel<TypeParam>(1.0, 0.1f, 0.3f, 0.9f);
        for (const int y : {19, 20, 21}) {
            EXPECT_TRUE(samePixel(this->at(scratch, region, 20, y), stroke)) << y;
        }
        EXPECT_TRUE(samePixel(this->at(scratch, region, 20, 18), TypeParam{}));

        p.mode = Ondrel::PaintMode::fill;
        const Layer fill = this->draw(p, region);
        EXPECT_TRUE(matchesEverywhere<TypeParam>(fill, [](int, int) { return TypeParam{}; }))
            << "cap " << cap;
    }
}

// Stroke width 0: a stroke-only line draws nothing, and fill and stroke draw just the fill.
TYPED_TEST(LineDrawerTest, ZeroStrokeWidthDrawsNoStroke) {
    for (const int cap : {1, 2}) {
        Rect region;
        const Layer strokeOnly = this->draw(
            line(Vector<double>(10.0, 12.0), Vector<double>(30.0, 25.0), 5.0, cap, 2, 0.0), region);
        ASSERT_FALSE(region.isEmpty());
        EXPECT_TRUE(matchesEverywhere<TypeParam>(strokeOnly, [](int, int) { return TypeParam{}; }));

        const Layer both = this->draw(
            line(Vector<double>(10.0, 12.0), Vector<double>(30.0, 25.0), 5.0, cap, 3, 0.0), region);
        const Layer fillOnly = this->draw(
            line(Vector<double>(10.0, 12.0), Vector<double>(30.0, 25.0), 5.0, cap, 1, 0.0), region);
        EXPECT_TRUE(sameLayers<TypeParam>(both, fillOnly)) << "cap " << cap;
    }
}

// The stroke lies over the fill: where it covers fully it replaces the fill, where it covers
// nothing the fill shows, and in between it is composited over it.
TYPED_TEST(LineDrawerTest, StrokeLiesOverTheFill) {
    // ht 3, h 0.75: outer 3.75, inner 2.25.
    const LineDrawer::Parameter p =
        line(Vector<double>(10.0, 20.0), Vector<double>(40.0, 20.0), 6.0, 1, 3, 1.5);
    Rect region;
    const Layer scratch = this->draw(p, region);
    EXPECT_TRUE(this->matches(scratch, this->expected(p, region, p.point1, p.point2, 6.0, 1.5)));
    const TypeParam fill = coveredPixel<TypeParam>(1.0, 0.8f, 0.4f, 0.1f);
    EXPECT_TRUE(samePixel(this->at(scratch, region, 25, 20), fill)); // n 0: no stroke
    // n 3: no fill, stroke clamp01(0.75) * (1 - clamp01(-0.75)).
    EXPECT_TRUE(samePixel(this->at(scratch, region, 25, 23),
                          coveredPixel<TypeParam>(0.75, 0.1f, 0.3f, 0.9f)));
    if constexpr (std::is_same_v<TypeParam, PF_Pixel>) {
        // n 2: full fill, stroke 1 * (1 - 0.25) = 0.75, alpha 191; over the fill k = 64 * 255 /
        // 255 and each channel is (fill * 64 + stroke * 191) / 255.
        const auto mix = [](float f, float s) {
            return (drawnChannel<TypeParam>(f) * 64 + drawnChannel<TypeParam>(s) * 191) / 255;
        };
        const PF_Pixel mixed = this->at(scratch, region, 25, 22);
        EXPECT_EQ(mixed.alpha, 255);
        EXPECT_EQ(mixed.red, mix(0.8f, 0.1f));
        EXPECT_EQ(mixed.green, mix(0.4f, 0.3f));
        EXPECT_EQ(mixed.blue, mix(0.1f, 0.9f));
    }
}

// Anchor, rotation, negative scale, position and the source's origin place both points; the
// thickness and stroke width follow |scale|. The line runs out of the world at the top.
TYPED_TEST(LineDrawerTest, TransformedLinesMatchTheFormulas) {
    const double angle = 0.4, scale = -1.5;
    const auto place = [&](double x, double y) {
        // (p - anchor) turned, scaled, plus anchor and position, minus the origin (-4, 3).
        const double dx = x - 30.0, dy = y - 20.0;
        return Vector<double>(
            (dx * std::cos(angle) - dy * std::sin(angle)) * scale + 30.0 + 12.0 + 4.0,
            (dx * std::sin(angle) + dy * std::cos(angle)) * scale + 20.0 - 2.0 - 3.0);
    };
    const Vector<double> a = place(22.0, 18.0), b = place(60.0, 27.0);
    for (const int cap : {1, 2}) {
        for (const int mode : {1, 2, 3}) {
            LineDrawer::Parameter p =
                line(Vector<double>(22.0, 18.0), Vector<double>(60.0, 27.0), 5.0, cap, mode, 2.5);
            p.anchorPoint = Vector<double>(30.0, 20.0);
            p.position = Vector<double>(12.0, -2.0);
            p.rotation = angle;
            p.scale = scale;
            Rect region;
            const Layer scratch = this->draw(p, region, 64, 48, -4, 3);
            const double e = mode == 1 ? 7.5 : 7.5 + 3.75;
            ASSERT_EQ(region, lineRegion(a, b, e, 64, 48)) << cap << "/" << mode;
            EXPECT_EQ(region.top, 0);
            EXPECT_TRUE(this->matches(scratch, this->expected(p, region, a, b, 7.5, 3.75)))
                << "cap " << cap << ", mode " << mode;
        }
    }
}

// The butt stroke's zones: near each end, points well inside the body get the end's boundary;
// points near the sides keep the side band, so the corners stay closed.
TYPED_TEST(LineDrawerTest, ButtStrokeClosesItsEnds) {
    // ht 5, h 2: outer 7, inner 3, length 30. Outer ramps t in [-3, -2] and [31, 32]; inner
    // boundaries (only for n < 2.5) t in [1, 2] and [28, 29].
    const LineDrawer::Parameter p =
        line(Vector<double>(15.0, 24.0), Vector<double>(45.0, 24.0), 10.0, 1, 2, 4.0);
    Rect region;
    const Layer scratch = this->draw(p, region);
    EXPECT_TRUE(this->matches(scratch, this->expected(p, region, p.point1, p.point2, 10.0, 4.0)));
    const TypeParam stroke = coveredPixel<TypeParam>(1.0, 0.1f, 0.3f, 0.9f);
    const auto expectAt = [&](int x, int y, const TypeParam& want) {
        EXPECT_TRUE(samePixel(this->at(scratch, region, x, y), want)) << x << ", " << y;
    };
    expectAt(12, 24, TypeParam{}); // t -3: the start ramp's outer end
    expectAt(13, 24, stroke);      // t -2
    expectAt(15, 24, stroke);      // t 0
    expectAt(16, 24, stroke);      // t 1: h - t still 1
    expectAt(17, 24, TypeParam{}); // t 2: inside the body, past the end's band
    expectAt(18, 24, TypeParam{}); // t 3: the middle zone, the body's centre
    expectAt(13, 30, stroke);      // beyond the corner, n 6: the side band runs on
    expectAt(30, 24, TypeParam{}); // the middle of the body
    expectAt(30, 29, stroke);      // the side band
    expectAt(43, 24, TypeParam{}); // t 28 = length - h
    expectAt(44, 24, stroke);      // t 29
    expectAt(46, 24, stroke);      // t 31
    expectAt(47, 24, TypeParam{}); // t 32 = length + h
}

TYPED_TEST(LineDrawerTest, LinesOutsideTheWorldHaveEmptyRegions) {
    const auto region = [this](Vector<double> a, Vector<double> b, int mode) {
        return this->regionOnly(line(a, b, 4.0, 1, mode, 1.0));
    };
    // Just outside (margin included) and just inside, on each side of a 64 x 48 world.
    EXPECT_TRUE(region({-20.0, 20.0}, {-5.0, 20.0}, 1).isEmpty());
    EXPECT_FALSE(region({-20.0, 20.0}, {-4.5, 20.0}, 1).isEmpty());
    EXPECT_TRUE(region({69.0, 20.0}, {90.0, 20.0}, 1).isEmpty());
    EXPECT_FALSE(region({68.5, 20.0}, {90.0, 20.0}, 1).isEmpty());
    EXPECT_TRUE(region({10.0, -30.0}, {10.0, -5.0}, 1).isEmpty());
    EXPECT_FALSE(region({10.0, -30.0}, {10.0, -4.5}, 1).isEmpty());
    EXPECT_TRUE(region({10.0, 53.0}, {10.0, 70.0}, 1).isEmpty());
    EXPECT_FALSE(region({10.0, 52.5}, {10.0, 70.0}, 1).isEmpty());
    // A stroke widens the margin by its whole width.
    EXPECT_FALSE(region({-20.0, 20.0}, {-5.0, 20.0}, 3).isEmpty());
    EXPECT_EQ(region({-20.0, 20.0}, {-5.0, 20.0}, 3), Rect(0, 14, 1, 26));
}

} // namespace
} // namespace FilterTests
