// Values far beyond anything drawable, as a host may deliver them (the offline host, like a
// project file, does not hold values to their valid range): the circle either covers the whole
// layer, or draws nothing, and never asks the host for a world or a composite outside the layer.
// Run under UndefinedBehaviorSanitizer, these also guard every float-to-int conversion.

#include "EffectsFixture.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace EffectsTest {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

enum class Outcome {
    input,  // nothing drawn
    fill,   // the red fill everywhere
    stroke, // the white stroke everywhere
    any,    // somewhere; only the host's bookkeeping is checked
};

struct Case {
    const char* name;
    std::vector<std::pair<const char*, double>> values;
    std::vector<std::tuple<const char*, double, double>> points;
    Outcome outcome;
};

const std::vector<Case>& cases() {
    static const std::vector<Case> all{
        {"TypedMaximumRadiusAtMaximumScale", {{"Radius", 3000}, {"Scale", 1e6}}, {}, Outcome::fill},
        {"CentreFlungAwayButStillCovering",
         {{"Radius", 3000}, {"Scale", 1e6}},
         {{"Center", 330, 240}}, // 250 px from the anchor, 2.5e6 px once scaled
         Outcome::fill},
        {"RadiusOverflowingToInfinity", {{"Radius", 1e308}, {"Scale", 1e6}}, {}, Outcome::fill},
        {"ScaleFarBeyondItsRange", {{"Scale", 1e100}}, {{"Center", 81, 60}}, Outcome::fill},
        {"RadiusNotANumber", {{"Radius", nan}}, {}, Outcome::input},
        {"InfiniteScaleOffTheAnchor", {{"Scale", inf}}, {{"Center", 330, 240}}, Outcome::input},
        {"InfiniteScaleOnTheAnchor", {{"Scale", inf}}, {}, Outcome::input},
        {"ScaleNotANumber", {{"Scale", nan}}, {}, Outcome::input},
        {"NegativeRadius", {{"Radius", -50}}, {}, Outcome::input},
        {"PositionAtTheEndOfFixedPoint", {}, {{"Position", 1e9, -1e9}}, Outcome::input},
        {"CentreAtTheEndOfFixedPoint", {{"Radius", 3000}}, {{"Center", -1e9, 1e9}}, Outcome::input},
        {"RotationAtTheEndOfFixedPoint", {{"Rotation", 1e9}}, {{"Center", 420, 240}}, Outcome::any},
        {"InfiniteStrokeWidth",
         {{"Mode", 3}, {"Stroke Width", 1e308}, {"Scale", 1e6}},
         {},
         Outcome::stroke},
        {"StrokeWidthNotANumber", {{"Mode", 2}, {"Stroke Width", nan}}, {}, Outcome::input},
    };
    return all;
}

class ExtremeValues : public ::testing::TestWithParam<std::tuple<PixelDepth, std::size_t>> {};

TEST_P(ExtremeValues, GiveTheWholeLayerOrNothing) {
    const auto [depth, which] = GetParam();
    const Case& c = cases()[which];
    auto circle = applyEffect("OndrelCircle");
    for (const auto& [name, value] : c.values) {
        circle->setValue(param(*circle, name), value);
    }
    for (const auto& [name, x, y] : c.points) {
        circle->setPoint(param(*circle, name), x, y);
    }
    World layer(160, 120, depth);
    paintBackground(layer);
    World out(1, 1, depth);
    ASSERT_EQ(circle->renderFrame(frameAt(depth, 160, 120), layer, out), PF_Err_NONE);
    EXPECT_TRUE(circle->misuses().empty());
    EXPECT_TRUE(circle->lastAccount().liveWorlds.empty());

    const double m = channelMax(depth);
    for (A_long y = 0; y < out.height(); ++y) {
        for (A_long x = 0; x < out.width(); ++x) {
            const Channels got = pixelAt(out, x, y);
            switch (c.outcome) {
            case Outcome::input:
                ASSERT_EQ(difference(got, pixelAt(layer, x, y)), 0.0) << x << ", " << y;
                break;
            case Outcome::fill:
                ASSERT_EQ(difference(got, {m, m, 0, 0}), 0.0) << x << ", " << y;
                break;
            case Outcome::stroke:
                ASSERT_EQ(difference(got, {m, m, m, m}), 0.0) << x << ", " << y;
                break;
            case Outcome::any:
                ASSERT_EQ(got.alpha, m) << x << ", " << y;
                break;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ExtremeValues,
                         ::testing::Combine(::testing::Values(PixelDepth::Bits8, PixelDepth::Bits16,
                                                              PixelDepth::Float32),
                                            ::testing::Range<std::size_t>(0, cases().size())),
                         [](const auto& test) {
                             return std::string(cases()[std::get<1>(test.param)].name) + "_Bits" +
                                    depthName(std::get<0>(test.param));
                         });

} // namespace
} // namespace EffectsTest
