// What a shape paints: its fill, its stroke or both, numbered as the effects' "Mode" popup numbers
// its items. An effect turns the host's integer into a PaintMode when it fills its drawer's
// record; any other number paints both.
#pragma once

#include <utility>

namespace Ondrel {

enum class PaintMode : int {
    fill = 1,
    stroke = 2,
    fillAndStroke = 3,
};

constexpr bool paintsFill(PaintMode mode) {
    return mode != PaintMode::stroke;
}

constexpr bool paintsStroke(PaintMode mode) {
    return mode != PaintMode::fill;
}

// The coverage of what mode paints, as (fill, stroke): each part from its function where it is
// painted, 0 where it is not.
template <typename Number, typename Fill, typename Stroke>
inline std::pair<Number, Number> paintedParts(PaintMode mode, Fill&& fill, Stroke&& stroke) {
    return {paintsFill(mode) ? Number(fill()) : Number(0.0),
            paintsStroke(mode) ? Number(stroke()) : Number(0.0)};
}

} // namespace Ondrel
