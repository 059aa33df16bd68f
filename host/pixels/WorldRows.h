#pragma once

// What copying, filling and compositing share: checking a world before touching it, the pixel
// type of a depth, and the clipping of a rectangle moved from one world into another.

#include "host/pixels/PixelTraits.h"

#include "AE_EffectCB.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace OfflineHost {

// True when the world's pixels can be addressed as Pixel: data present and aligned, sizes not
// negative, rows at least width pixels long and a whole number of channels apart.
template <typename Pixel>
bool isUsable(const PF_EffectWorld& world) {
    constexpr auto channelBytes = static_cast<A_long>(sizeof(Pixel::alpha));
    return world.data != nullptr && world.width >= 0 && world.height >= 0 &&
           reinterpret_cast<std::uintptr_t>(world.data) % alignof(Pixel) == 0 &&
           world.rowbytes % channelBytes == 0 &&
           static_cast<long long>(world.rowbytes) >=
               static_cast<long long>(world.width) * static_cast<long long>(sizeof(Pixel));
}

// A block of pixels moved between two worlds, already clipped to both.
struct Span {
    A_long srcX = 0, srcY = 0;
    A_long dstX = 0, dstY = 0;
    A_long width = 0, height = 0;

    bool empty() const { return width <= 0 || height <= 0; }
};

PF_LRect worldRect(const PF_EffectWorld& world);

// Moves srcRect so that its top-left corner lands on (dstX, dstY), then keeps the part that lies
// inside src and inside dstBounds (which the caller has already limited to the destination).
Span clipSpan(const PF_LRect& srcRect, const PF_EffectWorld& src, A_long dstX, A_long dstY,
              const PF_LRect& dstBounds);

// Rows of pixels starting at one pixel, rowBytes apart.
struct PixelRows {
    std::byte* first = nullptr;
    std::ptrdiff_t rowBytes = 0;

    template <typename Pixel>
    Pixel* row(A_long y) const {
        return reinterpret_cast<Pixel*>(first + y * rowBytes);
    }
};

// The rows of world from pixel (x, y) on.
PixelRows rowsAt(const PF_EffectWorld& world, A_long x, A_long y, std::size_t pixelBytes);

// The span's source rows. When the source world shares memory with the destination, the span
// is copied to staging first so that writing the destination cannot change what is read.
PixelRows sourceRows(const PF_EffectWorld& src, const PF_EffectWorld& dst, const Span& span,
                     std::size_t pixelBytes, std::vector<std::byte>& staging);

} // namespace OfflineHost
