#include "Shapes/OndrelTriangle.h"

#include "Shapes/OndrelCommonParams.h"
#include "Shapes/OndrelEffect.h"
#include "Shapes/OndrelEntryPoints.h"

namespace Ondrel::Triangle {
namespace {

constexpr auto params =
    paramTable(std::array{point("Point 1", 50, 25, twirly), point("Point 2", 25, 75, twirly),
                          point("Point 3", 75, 75, twirly)},
               transformParams, styleParams(10));
static_assert(params.size() == ParamCount - 1 && isNamed(params, Mode, "Mode"));

constexpr std::array graying{modeGraying(Mode)};

constexpr EffectDescription effect{Registration::triangle, params, graying, {}};

} // namespace
} // namespace Ondrel::Triangle

ONDREL_EXPORT PF_Err EntryPointFuncTriangle(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                            PF_ParamDef* params[], PF_LayerDef* /*output*/,
                                            void* extra) {
    return Ondrel::dispatchCommand(Ondrel::Triangle::effect, cmd, in_data, out_data, params, extra);
}
