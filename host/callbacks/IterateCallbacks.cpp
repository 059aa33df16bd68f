// Threaded iteration: the iterate suites and the utility callback run the module's function on
// the current request's worker pool.

#include "host/callbacks/CallbackSupport.h"

#include <functional>

namespace OfflineHost::Callbacks {
namespace {

// The iteration count that asks for one iteration per worker.
constexpr A_long oncePerProcessor = -1;

} // namespace

PF_Err iterateGeneric(Call& call, A_long iterations, void* refcon,
                      PF_Err (*fn)(void* refcon, A_long thread, A_long i, A_long iterations)) {
    State* state = &call.state();
    // A fault answers for the iterations asked for; the log of a call that ran says how many ran,
    // on how many threads.
    std::string detail = describe("iterations=", iterations);
    if (fn == nullptr || iterations < oncePerProcessor) {
        return call.refuse(detail + (fn == nullptr ? ": null function" : ""),
                           PF_Err_BAD_CALLBACK_PARAM);
    }
    return call.perform(std::move(detail), [&](std::string& done) -> PF_Err {
        std::shared_ptr<WorkerPool> pool;
        try {
            pool = state->workerPool();
        } catch (const std::exception& e) {
            return call.refuse(done + ": no worker threads: " + e.what(), PF_Err_OUT_OF_MEMORY);
        }
        const A_long count = iterations == oncePerProcessor ? pool->threadCount() : iterations;
        const std::function<bool()> interrupted = state->instance.interrupted;
        // The lock is not held while the module's function runs: it may call back into the
        // host. An interrupted call lets the iterations that run finish, and starts no other.
        const int err = call.unlocked([&] {
            return pool->run(count, [&](int thread, int i) {
                if (interrupted && interrupted()) {
                    return static_cast<int>(PF_Interrupt_CANCEL);
                }
                Activation active(state);
                return fn(refcon, thread, i, count);
            });
        });
        done = describe("iterations=", count, " threads=", pool->threadCount());
        return err;
    });
}

A_Err aegpGetNumThreads(Call& call, A_long* threads) {
    if (threads == nullptr) {
        return call.refuse("null count", PF_Err_BAD_CALLBACK_PARAM);
    }
    // A fault is asked for before the count is known; the log of a call that ran holds it.
    return call.perform("", [&](std::string& done) {
        *threads = call.state().instance.configuredThreads();
        done = describe(*threads);
        return PF_Err_NONE;
    });
}

} // namespace OfflineHost::Callbacks
