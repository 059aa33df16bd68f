#pragma once

// The command handlers all four effects share; dispatchCommand routes to them.

#include "AE_Effect.h"
#include "Shapes/OndrelEffect.h"

namespace Ondrel {

PF_Err about(const EffectDescription& effect, PF_InData* in_data, PF_OutData* out_data);
PF_Err globalSetup(PF_InData* in_data, PF_OutData* out_data);
PF_Err globalSetdown(PF_InData* in_data);
PF_Err paramsSetup(const EffectDescription& effect, PF_InData* in_data, PF_OutData* out_data);
PF_Err updateParamsUI(const EffectDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                      PF_ParamDef* params[]);

} // namespace Ondrel
