#pragma once

// What every C callback of the host shares: the table entry that serves it. An entry finds the
// call's request (and through it the instance), holds the instance's lock, never lets an
// exception cross back into the module, and keeps the call log and injected faults, so that a
// callback does only its own work. Internal to the host library.

#include "host/instance/InstanceState.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

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

// A host function's name as the SDK spells it, as a template argument.
template <std::size_t N>
struct FunctionName {
    constexpr FunctionName(const char (&text)[N]) { std::copy_n(text, N, name); }
    char name[N];
};

// One call of the module into the host, as its callback sees it: the request it serves and what
// the call log calls it. The callback checks the arguments and refuses a misuse, or performs the
// call; the log and injected faults are the entry's, the same for every callback.
class Call {
public:
    // Without a request (state null) nothing is logged: only an entry made with
    // loggedWhenServed serves such a call.
    Call(State* state, std::string_view name, bool faultable, std::unique_lock<std::mutex>* lock)
        : m_state(state), m_name(name), m_faultable(faultable), m_lock(lock) {}
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    State& state() const { return *m_state; }

    // A misuse: logged as the call and as a misuse, and answered with `code`. Refused during
    // perform's work, the call is logged as the misuse alone.
    int refuse(std::string problem, int code) {
        m_refused = true;
        return m_state != nullptr ? m_state->misuse(m_name, std::move(problem), code) : code;
    }

    // The call, its arguments checked and described (`detail`): a fault injected into the call
    // answers it with its code, leaving what `failed` leaves and `work` undone; otherwise work()
    // does it and the call is logged with work's result. Work that takes the detail may read it,
    // or make it say what was done rather than what was asked.
    template <typename Work, typename Failed>
    int perform(std::string detail, Work&& work, Failed&& failed) {
        if (m_state == nullptr) {
            return run(work, detail);
        }
        if (m_faultable) {
            if (const auto code = m_state->fault(m_name, detail)) {
                failed();
                return *code;
            }
        }
        const int result = run(work, detail);
        if (!m_refused) {
            m_state->record(m_name, std::move(detail), result);
        }
        return result;
    }
    template <typename Work>
    int perform(std::string detail, Work&& work) {
        return perform(std::move(detail), std::forward<Work>(work), [] {});
    }

    // The call logged as answered with `result` without doing it, and without asking for a fault.
    int answer(std::string detail, int result) {
        m_state->record(m_name, std::move(detail), result);
        return result;
    }

    // Runs f without the instance's lock, for work that waits on threads calling back into the
    // host; the lock is held again afterwards.
    template <typename F>
    decltype(auto) unlocked(F&& f) {
        struct Relock {
            std::unique_lock<std::mutex>& lock;
            ~Relock() { lock.lock(); }
        };
        m_lock->unlock();
        const Relock relock{*m_lock};
        return f();
    }

private:
    template <typename Work>
    static int run(Work& work, std::string& detail) {
        if constexpr (std::is_invocable_v<Work&, std::string&>) {
            return work(detail);
        } else {
            return work();
        }
    }

    State* m_state;
    std::string_view m_name;
    bool m_faultable;
    bool m_refused = false;
    std::unique_lock<std::mutex>* m_lock;
};

