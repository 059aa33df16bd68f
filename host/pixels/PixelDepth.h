#pragma once

#include <array>
#include <optional>

namespace OfflineHost {

// The three depths of the host's worlds: PF_Pixel, PF_Pixel16 and PF_PixelFloat.
enum class PixelDepth { Bits8, Bits16, Float32 };

inline constexpr std::array pixelDepths{PixelDepth::Bits8, PixelDepth::Bits16, PixelDepth::Float32};

// Bits per channel, as the host reports a depth to an effect and as users name it.
constexpr int bitsPerChannel(PixelDepth depth) {
    switch (depth) {
    case PixelDepth::Bits8:
        return 8;
    case PixelDepth::Bits16:
        return 16;
    case PixelDepth::Float32:
        break;
    }
    return 32;
}

// The depth of the given bits per channel: none but 8, 16 and 32 name one.
constexpr std::optional<PixelDepth> depthOfBits(int bits) {
    for (const PixelDepth depth : pixelDepths) {
        if (bitsPerChannel(depth) == bits) {
            return depth;
        }
    }
    return std::nullopt;
}

} // namespace OfflineHost
