#pragma once

// Host worlds to and from RGBA float rows (straight alpha, 1 = full intensity), the form the
// image files and the built-in layer are handled in.

#include "host/World.h"

#include <vector>

namespace OndrelCli {

// Four floats per pixel, red, green, blue, alpha, rows top to bottom without padding.
struct RgbaImage {
    A_long width = 0;
    A_long height = 0;
    std::vector<float> pixels;

    RgbaImage(A_long w, A_long h);
    float* at(A_long x, A_long y) { return &pixels[4 * (static_cast<std::size_t>(y) * width + x)]; }
    const float* at(A_long x, A_long y) const {
        return &pixels[4 * (static_cast<std::size_t>(y) * width + x)];
    }
};

// 16-bit white is 32768. Integer depths clamp to their range and round to nearest.
OfflineHost::World toWorld(const RgbaImage& image, OfflineHost::PixelDepth depth);
RgbaImage toRgba(const OfflineHost::World& world);

} // namespace OndrelCli
