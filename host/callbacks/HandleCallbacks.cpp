// Memory handles: the handle suite and the utility callbacks of the same names. They take no
// effect reference, so they serve the calling thread's current request; a handle of another
// instance is not the module's, and one of another request of the same instance is.

#include "host/callbacks/CallbackSupport.h"

namespace OfflineHost::Callbacks {

PF_Handle hostNewHandle(Call& call, A_u_longlong size) {
    State& s = call.state();
    PF_Handle handle = nullptr;
    call.perform(describe("size=", size), [&] {
        handle = s.instance.handles.create(size, s.serial);
        return handle != nullptr ? PF_Err_NONE : PF_Err_OUT_OF_MEMORY;
    });
    return handle;
}

void* hostLockHandle(Call& call, PF_Handle handle) {
    auto* block = call.state().instance.handles.find(handle);
    if (block == nullptr) {
        call.refuse("not a handle of this effect", PF_Err_BAD_CALLBACK_PARAM);
        return nullptr;
    }
    void* data = nullptr;
    call.perform(describe("size=", block->size), [&] {
        ++block->locks;
        data = block->data;
        return PF_Err_NONE;
    });
    return data;
}

void hostUnlockHandle(Call& call, PF_Handle handle) {
    auto* block = call.state().instance.handles.find(handle);
    if (block == nullptr) {
        call.refuse("not a handle of this effect", PF_Err_BAD_CALLBACK_PARAM);
        return;
    }
    if (block->locks == 0) {
        call.refuse("a handle that is not locked", PF_Err_BAD_CALLBACK_PARAM);
        return;
    }
    call.perform(describe("size=", block->size), [&] {
        --block->locks;
        return PF_Err_NONE;
    });
}

void hostDisposeHandle(Call& call, PF_Handle handle) {
    auto& handles = call.state().instance.handles;
    if (handles.find(handle) == nullptr) {
        call.refuse("not a handle of this effect, or disposed already", PF_Err_BAD_CALLBACK_PARAM);
        return;
    }
    call.perform("", [&] {
        handles.dispose(handle);
        return PF_Err_NONE;
    });
}

A_u_longlong hostGetHandleSize(Call& call, PF_Handle handle) {
    auto* block = call.state().instance.handles.find(handle);
    if (block == nullptr) {
        call.refuse("not a handle of this effect", PF_Err_BAD_CALLBACK_PARAM);
        return 0;
    }
    call.perform(describe("size=", block->size), [] { return PF_Err_NONE; });
    return block->size;
}

PF_Err hostResizeHandle(Call& call, A_u_longlong size, PF_Handle* handle) {
    auto& handles = call.state().instance.handles;
    auto* block = handle != nullptr ? handles.find(*handle) : nullptr;
    if (block == nullptr) {
        return call.refuse("not a handle of this effect", PF_Err_BAD_CALLBACK_PARAM);
    }
    return call.perform(describe("size=", block->size, " -> ", size), [&] {
        return handles.resize(*block, size) ? PF_Err_NONE : PF_Err_OUT_OF_MEMORY;
    });
}

} // namespace OfflineHost::Callbacks
