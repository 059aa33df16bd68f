#pragma once

// Separable blend functions B(b, s) of one channel: b is the backdrop (destination) value, s the
// source value, both in unit range. They follow the W3C Compositing and Blending recommendation
// where it defines the mode; the other modes use the usual image-editing definitions. Nothing is
// clamped unless the formula says so, so float worlds keep overbright values.

#include "host/compositing/BlendPixel.h"

#include <algorithm>
#include <cmath>

namespace OfflineHost::Blend {

inline float clamp01(float v) {
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
}

// Each channel held to at most 1.
inline Rgb atMostOne(const Rgb& c) {
    const auto hold = [](float v) { return v < 1.0f ? v : 1.0f; };
    return {hold(c.red), hold(c.green), hold(c.blue)};
}

// s
struct Normal {
    static float channel(float, float s) { return s; }
};

// b + s, the one function that leaves 0..1 for backdrop and source inside it. A world that cannot
// hold values above 1 (8 and 16 bits) takes min(1, b + s) before the mix with the backdrop.
struct Add {
    static constexpr bool exceedsUnitRange = true;
    static float channel(float b, float s) { return b + s; }
};

// min(1, b + s)
struct LinearDodge {
    static float channel(float b, float s) { return std::min(1.0f, b + s); }
};

// max(0, b + s - 1)
struct LinearBurn {
    static float channel(float b, float s) { return std::max(0.0f, b + s - 1.0f); }
};

// b * s
struct Multiply {
    static float channel(float b, float s) { return b * s; }
};

// b + s - b * s
struct Screen {
    static float channel(float b, float s) { return b + s - b * s; }
};

// s <= 1/2 ? multiply(b, 2s) : screen(b, 2s - 1)
struct HardLight {
    static float channel(float b, float s) {
        return s <= 0.5f ? Multiply::channel(b, 2.0f * s) : Screen::channel(b, 2.0f * s - 1.0f);
    }
};

// hard light with backdrop and source exchanged
struct Overlay {
    static float channel(float b, float s) { return HardLight::channel(s, b); }
};

// W3C: s <= 1/2 ? b - (1 - 2s) b (1 - b) : b + (2s - 1)(D(b) - b), D(b) = b <= 1/4 ?
// ((16b - 12) b + 4) b : sqrt(b)
struct SoftLight {
    static float channel(float b, float s) {
        if (s <= 0.5f) {
            return b - (1.0f - 2.0f * s) * b * (1.0f - b);
        }
        const float d = b <= 0.25f ? ((16.0f * b - 12.0f) * b + 4.0f) * b : std::sqrt(b);
        return b + (2.0f * s - 1.0f) * (d - b);
    }
};

// W3C: b == 0 ? 0 : s == 1 ? 1 : min(1, b / (1 - s))
struct ColorDodge {
    static float channel(float b, float s) {
        if (b <= 0.0f) {
            return 0.0f;
        }
        return s >= 1.0f ? 1.0f : std::min(1.0f, b / (1.0f - s));
    }
};

// W3C: b == 1 ? 1 : s == 0 ? 0 : 1 - min(1, (1 - b) / s)
struct ColorBurn {
    static float channel(float b, float s) {
        if (b >= 1.0f) {
            return 1.0f;
        }
        return s <= 0.0f ? 0.0f : 1.0f - std::min(1.0f, (1.0f - b) / s);
    }
};

// Classic: clamp01(b / (1 - s)) of clamped values, s == 1 gives 1 (also where b == 0, unlike W3C)
struct ClassicColorDodge {
    static float channel(float b, float s) {
        const float cs = clamp01(s);
        return cs >= 1.0f ? 1.0f : clamp01(clamp01(b) / (1.0f - cs));
    }
};

// Classic: clamp01(1 - (1 - b) / s) of clamped values, s == 0 gives 0 (also where b == 1, unlike
// W3C)
struct ClassicColorBurn {
    static float channel(float b, float s) {
        const float cs = clamp01(s);
        return cs <= 0.0f ? 0.0f : clamp01(1.0f - (1.0f - clamp01(b)) / cs);
    }
};

// min(b, s)
struct Darken {
    static float channel(float b, float s) { return std::min(b, s); }
};

// max(b, s)
struct Lighten {
    static float channel(float b, float s) { return std::max(b, s); }
};

// |b - s|
struct Difference {
    static float channel(float b, float s) { return std::fabs(b - s); }
};

// Classic: |clamp01(b) - clamp01(s)|
struct ClassicDifference {
    static float channel(float b, float s) { return std::fabs(clamp01(b) - clamp01(s)); }
};

// b + s - 2 b s
struct Exclusion {
    static float channel(float b, float s) { return b + s - 2.0f * b * s; }
};

// clamp01(b + 2s - 1)
struct LinearLight {
    static float channel(float b, float s) { return clamp01(b + 2.0f * s - 1.0f); }
};

// s <= 1/2 ? colour burn(b, 2s) : colour dodge(b, 2s - 1), with the W3C burn and dodge
struct VividLight {
    static float channel(float b, float s) {
        return s <= 0.5f ? ColorBurn::channel(b, 2.0f * s)
                         : ColorDodge::channel(b, 2.0f * s - 1.0f);
    }
};

// s <= 1/2 ? min(b, 2s) : max(b, 2s - 1)
struct PinLight {
    static float channel(float b, float s) {
        return s <= 0.5f ? std::min(b, 2.0f * s) : std::max(b, 2.0f * s - 1.0f);
    }
};

// b + s >= 1 ? 1 : 0
struct HardMix {
    static float channel(float b, float s) { return b + s >= 1.0f ? 1.0f : 0.0f; }
};

} // namespace OfflineHost::Blend
