// OndrelCircle rendered through the offline host at every depth. Expected pixels come from the
// circle's coverage formulas, evaluated here: fill clamp01(r - d), stroke
// clamp01(r + h - d) * clamp01(w) * (1 - clamp01(r - h - d)), d the distance of the pixel's
// integer sample point from the centre, h half the stroke width w.

#include "EffectsFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

namespace EffectsTest {
namespace {

double clamp01(double v) {
    return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

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
    double stroke(A_long x, A_long y) const {
        if (mode == 1) {
            return 0.0;
        }
        const double d = distance(x, y);
        const double h = strokeWidth / 2.0;
        return clamp01(radius + h - d) * clamp01(strokeWidth) * (1.0 - clamp01(radius - h - d));
    }
};

// A colour parameter's channel as the drawer writes it: c / 255 in float, then c * M + 0.5 in
// float, truncated (8 and 16 bits) or c itself (float).
double colorChannel(int value, PixelDepth depth) {
    const float c = static_cast<float>(value) / 255.0f;
    if (depth == PixelDepth::Float32) {
        return static_cast<double>(c);
    }
    return std::trunc(static_cast<double>(c * static_cast<float>(channelMax(depth)) + 0.5f));
}

struct Rgb {
    int red;
    int green;
    int blue;
};

// With "None" the output holds the shape alone: a pixel the shape covers carries the coverage
// as alpha and the colour as it is; any other pixel is transparent black. Only one of fill and
// stroke may be drawn, so that no pixel mixes the two. The host's float composite onto transparent
// black may round the last bit.
::testing::AssertionResult holdsShapeAlone(const World& out, const ExpectedCircle& circle,
                                           const Rgb& color) {
    const PixelDepth depth = out.depth();
    const double tolerance = depth == PixelDepth::Float32 ? 1e-6 : 0.0;
    for (A_long y = 0; y < out.height(); ++y) {
        for (A_long x = 0; x < out.width(); ++x) {
            const double coverage = circle.mode == 2 ? circle.stroke(x, y) : circle.fill(x, y);
            const Channels got = pixelAt(out, x, y);
            Channels want;
            if (coverage > 1e-6) {
                want = {alphaOfCoverage(coverage, depth), colorChannel(color.red, depth),
                        colorChannel(color.green, depth), colorChannel(color.blue, depth)};
            }
            const bool transparent = want.alpha == 0.0;
            if (transparent ? got.alpha != 0.0 : difference(got, want) > tolerance) {
                std::ostringstream s;
                s << "pixel (" << x << ", " << y << ") coverage " << coverage << ": got ("
                  << got.alpha << ", " << got.red << ", " << got.green << ", " << got.blue
                  << "), want (" << want.alpha << ", " << want.red << ", " << want.green << ", "
                  << want.blue << ")";
                return ::testing::AssertionFailure() << s.str();
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// Normal compositing of the fill over an opaque layer at full opacity: the layer's pixel where
// the circle does not reach, the fill colour where it covers fully, and the straight mix of the
// two by the written alpha in between (within the rounding of the host's composite).
::testing::AssertionResult fillsOverLayer(const World& out, const World& layer,
                                          const ExpectedCircle& circle, const Rgb& color,
                                          A_long layerX = 0, A_long layerY = 0) {
    const PixelDepth depth = out.depth();
    const double m = channelMax(depth);
    const double tolerance = depth == PixelDepth::Float32 ? 1e-5 : 1.0;
    for (A_long y = 0; y < out.height(); ++y) {
        for (A_long x = 0; x < out.width(); ++x) {
            const double coverage = circle.fill(x, y);
            const Channels under = pixelAt(layer, x + layerX, y + layerY);
            const double a = coverage > 1e-6 ? alphaOfCoverage(coverage, depth) / m : 0.0;
            const Channels want{m, under.red + (colorChannel(color.red, depth) - under.red) * a,
                                under.green + (colorChannel(color.green, depth) - under.green) * a,
                                under.blue + (colorChannel(color.blue, depth) - under.blue) * a};
            const Channels got = pixelAt(out, x, y);
            const double allowed = (a == 0.0 || a == 1.0) ? 0.0 : tolerance;
            if (difference(got, want) > allowed) {
                std::ostringstream s;
                s << "pixel (" << x << ", " << y << ") coverage " << coverage << ": got ("
                  << got.alpha << ", " << got.red << ", " << got.green << ", " << got.blue
                  << "), want (" << want.alpha << ", " << want.red << ", " << want.green << ", "
                  << want.blue << ")";
                return ::testing::AssertionFailure() << s.str();
            }
        }
    }
    return ::testing::AssertionSuccess();
}

class CircleRender : public ::testing::TestWithParam<PixelDepth> {
protected:
    void SetUp() override { circle = applyEffect("OndrelCircle"); }

    void set(std::string_view name, double value) { circle->setValue(param(*circle, name), value); }
    void setPoint(std::string_view name, double x, double y) {
        circle->setPoint(param(*circle, name), x, y);
    }
    void setColor(std::string_view name, const Rgb& c) {
        circle->setColor(param(*circle, name),
                         PF_Pixel{255, static_cast<A_u_char>(c.red), static_cast<A_u_char>(c.green),
                                  static_cast<A_u_char>(c.blue)});
    }
    // Renders over a painted layer of the frame's full size.
    World render(const Frame& frame) {
        layer = World(frame.layerWidth, frame.layerHeight, frame.depth);
        paintBackground(layer);
        World out(1, 1, frame.depth);
        EXPECT_EQ(circle->renderFrame(frame, layer, out), PF_Err_NONE);
        return out;
    }

    std::unique_ptr<EffectInstance> circle;
    World layer{1, 1, PixelDepth::Bits8};
    static constexpr Rgb red{255, 0, 0};
};

TEST_P(CircleRender, DefaultsDrawARedDiscOfRadius100AtTheLayerCentre) {
    const World out = render(frameAt(GetParam()));
    EXPECT_TRUE(fillsOverLayer(out, layer, {320, 240, 100}, red));
}

TEST_P(CircleRender, NoneLeavesTheFillAloneOnTransparentBlack) {
    set("Blending Mode", 1);
    setColor("Fill Color", {0, 128, 255});
    setPoint("Center", 200.25, 150.5);
    set("Radius", 60.3);
    const World out = render(frameAt(GetParam()));
    EXPECT_TRUE(holdsShapeAlone(out, {200.25, 150.5, 60.3}, {0, 128, 255}));
}

TEST_P(CircleRender, NoneLeavesTheStrokeAloneOnTransparentBlack) {
    set("Blending Mode", 1);
    set("Mode", 2);
    set("Stroke Width", 7.5);
    setColor("Stroke Color", {40, 200, 90});
    const World out = render(frameAt(GetParam()));
    EXPECT_TRUE(holdsShapeAlone(out, {320, 240, 100, 7.5, 2}, {40, 200, 90}));
}

TEST_P(CircleRender, DownsamplingScalesLengthsByTheHorizontalFactor) {
    set("Blending Mode", 1);
    set("Mode", 2);
    set("Stroke Width", 9);
    Frame frame = frameAt(GetParam());
    frame.downsampleX = {1, 2};
    frame.downsampleY = {1, 2};
    World out = render(frame);
    ASSERT_EQ(out.width(), 320);
    ASSERT_EQ(out.height(), 240);
    EXPECT_TRUE(holdsShapeAlone(out, {160, 120, 50, 4.5, 2}, {255, 255, 255}));

    // Only the points follow the vertical factor; the radius keeps the horizontal one.
    frame.downsampleY = {1, 1};
    set("Mode", 1);
    out = render(frame);
    ASSERT_EQ(out.height(), 480);
    EXPECT_TRUE(holdsShapeAlone(out, {160, 240, 50}, red));
}

TEST_P(CircleRender, TransformMovesTheCentreAboutTheAnchorPoint) {
    set("Blending Mode", 1);
    setPoint("Center", 420, 240);
    set("Rotation", 90); // clockwise on screen: 100 px right of the anchor becomes 100 px below
    const World turned = render(frameAt(GetParam()));
    EXPECT_TRUE(holdsShapeAlone(turned, {320, 340, 100}, red));

    set("Rotation", 0);
    set("Scale", -50); // mirrored through the anchor, half the size
    setPoint("Position", 330, 250);
    const World mirrored = render(frameAt(GetParam()));
    EXPECT_TRUE(holdsShapeAlone(mirrored, {320 - 50 + 10, 240 + 10, 50}, red));
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
    ASSERT_EQ(circle->smartRender(frame, input, output), PF_Err_NONE);
    EXPECT_TRUE(fillsOverLayer(output, painted, {320 - 13, 240 - 7, 100}, red));

    set("Blending Mode", 1);
    World cleared(600, 400, frame.depth, 2 * padding);
    ASSERT_EQ(circle->smartRender(frame, input, cleared), PF_Err_NONE);
    EXPECT_TRUE(holdsShapeAlone(cleared, {320 - 13, 240 - 7, 100}, red));
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
        const Channels under = pixelAt(layer, x, y);
        const Channels want{m, under.red + (m - under.red) * half, under.green * (1 - half),
                            under.blue * (1 - half)};
        EXPECT_LE(difference(pixelAt(out, x, y), want), tolerance) << x << ", " << y;
    }

    set("Opacity", 100);
    set("Blending Mode", 6); // "Multiply": red keeps the layer's red and removes the rest
    out = render(frameAt(depth));
    for (const auto& [x, y] : {std::pair{320, 240}, std::pair{280, 200}, std::pair{390, 250}}) {
        const Channels under = pixelAt(layer, x, y);
        EXPECT_LE(difference(pixelAt(out, x, y), {m, under.red, 0, 0}), tolerance)
            << x << ", " << y;
    }
    EXPECT_EQ(difference(pixelAt(out, 10, 10), pixelAt(layer, 10, 10)), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Depths, CircleRender,
                         ::testing::Values(PixelDepth::Bits8, PixelDepth::Bits16,
                                           PixelDepth::Float32),
                         [](const auto& test) {
                             return std::string("Bits") + depthName(test.param);
                         });

} // namespace
} // namespace EffectsTest
