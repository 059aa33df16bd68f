#include "cli/image/DefaultLayer.h"

#include "cli/image/Pixels.h"

#include <algorithm>
#include <cmath>

namespace OndrelCli {

namespace {

float mix(float a, float b, float t) {
    return a + (b - a) * t;
}

} // namespace

OfflineHost::World defaultLayer(A_long width, A_long height, OfflineHost::PixelDepth depth) {
    OfflineHost::World layer(width, height, depth);
    // About eighteen checker cells down the shorter side, whatever the size.
    const A_long cell = std::max<A_long>(4, std::min(width, height) / 18);
    const float spanX = static_cast<float>(std::max<A_long>(width - 1, 1));
    const float spanY = static_cast<float>(std::max<A_long>(height - 1, 1));
    for (A_long top = 0; top < height; top += stripRows(width)) {
        RgbaImage strip(width, std::min(stripRows(width), height - top));
        for (A_long row = 0; row < strip.height; ++row) {
            const A_long y = top + row;
            const float v = static_cast<float>(y) / spanY;
            const float shade = 1.0f - 0.35f * v;
            for (A_long x = 0; x < width; ++x) {
                const float u = static_cast<float>(x) / spanX;
                // Deep blue on the left to amber on the right, with green rising towards the
                // middle.
                float red = mix(0.11f, 0.88f, u);
                float green = 0.23f + 0.40f * (1.0f - 2.0f * std::abs(u - 0.5f));
                float blue = mix(0.43f, 0.25f, u);
                const bool light = ((x / cell) + (y / cell)) % 2 != 0;
                const float lift = light ? 0.18f : 0.0f;
                float* c = strip.at(x, row);
                c[0] = (red + (1.0f - red) * lift) * shade;
                c[1] = (green + (1.0f - green) * lift) * shade;
                c[2] = (blue + (1.0f - blue) * lift) * shade;
                c[3] = 1.0f;
            }
        }
        storeRows(strip, layer, top);
    }
    return layer;
}

} // namespace OndrelCli
