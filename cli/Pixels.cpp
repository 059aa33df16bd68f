#include "Pixels.h"

#include <algorithm>
#include <cmath>

namespace OndrelCli {

using OfflineHost::PixelDepth;
using OfflineHost::World;

namespace {

template <typename Channel>
Channel quantize(float v, float max) {
    const float clamped = std::clamp(std::isnan(v) ? 0.0f : v, 0.0f, 1.0f);
    return static_cast<Channel>(std::lround(clamped * max));
}

template <typename Pixel, typename Channel>
void fill(World& world, const RgbaImage& image, float max) {
    for (A_long y = 0; y < image.height; ++y) {
        for (A_long x = 0; x < image.width; ++x) {
            const float* c = image.at(x, y);
            world.at<Pixel>(x, y) =
                Pixel{quantize<Channel>(c[3], max), quantize<Channel>(c[0], max),
                      quantize<Channel>(c[1], max), quantize<Channel>(c[2], max)};
        }
    }
}

template <typename Pixel>
void read(RgbaImage& image, const World& world, float max) {
    for (A_long y = 0; y < image.height; ++y) {
        for (A_long x = 0; x < image.width; ++x) {
            const Pixel& p = world.at<Pixel>(x, y);
            float* c = image.at(x, y);
            c[0] = static_cast<float>(p.red) / max;
            c[1] = static_cast<float>(p.green) / max;
            c[2] = static_cast<float>(p.blue) / max;
            c[3] = static_cast<float>(p.alpha) / max;
        }
    }
}

} // namespace

RgbaImage::RgbaImage(A_long w, A_long h)
    : width(w), height(h), pixels(4 * static_cast<std::size_t>(w) * static_cast<std::size_t>(h)) {}

World toWorld(const RgbaImage& image, PixelDepth depth) {
    World world(image.width, image.height, depth);
    switch (depth) {
    case PixelDepth::Bits8:
        fill<PF_Pixel, A_u_char>(world, image, 255.0f);
        break;
    case PixelDepth::Bits16:
        fill<PF_Pixel16, A_u_short>(world, image, 32768.0f);
        break;
    case PixelDepth::Float32:
        for (A_long y = 0; y < image.height; ++y) {
            for (A_long x = 0; x < image.width; ++x) {
                const float* c = image.at(x, y);
                world.at<PF_PixelFloat>(x, y) = PF_PixelFloat{c[3], c[0], c[1], c[2]};
            }
        }
        break;
    }
    return world;
}

RgbaImage toRgba(const World& world) {
    RgbaImage image(world.width(), world.height());
    switch (world.depth()) {
    case PixelDepth::Bits8:
        read<PF_Pixel>(image, world, 255.0f);
        break;
    case PixelDepth::Bits16:
        read<PF_Pixel16>(image, world, 32768.0f);
        break;
    case PixelDepth::Float32:
        read<PF_PixelFloat>(image, world, 1.0f);
        break;
    }
    return image;
}

} // namespace OndrelCli
