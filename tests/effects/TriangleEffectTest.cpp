// OndrelTriangle rendered through the offline host at every depth. Expected pixels come from the
// triangle's coverage rules, evaluated here: with the edges taken clockwise on screen and D the
// signed distance of a pixel's integer sample point from an edge (positive inside), the fill is the
// product of clamp01(1 + D) over the three edges, and the stroke, w wide, is
// clamp01(w) * prod clamp01(1 + D + w/2) * (1 - prod clamp01(1 + D - w/2)). Nothing is drawn
// outside the region: the vertices' bounds (fill) or the outer triangle's bounds (stroke), one
// pixel wider, clamped to the layer.

#include "CoverageExpectation.h"

#include "Ondrel/Filter/OndrelTriangleDrawer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <utility>

namespace EffectsTest {
namespace {

struct Point {
    double x;
    double y;
};

double distance(const Point& a, const Point& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// The triangle where it must land, in the pixels of the output world.
struct ExpectedTriangle {
    std::array<Point, 3> corners;
    double strokeWidth = 0;
    int mode = 1; // 1 fill, 2 stroke: only one of them, so that no pixel mixes the two

    // Edge products, stopped once negligible; offset moves every edge outward.
    double product(double offset, A_long x, A_long y) const {
        std::array<Point, 3> q = corners;
        if ((q[1].x - q[0].x) * (q[2].y - q[0].y) - (q[1].y - q[0].y) * (q[2].x - q[0].x) > 0) {
            std::swap(q[1], q[2]);
        }
        double result = 1.0;
        for (int i = 0; i < 3 && !(result < 1e-6); ++i) {
            const Point a = q[i];
            const Point b = q[(i + 1) % 3];
            const double d = ((b.x - a.x) * (a.y - static_cast<double>(y)) -
                              (b.y - a.y) * (a.x - static_cast<double>(x))) /
                             distance(a, b);
            result *= clamp01(1.0 + d + offset);
        }
        return result;
    }

    // The corners of the outer triangle: scaled about the incentre by (r + w/2) / r.
    std::array<Point, 3> outerCorners() const {
        const double a = distance(corners[1], corners[2]);
        const double b = distance(corners[0], corners[2]);
        const double c = distance(corners[0], corners[1]);
        const double s = (a + b + c) / 2.0;
        const double r = std::sqrt(s * (s - a) * (s - b) * (s - c)) / s;
        const Point in{(a * corners[0].x + b * corners[1].x + c * corners[2].x) / (a + b + c),
                       (a * corners[0].y + b * corners[1].y + c * corners[2].y) / (a + b + c)};
        const double k = (r + strokeWidth / 2.0) / r;
        std::array<Point, 3> outer{};
        for (int i = 0; i < 3; ++i) {
            outer[i] = {in.x + (corners[i].x - in.x) * k, in.y + (corners[i].y - in.y) * k};
        }
        return outer;
    }

    bool inRegion(A_long x, A_long y, A_long width, A_long height) const {
        double minX = static_cast<double>(width), minY = static_cast<double>(height);
        double maxX = 0, maxY = 0;
        for (const Point& p : mode == 1 ? corners : outerCorners()) {
            minX = std::min(minX, p.x);
            minY = std::min(minY, p.y);
            maxX = std::max(maxX, p.x);
            maxY = std::max(maxY, p.y);
        }
        const auto fx = static_cast<double>(x), fy = static_cast<double>(y);
        return fx >= std::floor(minX - 1) && fy >= std::floor(minY - 1) &&
               fx < std::ceil(maxX + 1) && fy < std::ceil(maxY + 1);
    }

    double coverage(A_long x, A_long y, A_long width, A_long height) const {
        if (!inRegion(x, y, width, height)) {
            return 0.0;
        }
        if (mode == 1) {
            return product(0.0, x, y);
        }
        const double h = strokeWidth / 2.0;
        const double outer = clamp01(strokeWidth) * product(h, x, y);
        return outer < 1e-6 ? 0.0 : outer * (1.0 - product(-h, x, y));
    }
};

// Compares every pixel of out with want(x, y, coverage). Fully covered and uncovered pixels must
// match exactly; partly covered ones within one step of the depth, as the expected coverage moves
// the edges directly where the drawer scales the triangle, and the host's composite rounds.
template <typename Want>
::testing::AssertionResult matches(const World& out, const ExpectedTriangle& triangle,
                                   const Want& want) {
    const double tolerance = out.depth() == PixelDepth::Float32 ? 1e-5 : 1.0;
    int covered = 0;
    for (A_long y = 0; y < out.height(); ++y) {
        for (A_long x = 0; x < out.width(); ++x) {
            const double coverage = triangle.coverage(x, y, out.width(), out.height());
            covered += coverage > 1e-6 ? 1 : 0;
            const Channels expected = want(x, y, coverage);
            const Channels got = pixelAt(out, x, y);
            const bool partial = coverage > 1e-6 && coverage < 1.0;
            // The colour of a transparent pixel means nothing.
            const double off = expected.alpha == 0.0 || got.alpha == 0.0
                                   ? std::abs(got.alpha - expected.alpha)
                                   : difference(got, expected);
            if (off > (partial ? tolerance : 0.0)) {
                return pixelFailure(x, y, coverage, got, expected);
            }
        }
    }
    if (covered == 0) {
        return ::testing::AssertionFailure() << "the triangle covers no pixel";
    }
    return ::testing::AssertionSuccess();
}

// With "None": the coverage as alpha and the colour where the triangle reaches, transparent black
// elsewhere.
::testing::AssertionResult holdsShapeAlone(const World& out, const ExpectedTriangle& triangle,
                                           const Rgb& color) {
    return matches(out, triangle, [&](A_long, A_long, double coverage) {
        return shapeAlonePixel(coverage, color, out.depth());
    });
}

// "Normal" at full opacity over an opaque layer: the straight mix of the layer and the colour by
// the written alpha.
::testing::AssertionResult fillsOverLayer(const World& out, const World& layer,
                                          const ExpectedTriangle& triangle, const Rgb& color) {
    return matches(out, triangle, [&](A_long x, A_long y, double coverage) {
        return overLayerPixel(pixelAt(layer, x, y), coverage, color, out.depth());
    });
}

class TriangleRender : public ::testing::TestWithParam<PixelDepth>,
                       protected ShapeEffectTest<Ondrel::TriangleDrawer::Parameter> {
protected:
    TriangleRender() : ShapeEffectTest("OndrelTriangle") {}

    // The default corners on a 640 x 480 layer: (50 %, 25 %), (25 %, 75 %), (75 %, 75 %).
    static constexpr std::array<Point, 3> defaultCorners{Point{320, 120}, Point{160, 360},
                                                         Point{480, 360}};
};

TEST_P(TriangleRender, DefaultsDrawARedTriangleWithoutStroke) {
    const World out = render(frameAt(GetParam()));
    EXPECT_TRUE(fillsOverLayer(out, m_layer, {defaultCorners}, red));

    // The stroke is there to be switched on, 10 pixels wide.
    EXPECT_EQ(m_effect->paramDef(param(*m_effect, "Stroke Width")).u.fs_d.value, 10.0);
    set("Blending Mode", 1);
    set("Mode", 2);
    const World stroked = render(frameAt(GetParam()));
    EXPECT_TRUE(holdsShapeAlone(stroked, {defaultCorners, 10.0, 2}, white));
}

TEST_P(TriangleRender, DownsamplingScalesPointsByTheirAxisAndTheStrokeHorizontally) {
    set("Blending Mode", 1);
    Frame frame = downsampledFrame(GetParam(), 2, 2);
    World out = render(frame);
    ASSERT_EQ(out.width(), 320);
    ASSERT_EQ(out.height(), 240);
    const std::array<Point, 3> half{Point{160, 60}, Point{80, 180}, Point{240, 180}};
    EXPECT_TRUE(holdsShapeAlone(out, {half}, red));

    set("Mode", 2);
    frame.downsampleY = {1, 1};
    out = render(frame);
    ASSERT_EQ(out.height(), 480);
    EXPECT_TRUE(
        holdsShapeAlone(out, {{Point{160, 120}, Point{80, 360}, Point{240, 360}}, 5.0, 2}, white));
}

TEST_P(TriangleRender, PointsAndTransformPlaceTheTriangle) {
    set("Blending Mode", 1);
    setPoint("Point 1", 100.5, 40.25);
    setPoint("Point 2", 30.75, 200);
    setPoint("Point 3", 250, 150.5);
    setPoint("Anchor Point", 100, 100);
    setPoint("Position", 400, 260); // 80 right of and 20 below the layer's centre
    set("Rotation", 90);            // clockwise on screen: (x, y) about the anchor to (-y, x)
    set("Scale", -50);
    set("Mode", 2);
    set("Stroke Width", 6.5);
    const World out = render(frameAt(GetParam()));
    std::array<Point, 3> placed{Point{100.5, 40.25}, Point{30.75, 200}, Point{250, 150.5}};
    for (Point& p : placed) {
        const Point turned{-(p.y - 100.0), p.x - 100.0};
        p = {turned.x * -0.5 + 100.0 + 80.0, turned.y * -0.5 + 100.0 + 20.0};
    }
    EXPECT_TRUE(holdsShapeAlone(out, {placed, 3.25, 2}, white));
}

// Three points on one line, or a triangle scaled to nothing, enclose nothing: the output stays the
// input, in every mode.
TEST_P(TriangleRender, CollapsedTrianglesLeaveTheInput) {
    for (const int mode : {1, 2, 3}) {
        set("Mode", mode);
        set("Scale", 0);
        EXPECT_TRUE(sameWorlds(render(frameAt(GetParam())), m_layer)) << "scale 0, mode " << mode;
    }
    set("Scale", 100);
    setPoint("Point 1", 10, 10);
    setPoint("Point 2", 300, 300);
    setPoint("Point 3", 100, 100);
    for (const int mode : {1, 2, 3}) {
        set("Mode", mode);
        EXPECT_TRUE(sameWorlds(render(frameAt(GetParam())), m_layer)) << "collinear, mode " << mode;
    }
}

// A sliver fades by its inscribed circle's diameter, twice its area over its perimeter: at the
// middle of its long edge, inside every edge, it covers exactly that, and nowhere more. The
// thinner one, about a ten-thousandth of a pixel high, all but vanishes.
TEST_P(TriangleRender, SliversFadeAsTheyThin) {
    set("Blending Mode", 1);
    for (const double height : {0.5, 1.0 / 8192.0}) {
        setPoint("Point 1", 100, 150);
        setPoint("Point 2", 300, 150);
        setPoint("Point 3", 200, 150 + height);
        const World out = render(frameAt(GetParam()));
        const double diameter = 2.0 * 200.0 * height / (200.0 + 2.0 * std::hypot(100.0, height));
        const double alpha = alphaOfCoverage(diameter, GetParam());
        const double tolerance = GetParam() == PixelDepth::Float32 ? 1e-6 : 0.0;
        EXPECT_LE(std::abs(pixelAt(out, 200, 150).alpha - alpha), tolerance) << height;
        double most = 0.0;
        for (A_long y = 0; y < out.height(); ++y) {
            for (A_long x = 0; x < out.width(); ++x) {
                most = std::max(most, pixelAt(out, x, y).alpha);
            }
        }
        EXPECT_LE(most, alpha + tolerance) << height;
    }
}

// The nearly flat triangle's corners at (100, 150) and (300, 150) are some 1.1 degrees sharp:
// their miters would reach 250 stroke widths beyond them, across the layer. They are bevelled
// h sin(angle / 2) beyond their vertices instead, so nothing is drawn beyond them but the bevel's
// one-pixel ramp.
TEST_P(TriangleRender, SharpCornersOfTheStrokeAreBevelled) {
    set("Blending Mode", 1);
    set("Mode", 2);
    setPoint("Point 1", 100, 150);
    setPoint("Point 2", 300, 150);
    setPoint("Point 3", 200, 152);
    const World out = render(frameAt(GetParam()));
    for (A_long y = 0; y < out.height(); ++y) {
        for (A_long x = 0; x < out.width(); ++x) {
            if (x < 99 || x > 301) {
                ASSERT_EQ(pixelAt(out, x, y).alpha, 0.0) << x << ", " << y;
            }
        }
    }
    // Half the corner's angle, and the stroke's half width 5. (99, 150) lies cos(half) out along
    // the corner's bisector, the bevel 5 sin(half): 1 - cos(half) + 5 sin(half) covered, by the
    // bevel alone.
    const double half = std::atan2(2.0, 100.0) / 2.0;
    const double bevel = 1.0 - std::cos(half) + 5.0 * std::sin(half);
    const double tolerance = GetParam() == PixelDepth::Float32 ? 1e-6 : 0.0;
    for (const A_long x : {99, 301}) {
        EXPECT_LE(difference(pixelAt(out, x, 150), shapeAlonePixel(bevel, white, GetParam())),
                  tolerance)
            << x;
    }
    EXPECT_LE(difference(pixelAt(out, 200, 147), shapeAlonePixel(1.0, white, GetParam())),
              tolerance);
}

INSTANTIATE_TEST_SUITE_P(Depths, TriangleRender, allDepths(), depthTestName);

} // namespace
} // namespace EffectsTest
