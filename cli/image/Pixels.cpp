#include "cli/image/Pixels.h"

#include <algorithm>

namespace OndrelCli {

using OfflineHost::World;

namespace {

template <typename Pixel>
void store(World& world, A_long top, const RgbaImage& strip) {
    for (A_long y = 0; y < strip.height; ++y) {
        const float* c = strip.at(0, y);
        Pixel* p = worldRow<Pixel>(world, top + y);
        for (A_long x = 0; x < strip.width; ++x, c += 4) {
            p[x] = OfflineHost::unitPixel<Pixel>(c[3], c[0], c[1], c[2]);
        }
    }
}

template <typename Pixel>
void load(RgbaImage& strip, const World& world, A_long top) {
    using Traits = OfflineHost::PixelTraits<Pixel>;
    for (A_long y = 0; y < strip.height; ++y) {
        const Pixel* p = worldRow<Pixel>(world, top + y);
        float* c = strip.at(0, y);
        for (A_long x = 0; x < strip.width; ++x, c += 4) {
            c[0] = Traits::unit(p[x].red);
            c[1] = Traits::unit(p[x].green);
            c[2] = Traits::unit(p[x].blue);
            c[3] = Traits::unit(p[x].alpha);
        }
    }
}

} // namespace

RgbaImage::RgbaImage(A_long w, A_long h)
    : width(w), height(h), pixels(4 * static_cast<std::size_t>(w) * static_cast<std::size_t>(h)) {}

A_long stripRows(A_long width) {
    constexpr A_long pixels = 1 << 18;
    return std::max<A_long>(1, pixels / std::max<A_long>(width, 1));
}

void storeRows(const RgbaImage& strip, World& world, A_long top) {
    OfflineHost::withPixelType(world.depth(), [&](auto pixel) {
        store<decltype(pixel)>(world, top, strip);
        return PF_Err_NONE;
    });
}

void loadRows(const World& world, A_long top, RgbaImage& strip) {
    OfflineHost::withPixelType(world.depth(), [&](auto pixel) {
        load<decltype(pixel)>(strip, world, top);
        return PF_Err_NONE;
    });
}

World convertedWorld(const World& world, OfflineHost::PixelDepth depth) {
    World converted(world.width(), world.height(), depth);
    const A_long rows = stripRows(world.width());
    for (A_long top = 0; top < world.height(); top += rows) {
        RgbaImage strip(world.width(), std::min(rows, world.height() - top));
        loadRows(world, top, strip);
        storeRows(strip, converted, top);
    }
    return converted;
}

} // namespace OndrelCli
