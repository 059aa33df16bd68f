#pragma once

// The parts every effect's parameter list shares: the "Transform" group and the style controls
// from "Mode" to "Blending Mode".

#include "Ondrel/OndrelBlend.h"
#include "Shapes/OndrelParamTable.h"

#include <array>
#include <cstddef>

namespace Ondrel {

inline constexpr PF_Pixel red{255, 255, 0, 0}; // alpha, red, green, blue
inline constexpr PF_Pixel white{255, 255, 255, 255};

inline constexpr std::array transformParams{
    groupStart("Transform"),
    point("Anchor Point", 50, 50, twirly),
    point("Position", 50, 50, twirly),
    angle("Rotation", 0, twirly),
    floatSlider("Scale", 100, {-1000000, 1000000}, {-100, 100}, oneDecimalPercent, twirly),
    groupEnd(),
};

// "Mode" comes first; modeGraying relies on the three controls that follow it.
constexpr std::array<ParamSpec, 6> styleParams(double strokeWidth) {
    return {
        popup("Mode", "Fill|Stroke|Fill and Stroke", 1, noFlags),
        floatSlider("Stroke Width", strokeWidth, {0, 3000}, {0, 30}, oneDecimal, twirly),
        color("Fill Color", red, twirly),
        color("Stroke Color", white, twirly),
        fixSlider("Opacity", 100, {0, 100}, {0, 100}, oneDecimalPercent, twirly),
        popup("Blending Mode", blendModePopupString, blendModePopupDefault, noFlags),
    };
}

static_assert(styleParams(0).back().itemCount == blendModePopupCount);

// Whether an effect's table holds the shared parameters at the indices its Param enumeration
// (ending with ONDREL_SHARED_PARAMS) gives them, and nothing after them.
template <typename Param, std::size_t N>
constexpr bool sharedParamsInPlace(const std::array<ParamSpec, N>& table) {
    return N == Param::ParamCount - 1 && isNamed(table, Param::Transform, "Transform") &&
           isNamed(table, Param::AnchorPoint, "Anchor Point") &&
           isNamed(table, Param::Position, "Position") &&
           isNamed(table, Param::Rotation, "Rotation") && isNamed(table, Param::Scale, "Scale") &&
           table[static_cast<std::size_t>(Param::TransformEnd) - 1].type == PF_Param_GROUP_END &&
           isNamed(table, Param::Mode, "Mode") &&
           isNamed(table, Param::StrokeWidth, "Stroke Width") &&
           isNamed(table, Param::FillColor, "Fill Color") &&
           isNamed(table, Param::StrokeColor, "Stroke Color") &&
           isNamed(table, Param::Opacity, "Opacity") &&
           isNamed(table, Param::BlendingMode, "Blending Mode");
}

} // namespace Ondrel
