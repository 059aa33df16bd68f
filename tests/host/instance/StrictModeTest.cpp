// Strict mode: worlds with guard bands, and what the host reports after a command when the probe
// writes outside a world or into its input, leaves output unwritten, or leaves anything
// unbalanced.

#include "tests/host/HostTestSupport.h"

#include <algorithm>
#include <cstring>
#include <string>

using namespace OfflineHost;

namespace {

TEST(GuardedWorld, IsAnOrdinaryWorldInsideBandsThatTellWhatWasWrittenThere) {
    for (const PixelDepth depth : {PixelDepth::Bits8, PixelDepth::Bits16, PixelDepth::Float32}) {
        World world = World::guarded(5, 3, depth, 8, -2, 7);
        const auto& record = world.effectWorld();
        const auto pixel = static_cast<A_long>(pixelBytes(depth));
        EXPECT_EQ(record.width, 5);
        EXPECT_EQ(record.height, 3);
        EXPECT_EQ(record.origin_x, -2);
        EXPECT_EQ(record.origin_y, 7);
        // Guard pixels left and right of each row, then the padding asked for.
        EXPECT_EQ(record.rowbytes, (5 + 2 * World::guardPixels) * pixel + 8);
        EXPECT_EQ(registeredDepth(&record), depth);
        auto* first = reinterpret_cast<unsigned char*>(record.data);
        EXPECT_EQ(std::count(first, first + 5 * pixel, 0), 5 * pixel) << "cleared pixels";
        EXPECT_EQ(first[-1], World::guardByte);
        EXPECT_EQ(world.damagedGuard(), std::nullopt);

        // Every byte of every pixel is the world's own; the byte after a row's last pixel is not.
        std::memset(first + 2 * record.rowbytes, 0x11, static_cast<std::size_t>(5 * pixel));
        EXPECT_EQ(world.damagedGuard(), std::nullopt);
        const struct {
            std::ptrdiff_t offset;
            const char* where;
        } writes[] = {
            {-1, "row 0, left of the pixels"},
            {5 * pixel, "row 0, right of the pixels"},
            {record.rowbytes - pixel * World::guardPixels - 1, "row 0, right of the pixels"},
            {-record.rowbytes, "row -1"},
            {3 * record.rowbytes, "row 3"},
            {-World::guardPixels * record.rowbytes - World::guardPixels * pixel, "row -4"},
        };
        for (const auto& write : writes) {
            SCOPED_TRACE(write.where);
            first[write.offset] ^= 1;
            EXPECT_EQ(world.damagedGuard(), std::string(write.where));
            first[write.offset] ^= 1;
        }
        EXPECT_EQ(World(2, 2, depth).damagedGuard(), std::nullopt) << "no guards, nothing to say";
    }
}

// The probe in strict mode, after global and parameter set-up.
std::unique_ptr<EffectInstance> strictProbe() {
    auto probe = HostTest::setUpProbe();
    probe->setStrict(true);
    return probe;
}

// The message of the StrictModeError a general command with this request throws.
std::string strictError(EffectInstance& probe, Probe::Request request) {
    try {
        probe.send(PF_Cmd_COMPLETELY_GENERAL, &request);
    } catch (const StrictModeError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(StrictMode, WhatACommandLeavesUnbalancedIsAnError) {
    Probe::Request request;
    request.action = Probe::Action::NewHandle;
    request.count = 24;
    EXPECT_EQ(strictError(*strictProbe(), request),
              "HostProbe, general command: a handle of 24 bytes allocated and not disposed of");

    request = Probe::Request{};
    request.action = Probe::Action::AcquireSuite;
    request.suiteName = "PF Handle Suite";
    request.suiteVersion = 2;
    request.release = false;
    EXPECT_EQ(strictError(*strictProbe(), request),
              "HostProbe, general command: \"PF Handle Suite\" v2 acquired and not released (1)");

    request = Probe::Request{};
    request.action = Probe::Action::CheckoutParam;
    request.index = Probe::Opacity;
    request.release = false;
    EXPECT_EQ(strictError(*strictProbe(), request),
              "HostProbe, general command: parameters checked out and not checked in: 2");

    request = Probe::Request{};
    request.action = Probe::Action::NewWorld;
    request.count = 5;
    EXPECT_EQ(strictError(*strictProbe(), request),
              "HostProbe, general command: a world created and not disposed of (5x5 8-bit)");

    // Without strict mode the same is only counted.
    auto lenient = HostTest::setUpProbe();
    EXPECT_NO_THROW(HostTest::perform(*lenient, request));
    EXPECT_EQ(lenient->diagnostics().lastAccount().liveWorlds.size(), 1u);
}

TEST(StrictMode, AWriteOutsideAWorldTheModuleCreatedNamesTheWorld) {
    Probe::Request request;
    request.action = Probe::Action::WriteOutsideWorld;
    request.count = 4;
    EXPECT_EQ(strictError(*strictProbe(), request),
              "HostProbe, general command: a write outside a world the module created (4x4 "
              "8-bit), in row 4");
}

struct RenderFaults : ::testing::TestWithParam<PixelDepth> {
    // Renders a 6 x 5 frame over a patterned input into an output that holds 7s beforehand; the
    // message of the StrictModeError, if any, and the output afterwards.
    std::string render(Probe::RenderFault fault, bool strict = true) {
        auto probe = HostTest::setUpProbe();
        probe->setStrict(strict);
        Probe::Request request;
        request.action = Probe::Action::SetRenderFault;
        request.count = static_cast<A_long>(fault);
        HostTest::perform(*probe, request);
        Frame frame;
        frame.layerWidth = 6;
        frame.layerHeight = 5;
        frame.depth = GetParam();
        World input(6, 5, frame.depth);
        auto* in = reinterpret_cast<unsigned char*>(input.effectWorld().data);
        for (std::size_t i = 0; i < 6 * 5 * pixelBytes(frame.depth); ++i) {
            in[i] = static_cast<unsigned char>(i % 61);
        }
        output = std::make_unique<World>(6, 5, frame.depth);
        std::memset(output->effectWorld().data, 7, 6 * 5 * pixelBytes(frame.depth));
        std::string message = "(no error)";
        try {
            probe->smartRender(frame, input, *output);
        } catch (const StrictModeError& e) {
            message = e.what();
        }
        request.count = static_cast<A_long>(Probe::RenderFault::None);
        HostTest::perform(*probe, request);
        return message;
    }
    const unsigned char* outputRow(A_long y) const {
        return reinterpret_cast<const unsigned char*>(output->effectWorld().data) +
               y * output->effectWorld().rowbytes;
    }
    std::unique_ptr<World> output;
};

TEST_P(RenderFaults, ACleanRenderIsTheSameWithAndWithoutStrictMode) {
    ASSERT_EQ(render(Probe::RenderFault::None, false), "(no error)");
    const World lenient = std::move(*output);
    ASSERT_EQ(render(Probe::RenderFault::None, true), "(no error)");
    const std::size_t bytes = 6 * 5 * pixelBytes(GetParam());
    EXPECT_EQ(std::memcmp(lenient.effectWorld().data, output->effectWorld().data, bytes), 0);
}

TEST_P(RenderFaults, AnUnwrittenRowIsReportedAndKeepsTheCallersPixels) {
    const std::string depth = depthLabel(GetParam());
    EXPECT_EQ(render(Probe::RenderFault::LeaveLastRow),
              "HostProbe, smart render: 6 pixels of the output world (6x5 " + depth +
                  ") within the rectangle promised at pre-render left unwritten, the first at "
                  "(0, 4)");
    const std::size_t rowBytes = 6 * pixelBytes(GetParam());
    EXPECT_EQ(std::count(outputRow(4), outputRow(4) + rowBytes, 7), static_cast<long>(rowBytes));
    EXPECT_EQ(outputRow(0)[1], 1) << "written rows reach the caller";
}

TEST_P(RenderFaults, WritesBelowTheOutputOrIntoTheInputAreReported) {
    const std::string depth = depthLabel(GetParam());
    EXPECT_EQ(render(Probe::RenderFault::WriteBelowOutput),
              "HostProbe, smart render: a write outside the output world (6x5 " + depth +
                  "), in row 5");
    EXPECT_EQ(render(Probe::RenderFault::WriteToInput),
              "HostProbe, smart render: a write into the input world (6x5 " + depth +
                  "), at pixel (0, 0)");
}

INSTANTIATE_TEST_SUITE_P(Depths, RenderFaults,
                         ::testing::Values(PixelDepth::Bits8, PixelDepth::Bits16,
                                           PixelDepth::Float32),
                         [](const ::testing::TestParamInfo<PixelDepth>& depth) {
                             std::string name = depthLabel(depth.param); // "8-bit" to "8bit"
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

} // namespace
