// OndrelCircle rendered through the offline host at every depth. Expected pixels come from the
// circle's coverage formulas, evaluated here: fill clamp01(r - d), stroke
// clamp01(r + h - d) * clamp01(w) * (1 - clamp01(r - h - d)), d the distance of the pixel's
// integer sample point from the centre, h half the stroke width w.

#include "CoverageExpectation.h"

#include "Ondrel/Filter/OndrelCircleDrawer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace EffectsTest {
namespace {

// The circle where it must land, in the pixels of the output world.
struct ExpectedCircle {
    double cx;
    double cy;
    double radius;
    double strokeWidth = 0;
    int mode = 1;

    double distance(A_long x, A_long y) const {
        const double dx = static_cast<double>(x) - cx;
        const double dy = static_cast<double>(y) - cy;
        return std::sqrt(dx * dx + dy * dy);
    }
    double fill(A_long x, A_long y) const {
        return mode == 2 ? 0.0 : clamp01(radius - distance(x, y));
    }
    // Only one of fill and stroke is drawn, so that no pixel mixes the two.
    double operator()(A_long x, A_long y) const { return mode == 2 ? stroke(x, y) : fill(x, y); }
    double stroke(A_long x, A_long y) const {
        if (mode == 1) {
            return 0.0;
        }
        const double d = distance(x, y);
        const double h = strokeWidth / 2.0;
        return clamp01(radius + h - d) * clamp01(strokeWidth) * (1.0 - clamp01(radius - h - d));
    }
};

class CircleRender : public ::testing::TestWithParam<PixelDepth>,
                     protected ShapeEffectTest<Ondrel::CircleDrawer::Parameter> {
protected:
    CircleRender() : ShapeEffectTest("OndrelCircle") {}
};

TEST_P(CircleRender, DefaultsDrawARedDiscOfRadius100AtTheLayerCentre) {
    const World out = render(frameAt(GetParam()));
    EXPECT_TRUE(coversLayer(out, m_layer, ExpectedCircle{320, 240, 100}, red));
}

TEST_P(CircleRender, NoneLeavesTheFillAloneOnTransparentBlack) {
    set("Blending Mode", 1);
    setColor("Fill Color", {0, 128, 255});
    setPoint("Center", 200.25, 150.5);
    set("Radius", 60.3);
    const World out = render(frameAt(GetParam()));
    EXPECT_TRUE(holdsShapeAlone(out, ExpectedCircle{200.25, 150.5, 60.3}, {0, 128, 255}));
}

TEST_P(CircleRender, NoneLeavesTheStrokeAloneOnTransparentBlack) {
    set("Blending Mode", 1);
    set("Mode", 2);
    set("Stroke Width", 7.5);
    setColor("Stroke Color", {40, 200, 90});
    const World out = render(frameAt(GetParam()));
    EXPECT_TRUE(holdsShapeAlone(out, ExpectedCircle{320, 240, 100, 7.5, 2}, {40, 200, 90}));
}

TEST_P(CircleRender, DownsamplingScalesLengthsByTheHorizontalFactor) {
    set("Blending Mode", 1);
    set("Mode", 2);
    set("Stroke Width", 9);
    Frame frame = downsampledFrame(GetParam(), 2, 2);
    World out = render(frame);
    ASSERT_EQ(out.width(), 320);
    ASSERT_EQ(out.height(), 240);
    EXPECT_TRUE(holdsShapeAlone(out, ExpectedCircle{160, 120, 50, 4.5, 2}, {255, 255, 255}));

    // Only the points follow the vertical factor; the radius keeps the horizontal one.
    frame.downsampleY = {1, 1};
    set("Mode", 1);
    out = render(frame);
    ASSERT_EQ(out.height(), 480);
    EXPECT_TRUE(holdsShapeAlone(out, ExpectedCircle{160, 240, 50}, red));
}

TEST_P(CircleRender, TransformMovesTheCentreAboutTheAnchorPoint) {
    set("Blending Mode", 1);
    setPoint("Center", 420, 240);
    set("Rotation", 90); // clockwise on screen: 100 px right of the anchor becomes 100 px below
    const World turned = render(frameAt(GetParam()));
    EXPECT_TRUE(holdsShapeAlone(turned, ExpectedCircle{320, 340, 100}, red));

    set("Rotation", 0);
    set("Scale", -50); // mirrored through the anchor, half the size
    setPoint("Position", 330, 250);
    const World mirrored = render(frameAt(GetParam()));
    EXPECT_TRUE(holdsShapeAlone(mirrored, ExpectedCircle{320 - 50 + 10, 240 + 10, 50}, red));
}

TEST_P(CircleRender, PaddedRowsAndAnOriginPlaceTheWorldInTheLayer) {
    const Frame frame = frameAt(GetParam());
    // Three pixels of padding per row, and a world that starts at (13, 7) of the layer.
    const A_long padding = 3 * static_cast<A_long>(OfflineHost::pixelBytes(frame.depth));
    World painted(600, 400, frame.depth);
    paintBackground(painted);
    World input(600, 400, frame.depth, padding, 13, 7);
    for (A_long y = 0; y < 400; ++y) {
        for (A_long x = 0; x < 600; ++x) {
            const Channels c = pixelAt(painted, x, y);
            const double m = channelMax(frame.depth);
            setPixel(input, x, y, {c.alpha / m, c.red / m, c.green / m, c.blue / m});
        }
    }
    World output(600, 400, frame.depth, 2 * padding);
    ASSERT_EQ(m_effect->smartRender(frame, input, output), PF_Err_NONE);
    EXPECT_TRUE(coversLayer(output, painted, ExpectedCircle{320 - 13, 240 - 7, 100}, red));

    set("Blending Mode", 1);
    World cleared(600, 400, frame.depth, 2 * padding);
    ASSERT_EQ(m_effect->smartRender(frame, input, cleared), PF_Err_NONE);
    EXPECT_TRUE(holdsShapeAlone(cleared, ExpectedCircle{320 - 13, 240 - 7, 100}, red));
}

TEST_P(CircleRender, OpacityAndBlendModeReachTheHostComposite) {
    const PixelDepth depth = GetParam();
    const double m = channelMax(depth);
    // The host composites at opacity 127 / 255 at 8 bits, 16384 / 32768 at 16 and 32.
    const double half = depth == PixelDepth::Bits8 ? 127.0 / 255.0 : 0.5;
    const double tolerance = depth == PixelDepth::Float32 ? 1e-5 : 1.0;

    set("Opacity", 50);
    World out = render(frameAt(depth));
    for (const auto& [x, y] : {std::pair{320, 240}, std::pair{280, 200}, std::pair{390, 250}}) {
        const Channels under = pixelAt(m_layer, x, y);
        const Channels want{m, under.red + (m - under.red) * half, under.green * (1 - half),
                            under.blue * (1 - half)};
        EXPECT_LE(difference(pixelAt(out, x, y), want), tolerance) << x << ", " << y;
    }

    set("Opacity", 100);
    set("Blending Mode", 6); // "Multiply": red keeps the layer's red and removes the rest
    out = render(frameAt(depth));
    for (const auto& [x, y] : {std::pair{320, 240}, std::pair{280, 200}, std::pair{390, 250}}) {
        const Channels under = pixelAt(m_layer, x, y);
        EXPECT_LE(difference(pixelAt(out, x, y), {m, under.red, 0, 0}), tolerance)
            << x << ", " << y;
    }
    EXPECT_EQ(difference(pixelAt(out, 10, 10), pixelAt(m_layer, 10, 10)), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Depths, CircleRender, allDepths(), depthTestName);

} // namespace
} // namespace EffectsTest
