// About, global set-up and set-down, and commands the effects do not handle, through the
// offline host.

#include "Shapes/OndrelRegistration.h"
#include "tests/support/CallLog.h"
#include "tests/support/ShapesModule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <iterator>

namespace {

using TestSupport::appliedEffect;
using TestSupport::callCount;
using TestSupport::strictEffect;

// Every effect the module registers.
constexpr auto effectNames = [] {
    std::array<const char*, Ondrel::Registration::effects.size()> names{};
    std::transform(Ondrel::Registration::effects.begin(), Ondrel::Registration::effects.end(),
                   names.begin(), [](const Ondrel::EffectRegistration& e) { return e.name; });
    return names;
}();

std::unique_ptr<OfflineHost::EffectInstance> loadedEffect(const char* name) {
    return strictEffect(name);
}

void expectVersionAndFlags(const PF_OutData& out) {
    EXPECT_EQ(out.my_version, 0x80601u);
    EXPECT_EQ(out.out_flags, 0x6000000);
    EXPECT_EQ(out.out_flags2, 0x1400);
}

TEST(About, NamesTheEffectAndVersionThenANoticeLine) {
    for (const char* name : effectNames) {
        SCOPED_TRACE(name);
        const auto instance = loadedEffect(name);
        const std::string text = instance->about();
        const std::string firstLine = std::string(name) + ", v1.0.0\r";
        ASSERT_EQ(text.substr(0, firstLine.size()), firstLine);
        const std::string notice = text.substr(firstLine.size());
        EXPECT_FALSE(notice.empty());
        EXPECT_EQ(notice.find_first_of("\r\n"), std::string::npos);
    }
}

TEST(GlobalSetup, WritesVersionAndFlagsAndKeepsARegisteredHandle) {
    for (const char* name : effectNames) {
        SCOPED_TRACE(name);
        const auto instance = loadedEffect(name);
        ASSERT_EQ(instance->globalSetup(), PF_Err_NONE);
        expectVersionAndFlags(instance->outData());
        ASSERT_NE(instance->globalData(), nullptr);
        EXPECT_EQ(callCount(*instance, "AEGP_RegisterWithAEGP"), 1);
        const auto account = instance->diagnostics().account();
        ASSERT_EQ(account.liveHandles.size(), 1u);
        EXPECT_EQ(account.liveHandles[0].size, 4u);
        EXPECT_TRUE(account.liveHandles[0].isGlobalData);
        EXPECT_TRUE(account.clean());
        EXPECT_TRUE(instance->diagnostics().misuses().empty());

        EXPECT_EQ(instance->globalSetdown(), PF_Err_NONE);
        EXPECT_TRUE(instance->diagnostics().lastAccount().liveHandles.empty());
        EXPECT_TRUE(instance->diagnostics().misuses().empty());
    }
}

// Whatever fails, the version and flags are there, and no handle outlives the command unless it
// became the global data.
TEST(GlobalSetup, FailuresKeepVersionAndFlagsAndLeaveNoHandle) {
    struct Case {
        const char* call;
        PF_Err injected;
        PF_Err expected;
    };
    const Case cases[] = {
        {"host_new_handle", PF_Err_NONE, PF_Err_INTERNAL_STRUCT_DAMAGED}, // no handle: 512
        {"AEGP_RegisterWithAEGP", 41, 41},                                // its code
        {"host_lock_handle", PF_Err_NONE, PF_Err_NONE},                   // no pointer: no data
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        const auto instance = loadedEffect("OndrelLine");
        instance->diagnostics().failCall(c.call, c.injected);
        EXPECT_EQ(instance->globalSetup(), c.expected);
        expectVersionAndFlags(instance->outData());
        EXPECT_EQ(instance->globalData(), nullptr);
        EXPECT_EQ(instance->outData().global_data, nullptr);
        EXPECT_TRUE(instance->diagnostics().lastAccount().liveHandles.empty());
        EXPECT_TRUE(instance->diagnostics().lastAccount().unreleasedSuites.empty());
        EXPECT_TRUE(instance->diagnostics().misuses().empty());
    }
}

TEST(GlobalSetup, MissingSuitesGive516AfterVersionAndFlags) {
    for (const auto& [suite, version] :
         {std::pair{"PF Handle Suite", 2}, std::pair{"AEGP Utility Suite", 7}}) {
        SCOPED_TRACE(suite);
        const auto instance = loadedEffect("OndrelTriangle");
        instance->diagnostics().hideSuite(suite, version);
        EXPECT_EQ(instance->globalSetup(), PF_Err_BAD_CALLBACK_PARAM);
        expectVersionAndFlags(instance->outData());
        EXPECT_EQ(instance->globalData(), nullptr);
        EXPECT_TRUE(instance->diagnostics().lastAccount().liveHandles.empty());
        EXPECT_TRUE(instance->diagnostics().lastAccount().unreleasedSuites.empty());
    }
}

TEST(GlobalSetdown, WithoutGlobalDataMakesNoHostCall) {
    const auto instance = loadedEffect("OndrelRectangle");
    instance->diagnostics().failCall("host_new_handle", PF_Err_NONE);
    ASSERT_EQ(instance->globalSetup(), PF_Err_INTERNAL_STRUCT_DAMAGED);
    instance->diagnostics().clearCalls();
    EXPECT_EQ(instance->globalSetdown(), PF_Err_NONE);
    EXPECT_TRUE(instance->diagnostics().calls().empty());
}

// The host hands every command a cleared output record holding only the global data.
void expectUntouched(const PF_OutData& out, PF_Handle globalData) {
    const auto allZero = [](const auto& bytes) {
        return std::all_of(std::begin(bytes), std::end(bytes), [](auto c) { return c == 0; });
    };
    EXPECT_EQ(out.my_version, 0u);
    EXPECT_TRUE(allZero(out.name));
    EXPECT_EQ(out.global_data, globalData);
    EXPECT_EQ(out.num_params, 0);
    EXPECT_EQ(out.sequence_data, nullptr);
    EXPECT_EQ(out.flat_sdata_size, 0);
    EXPECT_EQ(out.frame_data, nullptr);
    EXPECT_EQ(out.width, 0);
    EXPECT_EQ(out.height, 0);
    EXPECT_EQ(out.origin.h, 0);
    EXPECT_EQ(out.origin.v, 0);
    EXPECT_EQ(out.out_flags, 0);
    EXPECT_TRUE(allZero(out.return_msg));
    EXPECT_EQ(out.start_sampL, 0);
    EXPECT_EQ(out.dur_sampL, 0);
    EXPECT_EQ(out.dest_snd.num_samples, 0);
    EXPECT_EQ(out.dest_snd.dataP, nullptr);
    EXPECT_EQ(out.out_flags2, 0);
}

TEST(UnhandledCommands, ReturnNoneAndTouchNothing) {
    const PF_Cmd commands[] = {PF_Cmd_SEQUENCE_SETUP,
                               PF_Cmd_RENDER,
                               PF_Cmd_FRAME_SETUP,
                               PF_Cmd_DO_DIALOG,
                               PF_Cmd_USER_CHANGED_PARAM,
                               PF_Cmd_UNUSED_0,
                               PF_Cmd_SMART_RENDER_GPU,
                               34,
                               -1,
                               1000};
    for (const char* name : effectNames) {
        const auto instance = appliedEffect(name);
        for (PF_Cmd cmd : commands) {
            SCOPED_TRACE(testing::Message() << name << " command " << cmd);
            instance->diagnostics().clearCalls();
            EXPECT_EQ(instance->send(cmd), PF_Err_NONE);
            EXPECT_TRUE(instance->diagnostics().calls().empty());
            expectUntouched(instance->outData(), instance->globalData());
        }
    }
}

} // namespace
