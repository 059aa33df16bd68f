#include "host/system/WorkerPool.h"

#include "host/system/HostError.h"

#include <chrono>
#include <system_error>
#include <utility>

namespace OfflineHost {
namespace {

// The pool and worker index of the calling thread, when it is a worker.
thread_local const WorkerPool* currentPool = nullptr;
thread_local int currentWorker = -1;

constexpr std::uint64_t unclaimedBits = 0xffffffffU;

// Tells the processor that this thread is waiting in a loop: it lets the other hardware thread of
// the core run meanwhile, and the loop ends without a mispredicted branch.
inline void pauseHint() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// Returns whether done() came true within a short while. A sleeping thread takes tens of
// microseconds to wake, as long as a whole call of a small shape takes, and calls come in quick
// succession while a frame renders: so a thread watches for a while before it sleeps. It looks
// often, so that a call is taken up within a fraction of a microsecond, and gives the processor
// to others now and then, for a machine with more threads than processors.
template <typename Condition>
bool watchBriefly(const Condition& done) {
    constexpr auto watch = std::chrono::microseconds(200);
    constexpr int looksBetweenYields = 64;
    const auto until = std::chrono::steady_clock::now() + watch;
    for (;;) {
        for (int i = 0; i < looksBetweenYields; ++i) {
            if (done()) {
                return true;
            }
            pauseHint();
        }
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::this_thread::yield();
    }
}

} // namespace

WorkerPool::WorkerPool(int threads, WorkerHook beforeClaiming)
    : m_beforeClaiming(std::move(beforeClaiming)) {
    if (threads < 1) {
        throw HostError("a worker pool needs at least one thread, not " + std::to_string(threads));
    }
    // The thread that calls run() is worker 0; the others are started here.
    m_threads.reserve(static_cast<std::size_t>(threads - 1));
    try {
        for (int i = 1; i < threads; ++i) {
            m_threads.emplace_back([this, i] { _work(i); });
        }
    } catch (const std::system_error& e) {
        // The workers already started use this pool's members: they must be gone before the
        // members are destroyed.
        const std::size_t started = m_threads.size() + 1;
        _stop();
        throw HostError("the system refused to start worker thread " + std::to_string(started + 1) +
                        " of " + std::to_string(threads) + ": " + e.what());
    }
}

WorkerPool::~WorkerPool() {
    _stop();
}

void WorkerPool::_stop() {
    {
        std::lock_guard call(m_callMutex);
        std::lock_guard lock(m_sleepMutex);
        m_stopping.store(true);
    }
    m_wakeWorkers.notify_all();
    for (auto& t : m_threads) {
        t.join();
    }
}

int WorkerPool::run(int iterations, const Task& task) {
    if (iterations <= 0) {
        return 0;
    }
    if (currentPool == this) {
        // A task that iterates again: the other workers may all be busy with this call, so
        // waiting for them could never end.
        int first = 0;
        for (int i = 0; i < iterations; ++i) {
            const int err = task(currentWorker, i);
            if (first == 0) {
                first = err;
            }
        }
        return first;
    }
    std::lock_guard call(m_callMutex);
    m_task = &task;
    m_iterations = iterations;
    m_firstError.store(0, std::memory_order_relaxed);
    m_unfinished.store(iterations, std::memory_order_relaxed);
    ++m_callNumber;
    // Published with the first iteration claimed already: the caller's, so that it starts at once.
    m_claims.store(std::uint64_t{m_callNumber} << 32 | static_cast<std::uint32_t>(iterations - 1));
    // A watching worker takes the call up by itself and wakes the sleepers where there is work for
    // them; with none watching, the call wakes one.
    if (iterations > 1 && m_watching.load() == 0 && m_sleepers.load() > 0) {
        _wake(false);
    }
    // The caller works too, as worker 0: with one thread nothing changes hands at all.
    const WorkerPool* const outerPool = std::exchange(currentPool, this);
    const int outerWorker = std::exchange(currentWorker, 0);
    _runIteration(0, 0);
    _runClaimed(0);
    currentPool = outerPool;
    currentWorker = outerWorker;
    _awaitFinished();
    return m_firstError.load(std::memory_order_relaxed);
}

int WorkerPool::_unclaimed() const {
    return static_cast<int>(m_claims.load() & unclaimedBits);
}

void WorkerPool::_runClaimed(int threadIndex) {
    // One iteration at a time, so that every thread gets a share while any is left.
    std::uint64_t claims = m_claims.load(std::memory_order_acquire);
    while ((claims & unclaimedBits) != 0) {
        if (m_claims.compare_exchange_weak(claims, claims - 1, std::memory_order_acquire)) {
            _runIteration(threadIndex, m_iterations - static_cast<int>(claims & unclaimedBits));
            claims = m_claims.load(std::memory_order_acquire);
        }
    }
}

void WorkerPool::_runIteration(int threadIndex, int iteration) {
    // The call cannot end before this iteration has, so its task holds still.
    int err = 0;
    try {
        err = (*m_task)(threadIndex, iteration);
    } catch (...) {
        err = -1;
    }
    if (err != 0) {
        int none = 0;
        m_firstError.compare_exchange_strong(none, err, std::memory_order_relaxed);
    }
    if (m_unfinished.fetch_sub(1) == 1 && m_callerAsleep.load()) {
        { std::lock_guard lock(m_sleepMutex); }
        m_wakeCaller.notify_one();
    }
}

void WorkerPool::_awaitFinished() {
    const auto finished = [this] { return m_unfinished.load() == 0; };
    if (watchBriefly(finished)) {
        return;
    }
    std::unique_lock lock(m_sleepMutex);
    m_callerAsleep.store(true);
    m_wakeCaller.wait(lock, finished);
    m_callerAsleep.store(false);
}

void WorkerPool::_sleep() {
    std::unique_lock lock(m_sleepMutex);
    m_sleepers.fetch_add(1);
    m_wakeWorkers.wait(lock, [this] { return _unclaimed() > 0 || m_stopping.load(); });
    m_sleepers.fetch_sub(1);
}

void WorkerPool::_wake(bool all) {
    // A sleeper that has counted itself holds the lock until it waits, so it cannot miss this.
    { std::lock_guard lock(m_sleepMutex); }
    if (all) {
        m_wakeWorkers.notify_all();
    } else {
        m_wakeWorkers.notify_one();
    }
}

void WorkerPool::_work(int index) {
    currentPool = this;
    currentWorker = index;
    const auto callOrStop = [this] { return _unclaimed() > 0 || m_stopping.load(); };
    for (;;) {
        m_watching.fetch_add(1);
        const bool seen = watchBriefly(callOrStop);
        m_watching.fetch_sub(1);
        if (!seen) {
            _sleep();
        }
        if (m_stopping.load()) {
            return;
        }
        // Not yet committed to any of the call, this worker wakes the sleepers first where there
        // is work for more than itself.
        if (_unclaimed() > 1 && m_sleepers.load() > 0) {
            _wake(true);
        }
        if (m_beforeClaiming) {
            m_beforeClaiming(index);
        }
        _runClaimed(index);
    }
}

} // namespace OfflineHost
