#include "AE_EffectPixelFormat.h"
#include "Ondrel/OndrelLayer.h"
#include "Ondrel/OndrelSourceInfo.h"
#include "SPBasic.h"
#include "host/pixels/World.h"
#include "tests/support/CallLog.h"
#include "tests/support/ThrownCode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

using OfflineHost::PixelDepth;
using OfflineHost::World;
using Ondrel::SourceInfo;
using TestSupport::callCount;
using TestSupport::thrownCode;

class SourceInfoTest : public ::testing::Test {
protected:
    // A context whose frame has the given depth, with input and output worlds of that depth.
    struct Render {
        explicit Render(PixelDepth depth)
            : frame(makeFrame(depth)), context(host.context(frame)), input(4, 4, depth),
              output(4, 4, depth) {}

        static OfflineHost::Frame makeFrame(PixelDepth depth) {
            OfflineHost::Frame f;
            f.depth = depth;
            f.layerWidth = 4;
            f.layerHeight = 4;
            return f;
        }

        OfflineHost::EffectInstance host{nullptr};
        OfflineHost::Frame frame;
        OfflineHost::EffectInstance::Context context;
        World input;
        World output;

        SourceInfo sourceInfo() {
            return SourceInfo(context.in(), context.out(), context.smartRenderExtra(input, output));
        }
    };
};

TEST_F(SourceInfoTest, ChecksOutBothWorldsAndFindsTheDepthTheHostReports) {
    const struct {
        PixelDepth depth;
        int bpc;
    } cases[] = {{PixelDepth::Bits8, Ondrel::bpc8},
                 {PixelDepth::Bits16, Ondrel::bpc16},
                 {PixelDepth::Float32, Ondrel::bpc32}};
    for (const auto& c : cases) {
        Render render(c.depth);
        {
            const SourceInfo info = render.sourceInfo();
            EXPECT_EQ(info.getError(), PF_Err_NONE);
            EXPECT_EQ(info.getBPC(), c.bpc);
            EXPECT_EQ(info.getInputWorld()->data, render.input.effectWorld().data);
            EXPECT_EQ(info.getOutputWorld()->data, render.output.effectWorld().data);
            EXPECT_EQ(callCount(render.host, "checkin_layer_pixels"), 0);
        }
        EXPECT_TRUE(render.host.diagnostics().account().unreleasedSuites.empty());
    }
}

// ---------------------------------------------------------------------------------------------
// The pixel-format codes the host may report, through a world suite that reports a chosen code.

struct FormatStub {
    static inline SPBasicSuite* hostBasic = nullptr;
    static inline PF_PixelFormat reported = PF_PixelFormat_INVALID;
    static inline PF_PixelFormat preset = 0;
    static inline PF_Err result = PF_Err_NONE;
    static inline int acquired = 0;
    static inline int released = 0;

    static PF_Err getPixelFormat(const PF_EffectWorld*, PF_PixelFormat* format) {
        preset = *format;
        *format = reported;
        return result;
    }
    static inline PF_WorldSuite2 worldSuite{nullptr, nullptr, &getPixelFormat};

    static SPErr acquire(const char* name, int32 version, const void** suite) {
        if (std::strcmp(name, "PF World Suite") == 0 && version == 2) {
            ++acquired;
            *suite = &worldSuite;
            return 0;
        }
        return hostBasic->AcquireSuite(name, version, suite);
    }
    static SPErr release(const char* name, int32 version) {
        if (std::strcmp(name, "PF World Suite") == 0 && version == 2) {
            ++released;
            return 0;
        }
        return hostBasic->ReleaseSuite(name, version);
    }
};

class PixelFormatTest : public SourceInfoTest {
protected:
    void SetUp() override {
        FormatStub::hostBasic = m_render.context.in()->pica_basicP;
        FormatStub::acquired = FormatStub::released = 0;
        FormatStub::result = PF_Err_NONE;
        m_basic = *FormatStub::hostBasic;
        m_basic.AcquireSuite = &FormatStub::acquire;
        m_basic.ReleaseSuite = &FormatStub::release;
        m_render.context.in()->pica_basicP = &m_basic;
    }
    void TearDown() override { m_render.context.in()->pica_basicP = FormatStub::hostBasic; }

    int bpcFor(const char (&code)[5]) {
        std::uint32_t value = 0;
        std::memcpy(&value, code, 4); // four-character codes are stored first character first
        FormatStub::reported = static_cast<PF_PixelFormat>(value);
        return m_render.sourceInfo().getBPC();
    }

