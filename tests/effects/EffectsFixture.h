// The built module's effects run end to end through the offline host, and the per-depth facts the
// tests compute their expected pixels from.
#pragma once

#include "host/instance/EffectInstance.h"
#include "host/pixels/World.h"
#include "tests/support/CallLog.h"
#include "tests/support/ShapesModule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <string_view>

namespace EffectsTest {

using OfflineHost::EffectInstance;
using OfflineHost::Frame;
using OfflineHost::PixelDepth;
using OfflineHost::World;
using TestSupport::appliedEffect;
using TestSupport::callCount;
using TestSupport::paramIndices;
using TestSupport::shapesModule;

inline int param(const EffectInstance& effect, std::string_view name) {
    const int index = effect.findParam(name);
    if (index < 0) {
        throw std::runtime_error("no parameter " + std::string(name));
    }
    return index;
}

inline Frame frameAt(PixelDepth depth, A_long width = 640, A_long height = 480) {
    Frame frame;
    frame.depth = depth;
    frame.layerWidth = width;
    frame.layerHeight = height;
    return frame;
}

// A 640 x 480 frame drawn at 1/x of the width and 1/y of the height.
inline Frame downsampledFrame(PixelDepth depth, A_u_long x, A_u_long y) {
    Frame frame = frameAt(depth);
    frame.downsampleX = {1, x};
    frame.downsampleY = {1, y};
    return frame;
}

inline const char* depthName(PixelDepth depth) {
    switch (depth) {
    case PixelDepth::Bits8:
        return "8";
    case PixelDepth::Bits16:
        return "16";
    default:
        return "32";
    }
}

// The depths every end-to-end test runs at, and test names that tell them apart.
inline auto allDepths() {
    return ::testing::Values(PixelDepth::Bits8, PixelDepth::Bits16, PixelDepth::Float32);
}

inline std::string depthTestName(const ::testing::TestParamInfo<PixelDepth>& info) {
    return std::string("Bits") + depthName(info.param);
}

// Full intensity of a channel: 255, 32768 (the host's 16-bit white) or 1.
inline double channelMax(PixelDepth depth) {
    switch (depth) {
    case PixelDepth::Bits8:
        return 255.0;
    case PixelDepth::Bits16:
        return 32768.0;
    default:
        return 1.0;
    }
}

// A pixel's channels in the world's own units (0..255, 0..32768 or float).
struct Channels {
    double alpha = 0;
    double red = 0;
    double green = 0;
    double blue = 0;
};

template <typename Pixel>
Channels channelsOf(const Pixel& p) {
    return {static_cast<double>(p.alpha), static_cast<double>(p.red), static_cast<double>(p.green),
            static_cast<double>(p.blue)};
}

inline Channels pixelAt(const World& world, A_long x, A_long y) {
    switch (world.depth()) {
    case PixelDepth::Bits8:
        return channelsOf(world.at<PF_Pixel>(x, y));
    case PixelDepth::Bits16:
        return channelsOf(world.at<PF_Pixel16>(x, y));
    default:
        return channelsOf(world.at<PF_PixelFloat>(x, y));
    }
}

// Writes a pixel given in unit range, rounded to the world's units.
inline void setPixel(World& world, A_long x, A_long y, const Channels& unit) {
    const double m = channelMax(world.depth());
    const auto to = [m](double v) { return std::round(v * m); };
    switch (world.depth()) {
    case PixelDepth::Bits8: {
        auto& p = world.at<PF_Pixel>(x, y);
        p = {static_cast<A_u_char>(to(unit.alpha)), static_cast<A_u_char>(to(unit.red)),
             static_cast<A_u_char>(to(unit.green)), static_cast<A_u_char>(to(unit.blue))};
        break;
    }
    case PixelDepth::Bits16: {
        auto& p = world.at<PF_Pixel16>(x, y);
        p = {static_cast<A_u_short>(to(unit.alpha)), static_cast<A_u_short>(to(unit.red)),
             static_cast<A_u_short>(to(unit.green)), static_cast<A_u_short>(to(unit.blue))};
        break;
    }
    default: {
        auto& p = world.at<PF_PixelFloat>(x, y);
        p = {static_cast<float>(unit.alpha), static_cast<float>(unit.red),
             static_cast<float>(unit.green), static_cast<float>(unit.blue)};
        break;
    }
    }
}

// An opaque layer whose colour changes from pixel to pixel, so that a copied, a cleared and a
// drawn pixel can all be told apart.
inline void paintBackground(World& world) {
    for (A_long y = 0; y < world.height(); ++y) {
        for (A_long x = 0; x < world.width(); ++x) {
            setPixel(world, x, y,
                     {1.0, 0.2 + 0.6 * static_cast<double>(x % 97) / 96.0,
                      0.1 + 0.8 * static_cast<double>(y % 89) / 88.0,
                      ((x / 16 + y / 16) % 2) != 0 ? 0.75 : 0.25});
        }
    }
}

// The alpha a coverage must become: a * M + 0.5 truncated and limited to 0..M at 8 and 16 bits,
// the coverage itself in float.
inline double alphaOfCoverage(double coverage, PixelDepth depth) {
    if (depth == PixelDepth::Float32) {
        return static_cast<double>(static_cast<float>(coverage));
    }
    const double m = channelMax(depth);
    return std::clamp(std::trunc(coverage * m + 0.5), 0.0, m);
}

// Largest difference of channels between two pixels.
inline double difference(const Channels& a, const Channels& b) {
    return std::max({std::abs(a.alpha - b.alpha), std::abs(a.red - b.red),
                     std::abs(a.green - b.green), std::abs(a.blue - b.blue)});
}

inline bool sameWorlds(const World& a, const World& b) {
    if (a.width() != b.width() || a.height() != b.height()) {
        return false;
    }
    for (A_long y = 0; y < a.height(); ++y) {
        for (A_long x = 0; x < a.width(); ++x) {
            if (difference(pixelAt(a, x, y), pixelAt(b, x, y)) != 0.0) {
                return false;
            }
        }
    }
    return true;
}

// A world's pixels, row after row without padding, for comparing renders byte for byte.
inline std::string packedPixels(const World& world) {
    const auto& w = world.effectWorld();
    const auto row = static_cast<std::size_t>(w.width) * OfflineHost::pixelBytes(world.depth());
    std::string pixels;
    for (A_long y = 0; y < w.height; ++y) {
        pixels.append(reinterpret_cast<const char*>(w.data) + y * w.rowbytes, row);
    }
    return pixels;
}

} // namespace EffectsTest
