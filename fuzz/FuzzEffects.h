#pragma once

// The module's four effects by their entry functions, for the targets that link the module in
// rather than load it.

#include "Shapes/OndrelEntryPoints.h"

#include "host/module/Module.h"

namespace OndrelFuzz {

struct Effect {
    const char* name;
    OfflineHost::EntryFunction entry;
};

inline constexpr Effect effects[] = {{"OndrelCircle", EntryPointFuncCircle},
                                     {"OndrelLine", EntryPointFuncLine},
                                     {"OndrelRectangle", EntryPointFuncRectangle},
                                     {"OndrelTriangle", EntryPointFuncTriangle}};

} // namespace OndrelFuzz
