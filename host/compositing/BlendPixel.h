#pragma once

// Pixels of every depth as straight unit-range colours, so that each blend formula is written
// once, through the host's pixel traits (Conversion::Vectorised): 8 bits map 0..255 to 0..1, 16
// bits map 0..32768 to 0..1, float is taken as it is.

#include "host/pixels/PixelTraits.h"

#include "AE_EffectCB.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace OfflineHost::Blend {

struct Rgb {
    float red, green, blue;
};

// 0..1; NaN becomes 0.
inline float clampUnit(float a) {
    return a > 0.0f ? (a < 1.0f ? a : 1.0f) : 0.0f;
}

// What compositing reads and writes at a depth.
template <typename Pixel>
struct Depth;

template <typename Pixel>
struct IntegerDepth : PixelTraits<Pixel> {
    using Traits = PixelTraits<Pixel>;
    using Channel = typename Traits::Channel;

    static float unit(Channel c) { return Traits::template unit<Conversion::Vectorised>(c); }

    // An alpha in 0..1. At 8 bits every value already is (255 reads as exactly 1).
    static float unitAlpha(Channel c) {
        if constexpr (Traits::white == std::numeric_limits<Channel>::max()) {
            return unit(c);
        } else {
            return clampUnit(unit(c));
        }
    }

    static int raw(float v) { return Traits::template channel<Conversion::Vectorised>(v); }

    // Whether compositing n source pixels of coverage 1 in front of the destination pixels stores
    // opaque(s): at 8 and 16 bits always, as the formula rounds to the source.
    static bool takeOpaque(const Pixel*, const Pixel*, int) { return true; }

    // The pixel that compositing a fully opaque source pixel in front stores: the source, with
    // alpha and colours held to white (values above white are not colours a world can hold).
    static Pixel opaque(const Pixel& s) {
        constexpr auto white = static_cast<Channel>(Traits::white);
        const auto hold = [](Channel c) { return c < white ? c : white; };
        return Pixel{white, hold(s.red), hold(s.green), hold(s.blue)};
    }
};

template <>
struct Depth<PF_Pixel> : IntegerDepth<PF_Pixel> {
    static float opacity(const PF_CompositeMode& mode) { return mode.opacity * (1.0f / 255); }
};

template <>
struct Depth<PF_Pixel16> : IntegerDepth<PF_Pixel16> {
    static float opacity(const PF_CompositeMode& mode) {
        const float o = mode.opacitySu * (1.0f / 32768);
        return o < 1.0f ? o : 1.0f;
    }
};

// Float: colours pass unchanged, overbright and negative values included; only alpha is held to
// 0..1 on reading, because compositing weights by it.
template <>
struct Depth<PF_PixelFloat> : PixelTraits<PF_PixelFloat> {
    static float unit(float c) { return c; }
    static float unitAlpha(float c) { return clampUnit(c); }
    static float raw(float v) { return v; }
    static float opacity(const PF_CompositeMode& mode) { return Depth<PF_Pixel16>::opacity(mode); }

    // Whether compositing n source pixels of coverage 1 in front of the destination pixels d
    // stores opaque(s). The formula gives the source exactly where every backdrop alpha is 1 too
    // and no colour is infinite or NaN (0 times those is NaN), and no source colour is negative
    // zero (-0 + 0 is +0).
    static bool takeOpaque(const PF_PixelFloat* s, const PF_PixelFloat* d, int n) {
        // v - v is 0 for a finite v, NaN otherwise. The tests give 0 or 1 and are combined with &
        // rather than &&: no branches, so that the compiler vectorises the loop.
        const auto finite = [](float v) { return static_cast<int>(v - v == 0.0f); };
        const auto nonzeroOrPositive = [](float v) {
            return static_cast<int>(std::bit_cast<std::uint32_t>(v) != 0x80000000u);
        };
        int exact = 0;
        for (int i = 0; i < n; ++i) {
            const int sourceExact = finite(s[i].red) & finite(s[i].green) & finite(s[i].blue) &
                                    nonzeroOrPositive(s[i].red) & nonzeroOrPositive(s[i].green) &
                                    nonzeroOrPositive(s[i].blue);
            const int backdropExact = static_cast<int>(d[i].alpha >= 1.0f) & finite(d[i].red) &
                                      finite(d[i].green) & finite(d[i].blue);
            exact += sourceExact & backdropExact;
        }
        return exact == n;
    }

