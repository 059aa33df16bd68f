#include "host/compositing/Composite.h"
#include "host/compositing/TransferModes.h"

namespace OfflineHost {

PF_Err transferRect(const PF_EffectWorld& src, const PF_LRect* srcRect,
                    const PF_CompositeMode& mode, A_long dstX, A_long dstY, PF_EffectWorld& dst,
                    PixelDepth depth) {
    return withPixelType(depth, [&](auto pixel) -> PF_Err {
        using Pixel = decltype(pixel);
        if (!isUsable<Pixel>(src) || !isUsable<Pixel>(dst)) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        return withTransferMode(mode, [&](const auto& op) -> PF_Err {
            const Span span =
                clipSpan(srcRect ? *srcRect : worldRect(src), src, dstX, dstY, worldRect(dst));
            if (span.empty()) {
                return PF_Err_NONE;
            }
            std::vector<std::byte> staging;
            const PixelRows from = sourceRows(src, dst, span, sizeof(Pixel), staging);
            Blend::compositeRows<Pixel>(from, rowsAt(dst, span.dstX, span.dstY, sizeof(Pixel)),
                                        span, Blend::Depth<Pixel>::opacity(mode),
                                        mode.rgb_only != 0, op);
            return PF_Err_NONE;
        });
    });
}

} // namespace OfflineHost
