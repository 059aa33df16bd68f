// Memory handles: the handle suite and the utility callbacks of the same names. They take no
// effect reference, so they serve the calling thread's current request; a handle of another
// instance is not the module's, and one of another request of the same instance is.

#include "host/callbacks/CallbackSupport.h"

namespace OfflineHost::Callbacks {

PF_Handle hostNewHandle(A_u_longlong size) {
    return withCurrent<PF_Handle>(nullptr, [&](State& s) -> PF_Handle {
        const std::string detail = describe("size=", size);
        if (s.fault("host_new_handle", detail)) {
            return nullptr;
        }
        PF_Handle handle = s.instance.handles.create(size, s.serial);
        s.record("host_new_handle", detail, handle != nullptr ? PF_Err_NONE : PF_Err_OUT_OF_MEMORY);
        return handle;
    });
}

void* hostLockHandle(PF_Handle handle) {
    return withCurrent<void*>(nullptr, [&](State& s) -> void* {
        auto* block = s.instance.handles.find(handle);
        if (block == nullptr) {
            s.misuse("host_lock_handle", "not a handle of this effect", PF_Err_BAD_CALLBACK_PARAM);
            return nullptr;
        }
        const std::string detail = describe("size=", block->size);
        if (s.fault("host_lock_handle", detail)) {
            return nullptr;
        }
        ++block->locks;
        s.record("host_lock_handle", detail, PF_Err_NONE);
        return block->data;
    });
}

void hostUnlockHandle(PF_Handle handle) {
    withCurrent<int>(0, [&](State& s) {
        auto* block = s.instance.handles.find(handle);
        if (block == nullptr) {
            return s.misuse("host_unlock_handle", "not a handle of this effect",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        if (block->locks == 0) {
            return s.misuse("host_unlock_handle", "a handle that is not locked",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        --block->locks;
        s.record("host_unlock_handle", describe("size=", block->size), PF_Err_NONE);
        return 0;
    });
}

void hostDisposeHandle(PF_Handle handle) {
    withCurrent<int>(0, [&](State& s) {
        if (!s.instance.handles.dispose(handle)) {
            return s.misuse("host_dispose_handle",
                            "not a handle of this effect, or disposed already",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        s.record("host_dispose_handle", "", PF_Err_NONE);
        return 0;
    });
}

A_u_longlong hostGetHandleSize(PF_Handle handle) {
    return withCurrent<A_u_longlong>(0, [&](State& s) -> A_u_longlong {
        auto* block = s.instance.handles.find(handle);
        if (block == nullptr) {
            s.misuse("host_get_handle_size", "not a handle of this effect",
                     PF_Err_BAD_CALLBACK_PARAM);
            return 0;
        }
        s.record("host_get_handle_size", describe("size=", block->size), PF_Err_NONE);
        return block->size;
    });
}

PF_Err hostResizeHandle(A_u_longlong size, PF_Handle* handle) {
    return withCurrent<PF_Err>(PF_Err_BAD_CALLBACK_PARAM, [&](State& s) -> PF_Err {
        auto* block = handle != nullptr ? s.instance.handles.find(*handle) : nullptr;
        if (block == nullptr) {
            return s.misuse("host_resize_handle", "not a handle of this effect",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        const std::string detail = describe("size=", block->size, " -> ", size);
        if (auto code = s.fault("host_resize_handle", detail)) {
            return *code;
        }
        const PF_Err err =
            s.instance.handles.resize(*block, size) ? PF_Err_NONE : PF_Err_OUT_OF_MEMORY;
        s.record("host_resize_handle", detail, err);
        return err;
    });
}

} // namespace OfflineHost::Callbacks
