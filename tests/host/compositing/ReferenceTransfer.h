#pragma once

// The straightforward evaluation of transfer_rect, pixel by pixel, kept as the definition that
// the host's block-wise, vectorised loops must reproduce byte for byte: a pixel whose coverage is
// not above 0 is left as it was; every other pixel takes the source-over formula of
// BlendCompositing.h, stored with round-to-nearest and clamping at 8 and 16 bits.

#include "host/compositing/TransferModes.h"
#include "host/pixels/WorldRows.h"

#include <algorithm>
#include <type_traits>
#include <vector>

namespace CompositeTest {

template <typename Pixel>
auto referenceRaw(float v) {
    if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
        return v;
    } else {
        using Channel = decltype(Pixel::alpha);
        constexpr float white = std::is_same_v<Pixel, PF_Pixel> ? 255.0f : 32768.0f;
        return static_cast<Channel>(std::min(std::max(0.0f, v * white), white) + 0.5f);
    }
}

template <typename Pixel>
float referenceAlpha(const Pixel& p) {
    const float a = OfflineHost::Blend::Depth<Pixel>::unit(p.alpha);
    return a > 0.0f ? (a < 1.0f ? a : 1.0f) : 0.0f;
}

template <typename Pixel>
OfflineHost::Blend::Rgb referenceColor(const Pixel& p) {
    using D = OfflineHost::Blend::Depth<Pixel>;
    return {D::unit(p.red), D::unit(p.green), D::unit(p.blue)};
}

template <typename Pixel, typename Op>
void referenceCompositeRows(const OfflineHost::PixelRows& src, const OfflineHost::PixelRows& dst,
                            const OfflineHost::Span& span, float opacity, bool rgbOnly,
                            const Op& op) {
    using namespace OfflineHost::Blend;
    for (A_long y = 0; y < span.height; ++y) {
        const Pixel* s = src.row<const Pixel>(y);
        Pixel* d = dst.row<Pixel>(y);
        for (A_long x = 0; x < span.width; ++x) {
            const float as =
                op.coverage(referenceAlpha(s[x]) * opacity, span.dstX + x, span.dstY + y);
            if (!(as > 0.0f)) {
                continue;
            }
            const float ab = referenceAlpha(d[x]);
            const Rgb cs = referenceColor(s[x]);
            const Rgb cb = referenceColor(d[x]);
            const Rgb mixed = op.template blend<Pixel>(cb, cs);
            const float both = as * ab;
            const float onlySource = as - both;
            const float onlyBackdrop = ab - both;
            const float scale = 1.0f / (as + onlyBackdrop);
            const auto weigh = [&](float source, float blended, float backdrop) {
                return (onlySource * source + both * blended + onlyBackdrop * backdrop) * scale;
            };
            d[x].red = referenceRaw<Pixel>(weigh(cs.red, mixed.red, cb.red));
            d[x].green = referenceRaw<Pixel>(weigh(cs.green, mixed.green, cb.green));
            d[x].blue = referenceRaw<Pixel>(weigh(cs.blue, mixed.blue, cb.blue));
            if (!rgbOnly) {
                d[x].alpha = referenceRaw<Pixel>(op.alpha(as, ab));
            }
        }
    }
}

// transferRect's contract, evaluated straightforwardly (the clipping is the host's own).
template <typename Pixel>
PF_Err referenceTransferRect(const PF_EffectWorld& src, const PF_LRect* srcRect,
                             const PF_CompositeMode& mode, A_long dstX, A_long dstY,
                             PF_EffectWorld& dst) {
    using namespace OfflineHost;
    return withTransferMode(mode, [&](const auto& op) -> PF_Err {
        const Span span =
            clipSpan(srcRect ? *srcRect : worldRect(src), src, dstX, dstY, worldRect(dst));
        if (span.empty()) {
            return PF_Err_NONE;
        }
        std::vector<std::byte> staging;
        const PixelRows from = sourceRows(src, dst, span, sizeof(Pixel), staging);
        referenceCompositeRows<Pixel>(from, rowsAt(dst, span.dstX, span.dstY, sizeof(Pixel)), span,
                                      Blend::Depth<Pixel>::opacity(mode), mode.rgb_only != 0, op);
        return PF_Err_NONE;
    });
}

} // namespace CompositeTest
