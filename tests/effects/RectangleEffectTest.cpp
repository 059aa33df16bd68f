// OndrelRectangle rendered through the offline host at every depth. Expected pixels come from the
// rectangle's coverage rules, evaluated here in output pixels: with corners c0 to c3 going round,
// u the unit vector from c0 to c1 (length L), v from c0 to c3 (length 2 hh) and q = s minus the
// middle of c0 and c3, t = q . u and n = |q . v|; the fill is clamp01(1 + t) * clamp01(L + 1 - t)
// * clamp01(hh + 1 - n).

#include "CoverageExpectation.h"

#include "Ondrel/Filter/OndrelRectangleDrawer.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

namespace EffectsTest {
namespace {

using Record = Ondrel::RectangleDrawer::Parameter;

struct Point {
    double x, y;
};

struct ExpectedRectangle {
    std::array<Point, 4> c;

    double fill(A_long x, A_long y) const {
        const double ux = c[1].x - c[0].x, uy = c[1].y - c[0].y;
        const double vx = c[3].x - c[0].x, vy = c[3].y - c[0].y;
        const double length = std::hypot(ux, uy), side = std::hypot(vx, vy);
        const double qx = static_cast<double>(x) - (c[0].x + c[3].x) / 2.0;
        const double qy = static_cast<double>(y) - (c[0].y + c[3].y) / 2.0;
        const double t = (qx * ux + qy * uy) / length, n = std::abs(qx * vx + qy * vy) / side;
        return clamp01(1.0 + t) * clamp01(length + 1.0 - t) * clamp01(side / 2.0 + 1.0 - n);
    }

