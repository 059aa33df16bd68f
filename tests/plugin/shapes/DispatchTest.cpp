// The shared dispatcher called directly: whatever a handler throws must come back to the host
// as an error code, never as an exception.

#include "Shapes/OndrelEffect.h"
#include "Shapes/OndrelEntryPoints.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>

namespace {

// What the hook of the test at hand throws; hooks are plain function pointers.
void (*thrower)() = nullptr;
void* seenExtra = nullptr;

PF_Err throwingPreRender(PF_InData*, PF_OutData*, PF_PreRenderExtra* extra) {
    seenExtra = extra;
    thrower();
    return PF_Err_NONE;
}

PF_Err throwingRender(PF_InData*, PF_OutData*, PF_SmartRenderExtra* extra) {
    seenExtra = extra;
    thrower();
    return PF_Err_NONE;
}

constexpr Ondrel::EffectDescription throwingEffect{
    Ondrel::Registration::circle, {}, {}, {&throwingPreRender, &throwingRender}};
constexpr Ondrel::EffectDescription effectWithoutRender{Ondrel::Registration::circle, {}, {}, {}};

TEST(Dispatch, ExceptionsBecomeErrorCodes) {
    struct Case {
        const char* what;
        void (*thrower)();
        PF_Err expected;
    };
    const Case cases[] = {
        {"thrown error code", [] { throw PF_Err{PF_Err_BAD_CALLBACK_PARAM}; }, 516},
        {"other thrown code", [] { throw PF_Err{-7}; }, -7},
        {"allocation failure", [] { throw std::bad_alloc(); }, PF_Err_OUT_OF_MEMORY},
        {"standard exception", [] { throw std::runtime_error("x"); },
         PF_Err_INTERNAL_STRUCT_DAMAGED},
        {"anything else", [] { throw 2.5; }, PF_Err_INTERNAL_STRUCT_DAMAGED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        thrower = c.thrower;
        PF_PreRenderExtra preRender{};
        PF_SmartRenderExtra render{};
        EXPECT_EQ(Ondrel::dispatchCommand(throwingEffect, PF_Cmd_SMART_PRE_RENDER, nullptr, nullptr,
                                          nullptr, &preRender),
                  c.expected);
        EXPECT_EQ(seenExtra, &preRender);
        EXPECT_EQ(Ondrel::dispatchCommand(throwingEffect, PF_Cmd_SMART_RENDER, nullptr, nullptr,
                                          nullptr, &render),
                  c.expected);
        EXPECT_EQ(seenExtra, &render);
    }
}

TEST(Dispatch, RenderCommandsWithoutHooksDrawNothing) {
    PF_OutData out;
    std::memset(&out, 0, sizeof out);
    const PF_OutData before = out;
    for (PF_Cmd cmd : {PF_Cmd_SMART_PRE_RENDER, PF_Cmd_SMART_RENDER}) {
        EXPECT_EQ(
            Ondrel::dispatchCommand(effectWithoutRender, cmd, nullptr, &out, nullptr, nullptr),
            PF_Err_NONE);
    }
    EXPECT_EQ(std::memcmp(&out, &before, sizeof out), 0);
}

// A host without a basic suite: the suite handler throws 516 inside global set-up, after the
// version and flags are written, and the entry function returns it instead of unwinding.
TEST(Dispatch, EntryFunctionReturnsTheSuiteHandlersThrownCode) {
    PF_InData in;
    std::memset(&in, 0, sizeof in);
    PF_OutData out;
    std::memset(&out, 0, sizeof out);
    EXPECT_EQ(EntryPointFuncTriangle(PF_Cmd_GLOBAL_SETUP, &in, &out, nullptr, nullptr, nullptr),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(out.my_version, 0x80601u);
    EXPECT_EQ(out.global_data, nullptr);
}

} // namespace
