#pragma once

// The functions through which the host sends each effect its commands, one per effect of the
// registration table, and that table with them for programs that link the module's sources and
// call the entry functions directly.

#include "AE_Effect.h"
#include "Shapes/OndrelExport.h"
#include "Shapes/OndrelRegistration.h"

#include <array>

#define ONDREL_ENTRY_POINT(constant, name, matchName, entry, resourceId)                           \
    ONDREL_EXPORT PF_Err entry(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,               \
                               PF_ParamDef* params[], PF_LayerDef* output, void* extra);
ONDREL_EFFECTS(ONDREL_ENTRY_POINT)
#undef ONDREL_ENTRY_POINT

namespace Ondrel {

using EntryPoint = PF_Err (*)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                              PF_ParamDef* params[], PF_LayerDef* output, void* extra);

struct EffectEntry {
    const EffectRegistration* registration;
    EntryPoint entry;
};

#define ONDREL_EFFECT_ENTRY(constant, name, matchName, entry, resourceId)                          \
    EffectEntry{&Registration::constant, &entry},
inline constexpr std::array effectEntries{ONDREL_EFFECTS(ONDREL_EFFECT_ENTRY)};
#undef ONDREL_EFFECT_ENTRY

} // namespace Ondrel
