// The smart-render flow of OndrelCircle through the offline host: what pre-render puts into the
// record, what it leaves behind, and how render behaves when the host fails it.

#include "EffectsFixture.h"

#include "Ondrel/Filter/OndrelCircleDrawer.h"
#include "Shapes/OndrelSmartRender.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace EffectsTest {
namespace {

using Record = Ondrel::CircleDrawer::Parameter;

class CircleFlow : public ::testing::Test {
protected:
    void SetUp() override { m_circle = appliedEffect("OndrelCircle"); }

    void set(std::string_view name, double value) {
        m_circle->setValue(param(*m_circle, name), value);
    }
    void setPoint(std::string_view name, double x, double y) {
        m_circle->setPoint(param(*m_circle, name), x, y);
    }

    // Pre-render of one frame through the module's own entry function; the record as the handle
    // holds it, and the rectangles reported. The host's delete function runs as the context ends.
    struct PreRendered {
        PF_Err err;
        Record record{};
        PF_LRect resultRect{};
        PF_LRect maxResultRect{};
    };
    PreRendered preRender(const Frame& frame) {
        auto context = m_circle->context(frame);
        PF_PreRenderExtra* extra = context.preRenderExtra();
        const auto entry = shapesModule()->effect("OndrelCircle").entry;
        PreRendered result{entry(PF_Cmd_SMART_PRE_RENDER, context.in(), context.out(),
                                 context.params(), nullptr, extra)};
        const auto handle = static_cast<PF_Handle>(extra->output->pre_render_data);
        if (result.err == PF_Err_NONE && handle != nullptr) {
            result.record = static_cast<const Ondrel::PreRenderBlock<Record>*>(*handle)->record;
        }
        result.resultRect = extra->output->result_rect;
        result.maxResultRect = extra->output->max_result_rect;
        return result;
    }

    PF_Err renderOnce(World& output) {
        const Frame frame = frameAt(PixelDepth::Bits8);
        World input(640, 480, PixelDepth::Bits8);
        paintBackground(input);
        return m_circle->smartRender(frame, input, output);
    }

    // Nothing left behind by the last command apart from the effect's global data.
    void expectNothingLeft() {
        const auto& account = m_circle->diagnostics().lastAccount();
        EXPECT_TRUE(account.clean());
        for (const auto& handle : account.liveHandles) {
            EXPECT_TRUE(handle.isGlobalData) << handle.size << " bytes";
        }
        EXPECT_TRUE(account.paramsNotCheckedIn.empty());
        EXPECT_TRUE(account.liveWorlds.empty());
        EXPECT_TRUE(account.unreleasedSuites.empty());
        EXPECT_TRUE(m_circle->diagnostics().misuses().empty());
    }