    Render m_render{PixelDepth::Bits8};

private:
    SPBasicSuite m_basic{};
};

TEST_F(PixelFormatTest, MapsEachKnownCodeAndLeavesOthersAtZero) {
    EXPECT_EQ(bpcFor("argb"), 0);
    EXPECT_EQ(bpcFor("bgra"), 0);
    EXPECT_EQ(bpcFor("ae16"), 1);
    EXPECT_EQ(bpcFor("ae32"), 2);
    EXPECT_EQ(bpcFor("BGra"), 2);
    EXPECT_EQ(bpcFor("vuya"), 0);
    EXPECT_EQ(bpcFor("badf"), 0);
    EXPECT_EQ(FormatStub::preset, PF_PixelFormat_INVALID) << "the query starts from \"badf\"";
    EXPECT_EQ(FormatStub::acquired, 7);
    EXPECT_EQ(FormatStub::released, 7);
}

TEST_F(PixelFormatTest, AFailedQueryKeepsItsCodeAndStillReleasesTheSuite) {
    FormatStub::result = 33;
    FormatStub::reported = PF_PixelFormat_ARGB128;
    const SourceInfo info = m_render.sourceInfo();
    EXPECT_EQ(info.getError(), 33);
    EXPECT_EQ(info.getBPC(), 0);
    EXPECT_EQ(FormatStub::released, 1);
}

// ---------------------------------------------------------------------------------------------
// Failures stop the remaining steps.

TEST_F(SourceInfoTest, AFailedInputCheckoutStopsEverythingElse) {
    Render render(PixelDepth::Bits16);
    render.host.diagnostics().failCall("checkout_layer_pixels", 5);
    render.host.diagnostics().clearCalls();
    const SourceInfo info = render.sourceInfo();
    EXPECT_EQ(info.getError(), 5);
    EXPECT_EQ(info.getBPC(), 0);
    EXPECT_EQ(callCount(render.host, "checkout_output"), 0);
    EXPECT_EQ(callCount(render.host, "AcquireSuite"), 0);
}

TEST_F(SourceInfoTest, AFailedOutputCheckoutStopsTheDepthQuery) {
    Render render(PixelDepth::Bits16);
    render.host.diagnostics().failCall("checkout_output", 6);
    render.host.diagnostics().clearCalls();
    const SourceInfo info = render.sourceInfo();
    EXPECT_EQ(info.getError(), 6);
    EXPECT_EQ(callCount(render.host, "checkout_layer_pixels"), 1);
    EXPECT_EQ(callCount(render.host, "AcquireSuite"), 0);
    EXPECT_EQ(callCount(render.host, "PF_GetPixelFormat"), 0);
}

// A checkout that succeeds without a world is reported at once instead of being queried.
TEST_F(SourceInfoTest, ACheckoutWithoutAWorldIsABadCallbackParameter) {
    for (const char* call : {"checkout_layer_pixels", "checkout_output"}) {
        Render render(PixelDepth::Bits8);
        render.host.diagnostics().failCall(call, PF_Err_NONE);
        render.host.diagnostics().clearCalls();
        const SourceInfo info = render.sourceInfo();
        EXPECT_EQ(info.getError(), PF_Err_BAD_CALLBACK_PARAM) << call;
        EXPECT_EQ(callCount(render.host, "PF_GetPixelFormat"), 0) << call;
    }
}

TEST_F(SourceInfoTest, AMissingWorldSuiteIsReportedToTheUser) {
    Render render(PixelDepth::Bits8);
    render.host.diagnostics().hideSuite("PF World Suite", 2);
    const SourceInfo info = render.sourceInfo();
    EXPECT_EQ(info.getError(), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_NE(render.context.out()->out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
    EXPECT_STREQ(render.context.out()->return_msg, "Couldn't load suite.");
}

TEST_F(SourceInfoTest, ANullBasicSuiteIsThrown) {
    Render render(PixelDepth::Bits8);
    SPBasicSuite* basic = render.context.in()->pica_basicP;
    render.context.in()->pica_basicP = nullptr;
    EXPECT_EQ(thrownCode([&] { render.sourceInfo(); }), PF_Err_BAD_CALLBACK_PARAM);
    render.context.in()->pica_basicP = basic;
}

} // namespace
