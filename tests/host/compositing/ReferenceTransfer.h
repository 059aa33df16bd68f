#pragma once

// transfer_rect evaluated straightforwardly, one destination pixel at a time, written apart from
// the host's code: its own clipping, its own addressing of pixels, its own reading and writing of
// channels and its own statement of every blend function, so that the host's block-wise,
// vectorised loops, its clipping and its staging of a source that overlaps the destination are
// each held to something they do not share.
//
// - Clipping: the source rectangle (the whole source world without one), cut to the source world,
//   is moved so that its top-left corner lands on (dstX, dstY): source pixel (sx, sy) lands on
//   (dstX + sx - left, dstY + sy - top). Only pixels that land inside the destination world are
//   composited, and every source pixel is read as it was before any pixel is written (the source
//   may be the destination itself).
// - Reading: a channel c is the unit value c * (1 / white), white being 255 at 8 bits and 32768 at
//   16 bits (compositing multiplies by the reciprocal, which differs from dividing in the last bit
//   of some values); a float channel is taken as it is. Alphas are then held to 0..1, NaN as 0;
//   colours are not held, so 16-bit values above white and float overbright ones stay as they are.
// - Coverage: as = source alpha x opacity, the opacity being opacity / 255 at 8 bits and
//   min(1, opacitySu / 32768) at 16 bits and in float. Dissolve makes as 1 where a hash of the
//   destination position and the seed, in [0, 1), lies below it, and 0 elsewhere.
// - A destination pixel whose as is not above 0 keeps its bytes. Every other one takes the
//   source-over of the mode's blend function B(b, s), with ab the backdrop alpha:
//     ao = as + ab - as ab                  (alpha add: min(1, as + ab))
//     co = (as (1 - ab) s + as ab B(b, s) + (1 - as) ab b) / ao
//   The float results are compared bit for bit, so each sum and product is formed as the host
//   forms it: as (1 - ab) as as - as ab, (1 - as) ab as ab - as ab, the division as a product with
//   1 / ao, and so on in each blend function below.
// - Writing: an integer channel takes v x white held to 0..white (NaN as 0), plus one half,
//   truncated; a float channel takes v. rgb_only keeps the backdrop's alpha as it was.

#include "AE_EffectCB.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <vector>

