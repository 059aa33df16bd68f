#include "Shapes/OndrelLine.h"

#include "Ondrel/Filter/OndrelLineDrawer.h"
#include "Shapes/OndrelCommonParams.h"
#include "Shapes/OndrelEffect.h"
#include "Shapes/OndrelEntryPoints.h"
#include "Shapes/OndrelSmartRender.h"

namespace Ondrel::Line {
namespace {

constexpr auto params =
    paramTable(std::array{popup("Cap", "Butt|Round", 1, twirly),
                          floatSlider("Thickness", 20, {0, 3000}, {0, 30}, oneDecimal, twirly),
                          point("Point 1", 25, 50, twirly), point("Point 2", 75, 50, twirly)},
               transformParams, styleParams(5));
static_assert(sharedParamsInPlace<Param>(params));

constexpr std::array graying{modeGraying(Mode)};

// The points are taken as the host delivers them; the lengths follow the horizontal downsample.
void fillRecord(const ParamValues& values, LineDrawer::Parameter& record) {
    record.cap = values.popup(Cap);
    record.thickness = values.length(Thickness);
    record.point1 = values.point(Point1);
    record.point2 = values.point(Point2);
    fillPlacementAndStyle<Param>(values, record);
}

constexpr EffectDescription effect{
    Registration::line, params, graying,
    shapeRenderHooks<LineDrawer, valueIndices(params), fillRecord>()};

} // namespace
} // namespace Ondrel::Line

ONDREL_EXPORT PF_Err EntryPointFuncLine(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                        PF_ParamDef* params[], PF_LayerDef* /*output*/,
                                        void* extra) {
    return Ondrel::dispatchCommand(Ondrel::Line::effect, cmd, in_data, out_data, params, extra);
}
