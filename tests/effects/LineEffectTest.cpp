// OndrelLine rendered through the offline host at every depth. Expected pixels come from the line's
// coverage rules, evaluated here in output pixels: with u the unit vector from point 1 to point 2
// and q = s - point 1, t = q . u and n = |q . (u.y, -u.x)|. Butt fill clamp01(1 + t) *
// clamp01(length - t) * clamp01(ht - n); round caps measure the distance D to the segment and fill
// clamp01(ht - D), stroke clamp01(ht + h - D) * clamp01(w) * (1 - clamp01(ht - h - D)).

#include "CoverageExpectation.h"

#include "Ondrel/Filter/OndrelLineDrawer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace EffectsTest {
namespace {

using Record = Ondrel::LineDrawer::Parameter;

struct ExpectedLine {
    double x1, y1, x2, y2;
    double thickness;
    double strokeWidth = 0.0;

    struct Along {
        double t, n, length;
    };
    Along along(A_long x, A_long y) const {
        const double dx = x2 - x1, dy = y2 - y1;
        const double length = std::hypot(dx, dy);
        const double qx = static_cast<double>(x) - x1, qy = static_cast<double>(y) - y1;
        return {(qx * dx + qy * dy) / length, std::abs(qx * dy - qy * dx) / length, length};
    }
    double butt(A_long x, A_long y) const {
        const Along a = along(x, y);
        return clamp01(1.0 + a.t) * clamp01(a.length - a.t) * clamp01(thickness / 2.0 - a.n);
    }
    double distance(A_long x, A_long y) const {
        const Along a = along(x, y);
        if (a.t < 0.0) {
            return std::hypot(static_cast<double>(x) - x1, static_cast<double>(y) - y1);
        }
        if (a.t >= a.length) {
            return std::hypot(static_cast<double>(x) - x2, static_cast<double>(y) - y2);
        }
        return a.n;
    }
    double roundFill(A_long x, A_long y) const { return clamp01(thickness / 2.0 - distance(x, y)); }
    double roundStroke(A_long x, A_long y) const {
        const double d = distance(x, y), ht = thickness / 2.0, h = strokeWidth / 2.0;
        return clamp01(ht + h - d) * clamp01(strokeWidth) * (1.0 - clamp01(ht - h - d));
    }
};

class LineEffect : public ::testing::TestWithParam<PixelDepth>, protected ShapeEffectTest<Record> {
protected:
    LineEffect() : ShapeEffectTest("OndrelLine") {}
};

// Red, 20 px thick, butt caps, from a quarter to three quarters of the width at half the height.
TEST_P(LineEffect, DefaultsDrawARedHorizontalLine) {
    const World out = render(frameAt(GetParam()));
    const ExpectedLine line{160, 240, 480, 240, 20};
    EXPECT_TRUE(coversLayer(
        out, m_layer, [&](A_long x, A_long y) { return line.butt(x, y); }, red));
    const double m = channelMax(GetParam());
    for (const auto& [x, y] : {std::pair{160, 240}, std::pair{479, 231}, std::pair{300, 249}}) {
        EXPECT_EQ(difference(pixelAt(out, x, y), {m, m, 0, 0}), 0.0) << x << ", " << y;
    }
    for (const auto& [x, y] :
         {std::pair{159, 240}, std::pair{480, 240}, std::pair{300, 230}, std::pair{300, 250}}) {
        EXPECT_EQ(difference(pixelAt(out, x, y), pixelAt(m_layer, x, y)), 0.0) << x << ", " << y;
    }
}

// The points are whole 1/65536ths, so the host's 16.16 values carry them exactly.
TEST_P(LineEffect, RoundCapsFillAndStrokeAlone) {
    set("Blending Mode", 1);
    set("Cap", 2);
    set("Thickness", 15.5);
    setPoint("Point 1", 100.25, 200.625);
    setPoint("Point 2", 500.125, 310.375);
    setColor("Fill Color", {0, 128, 255});
    const ExpectedLine line{100.25, 200.625, 500.125, 310.375, 15.5, 6.5};
    const World filled = render(frameAt(GetParam()));
    EXPECT_TRUE(holdsShapeAlone(filled, [&](A_long x, A_long y) { return line.roundFill(x, y); },
                                {0, 128, 255}));

    set("Mode", 2);
    set("Stroke Width", 6.5);
    setColor("Stroke Color", {40, 200, 90});
    const World stroked = render(frameAt(GetParam()));
    EXPECT_TRUE(holdsShapeAlone(stroked, [&](A_long x, A_long y) { return line.roundStroke(x, y); },
                                {40, 200, 90}));
}

// Thickness and stroke width follow the horizontal factor; the points come scaled by the host.
TEST_P(LineEffect, DownsamplingScalesLengthsByTheHorizontalFactor) {
    set("Blending Mode", 1);
    set("Cap", 2);
    set("Mode", 2);
    set("Stroke Width", 9);
    Frame frame = downsampledFrame(GetParam(), 2, 2);
    World out = render(frame);
    ASSERT_EQ(out.width(), 320);
    ASSERT_EQ(out.height(), 240);
    const ExpectedLine half{80, 120, 240, 120, 10, 4.5};
    EXPECT_TRUE(holdsShapeAlone(out, [&](A_long x, A_long y) { return half.roundStroke(x, y); },
                                {255, 255, 255}));

    frame.downsampleY = {1, 1};
    out = render(frame);
    ASSERT_EQ(out.height(), 480);
    const ExpectedLine wide{80, 240, 240, 240, 10, 4.5};
    EXPECT_TRUE(holdsShapeAlone(out, [&](A_long x, A_long y) { return wide.roundStroke(x, y); },
                                {255, 255, 255}));
}

// A quarter turn about the anchor (the layer's centre) stands the default line upright.
TEST_P(LineEffect, RotationTurnsTheLineAboutTheAnchorPoint) {
    set("Blending Mode", 1);
    set("Rotation", 90);
    const World out = render(frameAt(GetParam()));
    const ExpectedLine line{320, 80, 320, 400, 20};
    EXPECT_TRUE(holdsShapeAlone(
        out, [&](A_long x, A_long y) { return line.butt(x, y); }, red));
}

// Both points on one spot: butt caps have no ends to square off, so nothing is drawn; round caps
// draw the disc they make.
TEST_P(LineEffect, CoincidentPointsDrawTheDiscOfRoundCapsOnly) {
    set("Thickness", 10);
    set("Mode", 3);
    set("Stroke Width", 4);
    setPoint("Point 1", 200, 150);
    setPoint("Point 2", 200, 150);
    EXPECT_TRUE(sameWorlds(render(frameAt(GetParam())), m_layer));

    set("Blending Mode", 1);
    set("Cap", 2);
    set("Mode", 1);
    const World out = render(frameAt(GetParam()));
    EXPECT_TRUE(holdsShapeAlone(
        out, [](A_long x, A_long y) { return clamp01(5.0 - std::hypot(x - 200.0, y - 150.0)); },
        red));
}

INSTANTIATE_TEST_SUITE_P(Depths, LineEffect, allDepths(), depthTestName);

class LineRecord : public ::testing::Test, protected ShapeEffectTest<Record> {
protected:
    LineRecord() : ShapeEffectTest("OndrelLine") {}
};

// At a downsample of 1/2 by 1/4 the lengths are halved and the points arrive scaled by the host.
TEST_F(LineRecord, PreRenderFillsTheRecord) {
    set("Cap", 2);
    set("Rotation", 90);
    set("Scale", -50);
    set("Mode", 3);
    set("Opacity", 50);
    Frame frame = downsampledFrame(PixelDepth::Bits8, 2, 4);
    const Record r = preRender(frame);
    EXPECT_EQ(r.cap, 2);
    EXPECT_EQ(r.thickness, 10.0);
    EXPECT_EQ(r.point1.x, 80.0);
    EXPECT_EQ(r.point1.y, 60.0);
    EXPECT_EQ(r.point2.x, 240.0);
    EXPECT_EQ(r.point2.y, 60.0);
    EXPECT_EQ(r.anchorPoint.x, 160.0);
    EXPECT_EQ(r.anchorPoint.y, 60.0);
    EXPECT_EQ(r.position.x, 0.0);
    EXPECT_EQ(r.position.y, 0.0);
    EXPECT_DOUBLE_EQ(r.rotation, std::numbers::pi / 2.0);
    EXPECT_EQ(r.scale, -0.5);
    EXPECT_EQ(r.mode, Ondrel::PaintMode::fillAndStroke);
    EXPECT_EQ(r.strokeWidth, 2.5);
    EXPECT_EQ(r.fillColor.red, 1.0f);
    EXPECT_EQ(r.fillColor.green, 0.0f);
    EXPECT_EQ(r.strokeColor.blue, 1.0f);
    EXPECT_EQ(r.opacity, 0.5);

    set("Blending Mode", 1);
    EXPECT_EQ(preRender(frame).blendMode, -1);
}

TEST_F(LineRecord, PreRenderReadsEachValueOnceInAscendingOrder) {
    World input(640, 480, PixelDepth::Bits8);
    World output(640, 480, PixelDepth::Bits8);
    ASSERT_EQ(m_effect->smartRender(frameAt(PixelDepth::Bits8), input, output), PF_Err_NONE);
    EXPECT_EQ(paramIndices(*m_effect, "checkout_param"),
              (std::vector<int>{1, 2, 3, 4, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16}));
    EXPECT_EQ(callCount(*m_effect, "checkin_param"), 14);
}

} // namespace
} // namespace EffectsTest
