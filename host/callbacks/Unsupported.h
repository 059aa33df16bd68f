#pragma once

// A stand-in for each host function the offline host does not offer, so that no slot of a
// function table the module can call is null: it records the call as a misuse and returns
// PF_Err_INVALID_CALLBACK. Internal to the host library.

#include "host/callbacks/CallbackSupport.h"

namespace OfflineHost {

void reportUnsupported(const char* name) noexcept;

template <FunctionName Name, typename F>
struct Unsupported;

template <FunctionName Name, typename R, typename... Args>
struct Unsupported<Name, R (*)(Args...)> {
    static R call(Args...) {
        reportUnsupported(Name.name);
        return PF_Err_INVALID_CALLBACK;
    }
};

template <FunctionName Name, typename R, typename... Args>
struct Unsupported<Name, R (*)(Args..., ...)> {
    static R call(Args..., ...) {
        reportUnsupported(Name.name);
        return PF_Err_INVALID_CALLBACK;
    }
};

// The stand-in for a table slot: unsupported<"name">(table.slot).
template <FunctionName Name, typename F>
constexpr F unsupported(F) {
    return &Unsupported<Name, F>::call;
}

} // namespace OfflineHost