namespace Serving {

// Whether a call names its request by effect reference (its first argument) rather than being
// the calling thread's current request's.
template <typename... Args>
constexpr bool byReference = false;
template <typename... Rest>
constexpr bool byReference<PF_ProgPtr, Rest...> = true;

template <typename First, typename... Rest>
PF_ProgPtr referenceOf(First first, Rest...) {
    return first;
}

// The answer of a call that finds no request to serve: `code` where the call answers with an
// error code, otherwise null or 0.
template <typename R, int Code>
R unserved() {
    if constexpr (std::is_same_v<R, PF_Err>) {
        return Code;
    } else if constexpr (!std::is_void_v<R>) {
        return R{};
    }
}

enum class Kind {
    logged,           // logged, never failed
    faultable,        // logged, and failed by a fault injected into it (Diagnostics::failCall)
    loggedWhenServed, // logged when a request is current; without one served all the same
};

template <FunctionName Name, auto Fn, Kind K, int Unserved, typename = decltype(Fn)>
struct Entry;

// The C function the tables hold, around Fn(Call&, the C function's arguments).
template <FunctionName Name, auto Fn, Kind K, int Unserved, typename R, typename... Args>
struct Entry<Name, Fn, K, Unserved, R (*)(Call&, Args...)> {
    static R call(Args... args) noexcept {
        if constexpr (byReference<Args...>) {
            static_assert(std::is_same_v<R, PF_Err>);
            try {
                State* state = stateOf(referenceOf(args...));
                if (state == nullptr) {
                    if (State* current = currentState()) {
                        std::lock_guard lock(current->instance.mutex);
                        current->misuse(Name.name, "unknown effect reference",
                                        PF_Err_BAD_CALLBACK_PARAM);
                    }
                    return PF_Err_BAD_CALLBACK_PARAM;
                }
                return serve(*state, args...);
            } catch (const std::bad_alloc&) {
                return PF_Err_OUT_OF_MEMORY;
            } catch (...) {
                return PF_Err_INTERNAL_STRUCT_DAMAGED;
            }
        } else {
            try {
                State* state = currentState();
                if (state != nullptr) {
                    return serve(*state, args...);
                }
                if constexpr (K == Kind::loggedWhenServed) {
                    Call call(nullptr, Name.name, false, nullptr);
                    return Fn(call, args...);
                } else {
                    return unserved<R, Unserved>();
                }
            } catch (...) {
                return unserved<R, Unserved>();
            }
        }
    }

private:
    static R serve(State& state, Args... args) {
        std::unique_lock lock(state.instance.mutex);
        Call call(&state, Name.name, K == Kind::faultable, &lock);
        return Fn(call, args...);
    }
};

} // namespace Serving

// The entry a table holds for a callback Fn(Call&, ...): the C function of the table's slot,
// logged as Name. One that finds no request answers `Unserved` (or null or 0, for what is no
// error code); one by an unknown effect reference is a misuse.
template <FunctionName Name, auto Fn, int Unserved = PF_Err_BAD_CALLBACK_PARAM>
inline constexpr auto logged = &Serving::Entry<Name, Fn, Serving::Kind::logged, Unserved>::call;
// The same, and a fault injected into the call fails it.
template <FunctionName Name, auto Fn, int Unserved = PF_Err_BAD_CALLBACK_PARAM>
inline constexpr auto faultable =
    &Serving::Entry<Name, Fn, Serving::Kind::faultable, Unserved>::call;
// Logged while a request is current on the thread; the C library's helpers serve any thread.
template <FunctionName Name, auto Fn>
inline constexpr auto loggedWhenServed =
    &Serving::Entry<Name, Fn, Serving::Kind::loggedWhenServed, PF_Err_BAD_CALLBACK_PARAM>::call;

// The world's depth, or a refused call: null and unknown worlds are refused.
std::optional<PixelDepth> depthOrMisuse(Call& call, const char* role, const PF_EffectWorld* world);

