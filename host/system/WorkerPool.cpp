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
    _threads.reserve(static_cast<std::size_t>(threads - 1));
    try {
        for (int i = 1; i < threads; ++i) {
            _threads.emplace_back([this, i] { _work(i); });
        }
    } catch (const std::system_error& e) {
        // The workers already started wait on this pool's condition variables: they must be gone
        // before the members are destroyed.
        const std::size_t started = _threads.size() + 1;
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
        std::lock_guard call(_callMutex);
        std::lock_guard lock(_mutex);
        _stopping = true;
    }
    _wake.notify_all();
    for (auto& t : _threads) {
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
    std::lock_guard call(_callMutex);
    std::unique_lock lock(_mutex);
    _task = &task;
    _iterations = iterations;
    _next = 0;
    _done.store(0, std::memory_order_relaxed);
    _firstError = 0;
    _generation.fetch_add(1, std::memory_order_release);
    _wake.notify_all();
    // The caller works too, as worker 0: with one thread nothing changes hands at all, and with
    // more the call does not wait for a worker to wake before anything runs.
    const WorkerPool* const outerPool = std::exchange(currentPool, this);
    const int outerWorker = std::exchange(currentWorker, 0);
    _claimIterations(lock, 0);
    currentPool = outerPool;
    currentWorker = outerWorker;
    const auto allDone = [&] { return _done.load(std::memory_order_acquire) == iterations; };
    _awaitBriefly(lock, allDone);
    _finished.wait(lock, allDone);
    _task = nullptr;
    return _firstError;
}

void WorkerPool::_claimIterations(std::unique_lock<std::mutex>& lock, int index) {
    // One iteration at a time, so that every worker gets a share while any is left.
    while (_next < _iterations) {
        const int i = _next++;
        const Task& task = *_task;
        lock.unlock();
        int err = 0;
        try {
            err = task(index, i);
        } catch (...) {
            err = -1;
        }
        lock.lock();
        if (_firstError == 0) {
            _firstError = err;
        }
        if (_done.fetch_add(1, std::memory_order_release) + 1 == _iterations) {
            _finished.notify_all();
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
    std::unique_lock lock(_mutex);
    for (;;) {
        _awaitBriefly(lock, [&] { return _generation.load(std::memory_order_acquire) != seen; });
        _wake.wait(lock, [&] { return _stopping || (_generation != seen && _next < _iterations); });
        if (_stopping) {
            return;
        }
        _claimIterations(lock, index);
        seen = _generation.load(std::memory_order_relaxed);
    }
}

} // namespace OfflineHost