    static ExpectedRectangle axisAligned(double left, double top, double right, double bottom) {
        return {{Point{left, top}, Point{right, top}, Point{right, bottom}, Point{left, bottom}}};
    }
};

class RectangleEffect : public ::testing::TestWithParam<PixelDepth>,
                        protected ShapeEffectTest<Record> {
protected:
    RectangleEffect() : ShapeEffectTest("OndrelRectangle") {}
};

// Red, filled, corners at 25 % and 75 % of the width and height; corners on whole pixels cover
// their pixels, so exactly x 160 to 480 and y 120 to 360 are red.
TEST_P(RectangleEffect, DefaultsFillTheMiddleHalfRed) {
    const World out = render(frameAt(GetParam()));
    const ExpectedRectangle rect = ExpectedRectangle::axisAligned(160, 120, 480, 360);
    EXPECT_TRUE(coversLayer(
        out, m_layer, [&](A_long x, A_long y) { return rect.fill(x, y); }, red));
    const double m = channelMax(GetParam());
    for (const auto& [x, y] : {std::pair{160, 120}, std::pair{480, 360}, std::pair{300, 200}}) {
        EXPECT_EQ(difference(pixelAt(out, x, y), {m, m, 0, 0}), 0.0) << x << ", " << y;
    }
    for (const auto& [x, y] :
         {std::pair{159, 200}, std::pair{481, 200}, std::pair{300, 119}, std::pair{300, 361}}) {
        EXPECT_EQ(difference(pixelAt(out, x, y), pixelAt(m_layer, x, y)), 0.0) << x << ", " << y;
    }
}

// "Width & Height" at its defaults: 400 x 300 around the layer's centre.
TEST_P(RectangleEffect, WidthAndHeightCentreTheRectangle) {
    set("Controlled By", 2);
    const World out = render(frameAt(GetParam()));
    const ExpectedRectangle rect = ExpectedRectangle::axisAligned(120, 90, 520, 390);
    EXPECT_TRUE(coversLayer(
        out, m_layer, [&](A_long x, A_long y) { return rect.fill(x, y); }, red));
}

// At 1/2 by 1/4 the width is halved and the height quartered, as the host scales the centre and
// the points: the 400 x 300 rectangle becomes 200 x 75, the same as when it is given by its
// corners.
TEST_P(RectangleEffect, DownsamplingScalesWidthAndHeightByTheirAxes) {
    set("Blending Mode", 1);
    set("Controlled By", 2);
    Frame frame = downsampledFrame(GetParam(), 2, 4);
    const World out = render(frame);
    ASSERT_EQ(out.width(), 320);
    ASSERT_EQ(out.height(), 120);
    const ExpectedRectangle rect = ExpectedRectangle::axisAligned(60, 22.5, 260, 97.5);
    EXPECT_TRUE(holdsShapeAlone(
        out, [&](A_long x, A_long y) { return rect.fill(x, y); }, red));

    set("Controlled By", 1);
    setPoint("Point 1", 120, 90);
    setPoint("Point 2", 520, 390);
    EXPECT_TRUE(sameWorlds(render(frame), out));
}

// Rotation and scale turn the corners about the anchor point.
TEST_P(RectangleEffect, TransformTurnsTheCorners) {
    set("Blending Mode", 1);
    setPoint("Point 1", 400.5, 130.25);
    setPoint("Point 2", 200.75, 310.5);
    set("Rotation", 30);
    set("Scale", 80);
    setPoint("Position", 330, 235);
    const double a = std::numbers::pi / 6.0;
    const auto place = [a](double x, double y) {
        const double dx = x - 320.0, dy = y - 240.0;
        return Point{(dx * std::cos(a) - dy * std::sin(a)) * 0.8 + 320.0 + 10.0,
                     (dx * std::sin(a) + dy * std::cos(a)) * 0.8 + 240.0 - 5.0};
    };
    const ExpectedRectangle rect{
        {place(200.75, 130.25), place(400.5, 130.25), place(400.5, 310.5), place(200.75, 310.5)}};
    const World out = render(frameAt(GetParam()));
    EXPECT_TRUE(holdsShapeAlone(
        out, [&](A_long x, A_long y) { return rect.fill(x, y); }, red));
}

// The stroke is centred on the edges, full for one pixel to either side of an edge when 4 wide.
TEST_P(RectangleEffect, StrokeAloneFollowsTheEdges) {
    set("Blending Mode", 1);
    set("Mode", 2);
    set("Stroke Width", 4);
    setPoint("Point 1", 100, 100);
    setPoint("Point 2", 300, 200);
    setColor("Stroke Color", {40, 200, 90});
    const World out = render(frameAt(GetParam()));
    const PixelDepth depth = GetParam();
    const double m = channelMax(depth);
    const Channels stroke{m, colorChannel(40, depth), colorChannel(200, depth),
                          colorChannel(90, depth)};
    // The host's float composite onto transparent black may round the last bit.
    const double tolerance = depth == PixelDepth::Float32 ? 1e-6 : 0.0;
    for (const auto& [x, y] : {std::pair{99, 150}, std::pair{101, 150}, std::pair{301, 150},
                               std::pair{200, 99}, std::pair{200, 201}, std::pair{99, 99}}) {
        EXPECT_LE(difference(pixelAt(out, x, y), stroke), tolerance) << x << ", " << y;
    }
    for (const auto& [x, y] : {std::pair{97, 150}, std::pair{103, 150}, std::pair{200, 150},
                               std::pair{200, 97}, std::pair{304, 150}}) {
        EXPECT_EQ(pixelAt(out, x, y).alpha, 0.0) << x << ", " << y;
    }
}

// A rectangle without area has nothing to fill or stroke: "Scale" 0, "Point 1" on "Point 2", or
// "Width" or "Height" 0 leave the input as it was. Any width at all draws.
TEST_P(RectangleEffect, RectanglesWithoutAreaLeaveTheInput) {
    set("Mode", 3);
    set("Stroke Width", 4);
    const auto leavesInput = [&] { return sameWorlds(render(frameAt(GetParam())), m_layer); };
    set("Scale", 0);
    EXPECT_TRUE(leavesInput()) << "scale 0";
    set("Scale", 100);
    setPoint("Point 1", 200, 150);
    setPoint("Point 2", 200, 150);
    EXPECT_TRUE(leavesInput()) << "Point 1 on Point 2";
    set("Controlled By", 2);
    for (const auto& [width, height] : {std::pair{0.0, 0.0}, {0.0, 300.0}, {400.0, 0.0}}) {
        set("Width", width);
        set("Height", height);
        EXPECT_TRUE(leavesInput()) << width << " x " << height;
    }
    set("Width", 0.1);
    set("Height", 300);
    EXPECT_FALSE(leavesInput());
}

// A stroke 8 wide covers 7 pixels fully across every side, its ramps ending 4 from the edge on
// either side, the same on the top and bottom as on the left and right.
TEST_P(RectangleEffect, EvenStrokeWidthsAreAlikeOnEverySide) {
    set("Blending Mode", 1);
    set("Mode", 2);
    set("Stroke Width", 8);
    setPoint("Point 1", 100, 100);
    setPoint("Point 2", 300, 200);
    const World out = render(frameAt(GetParam()));
    const PixelDepth depth = GetParam();
    // The host's float composite onto transparent black may round the last bit.
    const double tolerance = depth == PixelDepth::Float32 ? 1e-6 : 0.0;
    for (int d = -4; d <= 4; ++d) {
        const Channels want = shapeAlonePixel(d == -4 || d == 4 ? 0.0 : 1.0, white, depth);
        for (const auto& [x, y] : {std::pair{100 + d, 150}, std::pair{300 + d, 150},
                                   std::pair{200, 100 + d}, std::pair{200, 200 + d}}) {
            EXPECT_LE(difference(pixelAt(out, x, y), want), tolerance) << x << ", " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, RectangleEffect, allDepths(), depthTestName);

class RectangleRecord : public ::testing::Test, protected ShapeEffectTest<Record> {
protected:
    RectangleRecord() : ShapeEffectTest("OndrelRectangle") {}
};

// Both ways of giving the rectangle are filled whichever is chosen; the height takes the vertical
// factor, every other length the horizontal one.
TEST_F(RectangleRecord, PreRenderFillsBothGeometries) {
    set("Stroke Width", 20);
    Frame frame = downsampledFrame(PixelDepth::Bits16, 2, 4);
    for (const int controlledBy : {1, 2}) {
        set("Controlled By", controlledBy);
        const Record r = preRender(frame);
        EXPECT_EQ(r.controlledBy, controlledBy);
        EXPECT_EQ(r.point1.x, 80.0);
        EXPECT_EQ(r.point1.y, 30.0);
        EXPECT_EQ(r.point2.x, 240.0);
        EXPECT_EQ(r.point2.y, 90.0);
        EXPECT_EQ(r.center.x, 160.0);
        EXPECT_EQ(r.center.y, 60.0);
        EXPECT_EQ(r.width, 200.0);
        EXPECT_EQ(r.height, 75.0);
        EXPECT_EQ(r.anchorPoint.x, 160.0);
        EXPECT_EQ(r.anchorPoint.y, 60.0);
        EXPECT_EQ(r.position.x, 0.0);
        EXPECT_EQ(r.position.y, 0.0);
        EXPECT_EQ(r.scale, 1.0);
        EXPECT_EQ(r.mode, Ondrel::PaintMode::fill);
        EXPECT_EQ(r.strokeWidth, 10.0);
        EXPECT_EQ(r.fillColor.red, 1.0f);
        EXPECT_EQ(r.opacity, 1.0);
    }
}

TEST_F(RectangleRecord, PreRenderReadsEachValueOnceInAscendingOrder) {
    World input(640, 480, PixelDepth::Bits8);
    World output(640, 480, PixelDepth::Bits8);
    ASSERT_EQ(m_effect->smartRender(frameAt(PixelDepth::Bits8), input, output), PF_Err_NONE);
    EXPECT_EQ(paramIndices(*m_effect, "checkout_param"),
              (std::vector<int>{1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 13, 14, 15, 16, 17, 18}));
    EXPECT_EQ(callCount(*m_effect, "checkin_param"), 16);
}

} // namespace
} // namespace EffectsTest
