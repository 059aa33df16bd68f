#pragma once

// Host worlds to and from RGBA float rows (straight alpha, 1 = full intensity), the form the
// image files and the built-in layer are handled in, a strip of rows at a time so that a large
// image never needs a second copy of itself.

#include "host/pixels/World.h"

#include <cstddef>
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

// Row y of the world's pixels, which are of type Pixel (unchecked, for pixel loops).
template <typename Pixel>
Pixel* worldRow(const OfflineHost::World& world, A_long y) {
    const PF_EffectWorld& record = world.effectWorld();
    return reinterpret_cast<Pixel*>(reinterpret_cast<char*>(record.data) +
                                    static_cast<std::ptrdiff_t>(y) * record.rowbytes);
}

// Rows in a strip of an image this wide: about a quarter of a million pixels, at least one row.
A_long stripRows(A_long width);

// The strip's rows into rows top to top + strip.height - 1 of the world. 16-bit white is
// 32768. Integer depths clamp to their range and round to nearest.
void storeRows(const RgbaImage& strip, OfflineHost::World& world, A_long top);
// Rows top to top + strip.height - 1 of the world into the strip.
void loadRows(const OfflineHost::World& world, A_long top, RgbaImage& strip);

// The world at another depth, a strip at a time, as storeRows stores its values.
OfflineHost::World convertedWorld(const OfflineHost::World& world, OfflineHost::PixelDepth depth);

} // namespace OndrelCli
