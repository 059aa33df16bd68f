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

} // namespace

WorkerPool::WorkerPool(int threads) {
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
        // The workers already started wait on this pool's condition variables: they must be gone
        // before the members are destroyed.
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
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
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
    std::unique_lock lock(m_mutex);
    m_task = &task;
    m_iterations = iterations;
    m_next = 0;
    m_done.store(0, std::memory_order_relaxed);
    m_firstError = 0;
    m_generation.fetch_add(1, std::memory_order_release);
    m_wake.notify_all();
    // The caller works too, as worker 0: with one thread nothing changes hands at all, and with
    // more the call does not wait for a worker to wake before anything runs.
    const WorkerPool* const outerPool = std::exchange(currentPool, this);
    const int outerWorker = std::exchange(currentWorker, 0);
    _claimIterations(lock, 0);
    currentPool = outerPool;
    currentWorker = outerWorker;
    const auto allDone = [&] { return m_done.load(std::memory_order_acquire) == iterations; };
    _awaitBriefly(lock, allDone);
    m_finished.wait(lock, allDone);
    m_task = nullptr;
    return m_firstError;
}

void WorkerPool::_claimIterations(std::unique_lock<std::mutex>& lock, int index) {
    // One iteration at a time, so that every worker gets a share while any is left.
    while (m_next < m_iterations) {
        const int i = m_next++;
        const Task& task = *m_task;
        lock.unlock();
        int err = 0;
        try {
            err = task(index, i);
        } catch (...) {
            err = -1;
        }
        lock.lock();
        if (m_firstError == 0) {
            m_firstError = err;
        }
        if (m_done.fetch_add(1, std::memory_order_release) + 1 == m_iterations) {
            m_finished.notify_all();
        }
    }
}

void WorkerPool::_awaitBriefly(std::unique_lock<std::mutex>& lock,
                               const std::function<bool()>& done) {
    // A sleeping thread takes tens of microseconds to wake, as long as a whole call of a small
    // shape takes, and calls come in quick succession while a frame renders: so a thread watches
    // for a while before it sleeps.
    constexpr auto watch = std::chrono::microseconds(200);
    lock.unlock();
    const auto until = std::chrono::steady_clock::now() + watch;
    while (!done() && std::chrono::steady_clock::now() < until) {
        std::this_thread::yield();
    }
    lock.lock();
}

void WorkerPool::_work(int index) {
    currentPool = this;
    currentWorker = index;
    unsigned long seen = 0;
    std::unique_lock lock(m_mutex);
    for (;;) {
        _awaitBriefly(lock, [&] { return m_generation.load(std::memory_order_acquire) != seen; });
        m_wake.wait(lock,
                    [&] { return m_stopping || (m_generation != seen && m_next < m_iterations); });
        if (m_stopping) {
            return;
        }
        _claimIterations(lock, index);
        seen = m_generation.load(std::memory_order_relaxed);
    }
}

} // namespace OfflineHost
