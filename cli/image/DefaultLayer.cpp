#include "cli/image/DefaultLayer.h"

#include "cli/image/Pixels.h"

#include "host/pixels/ScaledLayer.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace OndrelCli {

namespace {

float mix(float a, float b, float t) {
    return a + (b - a) * t;
}

} // namespace

OfflineHost::World defaultLayer(A_long width, A_long height, OfflineHost::PixelDepth depth) {
    OfflineHost::Frame frame;
    frame.layerWidth = width;
    frame.layerHeight = height;
    frame.depth = depth;
    return defaultLayer(frame);
}

OfflineHost::World defaultLayer(const OfflineHost::Frame& frame) {
    const A_long width = frame.layerWidth;
    const A_long height = frame.layerHeight;
    OfflineHost::World layer(frame.scaledWidth(), frame.scaledHeight(), frame.depth);
    // About eighteen checker cells down the shorter side, whatever the size.
    const A_long cell = std::max<A_long>(4, std::min(width, height) / 18);
    const float spanX = static_cast<float>(std::max<A_long>(width - 1, 1));
    const float spanY = static_cast<float>(std::max<A_long>(height - 1, 1));
    std::vector<A_long> columns(static_cast<std::size_t>(layer.width()));
    for (A_long i = 0; i < layer.width(); ++i) {
        columns[static_cast<std::size_t>(i)] =
            OfflineHost::scaledSource(i, width, frame.downsampleX);
    }
    for (A_long top = 0; top < layer.height(); top += stripRows(layer.width())) {
        RgbaImage strip(layer.width(), std::min(stripRows(layer.width()), layer.height() - top));
        for (A_long row = 0; row < strip.height; ++row) {
            const A_long y = OfflineHost::scaledSource(top + row, height, frame.downsampleY);
            const float v = static_cast<float>(y) / spanY;
            const float shade = 1.0f - 0.35f * v;
            for (A_long i = 0; i < strip.width; ++i) {
                const A_long x = columns[static_cast<std::size_t>(i)];
                const float u = static_cast<float>(x) / spanX;
                // Deep blue on the left to amber on the right, with green rising towards the
                // middle.
                float red = mix(0.11f, 0.88f, u);
                float green = 0.23f + 0.40f * (1.0f - 2.0f * std::abs(u - 0.5f));
                float blue = mix(0.43f, 0.25f, u);
                const bool light = ((x / cell) + (y / cell)) % 2 != 0;
                const float lift = light ? 0.18f : 0.0f;
                float* c = strip.at(i, row);
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
