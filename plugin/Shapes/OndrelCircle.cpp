#include "Shapes/OndrelCircle.h"

#include "Ondrel/Filter/OndrelCircleDrawer.h"
#include "Shapes/OndrelCommonParams.h"
#include "Shapes/OndrelEffect.h"
#include "Shapes/OndrelEntryPoints.h"
#include "Shapes/OndrelSmartRender.h"

namespace Ondrel::Circle {
namespace {

constexpr auto params =
    paramTable(std::array{floatSlider("Radius", 100, {0, 3000}, {0, 100}, oneDecimal, twirly),
                          point("Center", 50, 50, twirly)},
               transformParams, styleParams(20));
static_assert(sharedParamsInPlace<Param>(params));

constexpr std::array graying{modeGraying(Mode)};

void fillRecord(const ParamValues& values, CircleDrawer::Parameter& record) {
    record.radius = values.length(Radius);
    record.center = values.point(Center);
    fillPlacementAndStyle<Param>(values, record);
}

constexpr EffectDescription effect{
    Registration::circle, params, graying,
    shapeRenderHooks<CircleDrawer, valueIndices(params), fillRecord>()};

} // namespace
} // namespace Ondrel::Circle

ONDREL_EXPORT PF_Err EntryPointFuncCircle(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                          PF_ParamDef* params[], PF_LayerDef* /*output*/,
                                          void* extra) {
    return Ondrel::dispatchCommand(Ondrel::Circle::effect, cmd, in_data, out_data, params, extra);
}
