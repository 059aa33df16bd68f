#include "Util/AEFX_SuiteHelper.h"

#include "FakeBasicSuite.h"

#include "AE_EffectCB.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

int hostSprintf(A_char* out, const A_char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = std::vsprintf(out, format, args);
    va_end(args);
    return n;
}

class SuiteHelper : public testing::Test {
protected:
    SuiteHelper() {
        utils.ansi.sprintf = &hostSprintf;
        in.utils = &utils;
        in.pica_basicP = fake.basic();
    }

    bool errorShown() const { return (out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) != 0; }
    std::string message() const { return out.return_msg; }

    FakeBasicSuite fake;
    PF_UtilCallbacks utils{};
    PF_InData in{};
    PF_OutData out{};
};

TEST_F(SuiteHelper, AcquireAndReleaseOfAnOfferedSuite) {
    const void* table = fake.offer("PF World Suite", 2);
    void* suite = nullptr;
    EXPECT_EQ(AEFX_AcquireSuite(&in, &out, "PF World Suite", 2, "Couldn't load suite.", &suite), 0);
    EXPECT_EQ(suite, table);
    EXPECT_EQ(AEFX_ReleaseSuite(&in, &out, "PF World Suite", 2, "Couldn't release suite."), 0);
    EXPECT_EQ(fake.acquireCalls("PF World Suite", 2), 1);
    EXPECT_EQ(fake.releaseCalls("PF World Suite", 2), 1);
    EXPECT_FALSE(errorShown());
    EXPECT_EQ(message(), "");
}

TEST_F(SuiteHelper, MissingSuiteReportsDefaultOrGivenMessage) {
    out.out_flags = 1; // flags already set stay set
    void* suite = &out;
    EXPECT_EQ(AEFX_AcquireSuite(&in, &out, "PF World Suite", 2, nullptr, &suite), 516);
    EXPECT_EQ(suite, nullptr);
    EXPECT_TRUE(errorShown());
    EXPECT_EQ(out.out_flags & 1, 1);
    EXPECT_EQ(message(), "Not able to acquire AEFX Suite.");

    PF_OutData second{};
    EXPECT_EQ(AEFX_AcquireSuite(&in, &second, "PF World Suite", 2, "Couldn't load suite.", &suite),
              516);
    EXPECT_STREQ(second.return_msg, "Couldn't load suite.");
    EXPECT_EQ(fake.totalReleaseCalls(), 0);
}

TEST_F(SuiteHelper, WithoutBasicSuiteBothFail) {
    in.pica_basicP = nullptr;
    void* suite = &out;
    EXPECT_EQ(AEFX_AcquireSuite(&in, &out, "PF World Suite", 2, "Couldn't load suite.", &suite),
              516);
    EXPECT_EQ(suite, nullptr);
    EXPECT_EQ(message(), "Couldn't load suite.");

    PF_OutData released{};
    EXPECT_EQ(AEFX_ReleaseSuite(&in, &released, "PF World Suite", 2, nullptr), 516);
    EXPECT_NE(released.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
    EXPECT_STREQ(released.return_msg, "Not able to release AEFX Suite.");
    EXPECT_EQ(AEFX_ReleaseSuite(&in, &released, "PF World Suite", 2, "Couldn't release suite."),
              516);
    EXPECT_STREQ(released.return_msg, "Couldn't release suite.");
    EXPECT_EQ(fake.totalAcquireCalls() + fake.totalReleaseCalls(), 0);
}

// The message is text, not a format, and cannot run past return_msg.
TEST_F(SuiteHelper, MessageIsWrittenLiterallyAndBounded) {
    void* suite = nullptr;
    EXPECT_EQ(AEFX_AcquireSuite(&in, &out, "Missing", 1, "100% %s %n", &suite), 516);
    EXPECT_EQ(message(), "100% %s %n");

    // Everything behind return_msg in the record is marked and must stay untouched.
    const std::string longMessage(400, 'x');
    PF_OutData record{};
    auto* bytes = reinterpret_cast<unsigned char*>(&record);
    const std::size_t end = offsetof(PF_OutData, return_msg) + sizeof(record.return_msg);
    std::memset(bytes + end, 0x5A, sizeof(record) - end);
    EXPECT_EQ(AEFX_AcquireSuite(&in, &record, "Missing", 1, longMessage.c_str(), &suite), 516);
    EXPECT_EQ(std::string(record.return_msg), std::string(sizeof(record.return_msg) - 1, 'x'));
    for (std::size_t i = end; i < sizeof(record); ++i) {
        ASSERT_EQ(bytes[i], 0x5A) << "byte " << i;
    }
}

} // namespace
