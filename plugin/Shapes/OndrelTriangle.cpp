#include "Shapes/OndrelTriangle.h"

#include "Ondrel/Filter/OndrelTriangleDrawer.h"
#include "Shapes/OndrelCommonParams.h"
#include "Shapes/OndrelEffect.h"
#include "Shapes/OndrelEntryPoints.h"
#include "Shapes/OndrelSmartRender.h"

namespace Ondrel::Triangle {
namespace {

constexpr auto params =
    paramTable(std::array{point("Point 1", 50, 25, twirly), point("Point 2", 25, 75, twirly),
                          point("Point 3", 75, 75, twirly)},
               transformParams, styleParams(10));
static_assert(sharedParamsInPlace<Param>(params));

constexpr std::array graying{modeGraying(Mode)};

void fillRecord(const ParamValues& values, TriangleDrawer::Parameter& record) {
    record.point1 = values.point(Point1);
    record.point2 = values.point(Point2);
    record.point3 = values.point(Point3);
    fillPlacementAndStyle<Param>(values, record);
}

constexpr EffectDescription effect{
    Registration::triangle, params, graying,
    shapeRenderHooks<TriangleDrawer, valueIndices(params), fillRecord>()};

} // namespace
} // namespace Ondrel::Triangle

ONDREL_EXPORT PF_Err EntryPointFuncTriangle(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                            PF_ParamDef* params[], PF_LayerDef* /*output*/,
                                            void* extra) {
    return Ondrel::dispatchCommand(Ondrel::Triangle::effect, cmd, in_data, out_data, params, extra);
}
