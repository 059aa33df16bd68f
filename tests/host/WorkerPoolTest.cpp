// The worker pool behind the iterate suites: every iteration once, all workers at once, the first
// error returned; and the iterate suites as a module calls them.

#include "HostTestSupport.h"

#include "host/WorkerPool.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <vector>

using namespace OfflineHost;

namespace {

// Lets `parties` calls wait for each other; gives up after a generous deadline so that a pool
// that does not run its iterations at the same time fails instead of hanging.
class Meeting {
public:
    explicit Meeting(int parties) : _parties(parties) {}
    bool arriveAndWait() {
        std::unique_lock lock(_mutex);
        ++_arrived;
        _all.notify_all();
        return _all.wait_for(lock, std::chrono::seconds(30), [&] { return _arrived >= _parties; });
    }

private:
    std::mutex _mutex;
    std::condition_variable _all;
    int _parties;
    int _arrived = 0;
};

} // namespace

TEST(WorkerPool, RunsEveryIterationExactlyOnce) {
    WorkerPool pool(4);
    EXPECT_EQ(pool.threadCount(), 4);
    constexpr int n = 1000;
    std::vector<std::atomic<int>> runs(n);
    std::atomic<int> badThread{0};
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(pool.run(n,
                           [&](int thread, int i) {
                               runs[static_cast<std::size_t>(i)]++;
                               if (thread < 0 || thread >= 4) {
                                   ++badThread;
                               }
                               return 0;
                           }),
                  0);
    }
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(runs[static_cast<std::size_t>(i)], 3) << i;
    }
    EXPECT_EQ(badThread, 0);
    EXPECT_EQ(pool.run(0, [](int, int) { return 1; }), 0);
    EXPECT_THROW(WorkerPool(0), HostError);
}

TEST(WorkerPool, RunsIterationsConcurrentlyOnDistinctWorkers) {
    constexpr int threads = 4;
    WorkerPool pool(threads);
    Meeting meeting(threads);
    std::mutex mutex;
    std::set<int> workers;
    const int err = pool.run(threads, [&](int thread, int) {
        {
            std::lock_guard lock(mutex);
            workers.insert(thread);
        }
        return meeting.arriveAndWait() ? 0 : 1;
    });
    EXPECT_EQ(err, 0);
    EXPECT_EQ(workers.size(), static_cast<std::size_t>(threads));
}

TEST(WorkerPool, ReturnsTheFirstErrorAfterRunningEverything) {
    WorkerPool single(1); // one worker runs the iterations in order
    std::atomic<int> ran{0};
    const int err = single.run(30, [&](int, int i) {
        ++ran;
        return i == 10 ? 11 : i == 20 ? 21 : 0;
    });
    EXPECT_EQ(err, 11);
    EXPECT_EQ(ran, 30);

    WorkerPool pool(3);
    EXPECT_EQ(pool.run(50, [](int, int i) { return i == 33 ? 7 : 0; }), 7);
}

TEST(WorkerPool, AnIterationMayIterateAgain) {
    WorkerPool pool(2);
    std::atomic<int> inner{0};
    const int err = pool.run(4, [&](int, int) {
        return pool.run(5, [&](int, int) {
            ++inner;
            return 0;
        });
    });
    EXPECT_EQ(err, 0);
    EXPECT_EQ(inner, 20);
}

namespace {

struct Observed {
    std::mutex mutex;
    std::vector<int> runs;
    std::set<A_long> threads;
    A_long count = 0;
    A_long failAt = -1;
};

PF_Err observe(void* context, A_long thread, A_long i, A_long count) {
    auto& o = *static_cast<Observed*>(context);
    std::lock_guard lock(o.mutex);
    o.runs[static_cast<std::size_t>(i)]++;
    o.threads.insert(thread);
    o.count = count;
    return i == o.failAt ? PF_Err_OUT_OF_MEMORY : PF_Err_NONE;
}

} // namespace

TEST(WorkerPool, ServesTheModulesIterateSuites) {
    auto probe = HostTest::setUpProbe();
    probe->setThreadCount(3);
    Observed seen;
    seen.runs.resize(3);
    Probe::Request request;
    request.action = Probe::Action::Iterate;
    request.count = -1; // one iteration per thread
    request.observe = observe;
    request.observeContext = &seen;
    EXPECT_EQ(HostTest::perform(*probe, request).result, PF_Err_NONE);
    EXPECT_EQ(seen.runs, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(seen.count, 3);
    for (A_long thread : seen.threads) {
        EXPECT_TRUE(thread >= 0 && thread < 3) << thread;
    }

    seen.runs.assign(40, 0);
    seen.failAt = 17;
    request.action = Probe::Action::IterateAegp;
    request.count = 40;
    const auto answer = HostTest::perform(*probe, request);
    EXPECT_EQ(answer.threads, 3);
    EXPECT_EQ(answer.result, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(seen.runs, std::vector<int>(40, 1));
    EXPECT_TRUE(probe->diagnostics().lastAccount().clean());
}