    static PF_PixelFloat opaque(const PF_PixelFloat& s) { return {1.0f, s.red, s.green, s.blue}; }
};

// A pixel as unsigned 32-bit words, so that the compositing loops work on 32-bit lanes (four
// pixels to a vector) at every depth: 8 bits in one word, 16 bits in two, float in four. The
// channels lie in the order of the pixel's fields from the lowest bits up, as a little-endian
// machine stores them.
template <typename Pixel>
struct Words {
    static_assert(std::endian::native == std::endian::little, "pixel words are little-endian");
    using Channel = decltype(Pixel::alpha);
    static constexpr int bits = 8 * static_cast<int>(sizeof(Channel));
    static constexpr int perWord = 32 / bits;
    static constexpr int count = 4 / perWord;

    std::uint32_t word[count];

    // Word by word, since the compiler has no vector lanes for one 64- or 128-bit copy.
    static Words of(const Pixel& p) {
        Words w;
        const auto* bytes = reinterpret_cast<const unsigned char*>(&p);
        std::memcpy(&w.word[0], bytes, 4);
        if constexpr (count > 1) {
            std::memcpy(&w.word[1], bytes + 4, 4);
        }
        if constexpr (count > 2) {
            std::memcpy(&w.word[2], bytes + 8, 4);
            std::memcpy(&w.word[3], bytes + 12, 4);
        }
        return w;
    }

    void store(Pixel& p) const {
        auto* bytes = reinterpret_cast<unsigned char*>(&p);
        std::memcpy(bytes, &word[0], 4);
        if constexpr (count > 1) {
            std::memcpy(bytes + 4, &word[1], 4);
        }
        if constexpr (count > 2) {
            std::memcpy(bytes + 8, &word[2], 4);
            std::memcpy(bytes + 12, &word[3], 4);
        }
    }

    // Channel c (0 alpha, 1 red, 2 green, 3 blue) as it is stored.
    Channel channel(int c) const {
        const std::uint32_t w = word[c / perWord];
        if constexpr (std::is_same_v<Channel, float>) {
            return std::bit_cast<float>(w);
        } else {
            return static_cast<Channel>((w >> (c % perWord * bits)) & ((1u << bits) - 1u));
        }
    }

    // The colour channels and alpha as Depth reads them.
    Rgb color() const {
        using D = Depth<Pixel>;
        return {D::unit(channel(1)), D::unit(channel(2)), D::unit(channel(3))};
    }
    float alpha() const { return Depth<Pixel>::unitAlpha(channel(0)); }

    // Channel c's bits in its place, for a unit value as Depth::raw stores it.
    static std::uint32_t part(int c, float v) {
        if constexpr (std::is_same_v<Channel, float>) {
            return std::bit_cast<std::uint32_t>(v);
        } else {
            return static_cast<std::uint32_t>(Depth<Pixel>::raw(v)) << (c % perWord * bits);
        }
    }

    // Channel c's bits as they are here, in their place.
    std::uint32_t part(int c) const {
        if constexpr (std::is_same_v<Channel, float>) {
            return word[c];
        } else {
            return word[c / perWord] & (((1u << bits) - 1u) << (c % perWord * bits));
        }
    }

    // The words of four channels' parts. (Straight-line code, here and in choose(): the compiler
    // does not vectorise a loop that holds inner loops.)
    static Words join(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
        Words w{};
        w.word[0] = a;
        w.word[1 / perWord] |= r;
        w.word[2 / perWord] |= g;
        w.word[3 / perWord] |= b;
        return w;
    }

    // first where take is true, second otherwise.
    static Words choose(bool take, const Words& first, const Words& second) {
        Words w;
        w.word[0] = take ? first.word[0] : second.word[0];
        if constexpr (count > 1) {
            w.word[1] = take ? first.word[1] : second.word[1];
        }
        if constexpr (count > 2) {
            w.word[2] = take ? first.word[2] : second.word[2];
            w.word[3] = take ? first.word[3] : second.word[3];
        }
        return w;
    }
};

} // namespace OfflineHost::Blend
