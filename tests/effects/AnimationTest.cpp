// Animated effects through the offline host: keyframed values reach the drawing at each frame's
// time, and instances of an effect render frames at once on threads of their own, each frame as
// it renders alone.

#include "EffectsFixture.h"

#include <cstring>
#include <thread>
#include <vector>

namespace EffectsTest {
namespace {

using OfflineHost::Interpolation;

constexpr int frames = 8; // a second at 8 frames per second

// A triangle that turns, grows and goes from red to blue over the second.
std::unique_ptr<EffectInstance> animatedTriangle() {
    auto triangle = appliedEffect("OndrelTriangle");
    const int rotation = param(*triangle, "Rotation");
    const int scale = param(*triangle, "Scale");
    const int fill = param(*triangle, "Fill Color");
    triangle->setValue(rotation, 0, 0.0, Interpolation::Ease);
    triangle->setValue(rotation, 180, 1.0);
    triangle->setValue(scale, 50, 0.0);
    triangle->setValue(scale, 100, 1.0);
    triangle->setColor(fill, PF_Pixel{255, 255, 0, 0}, 0.0);
    triangle->setColor(fill, PF_Pixel{255, 0, 0, 255}, 1.0);
    triangle->setThreadCount(2);
    return triangle;
}

// The pixels of frame n.
std::string renderedFrame(EffectInstance& effect, const World& layer, int n) {
    Frame frame = frameAt(layer.depth(), layer.width(), layer.height());
    frame.timeScale = frames;
    frame.time = n;
    World output(1, 1, layer.depth());
    EXPECT_EQ(effect.renderFrame(frame, layer, output), PF_Err_NONE);
    return packedPixels(output);
}

class Animation : public ::testing::TestWithParam<PixelDepth> {};

TEST_P(Animation, InstancesRenderFramesAtOnceAsEachFrameRendersAlone) {
    const World layer(160, 120, GetParam());
    std::vector<std::string> alone(frames);
    {
        const auto triangle = animatedTriangle();
        for (int n = 0; n < frames; ++n) {
            alone[static_cast<std::size_t>(n)] = renderedFrame(*triangle, layer, n);
        }
    }
    // The values moved: every frame differs from the one before.
    for (int n = 1; n < frames; ++n) {
        EXPECT_NE(alone[static_cast<std::size_t>(n)], alone[static_cast<std::size_t>(n) - 1]) << n;
    }

    std::vector<std::string> atOnce(frames);
    std::vector<std::thread> jobs;
    for (int job = 0; job < 2; ++job) {
        jobs.emplace_back([&, job] {
            const auto triangle = animatedTriangle();
            for (int n = frames - 1 - job; n >= 0; n -= 2) {
                atOnce[static_cast<std::size_t>(n)] = renderedFrame(*triangle, layer, n);
            }
        });
    }
    for (auto& job : jobs) {
        job.join();
    }
    for (int n = 0; n < frames; ++n) {
        EXPECT_EQ(atOnce[static_cast<std::size_t>(n)], alone[static_cast<std::size_t>(n)]) << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, Animation, allDepths(), depthTestName);

} // namespace
} // namespace EffectsTest
