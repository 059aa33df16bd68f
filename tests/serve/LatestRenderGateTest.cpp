// Only the newest preview request renders: one superseded while it waits is dropped at once,
// one superseded while it renders is finished and reported unwanted, and renders never overlap.

#include "cli/serve/LatestRenderGate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>

namespace {

using OndrelCli::LatestRenderGate;
using namespace std::chrono_literals;

constexpr auto patience = 20s; // far beyond any wait that works

TEST(LatestRenderGate, RendersARequestNothingSupersedes) {
    LatestRenderGate gate;
    int renders = 0;
    EXPECT_TRUE(gate.run(gate.take(), [&] { ++renders; }));
    EXPECT_TRUE(gate.run(gate.take(), [&] { ++renders; }));
    EXPECT_EQ(renders, 2);
}

TEST(LatestRenderGate, ARequestSupersededBeforeItsTurnIsNeverRendered) {
    LatestRenderGate gate;
    const auto first = gate.take();
    const auto second = gate.take();
    bool rendered = false;
    EXPECT_FALSE(gate.run(first, [&] { rendered = true; }));
    EXPECT_FALSE(rendered);
    EXPECT_TRUE(gate.run(second, [] {}));
}

TEST(LatestRenderGate, DropsWaitingRequestsAtOnceAndTheRenderASuccessorOvertook) {
    LatestRenderGate gate;
    std::promise<void> started;
    std::promise<void> release;
    std::atomic<bool> firstDone = false;
    const auto first = gate.take();
    auto slow = std::async(std::launch::async, [&] {
        return gate.run(first, [&] {
            started.set_value();
            release.get_future().wait();
            firstDone = true;
        });
    });
    ASSERT_EQ(started.get_future().wait_for(patience), std::future_status::ready);

    // A second request arrives during the slow render, then a third: the second, waiting (or
    // about to), is dropped without rendering while the slow render still runs.
    bool secondRendered = false;
    const auto second = gate.take();
    auto waiting = std::async(std::launch::async,
                              [&] { return gate.run(second, [&] { secondRendered = true; }); });
    const auto third = gate.take();
    const bool dropped = waiting.wait_for(patience) == std::future_status::ready;
    std::atomic<bool> overlapped = false;
    auto newest = std::async(std::launch::async,
                             [&] { return gate.run(third, [&] { overlapped = !firstDone; }); });
    release.set_value();
    ASSERT_TRUE(dropped) << "the superseded request waited for the render in progress";
    EXPECT_FALSE(waiting.get());
    EXPECT_FALSE(secondRendered);

    // The slow render finishes, but a newer request overtook it: its result is unwanted.
    EXPECT_FALSE(slow.get());
    // The newest renders, after the slow one and never beside it.
    EXPECT_TRUE(newest.get());
    EXPECT_FALSE(overlapped);
}

TEST(LatestRenderGate, AFailedRenderLeavesTheGateOpen) {
    LatestRenderGate gate;
    EXPECT_THROW(gate.run(gate.take(), [] { throw std::runtime_error("module failed"); }),
                 std::runtime_error);
    bool rendered = false;
    EXPECT_TRUE(gate.run(gate.take(), [&] { rendered = true; }));
    EXPECT_TRUE(rendered);
}

} // namespace
