// Values far beyond anything drawable, as a host may deliver them (nothing holds a value to its
// valid range): the line and the rectangle either cover the whole layer or draw nothing, and leave
// no world behind. Under UndefinedBehaviorSanitizer these also guard every conversion of a region
// edge to int.

#include "EffectsFixture.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <vector>

namespace EffectsTest {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

enum class Outcome {
    input,  // nothing drawn
    fill,   // the red fill everywhere
    stroke, // the white stroke everywhere
};

struct Case {
    const char* effect;
    const char* name;
    std::vector<std::pair<const char*, double>> values;
    std::vector<std::tuple<const char*, double, double>> points;
    Outcome outcome;
};

const std::vector<Case>& cases() {
    static const std::vector<Case> all{
        {"OndrelLine",
         "ThickestAtMaximumScale",
         {{"Thickness", 3000}, {"Scale", 1e6}},
         {},
         Outcome::fill},
        {"OndrelLine",
         "ThicknessOverflowingToInfinity",
         {{"Thickness", 1e308}, {"Scale", 1e6}},
         {},
         Outcome::fill},
        {"OndrelLine",
         "RoundCapsOfInfiniteThickness",
         {{"Cap", 2}, {"Thickness", 1e308}, {"Scale", 1e6}},
         {},
         Outcome::fill},
        {"OndrelLine", "NegativeThickness", {{"Thickness", -50}}, {}, Outcome::input},
        {"OndrelLine", "InfiniteScale", {{"Scale", inf}}, {}, Outcome::input},
        {"OndrelLine", "ScaleNotANumber", {{"Scale", nan}}, {}, Outcome::input},
        {"OndrelLine",
         "RoundCapsScaleNotANumber",
         {{"Cap", 2}, {"Scale", nan}},
         {},
         Outcome::input},
        {"OndrelLine",
         "CoincidentPointsFarAway",
         {},
         {{"Point 1", 1e9, 1e9}, {"Point 2", 1e9, 1e9}},
         Outcome::input},
        {"OndrelLine",
         "InfiniteStrokeWidth",
         {{"Mode", 3}, {"Stroke Width", 1e308}, {"Scale", 1e6}},
         {},
         Outcome::stroke},
        {"OndrelLine",
         "StrokeWidthNotANumber",
         {{"Mode", 2}, {"Stroke Width", nan}},
         {},
         Outcome::input},
        {"OndrelRectangle",
         "WidestAtMaximumScale",
         {{"Controlled By", 2}, {"Width", 20000}, {"Height", 20000}, {"Scale", 1e6}},
         {},
         Outcome::fill},
        {"OndrelRectangle", "InfiniteScale", {{"Scale", inf}}, {}, Outcome::input},
        {"OndrelRectangle", "ScaleNotANumber", {{"Scale", nan}}, {}, Outcome::input},
        {"OndrelRectangle", "PositionFarAway", {}, {{"Position", 1e9, -1e9}}, Outcome::input},
        {"OndrelRectangle",
         "InfiniteStrokeWidth",
         {{"Mode", 3}, {"Stroke Width", 1e308}, {"Scale", 1e6}},
         {},
         Outcome::stroke},
        {"OndrelRectangle",
         "StrokeWidthNotANumber",
         {{"Mode", 2}, {"Stroke Width", nan}},
         {},
         Outcome::input},
    };
    return all;
}

class LineRectangleExtremes : public ::testing::TestWithParam<std::tuple<PixelDepth, std::size_t>> {
};

TEST_P(LineRectangleExtremes, GiveTheWholeLayerOrNothing) {
    const auto [depth, which] = GetParam();
    const Case& c = cases()[which];
    auto effect = applyEffect(c.effect);
    for (const auto& [name, value] : c.values) {
        effect->setValue(param(*effect, name), value);
    }
    for (const auto& [name, x, y] : c.points) {
        effect->setPoint(param(*effect, name), x, y);
    }
    World layer(160, 120, depth);
    paintBackground(layer);
    World out(1, 1, depth);
    ASSERT_EQ(effect->renderFrame(frameAt(depth, 160, 120), layer, out), PF_Err_NONE);
    EXPECT_TRUE(effect->misuses().empty());
    EXPECT_TRUE(effect->lastAccount().liveWorlds.empty());

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
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LineRectangleExtremes,
                         ::testing::Combine(::testing::Values(PixelDepth::Bits8, PixelDepth::Bits16,
                                                              PixelDepth::Float32),
                                            ::testing::Range<std::size_t>(0, cases().size())),
                         [](const auto& test) {
                             const Case& c = cases()[std::get<1>(test.param)];
                             return std::string(c.effect + 6) + c.name + "_Bits" +
                                    depthName(std::get<0>(test.param));
                         });

} // namespace
} // namespace EffectsTest
