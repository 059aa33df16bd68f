#pragma once

// Compositing a blended source over a backdrop, straight alpha, after the W3C Compositing and
// Blending recommendation (source-over). With as the source alpha times the opacity and ab the
// backdrop alpha:
//   ao = as + ab (1 - as)
//   co = (as (1 - ab) s + as ab B(b, s) + (1 - as) ab b) / ao
// A pixel whose as is 0 is left exactly as it was.

#include "host/compositing/BlendPixel.h"
#include "host/compositing/BlendSeparable.h"
#include "host/pixels/WorldRows.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

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
    // Whether a source of alpha 1 simply replaces the destination.
    static constexpr bool opaqueSourceInFront = std::is_same_v<Mode, Normal>;

    // The source alpha that the destination pixel (x, y) receives.
    float coverage(float as, A_long, A_long) const { return as; }
    float alpha(float as, float ab) const { return as + ab - as * ab; }
    // B(b, s), held to at most 1 where the destination's depth cannot hold more (at those depths
    // no value falls below 0).
    template <typename Pixel>
    Rgb blend(const Rgb& b, const Rgb& s) const {
        if constexpr (requires { Mode::exceedsUnitRange; } && !Depth<Pixel>::holdsOverbright) {
            return atMostOne(blendColor<Mode>(b, s));
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
    explicit Dissolve(A_long seed) : m_seed(static_cast<std::uint32_t>(seed)) {}

    float coverage(float as, A_long x, A_long y) const {
        std::uint32_t h = _mix(m_seed + 0x9E3779B9u);
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

    std::uint32_t m_seed;
};

// Composites n source pixels s onto d with their coverage (the source alpha times the opacity,
// after op's coverage); a pixel whose coverage is not above 0 keeps its value. One loop without
// branches over 32-bit words, which the compiler vectorises four pixels at a time. The source
// never overlaps the destination (sourceRows stages a source that would).
template <typename Pixel, bool RgbOnly, typename Op>
void compositeBlock(const Pixel* __restrict s, Pixel* __restrict d,
                    const float* __restrict coverage, int n, const Op& op) {
    using W = Words<Pixel>;
    for (int i = 0; i < n; ++i) {
        const W source = W::of(s[i]);
        const W backdrop = W::of(d[i]);
        const float as = coverage[i];
        const float ab = backdrop.alpha();
        const Rgb cs = source.color();
        const Rgb cb = backdrop.color();
        const Rgb mixed = op.template blend<Pixel>(cb, cs);
        const float both = as * ab;
        const float onlySource = as - both;
        const float onlyBackdrop = ab - both;
        const float scale = 1.0f / (as + onlyBackdrop);
        const auto weigh = [&](float sc, float blended, float bc) {
            return (onlySource * sc + both * blended + onlyBackdrop * bc) * scale;
        };
        const W out = W::join(RgbOnly ? backdrop.part(0) : W::part(0, op.alpha(as, ab)),
                              W::part(1, weigh(cs.red, mixed.red, cb.red)),
                              W::part(2, weigh(cs.green, mixed.green, cb.green)),
                              W::part(3, weigh(cs.blue, mixed.blue, cb.blue)));
        W::choose(as > 0.0f, out, backdrop).store(d[i]);
    }
}

// Composites span.width x span.height source pixels onto the destination rows with the
// compositing operator op (Over, AlphaAdd or Dissolve); RgbOnly keeps the destination's alpha.
//
// Rows go in blocks: a block that the source does not cover is skipped, and a block that an opaque
// source covers in front (coverage exactly 1, blend function Normal) takes the source pixels as
// they are where that is exactly what the formula gives (Depth::takeOpaque; tests compare both
// ways pixel for pixel). Other blocks take the formula pixel by pixel.
//
// Kept out of line: inlined into the dispatch over modes, its float loops were no longer
// vectorised and took twice as long.
template <typename Pixel, bool RgbOnly, typename Op>
[[gnu::noinline]] void compositeRows(const PixelRows& src, const PixelRows& dst, const Span& span,
                                     float opacity, const Op& op) {
    constexpr int block = 64;
    constexpr bool storesOpaqueSource = Op::opaqueSourceInFront && !RgbOnly;
    float coverage[block];
    for (A_long y = 0; y < span.height; ++y) {
        for (A_long x = 0; x < span.width; x += block) {
            const Pixel* s = src.row<const Pixel>(y) + x;
            Pixel* d = dst.row<Pixel>(y) + x;
            const int n = span.width - x < block ? static_cast<int>(span.width - x) : block;
            int covered = 0;
            int opaque = 0;
            for (int i = 0; i < n; ++i) {
                const float as = op.coverage(Words<Pixel>::of(s[i]).alpha() * opacity,
                                             span.dstX + x + i, span.dstY + y);
                coverage[i] = as;
                covered += as > 0.0f ? 1 : 0;
                opaque += as == 1.0f ? 1 : 0;
            }
            if (covered == 0) {
                continue;
            }
            if constexpr (storesOpaqueSource) {
                if (opaque == n && Depth<Pixel>::takeOpaque(s, d, n)) {
                    for (int i = 0; i < n; ++i) {
                        d[i] = Depth<Pixel>::opaque(s[i]);
                    }
                    continue;
                }
            }
            compositeBlock<Pixel, RgbOnly>(s, d, coverage, n, op);
        }
    }
}

template <typename Pixel, typename Op>
void compositeRows(const PixelRows& src, const PixelRows& dst, const Span& span, float opacity,
                   bool rgbOnly, const Op& op) {
    if (rgbOnly) {
        compositeRows<Pixel, true>(src, dst, span, opacity, op);
    } else {
        compositeRows<Pixel, false>(src, dst, span, opacity, op);
    }
}

} // namespace OfflineHost::Blend