// The callbacks whose entries tables in other files hold (Suites.cpp, UtilCallbacks.cpp).
namespace Callbacks {

PF_Handle hostNewHandle(Call& call, A_u_longlong size);
void* hostLockHandle(Call& call, PF_Handle handle);
void hostUnlockHandle(Call& call, PF_Handle handle);
void hostDisposeHandle(Call& call, PF_Handle handle);
A_u_longlong hostGetHandleSize(Call& call, PF_Handle handle);
PF_Err hostResizeHandle(Call& call, A_u_longlong size, PF_Handle* handle);

PF_Err newWorld(Call& call, PF_ProgPtr, A_long width, A_long height, PF_NewWorldFlags flags,
                PF_EffectWorld* world);
PF_Err newWorldOfFormat(Call& call, PF_ProgPtr, A_long width, A_long height, PF_Boolean clear,
                        PF_PixelFormat format, PF_EffectWorld* world);
PF_Err disposeWorld(Call& call, PF_ProgPtr, PF_EffectWorld* world);
PF_Err getPixelFormat(Call& call, const PF_EffectWorld* world, PF_PixelFormat* format);

PF_Err copy(Call& call, PF_ProgPtr, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* srcRect,
            PF_Rect* dstRect);
PF_Err transferRect(Call& call, PF_ProgPtr, PF_Quality quality, PF_ModeFlags modeFlags,
                    PF_Field field, const PF_Rect* srcRect, const PF_EffectWorld* src,
                    const PF_CompositeMode* mode, const PF_MaskWorld* mask, A_long dstX,
                    A_long dstY, PF_EffectWorld* dst);
// For PF_Pixel, PF_Pixel16 and PF_PixelFloat.
template <typename Pixel>
PF_Err fill(Call& call, PF_ProgPtr, const Pixel* color, const PF_Rect* rect, PF_EffectWorld* world);

PF_Err iterateGeneric(Call& call, A_long iterations, void* refcon,
                      PF_Err (*fn)(void* refcon, A_long thread, A_long i, A_long iterations));
A_Err aegpGetNumThreads(Call& call, A_long* threads);

PF_Err updateParamUI(Call& call, PF_ProgPtr, PF_ParamIndex index, const PF_ParamDef* def);

} // namespace Callbacks

// Their entries, each named once: the utility callbacks and the suites hold the same entry where
// they offer the same function.
namespace Entries {

inline constexpr auto hostNewHandle = faultable<"host_new_handle", &Callbacks::hostNewHandle>;
inline constexpr auto hostLockHandle = faultable<"host_lock_handle", &Callbacks::hostLockHandle>;
inline constexpr auto hostUnlockHandle = logged<"host_unlock_handle", &Callbacks::hostUnlockHandle>;
inline constexpr auto hostDisposeHandle =
    logged<"host_dispose_handle", &Callbacks::hostDisposeHandle>;
inline constexpr auto hostGetHandleSize =
    logged<"host_get_handle_size", &Callbacks::hostGetHandleSize>;
inline constexpr auto hostResizeHandle =
    faultable<"host_resize_handle", &Callbacks::hostResizeHandle>;

inline constexpr auto newWorld = faultable<"new_world", &Callbacks::newWorld>;
inline constexpr auto disposeWorld = faultable<"dispose_world", &Callbacks::disposeWorld>;
inline constexpr auto newWorldOfFormat = faultable<"PF_NewWorld", &Callbacks::newWorldOfFormat>;
inline constexpr auto disposeWorldOfFormat = faultable<"PF_DisposeWorld", &Callbacks::disposeWorld>;
inline constexpr auto getPixelFormat = faultable<"PF_GetPixelFormat", &Callbacks::getPixelFormat>;

inline constexpr auto copy = faultable<"copy", &Callbacks::copy>;
inline constexpr auto transferRect = faultable<"transfer_rect", &Callbacks::transferRect>;
inline constexpr auto fill8 = faultable<"fill", &Callbacks::fill<PF_Pixel>>;
inline constexpr auto fill16 = faultable<"fill16", &Callbacks::fill<PF_Pixel16>>;
inline constexpr auto fillFloat = faultable<"fill_float", &Callbacks::fill<PF_PixelFloat>>;

inline constexpr auto iterateGeneric = faultable<"iterate_generic", &Callbacks::iterateGeneric>;
inline constexpr auto aegpIterateGeneric =
    faultable<"AEGP_IterateGeneric", &Callbacks::iterateGeneric>;
inline constexpr auto aegpGetNumThreads =
    faultable<"AEGP_GetNumThreads", &Callbacks::aegpGetNumThreads>;

inline constexpr auto updateParamUI = faultable<"PF_UpdateParamUI", &Callbacks::updateParamUI>;

} // namespace Entries
} // namespace OfflineHost
