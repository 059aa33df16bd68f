// The two-phase smart render every shape effect shares. Pre-render reads the effect's parameters
// into its drawer's record, which travels to render in a host handle; render copies the input to
// the output (or clears it for "None"), lets the drawer paint the shape into a scratch layer the
// size of the shape's region, and composites that layer onto the output with the record's
// opacity and blend mode.
//
// An effect plugs in with its drawer, the parameter indices it reads and a function that fills
// the drawer's record from the converted values:
//
//   void fillRecord(const ParamValues& values, CircleDrawer::Parameter& record) {
//       record.radius = values.length(Radius);
//       record.center = values.point(Center);
//       fillPlacementAndStyle<Param>(values, record);
//   }
//   ... shapeRenderHooks<CircleDrawer, valueIndices(params), fillRecord>() ...
#pragma once

#include "AE_Effect.h"
#include "Ondrel/Filter/OndrelIterateFilter.h"
#include "Ondrel/Filter/OndrelPaintMode.h"
#include "Ondrel/OndrelBlend.h"
#include "Ondrel/OndrelGeneral.h"
#include "Ondrel/OndrelLayer.h"
#include "Ondrel/OndrelSourceInfo.h"
#include "Shapes/OndrelEffect.h"
#include "Shapes/OndrelParamValues.h"

#include <cstddef>
#include <new>
#include <span>

namespace Ondrel {

// The fields every record shares after its geometry, filled from the parameters that every
// effect's table ends with ("Transform" group, then "Mode" to "Blending Mode"). Index is the
// effect's enumeration of its parameter indices.
template <typename Index, typename Record>
void fillPlacementAndStyle(const ParamValues& values, Record& record) {
    record.anchorPoint = values.point(Index::AnchorPoint);
    record.position = values.offsetFromCenter(Index::Position);
    record.rotation = values.radians(Index::Rotation);
    record.scale = values.percent(Index::Scale);
    record.mode = static_cast<PaintMode>(values.popup(Index::Mode));
    record.strokeWidth = values.length(Index::StrokeWidth);
    record.fillColor = values.color(Index::FillColor);
    record.strokeColor = values.color(Index::StrokeColor);
    record.opacity = values.fixedPercent(Index::Opacity);
    record.blendMode = values.blendMode(Index::BlendingMode);
}

// ---- Pre-render data. One host handle per frame; its block starts with what the delete function
// needs to dispose of the handle without the host's records, followed by the effect's record.

struct PreRenderHeader {
    void (*disposeHandle)(PF_Handle);
};

template <typename Record>
struct PreRenderBlock {
    PreRenderHeader header;
    Record record;
};

// Registered with every frame's pre-render data; the host calls it when it no longer needs the
// frame. Takes the handle itself.
void deletePreRenderData(void* preRenderData);

// What pre-render needs from a typed effect: the block size, the indices to read, and a function
// that zero-fills the block at `block` and fills its record from the values.
struct PreRenderRecipe {
    std::size_t blockSize;
    std::span<const int> indices;
    void (*fill)(const ParamValues& values, void* block);
};

PF_Err preRenderShape(PF_InData* inData, PF_PreRenderExtra* extra, const PreRenderRecipe& recipe);

// The pre-render data handle locked for the length of one render call.
class LockedPreRenderData {
public:
    LockedPreRenderData(PF_InData* inData, PF_SmartRenderExtra* extra);
    ~LockedPreRenderData();
    LockedPreRenderData(const LockedPreRenderData&) = delete;
    LockedPreRenderData& operator=(const LockedPreRenderData&) = delete;

    // Null when the host gave no handle or it could not be locked.
    void* block() const { return m_block; }

private:
    PF_InData* m_inData;
    PF_Handle m_handle;
    void* m_block = nullptr;
};

// Copies the input to the output, or clears the output for blend-mode number "None". Returns the
// blend mode to composite the shape with ("None" composites as "Normal" onto the cleared output).
PF_Err prepareOutput(Layer& input, Layer& output, int& blendMode);

// Opacities at or below this draw nothing.
inline constexpr double minimumOpacity = 1e-6;

template <typename Drawer>
PF_Err renderShape(PF_InData* inData, PF_OutData* outData, PF_SmartRenderExtra* extra) {
    using Record = typename Drawer::Parameter;
    const LockedPreRenderData data(inData, extra);
    if (data.block() == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    // Read, never written: the host may render the same pre-render data again.
    const Record& record = static_cast<const PreRenderBlock<Record>*>(data.block())->record;

    const SourceInfo source(inData, outData, extra);
    if (const PF_Err err = source.getError()) {
        return err;
    }
    Layer input(inData, outData, source.getInputWorld(), source.getBPC());
    if (const PF_Err err = input.getError()) {
        return err;
    }
    Layer output(inData, outData, source.getOutputWorld(), source.getBPC());
    if (const PF_Err err = output.getError()) {
        return err;
    }
    Drawer drawer(record);
    int blendMode = record.blendMode;
    if (const PF_Err err = prepareOutput(input, output, blendMode)) {
        return err;
    }
    if (!(record.opacity > minimumOpacity)) {
        return PF_Err_NONE;
    }
    const Rect region = drawer.calcRegion(input);
    if (region.isEmpty()) {
        return PF_Err_NONE;
    }
    Layer scratch(inData, outData, region.getWidth(), region.getHeight(), input.getBPC());
    if (const PF_Err err = scratch.getError()) {
        return err;
    }
    if (const PF_Err err = IterateFilter(inData, "draw", input, scratch, drawer)) {
        return err;
    }
    scratch.blendTo(output, scratch.getSize(), region.getLeftTop(), record.opacity, blendMode,
                    false);
    return scratch.getError();
}

template <typename Record, ParamIndexList indices, auto fillRecord>
PF_Err preRenderShape(PF_InData* inData, PF_OutData* /*outData*/, PF_PreRenderExtra* extra) {
    static constexpr PreRenderRecipe recipe{sizeof(PreRenderBlock<Record>), indices.indices(),
                                            [](const ParamValues& values, void* block) {
                                                auto* typed =
                                                    ::new (block) PreRenderBlock<Record>{};
                                                fillRecord(values, typed->record);
                                            }};
    return preRenderShape(inData, extra, recipe);
}

// The smart-render handlers of a shape effect.
template <typename Drawer, ParamIndexList indices, auto fillRecord>
constexpr SmartRenderHooks shapeRenderHooks() {
    return {&preRenderShape<typename Drawer::Parameter, indices, fillRecord>, &renderShape<Drawer>};
}

} // namespace Ondrel
