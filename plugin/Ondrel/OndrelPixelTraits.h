// Per-depth facts of the host's three pixel types (depth code, channel type, full scale) and the
// one place where values become channels and back. ColorFloat's conversions, aePixel8/16/32, the
// drawers' pixel loop, Blend::normal and a composite's opacity all go through these, so the depths
// differ only here.
#pragma once

#include "AE_Effect.h"

namespace Ondrel {

// Depth codes, as Layer::getBPC() and SourceInfo::getBPC() report them.
inline constexpr int bpc8 = 0;
inline constexpr int bpc16 = 1;
inline constexpr int bpc32 = 2;

// How a value becomes an integer channel: times the full scale M, plus 0.5, limited to 0..M and
// truncated, which rounds half up. Pixels depend bit for bit on the precision of that sum, so
// each caller names its mode. Float channels take the value as it is in every mode.
enum class Rounding {
    // v * M + 0.5 in the value's own type: ColorFloat's conversion members, so the drawers' float
    // colours round in single precision.
    inValueType,
    // v * M in the value's own type, the 0.5 added in double: aePixel8/16, and the drawers'
    // coverages, which are doubles already.
    inDouble,
    // v already in channel units: only limited and truncated (the conversions' normalized false).
    none,
    // v * M in double, truncated without the half: the opacity of a composite handed to
    // transfer_rect, at 8 and 16 bits alike.
    truncated,
};

namespace Detail {

// Limits v to [0, max] and truncates it. Anything that is not >= 0 (NaN included) gives 0, so the
// float-to-integer conversion is always defined.
template <typename Channel, typename F>
constexpr Channel clampTruncate(F v, F max) {
    if (!(v >= F(0))) {
        return Channel(0);
    }
    if (v > max) {
        return static_cast<Channel>(max);
    }
    return static_cast<Channel>(v);
}

// Integer channels count from 0 to the full scale M: 255 at 8 bits, 32768 (white) at 16 bits.
template <typename Channel, int M, int Depth>
struct IntegerPixelTraits {
    using ChannelType = Channel;
    static constexpr int bpc = Depth;
    static constexpr Channel fullScale = M;

    template <Rounding R, typename T>
    static constexpr Channel fromValue(T v) {
        if constexpr (R == Rounding::inValueType) {
            return clampTruncate<Channel>(v * T(M) + T(0.5), T(M));
        } else if constexpr (R == Rounding::inDouble) {
            return clampTruncate<Channel>(static_cast<double>(v * T(M)) + 0.5,
                                          static_cast<double>(M));
        } else if constexpr (R == Rounding::truncated) {
            return clampTruncate<Channel>(static_cast<double>(v) * M, static_cast<double>(M));
        } else {
            return clampTruncate<Channel>(static_cast<double>(v), static_cast<double>(M));
        }
    }
    // c / M in T (a division, not a multiplication by the reciprocal, so that every 8-bit value
    // rounds back to itself); exact at 16 bits, where M is a power of two.
    template <typename T>
    static constexpr T toUnit(Channel c) {
        return static_cast<T>(c) / static_cast<T>(M);
    }
};

} // namespace Detail

template <typename Pixel>
struct PixelTraits;

template <>
struct PixelTraits<PF_Pixel> : Detail::IntegerPixelTraits<A_u_char, 255, bpc8> {};

template <>
struct PixelTraits<PF_Pixel16> : Detail::IntegerPixelTraits<A_u_short, 32768, bpc16> {};

// Float channels keep any value, overbright and negative ones included.
template <>
struct PixelTraits<PF_PixelFloat> {
    using ChannelType = PF_FpShort;
    static constexpr int bpc = bpc32;
    static constexpr PF_FpShort fullScale = 1.0f;

    template <Rounding, typename T>
    static constexpr PF_FpShort fromValue(T v) {
        return static_cast<PF_FpShort>(v);
    }
    template <typename T>
    static constexpr T toUnit(PF_FpShort c) {
        return static_cast<T>(c);
    }
};

} // namespace Ondrel
