#include "Composite.h"
#include "CompositeWorld.h"

#include <algorithm>
#include <cstring>

namespace OfflineHost {

PF_Err fillRect(PF_EffectWorld& dst, const PF_LRect* rect, const void* pixel, PixelDepth depth) {
    return withPixelType(depth, [&](auto value) -> PF_Err {
        using Pixel = decltype(value);
        if (pixel == nullptr || !isUsable<Pixel>(dst)) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        std::memcpy(&value, pixel, sizeof(Pixel));
        const PF_LRect area = rect ? *rect : worldRect(dst);
        const Span span = clipSpan(area, dst, area.left, area.top, worldRect(dst));
        const PixelRows into = rowsAt(dst, span.dstX, span.dstY, sizeof(Pixel));
        for (A_long y = 0; y < span.height; ++y) {
            std::fill_n(into.row<Pixel>(y), span.width, value);
        }
        return PF_Err_NONE;
    });
}

} // namespace OfflineHost
