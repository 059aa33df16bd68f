#include "host/compositing/Composite.h"
#include "host/pixels/WorldRows.h"

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
        if (span.empty()) {
            return PF_Err_NONE;
        }
        const PixelRows into = rowsAt(dst, span.dstX, span.dstY, sizeof(Pixel));
        const std::size_t rowBytes = static_cast<std::size_t>(span.width) * sizeof(Pixel);
        // A pixel of one repeated byte (transparent black, for one) is set with memset, over all
        // rows at once when no padding lies between them; any other pixel fills the first row
        // and is copied from there, which is as fast as memset.
        const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
        if (std::all_of(bytes, bytes + sizeof(Pixel),
                        [&](unsigned char b) { return b == bytes[0]; })) {
            if (static_cast<std::size_t>(into.rowBytes) == rowBytes) {
                std::memset(into.first, bytes[0], rowBytes * static_cast<std::size_t>(span.height));
            } else {
                for (A_long y = 0; y < span.height; ++y) {
                    std::memset(into.row<std::byte>(y), bytes[0], rowBytes);
                }
            }
            return PF_Err_NONE;
        }
        std::fill_n(into.row<Pixel>(0), span.width, value);
        for (A_long y = 1; y < span.height; ++y) {
            std::memcpy(into.row<std::byte>(y), into.row<std::byte>(0), rowBytes);
        }
        return PF_Err_NONE;
    });
}

} // namespace OfflineHost