    std::unique_ptr<EffectInstance> m_circle;
};

void expectRect(const PF_LRect& r, A_long right, A_long bottom) {
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

TEST_F(CircleFlow, PreRenderRecordAtDefaults) {
    const PreRendered pre = preRender(frameAt(PixelDepth::Bits8));
    ASSERT_EQ(pre.err, PF_Err_NONE);
    const Record& r = pre.record;
    EXPECT_EQ(r.radius, 100.0);
    EXPECT_EQ(r.center.x, 320.0);
    EXPECT_EQ(r.center.y, 240.0);
    EXPECT_EQ(r.anchorPoint.x, 320.0); // the layer's centre
    EXPECT_EQ(r.anchorPoint.y, 240.0);
    EXPECT_EQ(r.position.x, 0.0);
    EXPECT_EQ(r.position.y, 0.0);
    EXPECT_EQ(r.rotation, 0.0);
    EXPECT_EQ(r.scale, 1.0);
    EXPECT_EQ(r.mode, Ondrel::PaintMode::fill);
    EXPECT_EQ(r.strokeWidth, 20.0);
    EXPECT_EQ(r.fillColor.alpha, 1.0f);
    EXPECT_EQ(r.fillColor.red, 1.0f);
    EXPECT_EQ(r.fillColor.green, 0.0f);
    EXPECT_EQ(r.fillColor.blue, 0.0f);
    EXPECT_EQ(r.strokeColor.green, 1.0f);
    EXPECT_EQ(r.opacity, 1.0);
    EXPECT_EQ(r.blendMode, 0);
    expectRect(pre.resultRect, 640, 480);
    expectRect(pre.maxResultRect, 640, 480);
}

TEST_F(CircleFlow, PreRenderRecordAtHalfResolution) {
    setPoint("Position", 420, 300);
    Frame frame = frameAt(PixelDepth::Bits16);
    frame.downsampleX = {1, 2};
    frame.downsampleY = {1, 4};
    const PreRendered pre = preRender(frame);
    ASSERT_EQ(pre.err, PF_Err_NONE);
    const Record& r = pre.record;
    // Lengths take the horizontal factor; points come scaled by the host and stay as they are.
    EXPECT_EQ(r.radius, 50.0);
    EXPECT_EQ(r.strokeWidth, 10.0);
    EXPECT_EQ(r.center.x, 160.0);
    EXPECT_EQ(r.center.y, 60.0);
    EXPECT_EQ(r.anchorPoint.x, 160.0);
    EXPECT_EQ(r.anchorPoint.y, 60.0);
    EXPECT_EQ(r.position.x, (420.0 - 320.0) / 2.0);
    EXPECT_EQ(r.position.y, (300.0 - 240.0) / 4.0);
    expectRect(pre.resultRect, 320, 120);
}

TEST_F(CircleFlow, PreRenderConvertsAnglesPercentagesColoursAndPopups) {
    set("Rotation", 45);
    set("Scale", -100);
    set("Opacity", 50);
    set("Mode", 3);
    set("Blending Mode", 6); // "Multiply"
    m_circle->setColor(param(*m_circle, "Stroke Color"), PF_Pixel{255, 10, 20, 30});
    PreRendered pre = preRender(frameAt(PixelDepth::Float32));
    ASSERT_EQ(pre.err, PF_Err_NONE);
    EXPECT_DOUBLE_EQ(pre.record.rotation, 45.0 * 3.14159265358979323846 / 180.0);
    EXPECT_EQ(pre.record.scale, -1.0);
    EXPECT_EQ(pre.record.opacity, 0.5);
    EXPECT_EQ(pre.record.mode, Ondrel::PaintMode::fillAndStroke);
    EXPECT_EQ(pre.record.blendMode, 3);
    EXPECT_EQ(pre.record.strokeColor.red, 10.0f / 255.0f);
    EXPECT_EQ(pre.record.strokeColor.green, 20.0f / 255.0f);
    EXPECT_EQ(pre.record.strokeColor.blue, 30.0f / 255.0f);

    set("Blending Mode", 1); // "None"
    EXPECT_EQ(preRender(frameAt(PixelDepth::Bits8)).record.blendMode, -1);
    set("Blending Mode", 4); // the separator below "Normal"
    EXPECT_EQ(preRender(frameAt(PixelDepth::Bits8)).record.blendMode, 0);
}

TEST_F(CircleFlow, PreRenderReadsEachValueOnceInAscendingOrderAndChecksItIn) {
    World output(640, 480, PixelDepth::Bits8);
    ASSERT_EQ(renderOnce(output), PF_Err_NONE);
    EXPECT_EQ(paramIndices(*m_circle, "checkout_param"),
              (std::vector<int>{1, 2, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(callCount(*m_circle, "checkin_param"), 12);
}

TEST_F(CircleFlow, ARenderedFrameLeavesNoHandleNoParameterNoWorldNoSuite) {
    for (int frame = 0; frame < 3; ++frame) {
        World output(640, 480, PixelDepth::Bits8);
        ASSERT_EQ(renderOnce(output), PF_Err_NONE);
        expectNothingLeft();
    }
    EXPECT_EQ(callCount(*m_circle, "delete_pre_render_data_func"), 3);
    EXPECT_EQ(callCount(*m_circle, "host_dispose_handle"), 3);
}

// Each failure of pre-render returns the host's code (or 4 for memory) and leaves nothing behind.
TEST_F(CircleFlow, PreRenderFailuresLeaveNothingBehind) {
    const struct {
        const char* call;
        PF_Err code;
        int occurrence;
        PF_Err expected;
    } faults[] = {
        {"host_new_handle", PF_Err_NONE, 0, PF_Err_OUT_OF_MEMORY},
        {"host_lock_handle", PF_Err_NONE, 1, PF_Err_OUT_OF_MEMORY},
        {"checkout_param", PF_Err_INTERNAL_STRUCT_DAMAGED, 3, PF_Err_INTERNAL_STRUCT_DAMAGED},
        {"checkout_layer", PF_Interrupt_CANCEL, 0, PF_Interrupt_CANCEL},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.call);
        m_circle->diagnostics().clearFaults();
        m_circle->diagnostics().failCall(fault.call, fault.code, fault.occurrence);
        World output(640, 480, PixelDepth::Bits8);
        EXPECT_EQ(renderOnce(output), fault.expected);
        expectNothingLeft();
        m_circle->diagnostics().clearCalls();
    }
}

TEST_F(CircleFlow, RenderWithoutItsPreRenderDataFailsAndStillReleasesIt) {
    m_circle->diagnostics().failCall("host_lock_handle", PF_Err_NONE, 2); // the render's lock
    World output(640, 480, PixelDepth::Bits8);
    EXPECT_EQ(renderOnce(output), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(sameWorlds(output, World(640, 480, PixelDepth::Bits8)));
    expectNothingLeft();
}

// A checkout that succeeds without a world must not be dereferenced or drawn into.
TEST_F(CircleFlow, ANullWorldFromTheCheckoutsIsNeverUsed) {
    for (const char* call : {"checkout_layer_pixels", "checkout_output"}) {
        SCOPED_TRACE(call);
        m_circle->diagnostics().clearFaults();
        m_circle->diagnostics().failCall(call, PF_Err_NONE);
        World output(640, 480, PixelDepth::Bits8);
        paintBackground(output);
        World before(640, 480, PixelDepth::Bits8);
        paintBackground(before);
        EXPECT_NE(renderOnce(output), PF_Err_NONE);
        EXPECT_TRUE(sameWorlds(output, before));
        EXPECT_EQ(callCount(*m_circle, "copy"), 0);
        EXPECT_EQ(callCount(*m_circle, "transfer_rect"), 0);
        expectNothingLeft();
        m_circle->diagnostics().clearCalls();
    }
}

TEST_F(CircleFlow, ZeroOpacityWithNoneGivesTransparentBlack) {
    set("Opacity", 0);
    set("Blending Mode", 1);
    for (const PixelDepth depth : {PixelDepth::Bits8, PixelDepth::Bits16, PixelDepth::Float32}) {
        SCOPED_TRACE(depthName(depth));
        World layer(640, 480, depth);
        paintBackground(layer);
        World output(1, 1, depth);
        ASSERT_EQ(m_circle->renderFrame(frameAt(depth), layer, output), PF_Err_NONE);
        EXPECT_TRUE(sameWorlds(output, World(640, 480, depth)));
    }
}

TEST_F(CircleFlow, ZeroOpacityOtherwiseGivesTheInputAndDrawsNothing) {
    set("Opacity", 0);
    for (const PixelDepth depth : {PixelDepth::Bits8, PixelDepth::Bits16, PixelDepth::Float32}) {
        SCOPED_TRACE(depthName(depth));
        m_circle->diagnostics().clearCalls();
        World layer(640, 480, depth);
        paintBackground(layer);
        World output(1, 1, depth);
        ASSERT_EQ(m_circle->renderFrame(frameAt(depth), layer, output), PF_Err_NONE);
        EXPECT_TRUE(sameWorlds(output, layer));
        EXPECT_EQ(callCount(*m_circle, "new_world") + callCount(*m_circle, "PF_NewWorld"), 0);
        EXPECT_EQ(callCount(*m_circle, "transfer_rect"), 0);
    }
}

TEST_F(CircleFlow, AShapeOutsideTheLayerCreatesNoScratchWorld) {
    const std::pair<double, double> outside[] = {{-102, 240}, {743, 240}, {320, -102}, {320, 583}};
    for (const PixelDepth depth : {PixelDepth::Bits8, PixelDepth::Bits16, PixelDepth::Float32}) {
        for (const auto& [x, y] : outside) {
            SCOPED_TRACE(std::string(depthName(depth)) + " at " + std::to_string(x) + ", " +
                         std::to_string(y));
            setPoint("Center", x, y);
            m_circle->diagnostics().clearCalls();
            World layer(640, 480, depth);
            paintBackground(layer);
            World output(1, 1, depth);
            ASSERT_EQ(m_circle->renderFrame(frameAt(depth), layer, output), PF_Err_NONE);
            EXPECT_TRUE(sameWorlds(output, layer));
            EXPECT_EQ(callCount(*m_circle, "new_world") + callCount(*m_circle, "PF_NewWorld"), 0);
        }
    }
}

// The host's interrupt reaches the module between bands: the band that was let through is drawn
// whole, the others never start, the module answers the interrupt and frees what it took, and
// the next render is the one it would have been.
TEST_F(CircleFlow, AnInterruptedRenderStopsBetweenBandsAndLeavesNothing) {
    constexpr int bands = 4; // one per thread
    m_circle->setThreadCount(bands);
    set("Radius", 200);
    for (const PixelDepth depth : {PixelDepth::Bits8, PixelDepth::Float32}) {
        SCOPED_TRACE(depthName(depth));
        World layer(640, 480, depth);
        paintBackground(layer);
        std::atomic<int> asked{0};
        m_circle->setInterrupt([&] { return ++asked > 1; });
        World output(1, 1, depth);
        EXPECT_EQ(m_circle->renderFrame(frameAt(depth), layer, output), PF_Interrupt_CANCEL);
        EXPECT_EQ(asked, bands);
        expectNothingLeft();

        m_circle->setInterrupt({});
        ASSERT_EQ(m_circle->renderFrame(frameAt(depth), layer, output), PF_Err_NONE);
        const auto fresh = appliedEffect("OndrelCircle");
        fresh->setValue(param(*fresh, "Radius"), 200);
        World expected(1, 1, depth);
        ASSERT_EQ(fresh->renderFrame(frameAt(depth), layer, expected), PF_Err_NONE);
        EXPECT_TRUE(sameWorlds(output, expected));
    }
}

} // namespace
} // namespace EffectsTest
