// The user's interrupt as a module meets it: an iterate call starts no iteration once the
// interrupt holds, lets those running finish and answers PF_Interrupt_CANCEL; the abort callback
// answers it too; without it, every iteration runs again.

#include "tests/host/HostTestSupport.h"

#include <atomic>

using namespace OfflineHost;

namespace {

struct Iterations {
    A_long raiseAt = 0; // once this many iterations started, the interrupt holds (0: never)
    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    std::atomic<bool> interrupt{false}; // holds from the start

    // Read from the count itself, so that the interrupt holds the moment the raising iteration
    // starts, with no window in which another thread sees it not yet raised.
    bool holds() const { return interrupt || (raiseAt > 0 && started >= raiseAt); }
};

PF_Err countIteration(void* context, A_long, A_long, A_long) {
    auto& it = *static_cast<Iterations*>(context);
    ++it.started;
    ++it.finished;
    return PF_Err_NONE;
}

int lastResultOf(const EffectInstance& instance, const std::string& call) {
    int result = -1;
    for (const CallRecord& record : instance.diagnostics().calls()) {
        if (record.name == call) {
            result = record.result;
        }
    }
    return result;
}

} // namespace

TEST(Interrupt, StopsAnIterateCallBetweenIterations) {
    constexpr int threads = 2;
    constexpr A_long count = 200;
    auto probe = HostTest::setUpProbe();
    probe->setThreadCount(threads);
    Iterations seen;
    seen.raiseAt = 10;
    probe->setInterrupt([&] { return seen.holds(); });
    Probe::Request request;
    request.action = Probe::Action::Iterate;
    request.count = count;
    request.observe = countIteration;
    request.observeContext = &seen;

    EXPECT_EQ(HostTest::perform(*probe, request).result, PF_Interrupt_CANCEL);
    // The iteration that raised it, and at most one on each other thread that had been let
    // through before; each of them ran to its end.
    EXPECT_GE(seen.started, seen.raiseAt);
    EXPECT_LE(seen.started, seen.raiseAt + threads - 1);
    EXPECT_EQ(seen.finished, seen.started);
    EXPECT_EQ(lastResultOf(*probe, "iterate_generic"), PF_Interrupt_CANCEL);
    EXPECT_TRUE(probe->diagnostics().lastAccount().clean());

    // Once it no longer holds, a call runs every iteration.
    seen.raiseAt = 0;
    seen.started = 0;
    seen.finished = 0;
    EXPECT_EQ(HostTest::perform(*probe, request).result, PF_Err_NONE);
    EXPECT_EQ(seen.finished, count);

    // An interrupt that holds before the call lets no iteration run.
    seen.started = 0;
    seen.interrupt = true;
    EXPECT_EQ(HostTest::perform(*probe, request).result, PF_Interrupt_CANCEL);
    EXPECT_EQ(seen.started, 0);
}

TEST(Interrupt, TheAbortCallbackAnswersIt) {
    auto probe = HostTest::setUpProbe();
    Probe::Request request;
    request.action = Probe::Action::Abort;
    EXPECT_EQ(HostTest::perform(*probe, request).result, PF_Err_NONE);

    bool interrupt = true;
    probe->setInterrupt([&] { return interrupt; });
    EXPECT_EQ(HostTest::perform(*probe, request).result, PF_Interrupt_CANCEL);
    EXPECT_EQ(lastResultOf(*probe, "abort"), PF_Interrupt_CANCEL);

    interrupt = false;
    EXPECT_EQ(HostTest::perform(*probe, request).result, PF_Err_NONE);
    probe->setInterrupt({});
    EXPECT_EQ(HostTest::perform(*probe, request).result, PF_Err_NONE);
}
