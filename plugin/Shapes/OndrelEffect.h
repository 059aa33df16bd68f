#pragma once

// An effect as the shared command handlers see it: its registration, its parameter table, its
// graying rules and its two smart-render handlers. Each effect's source file defines one of
// these and routes its entry function through dispatchCommand.

#include "AE_Effect.h"
#include "Shapes/OndrelGraying.h"
#include "Shapes/OndrelParamTable.h"
#include "Shapes/OndrelRegistration.h"

#include <span>

namespace Ondrel {

// The smart-render handlers of one effect. A handler left null answers its command with
// PF_Err_NONE and draws nothing.
using PreRenderHook = PF_Err (*)(PF_InData* in_data, PF_OutData* out_data,
                                 PF_PreRenderExtra* extra);
using SmartRenderHook = PF_Err (*)(PF_InData* in_data, PF_OutData* out_data,
                                   PF_SmartRenderExtra* extra);

struct SmartRenderHooks {
    PreRenderHook preRender = nullptr;
    SmartRenderHook render = nullptr;
};

struct EffectDescription {
    const EffectRegistration& registration;
    std::span<const ParamSpec> params; // indices 1 and up; index 0 is the host's input layer
    std::span<const GrayingRule> graying;
    SmartRenderHooks smartRender;

    constexpr int paramCount() const { return static_cast<int>(params.size()) + 1; }
};

// Answers one host command for the effect. Never lets an exception reach the host: a thrown
// PF_Err is returned as it is, an allocation failure as PF_Err_OUT_OF_MEMORY, anything else as
// PF_Err_INTERNAL_STRUCT_DAMAGED.
PF_Err dispatchCommand(const EffectDescription& effect, PF_Cmd cmd, PF_InData* in_data,
                       PF_OutData* out_data, PF_ParamDef* params[], void* extra) noexcept;

} // namespace Ondrel
