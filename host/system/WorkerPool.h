#pragma once

// The threads behind the iterate suites: a fixed set of persistent workers that share out the
// iterations of one call at a time.
//
// The calling thread and the workers claim a call's iterations from one counter, so a call never
// waits for a thread that has not woken up: whatever no worker has claimed, the caller runs
// itself, and it waits only for iterations already running elsewhere. Workers that have just
// finished watch for the next call for a while (calls come in quick succession while a frame
// renders) and then sleep; a call wakes sleepers only when no worker is watching.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace OfflineHost {

class WorkerPool {
public:
    // A task receives the index of the worker running it (0 to threadCount() - 1) and the
    // iteration; its result is a host error code, 0 for none. Tasks must not throw; one that does
    // counts as having returned -1.
    using Task = std::function<int(int threadIndex, int iteration)>;
    // Runs on a worker each time it takes up a call, before it claims an iteration. Tests hold
    // workers back with it, as a busy machine would.
    using WorkerHook = std::function<void(int threadIndex)>;

    // A pool of `threads` workers (at least 1): the thread calling run() and threads - 1 started
    // here. Throws HostError for fewer, and when the system refuses to start one, once the
    // workers already started have stopped.
    explicit WorkerPool(int threads, WorkerHook beforeClaiming = {});
    // Waits for the running call, then stops the workers.
    ~WorkerPool();

    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int threadCount() const { return static_cast<int>(m_threads.size()) + 1; }

    // Runs task once for every iteration 0 to iterations - 1, spread over the calling thread and
    // the workers, and returns when all are done: the first non-zero result in time order, or 0.
    // Every iteration runs even after one has failed. Calls from several threads take turns; a call
    // from one of this pool's own workers runs its iterations inline on that worker.
    int run(int iterations, const Task& task);

private:
    void _work(int index);
    // Claims and runs iterations of the open call, if any, until none is left unclaimed.
    void _runClaimed(int threadIndex);
    // Runs one claimed iteration and counts it finished.
    void _runIteration(int threadIndex, int iteration);
    // The current call's iterations that nobody has claimed yet.
    int _unclaimed() const;
    // Sleeps until a call has iterations to claim or the pool stops.
    void _sleep();
    // Wakes one sleeping worker, or all of them.
    void _wake(bool all);
    // Waits for the iterations that other threads still run.
    void _awaitFinished();
    // Ends the workers' loops and joins them.
    void _stop();

    std::vector<std::thread> m_threads;
    WorkerHook m_beforeClaiming;
    std::mutex m_callMutex; // one run() at a time

    // The claim counter: the call's number in the high 32 bits, its iterations not yet claimed in
    // the low 32. A claim decrements it and takes iteration (m_iterations - unclaimed); the number
    // makes a claim fail when it was read during an earlier call. Storing it publishes a call, with
    // iteration 0 claimed by the caller.
    alignas(128) std::atomic<std::uint64_t> m_claims{0};
    // The call's iterations that have not finished; the thread that finishes the last wakes the
    // caller if it sleeps.
    alignas(128) std::atomic<int> m_unfinished{0};
    std::atomic<int> m_firstError{0};
    // The open call. Written by the caller before it publishes the call and read only by a thread
    // holding a claim of it, so never while they change.
    const Task* m_task = nullptr;
    int m_iterations = 0;
    std::uint32_t m_callNumber = 0;

    // Sleeping and waking. A sleeper counts itself under m_sleepMutex before it checks for work,
    // and a waker takes m_sleepMutex before it notifies, so no wake-up is lost.
    alignas(128) std::atomic<int> m_watching{0}; // workers awake and looking for a call
    std::atomic<int> m_sleepers{0};
    std::atomic<bool> m_callerAsleep{false};
    std::atomic<bool> m_stopping{false};
    std::mutex m_sleepMutex;
    std::condition_variable m_wakeWorkers;
    std::condition_variable m_wakeCaller;
};

} // namespace OfflineHost
