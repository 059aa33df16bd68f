#pragma once

// Worlds with padded rows for the compositing tests, and small helpers to build and compare
// pixels of the three depths.

#include "host/compositing/Composite.h"
#include "tests/support/PixelDepths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <type_traits>
#include <vector>

namespace CompositeTest {

using OfflineHost::PixelDepth;
using TestSupport::Depth;
using TestSupport::makePixel;
using TestSupport::PixelTypes;

template <typename Pixel>
std::array<double, 4> argb(const Pixel& p) {
    return {static_cast<double>(p.alpha), static_cast<double>(p.red), static_cast<double>(p.green),
            static_cast<double>(p.blue)};
}

// A pixel given in unit values, as the depth stores it (8 bits round to nearest).
template <typename Pixel>
Pixel unitPixel(double a, double r, double g, double b) {
    if constexpr (std::is_same_v<Pixel, PF_Pixel>) {
        const auto raw = [](double v) { return std::floor(v * 255.0 + 0.5); };
        return makePixel<Pixel>(raw(a), raw(r), raw(g), raw(b));
    } else if constexpr (std::is_same_v<Pixel, PF_Pixel16>) {
        return makePixel<Pixel>(a * 32768, r * 32768, g * 32768, b * 32768);
    } else {
        return makePixel<Pixel>(a, r, g, b);
    }
}

// A unit value as a 16-bit channel, rounded to nearest and clamped (white is 32768).
inline double raw16(double unit) {
    return std::clamp(std::floor(unit * 32768.0 + 0.5), 0.0, 32768.0);
}

// A world whose rows are longer than its width; the extra pixels hold a marker that no
// operation may change.
template <typename Pixel>
class TestWorld {
public:
    // padding extra pixels at the end of every row.
    TestWorld(A_long width, A_long height, A_long padding = 3)
        : m_stride(width + padding),
          m_pixels(static_cast<std::size_t>(m_stride * height), marker()) {
        world.data = reinterpret_cast<PF_PixelPtr>(m_pixels.data());
        world.rowbytes = m_stride * static_cast<A_long>(sizeof(Pixel));
        world.width = width;
        world.height = height;
    }

    TestWorld(const TestWorld&) = delete;
    TestWorld& operator=(const TestWorld&) = delete;

    static Pixel marker() { return makePixel<Pixel>(7, 3, 5, 9); }

    Pixel& at(A_long x, A_long y) { return m_pixels[static_cast<std::size_t>(y * m_stride + x)]; }

    void fill(const Pixel& p) {
        for (A_long y = 0; y < world.height; ++y) {
            for (A_long x = 0; x < world.width; ++x) {
                at(x, y) = p;
            }
        }
    }

    // Gives every pixel of the world its own opaque colour, from the pixel's position and salt.
    void pattern(int salt) {
        for (A_long y = 0; y < world.height; ++y) {
            for (A_long x = 0; x < world.width; ++x) {
                const double v = 10 * y + x + salt;
                if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
                    at(x, y) = makePixel<Pixel>(1, v / 64, v / 128, v / 256);
                } else if constexpr (std::is_same_v<Pixel, PF_Pixel16>) {
                    at(x, y) = makePixel<Pixel>(32768, v * 256, v * 256 + 1, v * 256 + 2);
                } else {
                    at(x, y) = makePixel<Pixel>(255, v, v + 1, v + 2);
                }
            }
        }
    }

    bool paddingIntact() const {
        for (A_long y = 0; y < world.height; ++y) {
            for (A_long x = world.width; x < m_stride; ++x) {
                if (argb(m_pixels[static_cast<std::size_t>(y * m_stride + x)]) != argb(marker())) {
                    return false;
                }
            }
        }
        return true;
    }

    std::vector<Pixel> pixels() const { return m_pixels; }

    PF_EffectWorld world{};

private:
    A_long m_stride;
    std::vector<Pixel> m_pixels;
};

inline PF_CompositeMode compositeMode(PF_TransferMode xfer, A_u_char opacity = 255,
                                      A_u_short opacitySu = 32768, bool rgbOnly = false,
                                      A_long seed = 0) {
    PF_CompositeMode mode{};
    mode.xfer = xfer;
    mode.rand_seed = seed;
    mode.opacity = opacity;
    mode.rgb_only = rgbOnly ? 1 : 0;
    mode.opacitySu = opacitySu;
    return mode;
}

// Composites one source pixel onto one backdrop pixel and returns the result.
template <typename Pixel>
Pixel compositeOne(const Pixel& backdrop, const Pixel& source, const PF_CompositeMode& mode) {
    TestWorld<Pixel> src(1, 1);
    TestWorld<Pixel> dst(1, 1);
    src.at(0, 0) = source;
    dst.at(0, 0) = backdrop;
    EXPECT_EQ(
        OfflineHost::transferRect(src.world, nullptr, mode, 0, 0, dst.world, Depth<Pixel>::host),
        PF_Err_NONE);
    return dst.at(0, 0);
}

} // namespace CompositeTest
