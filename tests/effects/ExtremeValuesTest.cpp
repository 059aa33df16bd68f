// Values far beyond anything drawable, as a host may deliver them (the offline host, like a
// project file, does not hold values to their valid range): each effect either covers the whole
// layer or draws nothing, never asks the host for a world or a composite outside the layer, and
// leaves no world behind. Run under UndefinedBehaviorSanitizer, these also guard every
// float-to-int conversion of a radius, a thickness, a corner or a region edge.

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
    any,    // somewhere; only the host's bookkeeping is checked
};

struct Case {
    const char* effect;
    const char* name;
    std::vector<std::pair<const char*, double>> values;
    std::vector<std::tuple<const char*, double, double>> points;
    Outcome outcome;
};

// The layer is 160 x 120, so the default triangle has its corners at (80, 30), (40, 90) and
// (120, 90), and the anchor point (80, 60) lies inside it: scaling about the anchor grows it over
// the whole layer.
const std::vector<Case>& cases() {
    static const std::vector<Case> all{
        {"OndrelCircle",
         "TypedMaximumRadiusAtMaximumScale",
         {{"Radius", 3000}, {"Scale", 1e6}},
         {},
         Outcome::fill},
        {"OndrelCircle",
         "CentreFlungAwayButStillCovering",
         {{"Radius", 3000}, {"Scale", 1e6}},
         {{"Center", 330, 240}}, // 250 px from the anchor, 2.5e6 px once scaled
         Outcome::fill},
        {"OndrelCircle",
         "RadiusOverflowingToInfinity",
         {{"Radius", 1e308}, {"Scale", 1e6}},
         {},
         Outcome::fill},
        {"OndrelCircle",
         "ScaleFarBeyondItsRange",
         {{"Scale", 1e100}},
         {{"Center", 81, 60}},
         Outcome::fill},
        {"OndrelCircle", "RadiusNotANumber", {{"Radius", nan}}, {}, Outcome::input},
        {"OndrelCircle",
         "InfiniteScaleOffTheAnchor",
         {{"Scale", inf}},
         {{"Center", 330, 240}},
         Outcome::input},
        {"OndrelCircle", "InfiniteScaleOnTheAnchor", {{"Scale", inf}}, {}, Outcome::input},
        {"OndrelCircle", "ScaleNotANumber", {{"Scale", nan}}, {}, Outcome::input},
        {"OndrelCircle", "NegativeRadius", {{"Radius", -50}}, {}, Outcome::input},
        {"OndrelCircle",
         "PositionAtTheEndOfFixedPoint",
         {},
         {{"Position", 1e9, -1e9}},
         Outcome::input},
        {"OndrelCircle",
         "CentreAtTheEndOfFixedPoint",
         {{"Radius", 3000}},
         {{"Center", -1e9, 1e9}},
         Outcome::input},
        {"OndrelCircle",
         "RotationAtTheEndOfFixedPoint",
         {{"Rotation", 1e9}},
         {{"Center", 420, 240}},
         Outcome::any},
        {"OndrelCircle",
         "InfiniteStrokeWidth",
         {{"Mode", 3}, {"Stroke Width", 1e308}, {"Scale", 1e6}},
         {},
         Outcome::stroke},
        {"OndrelCircle",
         "StrokeWidthNotANumber",
         {{"Mode", 2}, {"Stroke Width", nan}},
         {},
         Outcome::input},

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

        {"OndrelTriangle", "AtMaximumScale", {{"Scale", 1e6}}, {}, Outcome::fill},
        {"OndrelTriangle", "ScaleFarBeyondItsRange", {{"Scale", 1e308}}, {}, Outcome::fill},
        {"OndrelTriangle", "InfiniteScale", {{"Scale", inf}}, {}, Outcome::input},
        {"OndrelTriangle", "ScaleNotANumber", {{"Scale", nan}}, {}, Outcome::input},
        {"OndrelTriangle", "PositionFarAway", {}, {{"Position", 1e9, -1e9}}, Outcome::input},
        {"OndrelTriangle",
         "CornersFarAway",
         {},
         {{"Point 1", 1e9, 1e9}, {"Point 2", 1e9 + 5e8, 1e9}, {"Point 3", 1e9, 1e9 + 5e8}},
         Outcome::input},
        {"OndrelTriangle",
         "CoincidentCornersFarAway",
         {},
         {{"Point 1", 1e9, 1e9}, {"Point 2", 1e9, 1e9}, {"Point 3", 1e9, 1e9}},
         Outcome::input},
        {"OndrelTriangle",
         "CoincidentCornersAtMaximumScale",
         {{"Scale", 1e6}},
         {{"Point 1", 80, 60}, {"Point 2", 80, 60}, {"Point 3", 80, 60}},
         Outcome::input},
        {"OndrelTriangle",
         "CollinearCornersAtMaximumScale",
         {{"Scale", 1e6}},
         {{"Point 1", 10, 10}, {"Point 2", 150, 110}, {"Point 3", 80, 60}},
         Outcome::input},
        // A stroke wider than the triangle's inradius moves every inner edge past the incentre,
        // so the inner triangle holds nothing and the stroke covers all the outer one does.
        {"OndrelTriangle",
         "WideStrokeAtMaximumScale",
         {{"Mode", 3}, {"Stroke Width", 1000}, {"Scale", 1e6}},
         {},
         Outcome::stroke},
        // Unlike the other shapes, the triangle places its stroke by its outer corners: at this
        // width they overflow, and corners too large to place enclose nothing.
        {"OndrelTriangle",
         "InfiniteStrokeWidth",
         {{"Mode", 3}, {"Stroke Width", 1e308}, {"Scale", 1e6}},
         {},
         Outcome::input},
        {"OndrelTriangle",
         "StrokeWidthNotANumber",
         {{"Mode", 2}, {"Stroke Width", nan}},
         {},
         Outcome::input},
    };
    return all;
}

class ExtremeValues : public ::testing::TestWithParam<std::tuple<PixelDepth, std::size_t>> {};

TEST_P(ExtremeValues, GiveTheWholeLayerOrNothing) {
    const auto [depth, which] = GetParam();
    const Case& c = cases()[which];
    auto effect = appliedEffect(c.effect);
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
    EXPECT_TRUE(effect->diagnostics().misuses().empty());
    EXPECT_TRUE(effect->diagnostics().lastAccount().liveWorlds.empty());

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

// Named by the effect without its "Ondrel" prefix, the case and the depth.
INSTANTIATE_TEST_SUITE_P(Cases, ExtremeValues,
                         ::testing::Combine(allDepths(),
                                            ::testing::Range<std::size_t>(0, cases().size())),
                         [](const auto& test) {
                             const Case& c = cases()[std::get<1>(test.param)];
                             return std::string(c.effect + 6) + c.name + "_Bits" +
                                    depthName(std::get<0>(test.param));
                         });

} // namespace
} // namespace EffectsTest
