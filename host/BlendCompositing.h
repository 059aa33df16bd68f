#pragma once

// Compositing a blended source over a backdrop, straight alpha, after the W3C Compositing and
// Blending recommendation (source-over). With as the source alpha times the opacity and ab the
// backdrop alpha:
//   ao = as + ab (1 - as)
//   co = (as (1 - ab) s + as ab B(b, s) + (1 - as) ab b) / ao
// A pixel whose as is 0 is left exactly as it was.

#include "BlendPixel.h"
#include "BlendSeparable.h"
#include "CompositeWorld.h"

#include <cstdint>

namespace OfflineHost::Blend {

template <typename Mode>
Rgb blendColor(const Rgb& b, const Rgb& s) {
    if constexpr (requires { Mode::channel(0.0f, 0.0f); }) {
        return {Mode::channel(b.red, s.red), Mode::channel(b.green, s.green),
                Mode::channel(b.blue, s.blue)};
    } else {
        return Mode::blend(b, s);
    }
}

// Source-over with the blend function Mode.
template <typename Mode>
struct Over {
    // The source alpha that the destination pixel (x, y) receives.
    float coverage(float as, A_long, A_long) const { return as; }
    float alpha(float as, float ab) const { return as + ab - as * ab; }
    // B(b, s), held to 0..1 where the destination's depth cannot hold more.
    template <typename Pixel>
    Rgb blend(const Rgb& b, const Rgb& s) const {
        if constexpr (requires { Mode::exceedsUnitRange; } && !Depth<Pixel>::holdsOverbright) {
            return clampRgb(blendColor<Mode>(b, s));
        } else {
            return blendColor<Mode>(b, s);
        }
    }
};

// Alpha add: colour as normal source-over, alpha min(1, as + ab).
struct AlphaAdd : Over<Normal> {
    float alpha(float as, float ab) const {
        const float a = as + ab;
        return a < 1.0f ? a : 1.0f;
    }
};

// Dissolve: the destination pixel (x, y) takes the source at full alpha, as normal
// source-over, when a hash of (x, y, seed) in [0, 1) lies below as, and stays unchanged
// otherwise.
class Dissolve : public Over<Normal> {
public:
    explicit Dissolve(A_long seed) : _seed(static_cast<std::uint32_t>(seed)) {}

    float coverage(float as, A_long x, A_long y) const {
        std::uint32_t h = _mix(_seed + 0x9E3779B9u);
        h = _mix(h ^ static_cast<std::uint32_t>(x));
        h = _mix(h ^ static_cast<std::uint32_t>(y));
        return static_cast<float>(h >> 8) * (1.0f / 16777216.0f) < as ? 1.0f : 0.0f;
    }

private:
    // A bijective 32-bit mixer (the MurmurHash3 finaliser).
    static std::uint32_t _mix(std::uint32_t h) {
        h ^= h >> 16;
        h *= 0x85EBCA6Bu;
        h ^= h >> 13;
        h *= 0xC2B2AE35u;
        h ^= h >> 16;
        return h;
    }

    std::uint32_t _seed;
};

// Composites span.width x span.height source pixels onto the destination rows with the
// compositing operator op (Over, AlphaAdd or Dissolve); rgbOnly keeps the destination's alpha.
template <typename Pixel, typename Op>
void compositeRows(const PixelRows& src, const PixelRows& dst, const Span& span, float opacity,
                   bool rgbOnly, const Op& op) {
    for (A_long y = 0; y < span.height; ++y) {
        const Pixel* s = src.row<const Pixel>(y);
        Pixel* d = dst.row<Pixel>(y);
        for (A_long x = 0; x < span.width; ++x) {
            const float as = op.coverage(unitAlpha(s[x]) * opacity, span.dstX + x, span.dstY + y);
            if (!(as > 0.0f)) {
                continue;
            }
            const float ab = unitAlpha(d[x]);
            const Rgb cs = unitColor(s[x]);
            const Rgb cb = unitColor(d[x]);
            const Rgb mixed = op.template blend<Pixel>(cb, cs);
            const float both = as * ab;
            const float onlySource = as - both;
            const float onlyBackdrop = ab - both;
            const float scale = 1.0f / (as + onlyBackdrop);
            const auto weigh = [&](float source, float blended, float backdrop) {
                return (onlySource * source + both * blended + onlyBackdrop * backdrop) * scale;
            };
            storeColor(Rgb{weigh(cs.red, mixed.red, cb.red), weigh(cs.green, mixed.green, cb.green),
                           weigh(cs.blue, mixed.blue, cb.blue)},
                       d[x]);
            if (!rgbOnly) {
                storeAlpha(op.alpha(as, ab), d[x]);
            }
        }
    }
}

} // namespace OfflineHost::Blend
