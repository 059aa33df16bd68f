// Suites, handles and worlds as a module meets them: refusal of what the host does not offer,
// misuse answered and recorded, the account of what is left behind, and injected faults.

#include "ProbeRecords.h"
#include "tests/host/HostTestSupport.h"

#include "AE_EffectCB.h"
#include "SPBasic.h"

#include <algorithm>

using namespace OfflineHost;

namespace {

Probe::Request acquire(const char* name, A_long version, bool release = true) {
    Probe::Request r;
    r.action = Probe::Action::AcquireSuite;
    r.suiteName = name;
    r.suiteVersion = version;
    r.release = release;
    return r;
}

Probe::Request action(Probe::Action a, A_long count = 0) {
    Probe::Request r;
    r.action = a;
    r.count = count;
    return r;
}

bool misused(const EffectInstance& instance, const std::string& call) {
    const auto misuses = instance.diagnostics().misuses();
    return std::any_of(misuses.begin(), misuses.end(),
                       [&](const Misuse& m) { return m.call == call; });
}

} // namespace

TEST(Suites, ServesTheListedSuitesOnlyAtTheirVersions) {
    auto probe = HostTest::setUpProbe();
    const std::pair<const char*, A_long> offered[] = {
        {"PF World Suite", 1},     {"PF World Suite", 2},      {"PF Fill Matte Suite", 2},
        {"AEGP Iterate Suite", 1}, {"PF Iterate8 Suite", 1},   {"PF Handle Suite", 2},
        {"AEGP Utility Suite", 7}, {"PF Param Utils Suite", 2}};
    for (const auto& [name, version] : offered) {
        EXPECT_EQ(HostTest::perform(*probe, acquire(name, version)).result, 0) << name;
        EXPECT_EQ(HostTest::perform(*probe, acquire(name, version + 10)).result, suiteNotFoundError)
            << name;
    }
    EXPECT_EQ(HostTest::perform(*probe, acquire("No Such Suite", 1)).result, suiteNotFoundError);
    EXPECT_TRUE(misused(*probe, "AcquireSuite"));
    EXPECT_TRUE(probe->diagnostics().lastAccount().clean());
}

TEST(Suites, CountsEveryAcquisitionAgainstItsRelease) {
    auto probe = HostTest::setUpProbe();
    HostTest::perform(*probe, acquire("PF Handle Suite", 2, false));
    HostTest::perform(*probe, acquire("PF Handle Suite", 2, false));
    const auto& left = probe->diagnostics().lastAccount().unreleasedSuites;
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].name, "PF Handle Suite");
    EXPECT_EQ(left[0].version, 2);
    EXPECT_EQ(left[0].count, 2);

    // Releasing more often than acquired is refused.
    auto context = probe->context();
    SPBasicSuite* basic = context.in()->pica_basicP;
    EXPECT_EQ(basic->ReleaseSuite("PF Handle Suite", 2), 0);
    EXPECT_EQ(basic->ReleaseSuite("PF Handle Suite", 2), 0);
    EXPECT_EQ(basic->ReleaseSuite("PF Handle Suite", 2), badParameterError);
    EXPECT_TRUE(probe->diagnostics().account().unreleasedSuites.empty());
}

