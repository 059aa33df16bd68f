#include "Shapes/OndrelLine.h"

#include "Shapes/OndrelCommonParams.h"
#include "Shapes/OndrelEffect.h"
#include "Shapes/OndrelEntryPoints.h"

namespace Ondrel::Line {
namespace {

constexpr auto params =
    paramTable(std::array{popup("Cap", "Butt|Round", 1, twirly),
                          floatSlider("Thickness", 20, {0, 3000}, {0, 30}, oneDecimal, twirly),
                          point("Point 1", 25, 50, twirly), point("Point 2", 75, 50, twirly)},
               transformParams, styleParams(5));
static_assert(params.size() == ParamCount - 1 && isNamed(params, Mode, "Mode"));

constexpr std::array graying{modeGraying(Mode)};

constexpr EffectDescription effect{Registration::line, params, graying, {}};

} // namespace
} // namespace Ondrel::Line

ONDREL_EXPORT PF_Err EntryPointFuncLine(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                        PF_ParamDef* params[], PF_LayerDef* /*output*/,
                                        void* extra) {
    return Ondrel::dispatchCommand(Ondrel::Line::effect, cmd, in_data, out_data, params, extra);
}
