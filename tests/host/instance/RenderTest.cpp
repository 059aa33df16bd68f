// Smart pre-render and render through the probe: worlds at the downsampled size, the layer
// scaled down by the host, padded and offset worlds, the checkouts, and the pre-render data's
// delete function.

#include "tests/host/HostTestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace OfflineHost;

namespace {

// A distinct value per channel and position, within every depth's range.
double channel(A_long x, A_long y, int c) {
    return ((x * 7 + y * 13 + c * 29) % 97) / 96.0;
}

template <typename Pixel>
Pixel pixelOf(double a, double r, double g, double b);

template <>
PF_Pixel pixelOf<PF_Pixel>(double a, double r, double g, double b) {
    const auto v = [](double c) { return static_cast<A_u_char>(std::lround(c * 255)); };
    return {v(a), v(r), v(g), v(b)};
}
template <>
PF_Pixel16 pixelOf<PF_Pixel16>(double a, double r, double g, double b) {
    const auto v = [](double c) { return static_cast<A_u_short>(std::lround(c * 32768)); };
    return {v(a), v(r), v(g), v(b)};
}
template <>
PF_PixelFloat pixelOf<PF_PixelFloat>(double a, double r, double g, double b) {
    const auto v = [](double c) { return static_cast<PF_FpShort>(c); };
    return {v(a), v(r), v(g), v(b)};
}

template <typename Pixel>
Pixel patternAt(A_long x, A_long y) {
    return pixelOf<Pixel>(channel(x, y, 0), channel(x, y, 1), channel(x, y, 2), channel(x, y, 3));
}

// The probe's "Colour" default, (255, 10, 20, 30), at the pixel's depth.
template <typename Pixel>
Pixel probeColour() {
    return pixelOf<Pixel>(1.0, 10 / 255.0, 20 / 255.0, 30 / 255.0);
}

template <typename Pixel>
bool same(const Pixel& a, const Pixel& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

template <typename Pixel>
void fillPattern(World& world) {
    for (A_long y = 0; y < world.height(); ++y) {
        for (A_long x = 0; x < world.width(); ++x) {
            world.at<Pixel>(x, y) = patternAt<Pixel>(x, y);
        }
    }
}

template <typename Pixel>
void rendersTheScaledLayer() {
    const PixelDepth depth = World::depthOf<Pixel>();
    auto probe = HostTest::setUpProbe();
    World layer(9, 7, depth, 2 * sizeof(Pixel::alpha));
    fillPattern<Pixel>(layer);
    probe->setPoint(Probe::Centre, 6, 4); // full-resolution layer pixels

    Frame frame;
    frame.depth = depth;
    frame.downsampleX = {1, 2};
    frame.downsampleY = {1, 2};
    World output(1, 1, depth);
    ASSERT_EQ(probe->renderFrame(frame, layer, output), PF_Err_NONE);
    ASSERT_EQ(output.width(), 5); // ceil(9 / 2)
    ASSERT_EQ(output.height(), 4);
    EXPECT_EQ(probe->frame().layerWidth, 9);
    const auto& pre = probe->preRenderResult();
    EXPECT_EQ(pre.resultRect.right, 5);
    EXPECT_EQ(pre.maxResultRect.bottom, 4);

    for (A_long y = 0; y < 4; ++y) {
        for (A_long x = 0; x < 5; ++x) {
            // The centre of an output pixel, back in layer pixels, rounded down; kept inside.
            const A_long sx = std::min<A_long>(8, 2 * x + 1);
            const A_long sy = std::min<A_long>(6, 2 * y + 1);
            // The point (6, 4) at half size lands on pixel (3, 2).
            const Pixel expected =
                x == 3 && y == 2 ? probeColour<Pixel>() : patternAt<Pixel>(sx, sy);
            EXPECT_TRUE(same(output.at<Pixel>(x, y), expected)) << x << "," << y;
        }
    }
    // Render disposed of the pre-render data: only the global data is left.
    EXPECT_TRUE(probe->diagnostics().lastAccount().clean());
    EXPECT_EQ(probe->diagnostics().lastAccount().liveHandles.size(), 1u);
    EXPECT_TRUE(probe->diagnostics().misuses().empty());
}

} // namespace

TEST(Render, ScalesTheLayerDownAt8Bits) {
    rendersTheScaledLayer<PF_Pixel>();
}
TEST(Render, ScalesTheLayerDownAt16Bits) {
    rendersTheScaledLayer<PF_Pixel16>();
}
TEST(Render, ScalesTheLayerDownInFloat) {
    rendersTheScaledLayer<PF_PixelFloat>();
}

// Any factors, against the nearest-pixel rule worked out here: output pixel (x, y) shows layer
// pixel (min(w - 1, floor((x + 1/2) / f)), likewise in y) for the factor f = num / den. Each
// factor renders two different layers into one output world, which is reused, and must show the
// second layer.
template <typename Pixel>
void scalesByAnyFactorIntoReusedWorlds() {
    const PixelDepth depth = World::depthOf<Pixel>();
    auto probe = HostTest::setUpProbe();
    probe->setPoint(Probe::Centre, 1000, 1000); // the probe's spot falls outside every frame
    const A_long width = 13;
    const A_long height = 11;
    const auto layerShifted = [&](A_long shift) {
        World layer(width, height, depth, 3 * sizeof(Pixel::alpha));
        for (A_long y = 0; y < height; ++y) {
            for (A_long x = 0; x < width; ++x) {
                layer.at<Pixel>(x, y) = patternAt<Pixel>(x + shift, y);
            }
        }
        return layer;
    };
    const World first = layerShifted(0);
    const World second = layerShifted(5);
    const PF_RationalScale factors[][2] = {
        {{1, 1}, {1, 1}}, {{1, 3}, {1, 1}}, {{1, 1}, {1, 2}}, {{2, 3}, {3, 4}}, {{1, 4}, {1, 5}}};
    for (const auto& factor : factors) {
        Frame frame;
        frame.depth = depth;
        frame.downsampleX = factor[0];
        frame.downsampleY = factor[1];
        World output(1, 1, depth);
        ASSERT_EQ(probe->renderFrame(frame, first, output), PF_Err_NONE);
        const auto* pixels = output.effectWorld().data;
        ASSERT_EQ(probe->renderFrame(frame, second, output), PF_Err_NONE);
        EXPECT_EQ(output.effectWorld().data, pixels) << "the output world is reused";
        const auto source = [](A_long i, A_long size, const PF_RationalScale& f) {
            const auto at = static_cast<A_long>(std::floor((i + 0.5) * f.den / f.num));
            return std::min(size - 1, at);
        };
        ASSERT_EQ(output.width(), (width * factor[0].num + factor[0].den - 1) / factor[0].den);
        ASSERT_EQ(output.height(), (height * factor[1].num + factor[1].den - 1) / factor[1].den);
        for (A_long y = 0; y < output.height(); ++y) {
            for (A_long x = 0; x < output.width(); ++x) {
                const Pixel expected =
                    second.at<Pixel>(source(x, width, factor[0]), source(y, height, factor[1]));
                EXPECT_TRUE(same(output.at<Pixel>(x, y), expected))
                    << factor[0].num << "/" << factor[0].den << " " << factor[1].num << "/"
                    << factor[1].den << " at " << x << "," << y;
            }
        }
    }
    EXPECT_TRUE(probe->diagnostics().misuses().empty());
}

TEST(Render, ScalesByAnyFactorIntoReusedWorlds) {
    scalesByAnyFactorIntoReusedWorlds<PF_Pixel>();
    scalesByAnyFactorIntoReusedWorlds<PF_Pixel16>();
    scalesByAnyFactorIntoReusedWorlds<PF_PixelFloat>();
}

TEST(Render, UsesTheCallersPaddedAndOffsetWorlds) {
    auto probe = HostTest::setUpProbe();
    World input(10, 6, PixelDepth::Bits16, 12, 2, 3);
    World output(10, 6, PixelDepth::Bits16, 8, 2, 3);
    fillPattern<PF_Pixel16>(input);
    probe->setPoint(Probe::Centre, 5, 5); // layer pixel (5, 5) is world pixel (3, 2)
    Frame frame;
    frame.depth = PixelDepth::Bits16;
    frame.layerWidth = 12;
    frame.layerHeight = 9;
    ASSERT_EQ(probe->smartRender(frame, input, output), PF_Err_NONE);
    for (A_long y = 0; y < 6; ++y) {
        for (A_long x = 0; x < 10; ++x) {
            const PF_Pixel16 expected =
                x == 3 && y == 2 ? probeColour<PF_Pixel16>() : patternAt<PF_Pixel16>(x, y);
            EXPECT_TRUE(same(output.at<PF_Pixel16>(x, y), expected)) << x << "," << y;
        }
    }
    // The padding after each row stays as created.
    const auto* bytes = reinterpret_cast<const unsigned char*>(output.effectWorld().data);
    for (A_long y = 0; y < 6; ++y) {
        for (A_long i = 80; i < output.rowBytes(); ++i) {
            EXPECT_EQ(bytes[y * output.rowBytes() + i], 0) << y << "," << i;
        }
    }
    // The layer's rectangle is the input world's, placed by its origin.
    EXPECT_EQ(probe->preRenderResult().maxResultRect.left, 2);
    EXPECT_EQ(probe->preRenderResult().maxResultRect.bottom, 9);
    EXPECT_THROW(probe->smartRender(Frame{}, input, output), HostError); // depth mismatch
}

TEST(Render, ANullLayerWorldReachesTheModuleWithoutHarm) {
    auto probe = HostTest::setUpProbe();
    probe->diagnostics().failCall("checkout_layer_pixels", PF_Err_NONE);
    World layer(4, 4, PixelDepth::Bits8);
    World output(1, 1, PixelDepth::Bits8);
    // The probe answers a null world with PF_Err_INTERNAL_STRUCT_DAMAGED.
    EXPECT_EQ(probe->renderFrame(Frame{}, layer, output), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_TRUE(probe->diagnostics().lastAccount().clean());

    probe->diagnostics().clearFaults();
    probe->diagnostics().failCall("checkout_layer", PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(probe->renderFrame(Frame{}, layer, output), PF_Err_OUT_OF_MEMORY);
    // Pre-render failed; its data was handed to the delete function all the same.
    EXPECT_TRUE(probe->diagnostics().account().clean());
}

TEST(Render, ContextGivesLiveCheckoutsToModuleCode) {
    auto probe = HostTest::setUpProbe();
    World input(6, 4, PixelDepth::Float32);
    World output(6, 4, PixelDepth::Float32);
    Frame frame;
    frame.layerWidth = 6;
    frame.layerHeight = 4;
    frame.depth = PixelDepth::Float32;
    auto context = probe->context(frame);
    const auto ref = context.in()->effect_ref;
    EXPECT_EQ(context.in()->width, 6);
    EXPECT_EQ(context.in()->version.major, 13);

    PF_PreRenderExtra* pre = context.preRenderExtra();
    PF_RenderRequest request = pre->input->output_request;
    request.rect = {-3, 1, 4, 10};
    PF_CheckoutResult result{};
    ASSERT_EQ(pre->cb->checkout_layer(ref, 0, 5, &request, 0, 1, 30, &result), PF_Err_NONE);
    EXPECT_EQ(result.result_rect.left, 0);
    EXPECT_EQ(result.result_rect.top, 1);
    EXPECT_EQ(result.result_rect.right, 4);
    EXPECT_EQ(result.result_rect.bottom, 4);
    EXPECT_EQ(result.max_result_rect.right, 6);
    EXPECT_EQ(pre->cb->checkout_layer(ref, 1, 6, &request, 0, 1, 30, &result),
              PF_Err_INVALID_INDEX);

    PF_SmartRenderExtra* smart = context.smartRenderExtra(input, output);
    PF_EffectWorld* world = nullptr;
    ASSERT_EQ(smart->cb->checkout_layer_pixels(ref, 5, &world), PF_Err_NONE);
    EXPECT_EQ(world, &input.effectWorld());
    ASSERT_EQ(smart->cb->checkout_layer_pixels(ref, 0, &world), PF_Err_NONE);
    EXPECT_EQ(smart->cb->checkout_layer_pixels(ref, 9, &world), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(world, nullptr);
    EXPECT_EQ(smart->cb->checkin_layer_pixels(ref, 5), PF_Err_NONE);
    EXPECT_EQ(smart->cb->checkin_layer_pixels(ref, 5), PF_Err_BAD_CALLBACK_PARAM);
    ASSERT_EQ(smart->cb->checkout_output(ref, &world), PF_Err_NONE);
    EXPECT_EQ(world, &output.effectWorld());
    EXPECT_EQ(smart->cb->checkout_output(nullptr, &world), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(probe->diagnostics().misuses().size(), 4u);
    EXPECT_THROW(probe->send(PF_Cmd_ABOUT), HostError); // the Context is still open
}

TEST(Render, SprintfKeepsWithinTheMessageField) {
    auto probe = HostTest::setUpProbe();
    const std::string text(400, 'q');
    Probe::Request request;
    request.action = Probe::Action::Format;
    request.text = text.c_str();
    EXPECT_EQ(HostTest::perform(*probe, request).result, 255);
    EXPECT_EQ(std::string(probe->outData().return_msg), text.substr(0, 255));
}