TEST(Suites, HiddenSuitesAndInjectedFaults) {
    auto probe = HostTest::setUpProbe();
    probe->diagnostics().hideSuite("PF Param Utils Suite", 2);
    // The probe answers a missing suite with PF_Err_BAD_CALLBACK_PARAM.
    EXPECT_EQ(probe->updateParamsUI(), PF_Err_BAD_CALLBACK_PARAM);
    probe->diagnostics().clearFaults();
    EXPECT_EQ(probe->updateParamsUI(), PF_Err_NONE);

    // Only the second call fails.
    probe->diagnostics().failCall("PF_UpdateParamUI", PF_Err_OUT_OF_MEMORY, 2);
    EXPECT_EQ(probe->updateParamsUI(), PF_Err_NONE);
    EXPECT_EQ(probe->updateParamsUI(), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(probe->updateParamsUI(), PF_Err_NONE);

    probe->diagnostics().failCall("checkout_param", PF_Err_INTERNAL_STRUCT_DAMAGED);
    Probe::Request checkout = action(Probe::Action::CheckoutParam);
    checkout.index = Probe::Amount;
    EXPECT_EQ(HostTest::perform(*probe, checkout).result, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(HostTest::perform(*probe, checkout).result, PF_Err_INTERNAL_STRUCT_DAMAGED);
}

TEST(Handles, MisuseIsAnsweredAndRecorded) {
    auto probe = HostTest::setUpProbe();
    HostTest::perform(*probe, action(Probe::Action::DoubleDisposeHandle));
    ASSERT_EQ(probe->diagnostics().misuses().size(), 1u);
    EXPECT_EQ(probe->diagnostics().misuses()[0].call, "host_dispose_handle");
    EXPECT_EQ(probe->diagnostics().misuses()[0].result, PF_Err_BAD_CALLBACK_PARAM);

    probe->diagnostics().clearCalls();
    HostTest::perform(*probe, action(Probe::Action::DisposeForeignHandle));
    EXPECT_TRUE(misused(*probe, "host_dispose_handle"));

    // A handle of one instance is not another's.
    auto other = HostTest::setUpProbe();
    const auto kept = HostTest::perform(*other, action(Probe::Action::NewHandle, 24));
    ASSERT_NE(kept.handle, nullptr);
    probe->diagnostics().clearCalls();
    {
        auto context = probe->context();
        context.in()->utils->host_dispose_handle(kept.handle);
        EXPECT_EQ(context.in()->utils->host_get_handle_size(kept.handle), 0u);
    }
    EXPECT_EQ(probe->diagnostics().misuses().size(), 2u);
    EXPECT_EQ(other->diagnostics().account().liveHandles.size(),
              2u); // its global data and the kept handle
}

TEST(Handles, TheAccountShowsWhatTheModuleKeeps) {
    auto probe = HostTest::setUpProbe();
    const auto& setup = probe->diagnostics().lastAccount();
    ASSERT_EQ(setup.liveHandles.size(), 1u);
    EXPECT_TRUE(setup.liveHandles[0].isGlobalData);
    EXPECT_TRUE(setup.clean());

    const auto kept = HostTest::perform(*probe, action(Probe::Action::NewHandle, 24));
    const auto& after = probe->diagnostics().lastAccount();
    ASSERT_EQ(after.liveHandles.size(), 2u);
    EXPECT_FALSE(after.clean());
    const auto leaked = std::find_if(after.liveHandles.begin(), after.liveHandles.end(),
                                     [](const LiveHandle& h) { return !h.isGlobalData; });
    EXPECT_EQ(leaked->handle, kept.handle);
    EXPECT_EQ(leaked->size, 24u);

    HostTest::perform(*probe, action(Probe::Action::NewWorld, 5));
    ASSERT_EQ(probe->diagnostics().lastAccount().liveWorlds.size(), 1u);
    EXPECT_EQ(probe->diagnostics().lastAccount().liveWorlds[0].width, 5);

    EXPECT_EQ(probe->globalSetdown(), PF_Err_NONE);
    EXPECT_EQ(probe->diagnostics().lastAccount().liveHandles.size(), 1u); // the kept one
    EXPECT_EQ(probe->globalData(), nullptr);
}

TEST(Handles, ANullHandleFailsGlobalSetUp) {
    EffectInstance probe(HostTest::probeModule(), "HostProbe");
    probe.diagnostics().failCall("host_new_handle", PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(probe.globalSetup(), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(probe.outData().my_version, Probe::version);
    EXPECT_EQ(probe.globalData(), nullptr);
}

TEST(Worlds, UnknownAndNullWorldsAreRefused) {
    auto probe = HostTest::setUpProbe();
    EXPECT_EQ(HostTest::perform(*probe, action(Probe::Action::CopyForeignWorld)).result,
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(HostTest::perform(*probe, action(Probe::Action::CopyNullWorld)).result,
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(probe->diagnostics().misuses().size(), 2u);

    // A world built by the test is accepted; one of another depth is not copied into.
    World a(3, 2, PixelDepth::Bits8, 4);
    World b(3, 2, PixelDepth::Bits8);
    World deep(3, 2, PixelDepth::Bits16);
    a.at<PF_Pixel>(2, 1) = PF_Pixel{1, 2, 3, 4};
    auto context = probe->context();
    auto* utils = context.in()->utils;
    const auto ref = context.in()->effect_ref;
    EXPECT_EQ(utils->copy(ref, &a.effectWorld(), &b.effectWorld(), nullptr, nullptr), 0);
    EXPECT_EQ(b.at<PF_Pixel>(2, 1).blue, 4);
    EXPECT_EQ(utils->copy(ref, &a.effectWorld(), &deep.effectWorld(), nullptr, nullptr),
              PF_Err_BAD_CALLBACK_PARAM);
}
