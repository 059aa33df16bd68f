// How the drawers turn colours and coverages into pixels of each depth. Colours are converted once
// per band in single precision; coverages per pixel in double precision. Their alpha channel is
// left 0: coverage takes its place.
#pragma once

#include "AE_Effect.h"
#include "Ondrel/OndrelGeneral.h"
#include "Ondrel/OndrelLayer.h"

#include <algorithm>

namespace Ondrel {

template <typename Pixel>
struct DepthConversion;

// 8 and 16 bits: v = value * M + 0.5, then 0 below 0, M above M, else v truncated.
template <typename Pixel, typename Channel, int M, int Depth>
struct IntegerDepthConversion {
    static constexpr int bpc = Depth;

    static Pixel color(const ColorFloat<float>& c) {
        Pixel p{};
        p.red = _channel(c.red);
        p.green = _channel(c.green);
        p.blue = _channel(c.blue);
        return p;
    }
    static Channel fillAlpha(double coverage) { return _coverage(coverage); }
    static Channel strokeAlpha(double coverage) { return _coverage(coverage); }

private:
    static Channel _channel(float c) {
        return Detail::clampTruncate<Channel>(c * static_cast<float>(M) + 0.5f,
                                              static_cast<float>(M));
    }
    static Channel _coverage(double a) {
        return Detail::clampTruncate<Channel>(a * static_cast<double>(M) + 0.5,
                                              static_cast<double>(M));
    }
};

template <>
struct DepthConversion<PF_Pixel> : IntegerDepthConversion<PF_Pixel, A_u_char, 255, bpc8> {};

template <>
struct DepthConversion<PF_Pixel16> : IntegerDepthConversion<PF_Pixel16, A_u_short, 32768, bpc16> {};

// Float: colours are copied unlimited (overbright survives); only stroke coverage is limited to 1.
template <>
struct DepthConversion<PF_PixelFloat> {
    static constexpr int bpc = bpc32;

    static PF_PixelFloat color(const ColorFloat<float>& c) {
        PF_PixelFloat p{};
        p.red = c.red;
        p.green = c.green;
        p.blue = c.blue;
        return p;
    }
    static PF_FpShort fillAlpha(double coverage) { return static_cast<PF_FpShort>(coverage); }
    static PF_FpShort strokeAlpha(double coverage) {
        return std::min(static_cast<PF_FpShort>(coverage), 1.0f);
    }
};

} // namespace Ondrel
