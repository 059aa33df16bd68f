// The worker pool behind the iterate suites: every iteration once, all workers at once, the first
// error returned; and the iterate suites as a module calls them.

#include "tests/host/HostTestSupport.h"

#include "host/system/HostError.h"
#include "host/system/SystemLimits.h"
#include "host/system/WorkerPool.h"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace OfflineHost;

namespace {

// Lets `parties` calls wait for each other; gives up after a generous deadline so that a pool
// that does not run its iterations at the same time fails instead of hanging.
class Meeting {
public:
    explicit Meeting(int parties) : m_parties(parties) {}
    bool arriveAndWait() {
        std::unique_lock lock(m_mutex);
        ++m_arrived;
        m_all.notify_all();
        return m_all.wait_for(lock, std::chrono::seconds(30),
                              [&] { return m_arrived >= m_parties; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_all;
    int m_parties;
    int m_arrived = 0;
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

namespace {

// Holds the threads that wait on it until it is opened.
class Gate {
public:
    void wait() {
        std::unique_lock lock(m_mutex);
        m_opened.wait(lock, [&] { return m_open; });
    }
    void open() {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_opened.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_open = false;
};

// Runs calls() on a thread of its own and returns whether it ended within a generous deadline.
// Either way the gate is open afterwards, so that a pool waiting for held workers ends instead of
// hanging the suite.
bool endsWhileHeld(Gate& gate, const std::function<void()>& calls) {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::thread caller([&] {
        calls();
        std::lock_guard lock(mutex);
        done = true;
        ended.notify_all();
    });
    bool inTime = false;
    {
        std::unique_lock lock(mutex);
        inTime = ended.wait_for(lock, std::chrono::seconds(30), [&] { return done; });
    }
    gate.open();
    caller.join();
    return inTime;
}

// Which thread ran each iteration of a call, and how many times each ran.
struct Runs {
    explicit Runs(int iterations)
        : count(static_cast<std::size_t>(iterations)),
          thread(static_cast<std::size_t>(iterations)) {}
    WorkerPool::Task task() {
        return [this](int t, int i) {
            count[static_cast<std::size_t>(i)]++;
            thread[static_cast<std::size_t>(i)] = t;
            return 0;
        };
    }
    std::vector<std::atomic<int>> count;
    std::vector<std::atomic<int>> thread;
};

} // namespace

// The caller and the workers claim iterations from one counter: a call whose workers cannot start
// is run whole by the calling thread, each iteration once, instead of waiting for them.
TEST(WorkerPool, ACallWhoseWorkersCannotStartRunsOnTheCallingThread) {
    Gate gate;
    WorkerPool pool(4, [&](int) { gate.wait(); });
    const bool ended = endsWhileHeld(gate, [&] {
        for (int iterations : {4, 1, 4, 100}) {
            Runs runs(iterations);
            EXPECT_EQ(pool.run(iterations, runs.task()), 0);
            for (int i = 0; i < iterations; ++i) {
                EXPECT_EQ(runs.count[static_cast<std::size_t>(i)], 1) << i << " of " << iterations;
                EXPECT_EQ(runs.thread[static_cast<std::size_t>(i)], 0) << i << " of " << iterations;
            }
        }
        EXPECT_EQ(pool.run(4, [](int, int i) { return i == 2 ? 9 : 0; }), 9);
    });
    EXPECT_TRUE(ended) << "the calls waited for workers that could not start";

    // Released, the workers take their share again.
    Meeting meeting(4);
    EXPECT_EQ(pool.run(4, [&](int, int) { return meeting.arriveAndWait() ? 0 : 1; }), 0);
}

// One worker held back, as a busy machine may hold one: every call still ends, with each
// iteration run once by the others, and the held worker joins in once it is let go.
TEST(WorkerPool, ACallGoesOnWithoutAWorkerThatIsLateToStart) {
    constexpr int held = 2;
    Gate gate;
    std::atomic<bool> holding{true};
    WorkerPool pool(4, [&](int worker) {
        if (worker == held && holding) {
            gate.wait();
        }
    });
    std::set<int> helpers;
    const bool ended = endsWhileHeld(gate, [&] {
        // At least 200 calls, and on a busy machine more, until a free worker has had a share.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (int call = 0;
             call < 200 || (helpers.size() < 2 && std::chrono::steady_clock::now() < deadline);
             ++call) {
            Runs runs(4);
            const auto work = runs.task();
            EXPECT_EQ(pool.run(4,
                               [&](int t, int i) {
                                   // Long enough for a watching worker to claim a share.
                                   const auto until = std::chrono::steady_clock::now() +
                                                      std::chrono::microseconds(20);
                                   while (std::chrono::steady_clock::now() < until) {
                                   }
                                   return work(t, i);
                               }),
                      0);
            for (int i = 0; i < 4; ++i) {
                EXPECT_EQ(runs.count[static_cast<std::size_t>(i)], 1) << call << ", " << i;
                EXPECT_NE(runs.thread[static_cast<std::size_t>(i)], held) << call << ", " << i;
                helpers.insert(runs.thread[static_cast<std::size_t>(i)]);
            }
        }
        holding = false;
    });
    EXPECT_TRUE(ended) << "the calls waited for a worker that could not start";
    EXPECT_GT(helpers.size(), 1U) << "the free workers took no share";

    Meeting meeting(4);
    EXPECT_EQ(pool.run(4, [&](int, int) { return meeting.arriveAndWait() ? 0 : 1; }), 0);
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

namespace {

// The fourth field of /proc/loadavg, "running/existing": the threads on the machine now.
long long threadsOnMachine() {
    std::ifstream in("/proc/loadavg");
    std::string field;
    for (int i = 0; i < 4 && in >> field; ++i) {
    }
    return std::stoll(field.substr(field.find('/') + 1));
}

// Runs in a child process: a pool of 64 under a process limit of 8. Root is not held to that
// limit, so it first becomes the unprivileged user, which owns no other process.
[[noreturn]] void startPoolUnderProcessLimit() {
    ::alarm(60); // a pool that hangs ends by SIGALRM instead of stalling the suite
    if (::geteuid() == 0 && ::setuid(65534) != 0) {
        std::_Exit(2);
    }
    const rlimit few{8, 8};
    if (::setrlimit(RLIMIT_NPROC, &few) != 0) {
        std::_Exit(3);
    }
    try {
        WorkerPool pool(64);
    } catch (const HostError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        std::_Exit(0);
    }
    std::_Exit(1);
}

// Runs in a child process: the cap follows the user's process limit.
[[noreturn]] void capUnderProcessLimit(rlim_t limit) {
    const rlimit some{limit, limit};
    if (::setrlimit(RLIMIT_NPROC, &some) != 0) {
        std::_Exit(3);
    }
    std::fprintf(stderr, "startable %d\n", startableThreads());
    auto probe = HostTest::setUpProbe();
    probe->setThreadCount(1000000);
    std::fprintf(stderr, "capped %d\n", probe->threadCount());
    std::_Exit(0);
}

// Runs in a child process, whose default thread count is read afresh: the process is confined to
// the first `processors` of the processors it may use.
[[noreturn]] void defaultThreadsUnderAffinity(int processors) {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (::sched_getaffinity(0, sizeof allowed, &allowed) != 0) {
        std::_Exit(3);
    }
    cpu_set_t chosen;
    CPU_ZERO(&chosen);
    for (int cpu = 0; cpu < CPU_SETSIZE && CPU_COUNT(&chosen) < processors; ++cpu) {
        if (CPU_ISSET(cpu, &allowed)) {
            CPU_SET(cpu, &chosen);
        }
    }
    if (::sched_setaffinity(0, sizeof chosen, &chosen) != 0) {
        std::_Exit(3);
    }
    auto probe = HostTest::setUpProbe();
    probe->setThreadCount(0);
    std::fprintf(stderr, "usable %d threads %d\n", usableProcessors(), probe->threadCount());
    std::_Exit(0);
}

} // namespace

// A cluster's scheduler or a container confines a process to some of the machine's processors;
// a worker for each of the others would only take turns with the rest.
TEST(WorkerPoolDeathTest, TheDefaultThreadCountIsTheProcessorsTheProcessMayRunOn) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(defaultThreadsUnderAffinity(1), ::testing::ExitedWithCode(0),
                "usable 1 threads 1\n");
    if (usableProcessors() >= 2) {
        EXPECT_EXIT(defaultThreadsUnderAffinity(2), ::testing::ExitedWithCode(0),
                    "usable 2 threads 2\n");
    }
}

// When the system refuses a thread, the workers already started wait on the pool's condition
// variables; the pool must stop them before it unwinds, or it hangs in their destruction.
TEST(WorkerPoolDeathTest, AThreadTheSystemRefusesStopsTheStartedOnesAndIsReported) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // As root the child owns nothing else, so some workers start before one is refused (up to
    // seven; a sanitizer's own thread takes a place).
    const std::string started = ::geteuid() == 0 ? "[2-9]" : "[0-9]+";
    EXPECT_EXIT(startPoolUnderProcessLimit(), ::testing::ExitedWithCode(0),
                "the system refused to start worker thread " + started + " of 64: ");
}

TEST(WorkerPoolDeathTest, ThreadCountsAreCappedAtWhatTheMachineCanStart) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const long long pidMax = [] {
        long long value = 0;
        std::ifstream("/proc/sys/kernel/pid_max") >> value;
        return value;
    }();
    const int startable = startableThreads();
    EXPECT_GE(startable, 1);
    EXPECT_LE(startable, (pidMax - threadsOnMachine()) / 2 + 100);

    // A process limit already reached leaves one thread; 1000 more leave room for half of them
    // (give or take what others start or end meanwhile).
    EXPECT_EXIT(capUnderProcessLimit(1), ::testing::ExitedWithCode(0), "startable 1\ncapped 1\n");
    EXPECT_EXIT(capUnderProcessLimit(static_cast<rlim_t>(threadsOnMachine() + 1000)),
                ::testing::ExitedWithCode(0),
                "startable (4[5-9][0-9]|5[0-4][0-9])\ncapped (4[5-9][0-9]|5[0-4][0-9])\n");
}
