// One instance of each effect as a current host drives it: render threads send a frame's smart
// pre-render and smart render for frames of their own at once, while the UI thread edits keyframes
// and sends parameter-UI updates. Each frame must be the frame rendered alone, strict mode must
// find nothing in any request, and the instance must end holding only its global data.

#include "EffectsFixture.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace EffectsTest {
namespace {

using OfflineHost::Interpolation;

constexpr int frames = 12; // 0 to 11/12 of a second
constexpr int renderThreads = 3;

// Values that move over the rendered second, and a keyframe of each after it.
void animate(EffectInstance& effect) {
    effect.setValue(param(effect, "Rotation"), 0, 0.0, Interpolation::Ease);
    effect.setValue(param(effect, "Rotation"), 120, 1.0);
    effect.setValue(param(effect, "Scale"), 60, 0.0);
    effect.setValue(param(effect, "Scale"), 110, 1.0);
    effect.setValue(param(effect, "Opacity"), 100, 0.0);
    effect.setValue(param(effect, "Opacity"), 40, 1.0);
    effect.setValue(param(effect, "Mode"), 3, 0.0); // "Fill and Stroke"
    effect.setColor(param(effect, "Fill Color"), PF_Pixel{255, 255, 160, 0}, 0.0);
    effect.setColor(param(effect, "Fill Color"), PF_Pixel{200, 0, 90, 255}, 1.0);
    effect.setThreadCount(2);
}

Frame frameNumber(const World& layer, int n) {
    Frame frame = frameAt(layer.depth(), layer.width(), layer.height());
    frame.timeScale = frames;
    frame.time = n;
    return frame;
}

// The pixels of frame n.
std::string render(EffectInstance& effect, const World& layer, int n) {
    World output(1, 1, layer.depth());
    if (effect.renderFrame(frameNumber(layer, n), layer, output) != PF_Err_NONE) {
        return "error";
    }
    return packedPixels(output);
}

class ConcurrentRequests : public ::testing::TestWithParam<PixelDepth> {};

TEST_P(ConcurrentRequests, FramesRenderedAtOnceBesideTheUIThreadAreTheFramesRenderedAlone) {
    World layer(96, 72, GetParam());
    paintBackground(layer);
    for (const auto& entry : shapesModule()->effects()) {
        const std::string& name = entry.records().name;
        SCOPED_TRACE(name);
        const auto effect = appliedEffect(name);
        animate(*effect);
        std::vector<std::string> alone(frames);
        for (int n = 0; n < frames; ++n) {
            alone[static_cast<std::size_t>(n)] = render(*effect, layer, n);
        }
        ASSERT_NE(alone.front(), alone.back()); // the values move

        std::vector<std::string> atOnce(frames);
        std::vector<std::string> failures(renderThreads + 1);
        std::atomic<int> next = 0;
        std::atomic<int> rendering = renderThreads;
        std::atomic<int> inFlight = 0;
        std::atomic<int> mostInFlight = 0;
        // The host asks whether to stop before each iteration of a render's drawing: the first
        // render to get there waits (a while at most) for a second to start, so that frames do
        // render at once however late the threads start on a busy machine.
        effect->setInterrupt([&] {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (mostInFlight < 2 && std::chrono::steady_clock::now() < until) {
                std::this_thread::yield();
            }
            return false;
        });
        std::vector<std::thread> threads;
        for (int t = 0; t < renderThreads; ++t) {
            threads.emplace_back([&, t] {
                try {
                    for (int n = next++; n < frames; n = next++) {
                        const int now = ++inFlight;
                        for (int most = mostInFlight; now > most;) {
                            mostInFlight.compare_exchange_weak(most, now);
                        }
                        atOnce[static_cast<std::size_t>(n)] = render(*effect, layer, n);
                        --inFlight;
                    }
                } catch (const std::exception& e) {
                    failures[static_cast<std::size_t>(t)] = e.what();
                }
                --rendering;
            });
        }
        // The UI thread: keyframes after the rendered second change while frames render, and the
        // module updates its controls' graying for them.
        int updates = 0;
        try {
            for (; rendering > 0 || updates < 8; ++updates) {
                effect->setValue(param(*effect, "Opacity"), 10 + updates % 50, 2.0);
                effect->setValue(param(*effect, "Mode"), 1 + updates % 3, 3.0);
                EXPECT_EQ(effect->updateParamsUI(), PF_Err_NONE);
            }
        } catch (const std::exception& e) {
            failures.back() = e.what();
        }
        for (auto& thread : threads) {
            thread.join();
        }
        EXPECT_GT(mostInFlight, 1);
        for (const auto& failure : failures) {
            EXPECT_EQ(failure, "");
        }
        for (int n = 0; n < frames; ++n) {
            EXPECT_TRUE(atOnce[static_cast<std::size_t>(n)] == alone[static_cast<std::size_t>(n)])
                << "frame " << n;
        }
        EXPECT_TRUE(effect->diagnostics().account().clean());
        EXPECT_TRUE(effect->diagnostics().misuses().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, ConcurrentRequests, allDepths(), depthTestName);

} // namespace
} // namespace EffectsTest
