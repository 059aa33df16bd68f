#pragma once

// What every C callback of the host shares: finding its request (and through it the instance),
// holding the instance's lock, and never letting an exception cross back into the module.
// Internal to the host library.

#include "host/instance/InstanceState.h"

#include <charconv>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>

namespace OfflineHost {

using State = CommandState;

// Appends value as an output stream prints it: text as it is, a character as itself, an integer
// in decimal. Every callback formats its call-log entry, and a stream's set-up alone cost more
// than the rest of a small call.
template <typename T>
void appendText(std::string& out, const T& value) {
    if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        if constexpr (std::is_pointer_v<T>) {
            if (value == nullptr) {
                return;
            }
        }
        out += std::string_view(value);
    } else if constexpr (std::is_same_v<T, char> || std::is_same_v<T, signed char> ||
                         std::is_same_v<T, unsigned char>) {
        out += static_cast<char>(value);
    } else {
        static_assert(std::is_integral_v<T>, "the call log holds text and integers");
        char digits[24];
        out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    }
}

// Text of the arguments that matter, for the call log.
template <typename... Args>
std::string describe(const Args&... args) {
    std::string out;
    (appendText(out, args), ...);
    return out;
}

// An integer's bits in lower-case hexadecimal, without leading zeros.
template <typename T>
std::string hexText(T value) {
    char digits[24];
    const auto bits = static_cast<std::make_unsigned_t<T>>(value);
    return std::string(digits, std::to_chars(digits, digits + sizeof digits, bits, 16).ptr);
}

// Runs body(state) under the instance's lock for a callback that names its request by effect
// reference; refuses an unknown reference.
template <typename Body>
PF_Err withInstance(const char* call, PF_ProgPtr effectRef, Body&& body) noexcept {
    try {
        State* state = stateOf(effectRef);
        if (state == nullptr) {
            if (State* current = currentState()) {
                std::lock_guard lock(current->instance.mutex);
                current->misuse(call, "unknown effect reference", PF_Err_BAD_CALLBACK_PARAM);
            }
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        std::lock_guard lock(state->instance.mutex);
        return body(*state);
    } catch (const std::bad_alloc&) {
        return PF_Err_OUT_OF_MEMORY;
    } catch (...) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
}

// The same for a callback without an effect reference: it serves the calling thread's current
// request; without one it returns `none`.
template <typename Result, typename Body>
Result withCurrent(Result none, Body&& body) noexcept {
    try {
        State* state = currentState();
        if (state == nullptr) {
            return none;
        }
        std::lock_guard lock(state->instance.mutex);
        return body(*state);
    } catch (...) {
        return none;
    }
}

// The world's depth, or a recorded misuse: null and unknown worlds are refused.
std::optional<PixelDepth> depthOrMisuse(State& state, const char* call, const char* role,
                                        const PF_EffectWorld* world);

// Host functions that several tables share (the utility callbacks and the suites).
namespace Callbacks {

PF_Handle hostNewHandle(A_u_longlong size);
void* hostLockHandle(PF_Handle handle);
void hostUnlockHandle(PF_Handle handle);
void hostDisposeHandle(PF_Handle handle);
A_u_longlong hostGetHandleSize(PF_Handle handle);
PF_Err hostResizeHandle(A_u_longlong size, PF_Handle* handle);

PF_Err newWorld(PF_ProgPtr effectRef, A_long width, A_long height, PF_NewWorldFlags flags,
                PF_EffectWorld* world);
PF_Err disposeWorld(PF_ProgPtr effectRef, PF_EffectWorld* world);
PF_Err newWorldOfFormat(PF_ProgPtr effectRef, A_long width, A_long height, PF_Boolean clear,
                        PF_PixelFormat format, PF_EffectWorld* world);
PF_Err disposeWorldOfFormat(PF_ProgPtr effectRef, PF_EffectWorld* world);
PF_Err getPixelFormat(const PF_EffectWorld* world, PF_PixelFormat* format);

PF_Err copy(PF_ProgPtr effectRef, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* srcRect,
            PF_Rect* dstRect);
PF_Err transferRect(PF_ProgPtr effectRef, PF_Quality quality, PF_ModeFlags modeFlags,
                    PF_Field field, const PF_Rect* srcRect, const PF_EffectWorld* src,
                    const PF_CompositeMode* mode, const PF_MaskWorld* mask, A_long dstX,
                    A_long dstY, PF_EffectWorld* dst);
PF_Err fill8(PF_ProgPtr effectRef, const PF_Pixel* color, const PF_Rect* rect,
             PF_EffectWorld* world);
PF_Err fill16(PF_ProgPtr effectRef, const PF_Pixel16* color, const PF_Rect* rect,
              PF_EffectWorld* world);
PF_Err fillFloat(PF_ProgPtr effectRef, const PF_PixelFloat* color, const PF_Rect* rect,
                 PF_EffectWorld* world);

PF_Err iterateGeneric(A_long iterations, void* refcon,
                      PF_Err (*fn)(void* refcon, A_long thread, A_long i, A_long iterations));
A_Err aegpIterateGeneric(A_long iterations, void* refcon,
                         A_Err (*fn)(void* refcon, A_long thread, A_long i, A_long iterations));
A_Err aegpGetNumThreads(A_long* threads);

PF_Err updateParamUI(PF_ProgPtr effectRef, PF_ParamIndex index, const PF_ParamDef* def);

} // namespace Callbacks
} // namespace OfflineHost
