#include "Shapes/OndrelRectangle.h"

#include "Ondrel/Filter/OndrelRectangleDrawer.h"
#include "Shapes/OndrelCommonParams.h"
#include "Shapes/OndrelEffect.h"
#include "Shapes/OndrelEntryPoints.h"
#include "Shapes/OndrelSmartRender.h"

namespace Ondrel::Rectangle {
namespace {

constexpr auto params =
    paramTable(std::array{popup("Controlled By", "Two Points|Width & Height", 1, twirly),
                          point("Point 1", 25, 25, twirly), point("Point 2", 75, 75, twirly),
                          point("Center", 50, 50, twirly),
                          floatSlider("Width", 400, {0, 20000}, {0, 500}, oneDecimal, twirly),
                          floatSlider("Height", 300, {0, 20000}, {0, 500}, oneDecimal, twirly)},
               transformParams, styleParams(20));
static_assert(sharedParamsInPlace<Param>(params) &&
              isNamed(params, ControlledBy, "Controlled By") && isNamed(params, Height, "Height"));

constexpr std::array graying{
    GrayingRule{ControlledBy,
                {Point1, Point2, Center, Width, Height},
                {IndexSet{Center, Width, Height}, IndexSet{Point1, Point2}},
                2},
    modeGraying(Mode)};

// Both ways of giving the rectangle are always filled; the drawer picks one by controlledBy. The
// width and height follow the downsample of their own axis, as the two points do, so both ways
// give the same rectangle at any downsample.
void fillRecord(const ParamValues& values, RectangleDrawer::Parameter& record) {
    record.controlledBy = values.popup(ControlledBy);
    record.point1 = values.point(Point1);
    record.point2 = values.point(Point2);
    record.center = values.point(Center);
    record.width = values.length(Width);
    record.height = values.height(Height);
    fillPlacementAndStyle<Param>(values, record);
}

constexpr EffectDescription effect{
    Registration::rectangle, params, graying,
    shapeRenderHooks<RectangleDrawer, valueIndices(params), fillRecord>()};

} // namespace
} // namespace Ondrel::Rectangle

ONDREL_EXPORT PF_Err EntryPointFuncRectangle(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                             PF_ParamDef* params[], PF_LayerDef* /*output*/,
                                             void* extra) {
    return Ondrel::dispatchCommand(Ondrel::Rectangle::effect, cmd, in_data, out_data, params,
                                   extra);
}
