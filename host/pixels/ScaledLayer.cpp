#include "host/pixels/ScaledLayer.h"

#include "host/pixels/WorldRows.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace OfflineHost {

A_long scaledSource(A_long i, A_long size, const PF_RationalScale& scale) {
    const long long index = ((2LL * i + 1) * scale.den) / (2LL * scale.num);
    return static_cast<A_long>(std::min<long long>(index, size - 1));
}

void scaleDown(const World& layer, const PF_RationalScale& scaleX, const PF_RationalScale& scaleY,
               World& into) {
    const PF_EffectWorld& src = layer.effectWorld();
    PF_EffectWorld& dst = into.effectWorld();
    const std::size_t bytes = pixelBytes(layer.depth());
    const auto rowOf = [](const PF_EffectWorld& world, A_long y) {
        // Row offsets in a layer of more than 2 GB exceed A_long.
        return static_cast<std::byte*>(static_cast<void*>(world.data)) +
               static_cast<std::ptrdiff_t>(y) * world.rowbytes;
    };
    std::vector<A_long> columns(static_cast<std::size_t>(dst.width));
    for (A_long x = 0; x < dst.width; ++x) {
        columns[static_cast<std::size_t>(x)] = scaledSource(x, src.width, scaleX);
    }
    const bool wholeRows = dst.width <= src.width && unscaled(scaleX);
    withPixelType(layer.depth(), [&](auto pixel) -> PF_Err {
        using Pixel = decltype(pixel);
        for (A_long y = 0; y < dst.height; ++y) {
            const std::byte* from = rowOf(src, scaledSource(y, src.height, scaleY));
            std::byte* to = rowOf(dst, y);
            if (wholeRows) {
                std::memcpy(to, from, static_cast<std::size_t>(dst.width) * bytes);
                continue;
            }
            const auto* in = reinterpret_cast<const Pixel*>(from);
            auto* out = reinterpret_cast<Pixel*>(to);
            for (A_long x = 0; x < dst.width; ++x) {
                out[x] = in[columns[static_cast<std::size_t>(x)]];
            }
        }
        return PF_Err_NONE;
    });
}

} // namespace OfflineHost
