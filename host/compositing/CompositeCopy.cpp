#include "host/compositing/Composite.h"
#include "host/pixels/WorldRows.h"

#include <algorithm>
#include <cstring>

namespace OfflineHost {

PF_Err copyRect(const PF_EffectWorld& src, PF_EffectWorld& dst, const PF_LRect* srcRect,
                const PF_LRect* dstRect, PixelDepth depth) {
    return withPixelType(depth, [&](auto pixel) -> PF_Err {
        using Pixel = decltype(pixel);
        if (!isUsable<Pixel>(src) || !isUsable<Pixel>(dst)) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        const PF_LRect to = dstRect ? *dstRect : worldRect(dst);
        const PF_LRect bounds{std::max<A_long>(to.left, 0), std::max<A_long>(to.top, 0),
                              std::min(to.right, dst.width), std::min(to.bottom, dst.height)};
        const Span span =
            clipSpan(srcRect ? *srcRect : worldRect(src), src, to.left, to.top, bounds);
        if (span.empty()) {
            return PF_Err_NONE;
        }
        std::vector<std::byte> staging;
        const PixelRows from = sourceRows(src, dst, span, sizeof(Pixel), staging);
        const PixelRows into = rowsAt(dst, span.dstX, span.dstY, sizeof(Pixel));
        const std::size_t rowBytes = static_cast<std::size_t>(span.width) * sizeof(Pixel);
        // Rows without padding between them in both worlds go in one copy.
        if (static_cast<std::size_t>(from.rowBytes) == rowBytes &&
            static_cast<std::size_t>(into.rowBytes) == rowBytes) {
            std::memcpy(into.first, from.first, rowBytes * static_cast<std::size_t>(span.height));
            return PF_Err_NONE;
        }
        for (A_long y = 0; y < span.height; ++y) {
            std::memcpy(into.row<std::byte>(y), from.row<std::byte>(y), rowBytes);
        }
        return PF_Err_NONE;
    });
}

} // namespace OfflineHost
