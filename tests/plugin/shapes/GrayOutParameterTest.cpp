// GrayOutParameter called directly inside a host command: it flips only PF_PUI_DISABLED, on the
// caller's copy, and hands that copy to the host.

#include "Shapes/OndrelPlugin.h"
#include "tests/support/ShapesModule.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using TestSupport::appliedEffect;

TEST(GrayOutParameter, FlipsOnlyTheDisabledBitOfTheCopyAndSendsTheCopy) {
    const auto instance = appliedEffect("OndrelCircle");
    constexpr int strokeWidth = 10;
    constexpr A_long otherBits = PF_PUI_STD_CONTROL_ONLY | PF_PUI_DONT_ERASE_CONTROL;
    {
        auto context = instance->context();
        PF_ParamDef* const hostEntry = context.params()[strokeWidth];
        const A_long hostFlags = hostEntry->ui_flags;

        std::vector<PF_ParamDef> local(15);
        local[strokeWidth] = *hostEntry;
        local[strokeWidth].ui_flags = otherBits;
        AEGP_SuiteHandler suites(context.in()->pica_basicP);

        for (bool gray : {true, true, false, false, true}) {
            SCOPED_TRACE(gray);
            ASSERT_EQ(
                Ondrel::GrayOutParameter(strokeWidth, gray, local.data(), context.in(), suites),
                PF_Err_NONE);
            EXPECT_EQ(local[strokeWidth].ui_flags, otherBits | (gray ? PF_PUI_DISABLED : 0));
            EXPECT_EQ(instance->paramDef(strokeWidth).ui_flags, local[strokeWidth].ui_flags);
            EXPECT_EQ(hostEntry->ui_flags, hostFlags) << "the host's own entry is left alone";
        }
    }
    EXPECT_TRUE(instance->diagnostics().misuses().empty());
}

TEST(GrayOutParameter, ReturnsTheHostsCode) {
    const auto instance = appliedEffect("OndrelTriangle");
    instance->diagnostics().failCall("PF_UpdateParamUI", 12);
    auto context = instance->context();
    std::vector<PF_ParamDef> local(16);
    local[11] = *context.params()[11];
    AEGP_SuiteHandler suites(context.in()->pica_basicP);
    EXPECT_EQ(Ondrel::GrayOutParameter(11, true, local.data(), context.in(), suites), 12);
}

} // namespace
