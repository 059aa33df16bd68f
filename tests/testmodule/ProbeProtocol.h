#pragma once

// What the tests ask of the probe module. A test sends PF_Cmd_COMPLETELY_GENERAL with a
// ProbeRequest as the extra data; the probe performs the action through the host's services and
// writes what it saw back into the request.

#include "AE_Effect.h"

namespace Probe {

enum class Action : A_long {
    AcquireSuite,         // acquire suiteName/suiteVersion; release it when `release`
    DoubleDisposeHandle,  // allocate a handle and dispose of it twice
    DisposeForeignHandle, // dispose of an address that is no handle
    NewHandle,            // allocate a handle of `count` bytes and keep it (in `handle`)
    CheckoutParam,        // check out parameter `index` at time/timeScale into `param`;
                          // check it in when `release`
    Iterate,              // iterate_generic over `count` iterations (-1: one per thread)
    IterateAegp,          // the same through AEGP_IterateGeneric, after AEGP_GetNumThreads
    NewWorld,             // a `count` x `count` world through world suite 1, kept
    CopyForeignWorld,     // copy from a world whose pixels the host does not know
    CopyNullWorld,        // copy with a null source
    Format,               // the ANSI sprintf into return_msg with format "%s" and `text`
    WriteOutsideWorld,    // a `count` x `count` 8-bit world, a pixel written just below its
                          // last row, then disposed of
    SetRenderFault,       // the renders from now on commit RenderFault `count`
    Abort,                // the abort callback (PF_ABORT), its answer in `result`
};

// What a render does wrong, for strict mode to find.
enum class RenderFault : A_long {
    None,
    LeaveLastRow,     // copies all but the output's last row
    WriteBelowOutput, // writes a pixel just below the output's last row
    WriteToInput,     // writes the input's first pixel
};

struct Request {
    Action action = Action::AcquireSuite;
    const char* suiteName = nullptr;
    A_long suiteVersion = 0;
    bool release = true;
    A_long index = 0;
    A_long count = 0;
    A_long time = 0;
    A_u_long timeScale = 1;
    const char* text = nullptr;
    // Iterate: called by every iteration with its thread index, iteration and count; its result
    // is the iteration's result.
    PF_Err (*observe)(void* context, A_long thread, A_long i, A_long count) = nullptr;
    void* observeContext = nullptr;

    // Results.
    PF_Err result = PF_Err_NONE; // the host's answer to the action's (first failing) call
    PF_Handle handle = nullptr;
    PF_ParamDef param{};
    A_long threads = 0; // IterateAegp: AEGP_GetNumThreads
};

// What the probe's render writes: the output is a copy of the input with one pixel, at the
// checked-out "Centre" point, filled with the "Colour" parameter.
enum Param : A_long {
    Input = 0,
    Amount,  // float slider
    Opacity, // fixed slider
    Centre,  // point
    Angle,   // angle
    Colour,  // colour
    Mode,    // popup "One|Two|Three"
    Depends, // float slider, grayed while Mode is "Three"
    Count
};

// At an Amount this high (its maximum) pre-render fails with this error and message.
constexpr double failingAmount = 100.0;
constexpr PF_Err failure = PF_Err_OUT_OF_MEMORY;
constexpr const char* failureMessage = "HostProbe cannot draw an Amount of 100";
// At this Amount a render lasts until the host's abort callback answers an interrupt, and returns
// it (or fails after 20 s).
constexpr double interruptedAmount = 77.0;

} // namespace Probe
