// The host's three pixel types: each one's depth as the module (Layer::getBPC) and the host
// (PixelDepth) name it and its white, the full channel; pixels built from four channel values and
// compared byte for byte.
#pragma once

#include "AE_Effect.h"
#include "Ondrel/OndrelPixelTraits.h"
#include "host/pixels/PixelDepth.h"

#include <gtest/gtest.h>

#include <cstring>

namespace TestSupport {

template <typename Pixel>
struct Depth;

template <>
struct Depth<PF_Pixel> {
    static constexpr int bpc = Ondrel::bpc8;
    static constexpr OfflineHost::PixelDepth host = OfflineHost::PixelDepth::Bits8;
    static constexpr double white = 255.0;
};
template <>
struct Depth<PF_Pixel16> {
    static constexpr int bpc = Ondrel::bpc16;
    static constexpr OfflineHost::PixelDepth host = OfflineHost::PixelDepth::Bits16;
    static constexpr double white = 32768.0;
};
template <>
struct Depth<PF_PixelFloat> {
    static constexpr int bpc = Ondrel::bpc32;
    static constexpr OfflineHost::PixelDepth host = OfflineHost::PixelDepth::Float32;
    static constexpr double white = 1.0;
};

// For typed tests that run at every depth.
using PixelTypes = ::testing::Types<PF_Pixel, PF_Pixel16, PF_PixelFloat>;

// The pixel of these channel values, each converted to the pixel's channel type as static_cast
// converts it.
template <typename Pixel>
Pixel makePixel(auto alpha, auto red, auto green, auto blue) {
    using C = decltype(Pixel::alpha);
    Pixel p{};
    p.alpha = static_cast<C>(alpha);
    p.red = static_cast<C>(red);
    p.green = static_cast<C>(green);
    p.blue = static_cast<C>(blue);
    return p;
}

// The same bytes, and both pixels' channels where they differ.
template <typename Pixel>
::testing::AssertionResult samePixel(const Pixel& actual, const Pixel& expected) {
    if (std::memcmp(&actual, &expected, sizeof(Pixel)) == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "got (" << +actual.alpha << ", " << +actual.red << ", " << +actual.green << ", "
           << +actual.blue << "), expected (" << +expected.alpha << ", " << +expected.red << ", "
           << +expected.green << ", " << +expected.blue << ")";
}

} // namespace TestSupport
