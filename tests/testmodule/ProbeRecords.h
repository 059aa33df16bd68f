#pragma once

// The probe module's version and flags, shared by its global set-up and its records file. The
// mismatching effect writes other values at global set-up than its records give.

#include "AE_Effect.h"

namespace Probe {

constexpr A_u_long version = PF_VERSION(1, 2, 0, PF_Stage_DEVELOP, 3);
constexpr A_u_long mismatchVersion = PF_VERSION(2, 0, 0, PF_Stage_DEVELOP, 1);
constexpr PF_OutFlags outFlags = PF_OutFlag_DEEP_COLOR_AWARE | PF_OutFlag_SEND_UPDATE_PARAMS_UI;
constexpr PF_OutFlags2 outFlags2 =
    PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE;
constexpr PF_OutFlags2 mismatchOutFlags2 = outFlags2 | PF_OutFlag2_I_AM_THREADSAFE;

} // namespace Probe
