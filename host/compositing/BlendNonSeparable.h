#pragma once

// Non-separable blend functions B(b, s) of whole colours, as the W3C Compositing and Blending
// recommendation defines them (luminosity weights 0.3, 0.59, 0.11). They are defined inside the
// colour gamut, so both colours are clamped to 0..1 first.

#include "host/compositing/BlendPixel.h"
#include "host/compositing/BlendSeparable.h"

#include <utility>

namespace OfflineHost::Blend {

inline Rgb clampRgb(const Rgb& c) {
    return {clamp01(c.red), clamp01(c.green), clamp01(c.blue)};
}

inline float lum(const Rgb& c) {
    return 0.3f * c.red + 0.59f * c.green + 0.11f * c.blue;
}

inline float sat(const Rgb& c) {
    return std::max({c.red, c.green, c.blue}) - std::min({c.red, c.green, c.blue});
}

// Pulls a colour into the gamut towards its own luminosity.
inline Rgb clipColor(Rgb c) {
    const float l = lum(c);
    const float n = std::min({c.red, c.green, c.blue});
    const float x = std::max({c.red, c.green, c.blue});
    if (n < 0.0f && l > n) {
        const float k = l / (l - n);
        c = {l + (c.red - l) * k, l + (c.green - l) * k, l + (c.blue - l) * k};
    }
    if (x > 1.0f && x > l) {
        const float k = (1.0f - l) / (x - l);
        c = {l + (c.red - l) * k, l + (c.green - l) * k, l + (c.blue - l) * k};
    }
    return c;
}

inline Rgb setLum(const Rgb& c, float l) {
    const float d = l - lum(c);
    return clipColor({c.red + d, c.green + d, c.blue + d});
}

inline Rgb setSat(Rgb c, float s) {
    float* lo = &c.red;
    float* mid = &c.green;
    float* hi = &c.blue;
    if (*lo > *mid) {
        std::swap(lo, mid);
    }
    if (*mid > *hi) {
        std::swap(mid, hi);
    }
    if (*lo > *mid) {
        std::swap(lo, mid);
    }
    if (*hi > *lo) {
        *mid = (*mid - *lo) * s / (*hi - *lo);
        *hi = s;
    } else {
        *mid = 0.0f;
        *hi = 0.0f;
    }
    *lo = 0.0f;
    return c;
}

// SetLum(SetSat(s, Sat(b)), Lum(b))
struct Hue {
    static Rgb blend(const Rgb& b, const Rgb& s) {
        const Rgb cb = clampRgb(b);
        return setLum(setSat(clampRgb(s), sat(cb)), lum(cb));
    }
};

// SetLum(SetSat(b, Sat(s)), Lum(b))
struct Saturation {
    static Rgb blend(const Rgb& b, const Rgb& s) {
        const Rgb cb = clampRgb(b);
        return setLum(setSat(cb, sat(clampRgb(s))), lum(cb));
    }
};

// SetLum(s, Lum(b))
struct Color {
    static Rgb blend(const Rgb& b, const Rgb& s) { return setLum(clampRgb(s), lum(clampRgb(b))); }
};

// SetLum(b, Lum(s))
struct Luminosity {
    static Rgb blend(const Rgb& b, const Rgb& s) { return setLum(clampRgb(b), lum(clampRgb(s))); }
};

} // namespace OfflineHost::Blend
