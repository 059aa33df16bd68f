// What a shape paints: its fill, its stroke or both, numbered as the effects' "Mode" popup numbers
// its items. An effect turns the host's integer into a PaintMode when it fills its drawer's
// record; any other number paints both.
#pragma once

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

} // namespace Ondrel
