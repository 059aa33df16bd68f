// The "Blending Mode" vocabulary (popup items, blend-mode numbers, host transfer modes) and the one
// per-pixel "over" composite the drawers use to lay stroke and fill coverage over the shape layer.
// Every other blend mode is left to the host's rectangle transfer.
#pragma once

#include "AE_Effect.h"
#include "Ondrel/OndrelPixelTraits.h"

#include <cstdint>

namespace Ondrel {

// Items are numbered from 1 by the host, and each "(-" separator takes a number of its own.
inline constexpr const char* blendModePopupString =
    "None|(-|Normal|(-|Darken|Multiply|Linear Burn|Color Burn|Classic Color Burn|(-|Add|Lighten|"
    "Screen|Linear Dodge|Color Dodge|Classic Color Dodge|(-|Overlay|Soft Light|Hard Light|"
    "Linear Light|Vivid Light|Pin Light|Hard Mix|(-|Difference|Classic Difference|Exclution|(-|"
    "Hue|Saturation|Color|Luminosity";
inline constexpr int blendModePopupCount = 33;
inline constexpr int blendModePopupDefault = 3;

// Blend-mode number for "None": the shape is drawn onto transparent black instead of the input.
inline constexpr int blendModeNone = -1;

// Popup item (1-based) to blend-mode number; a separator maps like the item above it, and an item
// outside the popup gives blendModeNone.
int blendModeOfPopupItem(int item);

// Blend-mode number to the host's transfer mode (PF_TransferMode value); numbers outside the
// catalogue composite as PF_Xfer_IN_FRONT.
int aeBlendMode(int blendMode);

// Straight-alpha "over": the source laid over the backdrop. Each depth keeps its own arithmetic
// (unsigned 32-bit integers at 8 and 16 bits, single precision in float), which the drawers'
// output depends on bit for bit.
namespace Detail {

// k = (M - as) * ab / M, A = as + k, each colour (b * k + s * as) / A, all truncating and limited
// to M. At 16 bits M is 2^15, so the division by M is the shift by 15 that the depth calls for.
template <typename Pixel>
inline Pixel normalInteger(const Pixel& backdrop, const Pixel& source) {
    using Channel = typename PixelTraits<Pixel>::ChannelType;
    constexpr std::uint32_t m = PixelTraits<Pixel>::fullScale;
    if (backdrop.alpha == 0 || source.alpha == m) {
        return source;
    }
    if (source.alpha == 0) {
        return backdrop;
    }
    const std::uint32_t as = source.alpha;
    const std::uint32_t k = ((m - as) * backdrop.alpha) / m;
    const std::uint32_t a = as + k;
    const auto channel = [&](Channel b, Channel s) {
        const std::uint32_t v = (b * k + s * as) / a;
        return static_cast<Channel>(v > m ? m : v);
    };
    Pixel out{};
    out.alpha = static_cast<Channel>(a > m ? m : a);
    out.red = channel(backdrop.red, source.red);
    out.green = channel(backdrop.green, source.green);
    out.blue = channel(backdrop.blue, source.blue);
    return out;
}

} // namespace Detail

namespace Blend {

inline PF_Pixel normal(const PF_Pixel& backdrop, const PF_Pixel& source) {
    return Detail::normalInteger(backdrop, source);
}

inline PF_Pixel16 normal(const PF_Pixel16& backdrop, const PF_Pixel16& source) {
    return Detail::normalInteger(backdrop, source);
}

// Nothing is clamped: overbright float colours pass through.
inline PF_PixelFloat normal(const PF_PixelFloat& backdrop, const PF_PixelFloat& source) {
    if (backdrop.alpha == 0.0f || source.alpha == 1.0f) {
        return source;
    }
    if (source.alpha == 0.0f) {
        return backdrop;
    }
    const PF_FpShort as = source.alpha;
    const PF_FpShort k = (1.0f - as) * backdrop.alpha;
    const PF_FpShort a = as + k;
    PF_PixelFloat out{};
    out.alpha = a;
    out.red = (source.red * as + backdrop.red * k) / a;
    out.green = (source.green * as + backdrop.green * k) / a;
    out.blue = (source.blue * as + backdrop.blue * k) / a;
    return out;
}

} // namespace Blend
} // namespace Ondrel
