#include "cli/image/Pixels.h"

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
void store(World& world, A_long top, const RgbaImage& strip, float max) {
    for (A_long y = 0; y < strip.height; ++y) {
        for (A_long x = 0; x < strip.width; ++x) {
            const float* c = strip.at(x, y);
            world.at<Pixel>(x, top + y) =
                Pixel{quantize<Channel>(c[3], max), quantize<Channel>(c[0], max),
                      quantize<Channel>(c[1], max), quantize<Channel>(c[2], max)};
        }
    }
}

template <typename Pixel>
void load(RgbaImage& strip, const World& world, A_long top, float max) {
    for (A_long y = 0; y < strip.height; ++y) {
        for (A_long x = 0; x < strip.width; ++x) {
            const Pixel& p = world.at<Pixel>(x, top + y);
            float* c = strip.at(x, y);
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

A_long stripRows(A_long width) {
    constexpr A_long pixels = 1 << 18;
    return std::max<A_long>(1, pixels / std::max<A_long>(width, 1));
}

void storeRows(const RgbaImage& strip, World& world, A_long top) {
    switch (world.depth()) {
    case PixelDepth::Bits8:
        store<PF_Pixel, A_u_char>(world, top, strip, 255.0f);
        break;
    case PixelDepth::Bits16:
        store<PF_Pixel16, A_u_short>(world, top, strip, 32768.0f);
        break;
    case PixelDepth::Float32:
        for (A_long y = 0; y < strip.height; ++y) {
            for (A_long x = 0; x < strip.width; ++x) {
                const float* c = strip.at(x, y);
                world.at<PF_PixelFloat>(x, top + y) = PF_PixelFloat{c[3], c[0], c[1], c[2]};
            }
        }
        break;
    }
}

void loadRows(const World& world, A_long top, RgbaImage& strip) {
    switch (world.depth()) {
    case PixelDepth::Bits8:
        load<PF_Pixel>(strip, world, top, 255.0f);
        break;
    case PixelDepth::Bits16:
        load<PF_Pixel16>(strip, world, top, 32768.0f);
        break;
    case PixelDepth::Float32:
        load<PF_PixelFloat>(strip, world, top, 1.0f);
        break;
    }
}

} // namespace OndrelCli