namespace CompositeTest {

struct ReferenceRgb {
    float red, green, blue;
};

inline float referenceClamp01(float v) {
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; // NaN fails both comparisons: 0
}

// std::min's and std::max's choices, kept where NaN can reach them: the first argument unless
// the second compares smaller (larger).
inline float referenceMin(float a, float b) {
    return b < a ? b : a;
}
inline float referenceMax(float a, float b) {
    return a < b ? b : a;
}

// ---------------------------------------------------------------------------------------------
// The blend functions B(b, s) of one channel (b backdrop, s source, unit values), as the W3C
// Compositing and Blending recommendation defines them where it defines the mode and as image
// editors classically do for the others. nullopt: a mode that is not separable or not
// composited.

inline float referenceMultiply(float b, float s) {
    return b * s;
}
inline float referenceScreen(float b, float s) {
    return b + s - b * s;
}
inline float referenceHardLight(float b, float s) {
    return s <= 0.5f ? referenceMultiply(b, 2.0f * s) : referenceScreen(b, 2.0f * s - 1.0f);
}
// W3C colour dodge and burn, which vivid light is made of.
inline float referenceDodge(float b, float s) {
    if (b <= 0.0f) {
        return 0.0f;
    }
    return s >= 1.0f ? 1.0f : referenceMin(1.0f, b / (1.0f - s));
}
inline float referenceBurn(float b, float s) {
    if (b >= 1.0f) {
        return 1.0f;
    }
    return s <= 0.0f ? 0.0f : 1.0f - referenceMin(1.0f, (1.0f - b) / s);
}

inline std::optional<float> referenceSeparable(PF_TransferMode xfer, float b, float s) {
    switch (xfer) {
    case PF_Xfer_IN_FRONT:
    case PF_Xfer_DISSOLVE:
    case PF_Xfer_ALPHA_ADD:
        return s;
    case PF_Xfer_ADD:
        return b + s;
    case PF_Xfer_MULTIPLY:
        return referenceMultiply(b, s);
    case PF_Xfer_SCREEN:
        return referenceScreen(b, s);
    case PF_Xfer_OVERLAY: // hard light with the two exchanged
        return referenceHardLight(s, b);
    case PF_Xfer_HARD_LIGHT:
        return referenceHardLight(b, s);
    case PF_Xfer_SOFT_LIGHT: {
        if (s <= 0.5f) {
            return b - (1.0f - 2.0f * s) * b * (1.0f - b);
        }
        const float d = b <= 0.25f ? ((16.0f * b - 12.0f) * b + 4.0f) * b : std::sqrt(b);
        return b + (2.0f * s - 1.0f) * (d - b);
    }
    case PF_Xfer_DARKEN:
        return referenceMin(b, s);
    case PF_Xfer_LIGHTEN:
        return referenceMax(b, s);
    case PF_Xfer_DIFFERENCE: // classic: of values held to 0..1
        return std::fabs(referenceClamp01(b) - referenceClamp01(s));
    case PF_Xfer_DIFFERENCE2:
        return std::fabs(b - s);
    case PF_Xfer_EXCLUSION:
        return b + s - 2.0f * b * s;
    case PF_Xfer_COLOR_DODGE: { // classic: a full source gives 1 even over a backdrop of 0
        const float cs = referenceClamp01(s);
        return cs >= 1.0f ? 1.0f : referenceClamp01(referenceClamp01(b) / (1.0f - cs));
    }
    case PF_Xfer_COLOR_BURN: { // classic: a source of 0 gives 0 even over a backdrop of 1
        const float cs = referenceClamp01(s);
        return cs <= 0.0f ? 0.0f : referenceClamp01(1.0f - (1.0f - referenceClamp01(b)) / cs);
    }
    case PF_Xfer_COLOR_DODGE2:
        return referenceDodge(b, s);
    case PF_Xfer_COLOR_BURN2:
        return referenceBurn(b, s);
    case PF_Xfer_LINEAR_DODGE:
        return referenceMin(1.0f, b + s);
    case PF_Xfer_LINEAR_BURN:
        return referenceMax(0.0f, b + s - 1.0f);
    case PF_Xfer_LINEAR_LIGHT:
        return referenceClamp01(b + 2.0f * s - 1.0f);
    case PF_Xfer_VIVID_LIGHT:
        return s <= 0.5f ? referenceBurn(b, 2.0f * s) : referenceDodge(b, 2.0f * s - 1.0f);
    case PF_Xfer_PIN_LIGHT:
        return s <= 0.5f ? referenceMin(b, 2.0f * s) : referenceMax(b, 2.0f * s - 1.0f);
    case PF_Xfer_HARD_MIX:
        return b + s >= 1.0f ? 1.0f : 0.0f;
    default:
        return std::nullopt;
    }
}

// ---------------------------------------------------------------------------------------------
// The non-separable blend functions of whole colours (W3C; luminosity weights 0.3, 0.59, 0.11),
// defined inside the gamut: both colours are held to 0..1 first.

inline ReferenceRgb referenceClampRgb(const ReferenceRgb& c) {
    return {referenceClamp01(c.red), referenceClamp01(c.green), referenceClamp01(c.blue)};
}

inline float referenceLum(const ReferenceRgb& c) {
    return 0.3f * c.red + 0.59f * c.green + 0.11f * c.blue;
}

inline float referenceLowest(const ReferenceRgb& c) {
    return std::min({c.red, c.green, c.blue});
}
inline float referenceHighest(const ReferenceRgb& c) {
    return std::max({c.red, c.green, c.blue});
}

inline float referenceSat(const ReferenceRgb& c) {
    return referenceHighest(c) - referenceLowest(c);
}

// Each channel moved towards l by the factor k: l + (c - l) k.
inline ReferenceRgb referenceTowards(const ReferenceRgb& c, float l, float k) {
    return {l + (c.red - l) * k, l + (c.green - l) * k, l + (c.blue - l) * k};
}

// ClipColor: a colour pulled into the gamut towards its own luminosity, below 0 and then above 1
// (the lowest and highest channel, and the luminosity, are those of the colour handed in).
inline ReferenceRgb referenceClipColor(ReferenceRgb c) {
    const float l = referenceLum(c);
    const float lowest = referenceLowest(c);
    const float highest = referenceHighest(c);
    if (lowest < 0.0f && l > lowest) {
        c = referenceTowards(c, l, l / (l - lowest));
    }
    if (highest > 1.0f && highest > l) {
        c = referenceTowards(c, l, (1.0f - l) / (highest - l));
    }
    return c;
}

// SetLum: every channel shifted by the same amount to luminosity l, then clipped.
inline ReferenceRgb referenceSetLum(const ReferenceRgb& c, float l) {
    const float d = l - referenceLum(c);
    return referenceClipColor({c.red + d, c.green + d, c.blue + d});
}

// SetSat: the lowest channel becomes 0, the highest s and the middle one in proportion; a grey
// becomes black. Channels of equal value keep their order red, green, blue from low to high.
inline ReferenceRgb referenceSetSat(const ReferenceRgb& c, float s) {
    std::array<float, 3> v{c.red, c.green, c.blue};
    std::array<int, 3> order{0, 1, 2};
    std::stable_sort(order.begin(), order.end(), [&v](int i, int j) { return v[i] < v[j]; });
    const int lowest = order[0];
    const int middle = order[1];
    const int highest = order[2];
    std::array<float, 3> out{};
    if (v[highest] > v[lowest]) {
        out[middle] = (v[middle] - v[lowest]) * s / (v[highest] - v[lowest]);
        out[highest] = s;
    }
    out[lowest] = 0.0f;
    return {out[0], out[1], out[2]};
}

// ---------------------------------------------------------------------------------------------

// B(b, s) of the mode for whole colours; nullopt for a mode the host does not composite. An
// 8- or 16-bit world cannot hold add's results above 1, which are held to 1 before the mix.
inline std::optional<ReferenceRgb> referenceBlend(PF_TransferMode xfer, const ReferenceRgb& b,
                                                  const ReferenceRgb& s, bool holdsOverbright) {
    switch (xfer) {
    case PF_Xfer_HUE: {
        const ReferenceRgb cb = referenceClampRgb(b);
        return referenceSetLum(referenceSetSat(referenceClampRgb(s), referenceSat(cb)),
                               referenceLum(cb));
    }
    case PF_Xfer_SATURATION: {
        const ReferenceRgb cb = referenceClampRgb(b);
        return referenceSetLum(referenceSetSat(cb, referenceSat(referenceClampRgb(s))),
                               referenceLum(cb));
    }
    case PF_Xfer_COLOR:
        return referenceSetLum(referenceClampRgb(s), referenceLum(referenceClampRgb(b)));
    case PF_Xfer_LUMINOSITY:
        return referenceSetLum(referenceClampRgb(b), referenceLum(referenceClampRgb(s)));
    default:
        break;
    }
    const auto red = referenceSeparable(xfer, b.red, s.red);
    const auto green = referenceSeparable(xfer, b.green, s.green);
    const auto blue = referenceSeparable(xfer, b.blue, s.blue);
    if (!red || !green || !blue) {
        return std::nullopt;
    }
    ReferenceRgb c{*red, *green, *blue};
    if (xfer == PF_Xfer_ADD && !holdsOverbright) {
        c = {referenceMin(1.0f, c.red), referenceMin(1.0f, c.green), referenceMin(1.0f, c.blue)};
    }
    return c;
}

// Dissolve's hash of the destination pixel (x, y) and the seed, in [0, 1): the MurmurHash3
// finaliser applied to seed + 0x9E3779B9, then to that xor x, then to that xor y; its top 24
// bits over 2^24.
inline std::uint32_t referenceMix(std::uint32_t h) {
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

inline float referenceDissolveHash(A_long seed, A_long x, A_long y) {
    std::uint32_t h = referenceMix(static_cast<std::uint32_t>(seed) + 0x9E3779B9u);
    h = referenceMix(h ^ static_cast<std::uint32_t>(x));
    h = referenceMix(h ^ static_cast<std::uint32_t>(y));
    return static_cast<float>(h >> 8) * (1.0f / 16777216.0f);
}

// ---------------------------------------------------------------------------------------------
// Channels of each depth as unit values and back, and the composite's opacity.

template <typename Pixel>
constexpr bool referenceIsFloat = std::is_same_v<Pixel, PF_PixelFloat>;

template <typename Pixel>
constexpr float referenceWhite = std::is_same_v<Pixel, PF_Pixel> ? 255.0f : 32768.0f;

template <typename Pixel>
float referenceRead(decltype(Pixel::alpha) c) {
    if constexpr (referenceIsFloat<Pixel>) {
        return c;
    } else {
        return static_cast<float>(c) * (1.0f / referenceWhite<Pixel>);
    }
}

template <typename Pixel>
decltype(Pixel::alpha) referenceWrite(float v) {
    if constexpr (referenceIsFloat<Pixel>) {
        return v;
    } else {
        constexpr float white = referenceWhite<Pixel>;
        const float scaled = v * white;
        const float low = scaled > 0.0f ? scaled : 0.0f; // NaN: 0
        const float held = low < white ? low : white;
        return static_cast<decltype(Pixel::alpha)>(static_cast<int>(held + 0.5f));
    }
}

template <typename Pixel>
float referenceOpacity(const PF_CompositeMode& mode) {
    if constexpr (std::is_same_v<Pixel, PF_Pixel>) {
        return static_cast<float>(mode.opacity) * (1.0f / 255.0f);
    } else {
        const float o = static_cast<float>(mode.opacitySu) * (1.0f / 32768.0f);
        return o < 1.0f ? o : 1.0f;
    }
}

// Pixel (x, y) of a world: rowbytes from one row to the next, whatever the width.
template <typename Pixel>
Pixel* referencePixel(const PF_EffectWorld& world, A_long x, A_long y) {
    auto* bytes = reinterpret_cast<unsigned char*>(world.data);
    return reinterpret_cast<Pixel*>(bytes + static_cast<std::ptrdiff_t>(y) * world.rowbytes +
                                    static_cast<std::ptrdiff_t>(x) * sizeof(Pixel));
}

// One source pixel composited onto one backdrop pixel with coverage as (above 0).
template <typename Pixel>
Pixel referenceComposite(const Pixel& source, const Pixel& backdrop, float as,
                         const PF_CompositeMode& mode) {
    const ReferenceRgb s{referenceRead<Pixel>(source.red), referenceRead<Pixel>(source.green),
                         referenceRead<Pixel>(source.blue)};
    const ReferenceRgb b{referenceRead<Pixel>(backdrop.red), referenceRead<Pixel>(backdrop.green),
                         referenceRead<Pixel>(backdrop.blue)};
    const float ab = referenceClamp01(referenceRead<Pixel>(backdrop.alpha));
    const ReferenceRgb mixed = *referenceBlend(mode.xfer, b, s, referenceIsFloat<Pixel>);

    const float both = as * ab;                         // as ab
    const float sourceOnly = as - both;                 // as (1 - ab)
    const float backdropOnly = ab - both;               // (1 - as) ab
    const float inverseAo = 1.0f / (as + backdropOnly); // 1 / ao
    const auto over = [&](float sc, float blended, float bc) {
        return (sourceOnly * sc + both * blended + backdropOnly * bc) * inverseAo;
    };
    Pixel out = backdrop;
    out.red = referenceWrite<Pixel>(over(s.red, mixed.red, b.red));
    out.green = referenceWrite<Pixel>(over(s.green, mixed.green, b.green));
    out.blue = referenceWrite<Pixel>(over(s.blue, mixed.blue, b.blue));
    if (mode.rgb_only == 0) {
        const float ao =
            mode.xfer == PF_Xfer_ALPHA_ADD ? referenceMin(1.0f, as + ab) : as + ab - as * ab;
        out.alpha = referenceWrite<Pixel>(ao);
    }
    return out;
}

// transfer_rect's contract. A mode the host does not composite is a bad parameter.
template <typename Pixel>
PF_Err referenceTransferRect(const PF_EffectWorld& src, const PF_LRect* srcRect,
                             const PF_CompositeMode& mode, A_long dstX, A_long dstY,
                             PF_EffectWorld& dst) {
    if (!referenceBlend(mode.xfer, {}, {}, true)) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const PF_LRect rect = srcRect ? *srcRect : PF_LRect{0, 0, src.width, src.height};
    const long long top = std::max<long long>(rect.top, 0);
    const long long bottom = std::min<long long>(rect.bottom, src.height);
    const long long left = std::max<long long>(rect.left, 0);
    const long long right = std::min<long long>(rect.right, src.width);

    // Every source pixel as it is before anything is written, with the place it lands on.
    struct Landing {
        Pixel source;
        A_long x, y;
    };
    std::vector<Landing> landings;
    for (long long sy = top; sy < bottom; ++sy) {
        for (long long sx = left; sx < right; ++sx) {
            const long long x = dstX + (sx - rect.left);
            const long long y = dstY + (sy - rect.top);
            if (x >= 0 && x < dst.width && y >= 0 && y < dst.height) {
                landings.push_back(
                    {*referencePixel<Pixel>(src, static_cast<A_long>(sx), static_cast<A_long>(sy)),
                     static_cast<A_long>(x), static_cast<A_long>(y)});
            }
        }
    }

    const float opacity = referenceOpacity<Pixel>(mode);
    for (const Landing& l : landings) {
        float as = referenceClamp01(referenceRead<Pixel>(l.source.alpha)) * opacity;
        if (mode.xfer == PF_Xfer_DISSOLVE) {
            as = referenceDissolveHash(mode.rand_seed, l.x, l.y) < as ? 1.0f : 0.0f;
        }
        if (!(as > 0.0f)) {
            continue;
        }
        Pixel& d = *referencePixel<Pixel>(dst, l.x, l.y);
        d = referenceComposite(l.source, d, as, mode);
    }
    return PF_Err_NONE;
}

} // namespace CompositeTest
