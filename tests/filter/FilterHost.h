// An offline host instance with an open command context for running drawers directly, and the
// per-depth facts the filter tests compute their expected pixels from.
#pragma once

#include "Ondrel/Filter/OndrelIterateFilter.h"
#include "Ondrel/OndrelLayer.h"
#include "host/EffectInstance.h"
#include "host/World.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace FilterTests {

using OfflineHost::PixelDepth;

template <typename Pixel>
struct Depth;

// Coverage a and colour channel c as the drawers must write them: a * M + 0.5 in double, c * M +
// 0.5 in float, each clamped to 0..M and truncated; float pixels take both as they are.
template <>
struct Depth<PF_Pixel> {
    static constexpr int bpc = Ondrel::bpc8;
    static constexpr PixelDepth host = PixelDepth::Bits8;
    static A_u_char alpha(double a) { return static_cast<A_u_char>(clampM(a * 255.0 + 0.5, 255)); }
    static A_u_char channel(float c) {
        return static_cast<A_u_char>(clampM(static_cast<double>(c * 255.0f + 0.5f), 255));
    }
    static double clampM(double v, double m) { return v < 0 ? 0 : (v > m ? m : std::trunc(v)); }
};
template <>
struct Depth<PF_Pixel16> {
    static constexpr int bpc = Ondrel::bpc16;
    static constexpr PixelDepth host = PixelDepth::Bits16;
    static A_u_short alpha(double a) {
        return static_cast<A_u_short>(Depth<PF_Pixel>::clampM(a * 32768.0 + 0.5, 32768));
    }
    static A_u_short channel(float c) {
        return static_cast<A_u_short>(
            Depth<PF_Pixel>::clampM(static_cast<double>(c * 32768.0f + 0.5f), 32768));
    }
};
template <>
struct Depth<PF_PixelFloat> {
    static constexpr int bpc = Ondrel::bpc32;
    static constexpr PixelDepth host = PixelDepth::Float32;
    static float alpha(double a) { return static_cast<float>(a); }
    static float channel(float c) { return c; }
};

// A pixel of colour (red, green, blue) with the given coverage as alpha.
template <typename Pixel>
Pixel coveredPixel(double coverage, float red, float green, float blue) {
    Pixel p{};
    p.alpha = Depth<Pixel>::alpha(coverage);
    p.red = Depth<Pixel>::channel(red);
    p.green = Depth<Pixel>::channel(green);
    p.blue = Depth<Pixel>::channel(blue);
    return p;
}

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

class HostFixture {
protected:
    OfflineHost::EffectInstance host{nullptr};
    OfflineHost::EffectInstance::Context context = host.context();

    PF_InData* in() { return context.in(); }
    PF_OutData* out() { return context.out(); }

    // Region, then a cleared scratch layer of its size at the source's depth, then the drawer's
    // "draw" pass through the host's iterate suite.
    template <typename Drawer>
    Ondrel::Layer render(Drawer& drawer, Ondrel::Layer& source, Ondrel::Rect& region) {
        region = drawer.calcRegion(source);
        Ondrel::Layer scratch(in(), out(), region.getWidth(), region.getHeight(), source.getBPC());
        EXPECT_EQ(scratch.getError(), PF_Err_NONE);
        EXPECT_EQ(Ondrel::IterateFilter(in(), "draw", source, scratch, drawer), PF_Err_NONE);
        return scratch;
    }
};

} // namespace FilterTests
