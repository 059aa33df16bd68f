#pragma once

// The host's pixel family: for each pixel type, its channel, depth, white and the conversions
// between channel values and unit values (0..1 for 0..white). Every part of the host and of the
// command that turns channels into unit values or back goes through these traits.
//
// Two conversions, each where its rounding is wanted:
// - Conversion::Exact reads by dividing by white and writes by rounding to nearest, halves away
//   from zero (as std::lround does): correctly rounded, for image files and previews.
// - Conversion::Vectorised reads by multiplying by 1 / white and writes by adding a half and
//   truncating, both through value selects that the compiler turns into vector code: the
//   compositing loops. The two differ in the last bit of some reads and in a few writes that lie
//   within a rounding error of a half.
// Both write integer channels clamped to 0..white, NaN as 0; float channels pass unchanged.

#include "host/pixels/PixelDepth.h"

#include "AE_Effect.h"

#include <cmath>

namespace OfflineHost {

enum class Conversion { Exact, Vectorised };

template <typename Pixel>
struct PixelTraits;

template <typename ChannelType, int White, PixelDepth HostDepth>
struct IntegerPixelTraits {
    using Channel = ChannelType;
    static constexpr PixelDepth depth = HostDepth;
    static constexpr float white = static_cast<float>(White);
    // Whether the channel can hold values above white or below 0.
    static constexpr bool holdsOverbright = false;

    template <Conversion How = Conversion::Exact>
    static float unit(Channel c) {
        if constexpr (How == Conversion::Exact) {
            return static_cast<float>(c) / white;
        } else {
            return static_cast<float>(c) * (1.0f / white);
        }
    }

    // The channel value of v, as an int for Vectorised (which keeps the compiler's vector lanes
    // 32 bits wide).
    template <Conversion How = Conversion::Exact>
    static auto channel(float v) {
        // Selects of values, not std::min and std::max, which return references and so keep the
        // compiler from vectorising the pixel loops. 0 < NaN is false, so NaN becomes 0.
        const float scaled = v * white;
        const float low = 0.0f < scaled ? scaled : 0.0f;
        const float held = white < low ? white : low;
        if constexpr (How == Conversion::Exact) {
            // Halves away from zero as a select too: from 0.5 up to white, adding a half and
            // truncating rounds so, the sum needing no more precision than the value. Below a
            // half the sum of the largest floats rounds up to 1, so those are 0 apart.
            return static_cast<Channel>(static_cast<int>(held < 0.5f ? 0.0f : held + 0.5f));
        } else {
            return static_cast<int>(held + 0.5f);
        }
    }
};

template <>
struct PixelTraits<PF_Pixel> : IntegerPixelTraits<A_u_char, 255, PixelDepth::Bits8> {};

// 16-bit white is 32768, not 65535.
template <>
struct PixelTraits<PF_Pixel16> : IntegerPixelTraits<A_u_short, 32768, PixelDepth::Bits16> {};

// Float channels are unit values already, overbright and negative ones included.
template <>
struct PixelTraits<PF_PixelFloat> {
    using Channel = PF_FpShort;
    static constexpr PixelDepth depth = PixelDepth::Float32;
    static constexpr float white = 1.0f;
    static constexpr bool holdsOverbright = true;

    template <Conversion = Conversion::Exact>
    static float unit(float c) {
        return c;
    }
    template <Conversion = Conversion::Exact>
    static float channel(float v) {
        return v;
    }
};

// Calls f with a value of the depth's pixel type; an unknown depth is a bad parameter.
template <typename F>
PF_Err withPixelType(PixelDepth depth, F&& f) {
    switch (depth) {
    case PixelDepth::Bits8:
        return f(PF_Pixel{});
    case PixelDepth::Bits16:
        return f(PF_Pixel16{});
    case PixelDepth::Float32:
        return f(PF_PixelFloat{});
    }
    return PF_Err_BAD_CALLBACK_PARAM;
}

// The pixel of unit values alpha, red, green and blue.
template <typename Pixel, Conversion How = Conversion::Exact>
Pixel unitPixel(float alpha, float red, float green, float blue) {
    using T = PixelTraits<Pixel>;
    using Channel = typename T::Channel;
    return Pixel{static_cast<Channel>(T::template channel<How>(alpha)),
                 static_cast<Channel>(T::template channel<How>(red)),
                 static_cast<Channel>(T::template channel<How>(green)),
                 static_cast<Channel>(T::template channel<How>(blue))};
}

} // namespace OfflineHost
