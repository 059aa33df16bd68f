// The parameter values one frame's pre-render reads, converted to the units the drawer records
// use. Each value is checked out, copied and checked in again at once, so nothing stays checked
// out after the frame's pre-render, whatever happens next.
#pragma once

#include "AE_Effect.h"
#include "Ondrel/OndrelGeneral.h"
#include "Shapes/OndrelParamTable.h"

#include <array>
#include <cstddef>
#include <span>

namespace Ondrel {

// Enough for the effect with the longest parameter list.
inline constexpr int maxParamCount = 32;

// A list of parameter indices usable as a template argument.
struct ParamIndexList {
    std::array<int, maxParamCount> items{};
    std::size_t count = 0;

    constexpr std::span<const int> indices() const { return {items.data(), count}; }
};

// The indices whose values a shape's record is filled from: every parameter of the table apart
// from the group markers, in ascending order (the input layer, index 0, is not in the table).
template <std::size_t N>
consteval ParamIndexList valueIndices(const std::array<ParamSpec, N>& table) {
    static_assert(N < maxParamCount, "raise maxParamCount");
    ParamIndexList list;
    for (std::size_t i = 0; i < N; ++i) {
        if (table[i].type != PF_Param_GROUP_START && table[i].type != PF_Param_GROUP_END) {
            list.items[list.count++] = static_cast<int>(i) + 1;
        }
    }
    return list;
}

class ParamValues {
public:
    // Takes the downsample factors and the layer size from inData.
    explicit ParamValues(const PF_InData& inData);

    // Checks out each index in the order given at the frame's time, keeps a copy of its
    // definition and checks it in again. Returns the first host error, leaving nothing checked
    // out.
    PF_Err checkOut(PF_InData* inData, std::span<const int> indices);

    // The conversions below throw PF_Err_INTERNAL_STRUCT_DAMAGED for an index that was not checked
    // out or whose type is not the one the conversion reads: either is a fault of the effect's
    // table or of the host, and must not be read as garbage.

    // A float slider that is a length in layer pixels: scaled by the horizontal downsample factor,
    // so that a radius, a thickness or a stroke width keeps one size in every direction.
    double length(int index) const;
    // A float slider that is a vertical extent in layer pixels: scaled by the vertical downsample
    // factor, as the host scales the y of a point.
    double height(int index) const;
    // A float slider in percent, as a factor (100 % is 1).
    double percent(int index) const;
    // A fixed slider in percent, as a factor.
    double fixedPercent(int index) const;
    // A point as the host delivers it (already scaled to the downsampled layer).
    Vector<double> point(int index) const;
    // A point as an offset from the downsampled layer's centre.
    Vector<double> offsetFromCenter(int index) const;
    // An angle in radians.
    double radians(int index) const;
    ColorFloat<float> color(int index) const;
    // A popup's item, counted from 1.
    int popup(int index) const;
    // A "Blending Mode" popup as a blend-mode number.
    int blendMode(int index) const;

private:
    const PF_ParamDef& _value(int index, PF_ParamType type) const;

    double m_dsx;
    double m_dsy;
    double m_layerWidth;
    double m_layerHeight;
    std::array<PF_ParamDef, maxParamCount> m_values{};
    std::array<bool, maxParamCount> m_present{};
};

} // namespace Ondrel
