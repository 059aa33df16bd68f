#pragma once

// Pixels of every depth as straight unit-range colours, so that each blend formula is written
// once: 8 bits map 0..255 to 0..1, 16 bits map 0..32768 to 0..1, float is taken as it is.

#include "AE_EffectCB.h"

#include <algorithm>

namespace OfflineHost::Blend {

struct Rgb {
    float red, green, blue;
};

struct UnitPixel {
    float alpha;
    Rgb color;
};

template <typename Pixel>
struct Depth;

// Integer depths: reading divides by the white value; writing rounds to nearest and clamps to
// the channel's range (NaN becomes 0).
template <typename Channel, int White>
struct IntegerDepth {
    static constexpr bool holdsOverbright = false;

    static float unit(Channel c) { return static_cast<float>(c) * (1.0f / White); }

    static Channel raw(float v) {
        constexpr float white = static_cast<float>(White);
        // max(0, NaN) is 0; min and max rather than comparisons keep the loop free of branches
        return static_cast<Channel>(std::min(std::max(0.0f, v * white), white) + 0.5f);
    }
};

template <>
struct Depth<PF_Pixel> : IntegerDepth<A_u_char, 255> {
    static float opacity(const PF_CompositeMode& mode) { return mode.opacity * (1.0f / 255); }
};

template <>
struct Depth<PF_Pixel16> : IntegerDepth<A_u_short, 32768> {
    static float opacity(const PF_CompositeMode& mode) {
        const float o = mode.opacitySu * (1.0f / 32768);
        return o < 1.0f ? o : 1.0f;
    }
};

// Float: colours pass unchanged, overbright and negative values included; only alpha is held to
// 0..1 on reading, because compositing weights by it.
template <>
struct Depth<PF_PixelFloat> {
    static constexpr bool holdsOverbright = true;

    static float unit(float c) { return c; }
    static float raw(float v) { return v; }
    static float opacity(const PF_CompositeMode& mode) { return Depth<PF_Pixel16>::opacity(mode); }
};

template <typename Pixel>
float unitAlpha(const Pixel& p) {
    const float a = Depth<Pixel>::unit(p.alpha);
    return a > 0.0f ? (a < 1.0f ? a : 1.0f) : 0.0f;
}

template <typename Pixel>
Rgb unitColor(const Pixel& p) {
    using D = Depth<Pixel>;
    return {D::unit(p.red), D::unit(p.green), D::unit(p.blue)};
}

template <typename Pixel>
void storeColor(const Rgb& c, Pixel& p) {
    using D = Depth<Pixel>;
    p.red = D::raw(c.red);
    p.green = D::raw(c.green);
    p.blue = D::raw(c.blue);
}

template <typename Pixel>
void storeAlpha(float a, Pixel& p) {
    p.alpha = Depth<Pixel>::raw(a);
}

} // namespace OfflineHost::Blend
