#include "Util/AEGP_SuiteHandler.h"

#include "FakeBasicSuite.h"
#include "tests/support/ThrownCode.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using TestSupport::thrownCode;

struct SuiteCase {
    const char* name;
    int32 version;
    std::function<const void*(const AEGP_SuiteHandler&)> access;
};

// The suites the module relies on, by the names and versions the host publishes them under.
const SuiteCase suiteCases[] = {
    {"PF World Suite", 1, [](const AEGP_SuiteHandler& h) { return h.WorldSuite1(); }},
    {"PF World Suite", 2, [](const AEGP_SuiteHandler& h) { return h.WorldSuite2(); }},
    {"PF Fill Matte Suite", 2, [](const AEGP_SuiteHandler& h) { return h.FillMatteSuite2(); }},
    {"AEGP Iterate Suite", 1, [](const AEGP_SuiteHandler& h) { return h.IterateSuite1(); }},
    {"PF Iterate8 Suite", 1, [](const AEGP_SuiteHandler& h) { return h.Iterate8Suite1(); }},
    {"PF Handle Suite", 2, [](const AEGP_SuiteHandler& h) { return h.HandleSuite1(); }},
    {"AEGP Utility Suite", 7, [](const AEGP_SuiteHandler& h) { return h.UtilitySuite3(); }},
    {"PF Param Utils Suite", 2, [](const AEGP_SuiteHandler& h) { return h.ParamUtilsSuite1(); }},
};

TEST(AEGP_SuiteHandler, NullBasicSuiteThrows516) {
    EXPECT_EQ(thrownCode([] { AEGP_SuiteHandler handler(nullptr); }), 516);
}

TEST(AEGP_SuiteHandler, EachSuiteIsAcquiredOnceAndReleasedOnce) {
    for (const SuiteCase& suite : suiteCases) {
        SCOPED_TRACE(testing::Message() << suite.name << " " << suite.version);
        FakeBasicSuite fake;
        const void* table = fake.offer(suite.name, suite.version);
        {
            AEGP_SuiteHandler handler(fake.basic());
            EXPECT_EQ(fake.totalAcquireCalls(), 0); // nothing before first use
            EXPECT_EQ(suite.access(handler), table);
            EXPECT_EQ(suite.access(handler), table);
            EXPECT_EQ(fake.acquireCalls(suite.name, suite.version), 1);
            EXPECT_EQ(fake.totalAcquireCalls(), 1);
            EXPECT_EQ(fake.totalReleaseCalls(), 0);
        }
        EXPECT_EQ(fake.releaseCalls(suite.name, suite.version), 1);
        EXPECT_EQ(fake.totalReleaseCalls(), 1);
    }
}

TEST(AEGP_SuiteHandler, MissingSuiteThrows516AndReleasesNothingForIt) {
    for (const SuiteCase& suite : suiteCases) {
        SCOPED_TRACE(testing::Message() << suite.name << " " << suite.version);
        FakeBasicSuite fake;
        {
            AEGP_SuiteHandler handler(fake.basic());
            EXPECT_EQ(thrownCode([&] { suite.access(handler); }), 516);
        }
        EXPECT_EQ(fake.totalReleaseCalls(), 0);
    }
}

// A host that reports an error is not trusted with the pointer it wrote.
TEST(AEGP_SuiteHandler, AcquireErrorThrowsEvenWithATable) {
    FakeBasicSuite fake;
    fake.failWithTable("PF Handle Suite", 2, 7);
    AEGP_SuiteHandler handler(fake.basic());
    EXPECT_EQ(thrownCode([&] { handler.HandleSuite1(); }), 516);
}

TEST(AEGP_SuiteHandler, ReleaseAllSuitesReleasesEachHeldSuiteOnce) {
    FakeBasicSuite fake;
    for (const SuiteCase& suite : suiteCases) {
        fake.offer(suite.name, suite.version);
    }
    {
        AEGP_SuiteHandler handler(fake.basic());
        handler.WorldSuite1();
        handler.WorldSuite2();
        handler.HandleSuite1();
        handler.ReleaseAllSuites();
        EXPECT_EQ(fake.releaseCalls("PF World Suite", 1), 1);
        EXPECT_EQ(fake.releaseCalls("PF World Suite", 2), 1);
        EXPECT_EQ(fake.releaseCalls("PF Handle Suite", 2), 1);
        EXPECT_EQ(fake.totalReleaseCalls(), 3);

        // After releasing, the next use acquires afresh.
        handler.HandleSuite1();
        EXPECT_EQ(fake.acquireCalls("PF Handle Suite", 2), 2);
    }
    EXPECT_EQ(fake.releaseCalls("PF Handle Suite", 2), 2);
    EXPECT_EQ(fake.totalReleaseCalls(), 4);
    EXPECT_EQ(fake.totalAcquireCalls(), fake.totalReleaseCalls());
}

// Releasing a held suite by name must not let the destructor release it a second time.
TEST(AEGP_SuiteHandler, ReleaseSuiteByNameKeepsCountsBalanced) {
    FakeBasicSuite fake;
    fake.offer("PF Fill Matte Suite", 2);
    fake.offer("AEGP Utility Suite", 7);
    {
        AEGP_SuiteHandler handler(fake.basic());
        handler.FillMatteSuite2();
        handler.UtilitySuite3();
        handler.ReleaseSuite("PF Fill Matte Suite", 2);
        EXPECT_EQ(fake.releaseCalls("PF Fill Matte Suite", 2), 1);
        // A suite the handler does not hold is passed through to the host.
        handler.ReleaseSuite("Some Other Suite", 3);
        EXPECT_EQ(fake.releaseCalls("Some Other Suite", 3), 1);
    }
    EXPECT_EQ(fake.releaseCalls("PF Fill Matte Suite", 2), 1);
    EXPECT_EQ(fake.releaseCalls("AEGP Utility Suite", 7), 1);
}

} // namespace
