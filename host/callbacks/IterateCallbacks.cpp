// Threaded iteration: the iterate suites and the utility callback run the module's function on
// the current request's worker pool.

#include "host/callbacks/CallbackSupport.h"

#include <functional>

namespace OfflineHost::Callbacks {
namespace {

// The iteration count that asks for one iteration per worker.
constexpr A_long oncePerProcessor = -1;

template <typename Fn>
PF_Err iterate(const char* call, A_long iterations, void* refcon, Fn fn) {
    State* state = currentState();
    if (state == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    std::shared_ptr<WorkerPool> pool;
    std::function<bool()> interrupted;
    A_long count = 0;
    {
        std::lock_guard lock(state->instance.mutex);
        const std::string detail = describe("iterations=", iterations);
        if (fn == nullptr || iterations < oncePerProcessor) {
            return state->misuse(call, detail + (fn == nullptr ? ": null function" : ""),
                                 PF_Err_BAD_CALLBACK_PARAM);
        }
        if (auto code = state->fault(call, detail)) {
            return *code;
        }
        try {
            pool = state->workerPool();
        } catch (const std::exception& e) {
            return state->misuse(call, detail + ": no worker threads: " + e.what(),
                                 PF_Err_OUT_OF_MEMORY);
        }
        count = iterations == oncePerProcessor ? pool->threadCount() : iterations;
        interrupted = state->instance.interrupted;
    }
    // The lock is not held while the module's function runs: it may call back into the host.
    // An interrupted call lets the iterations that run finish, and starts no other.
    const int err = pool->run(count, [&](int thread, int i) {
        if (interrupted && interrupted()) {
            return static_cast<int>(PF_Interrupt_CANCEL);
        }
        Activation active(state);
        return fn(refcon, thread, i, count);
    });
    std::lock_guard lock(state->instance.mutex);
    state->record(call, describe("iterations=", count, " threads=", pool->threadCount()), err);
    return err;
}

} // namespace

PF_Err iterateGeneric(A_long iterations, void* refcon,
                      PF_Err (*fn)(void* refcon, A_long thread, A_long i, A_long iterations)) {
    return iterate("iterate_generic", iterations, refcon, fn);
}

A_Err aegpIterateGeneric(A_long iterations, void* refcon,
                         A_Err (*fn)(void* refcon, A_long thread, A_long i, A_long iterations)) {
    return iterate("AEGP_IterateGeneric", iterations, refcon, fn);
}

A_Err aegpGetNumThreads(A_long* threads) {
    return withCurrent<A_Err>(PF_Err_BAD_CALLBACK_PARAM, [&](State& s) -> A_Err {
        if (threads == nullptr) {
            return s.misuse("AEGP_GetNumThreads", "null count", PF_Err_BAD_CALLBACK_PARAM);
        }
        if (auto code = s.fault("AEGP_GetNumThreads", "")) {
            return *code;
        }
        *threads = s.instance.configuredThreads();
        s.record("AEGP_GetNumThreads", describe(*threads), PF_Err_NONE);
        return PF_Err_NONE;
    });
}

} // namespace OfflineHost::Callbacks
