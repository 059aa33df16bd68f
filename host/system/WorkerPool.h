#pragma once

// The threads behind the iterate suites: a fixed set of persistent workers that share out the
// iterations of one call at a time.

#include <atomic>
#include <condition_variable>
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

    // A pool of `threads` workers (at least 1): the thread calling run() and threads - 1 started
    // here. Throws HostError for fewer, and when the system refuses to start one, once the
    // workers already started have stopped.
    explicit WorkerPool(int threads);
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
    // Runs iterations of the current call on worker index until none is left; lock holds m_mutex
    // except while a task runs.
    void _claimIterations(std::unique_lock<std::mutex>& lock, int index);
    // Returns when done() holds or a short while has passed; lock is released meanwhile.
    static void _awaitBriefly(std::unique_lock<std::mutex>& lock,
                              const std::function<bool()>& done);
    // Ends the workers' loops and joins them.
    void _stop();

    std::vector<std::thread> m_threads;
    std::mutex m_callMutex; // one run() at a time
    std::mutex m_mutex;     // guards everything below
    std::condition_variable m_wake;
    std::condition_variable m_finished;
    const Task* m_task = nullptr;
    int m_iterations = 0;
    int m_next = 0;
    int m_firstError = 0;
    bool m_stopping = false;
    // Written under m_mutex; atomic so that a thread watching for a call, or for the end of one,
    // can read them without it.
    std::atomic<int> m_done{0};
    std::atomic<unsigned long> m_generation{0};
};

} // namespace OfflineHost
