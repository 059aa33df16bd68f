#pragma once

#include "AE_Effect.h"
#include "Util/AEGP_SuiteHandler.h"

namespace Ondrel {

// Grays (or enables) the control at index by setting (or clearing) PF_PUI_DISABLED in
// params[index] and handing that definition to the host. params is the caller's own copy of
// the definitions, never the host's array.
PF_Err GrayOutParameter(int index, bool gray, PF_ParamDef* params, PF_InData* in_data,
                        AEGP_SuiteHandler& suites);

} // namespace Ondrel
