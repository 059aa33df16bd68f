#include "host/pixels/WorldRows.h"

#include <algorithm>
#include <cstring>

namespace OfflineHost {
namespace {

struct AxisSpan {
    A_long src = 0, dst = 0, length = 0;
};

// One axis of clipSpan. Computed in 64 bits so that offsets near the ends of A_long cannot
// overflow.
AxisSpan clipAxis(A_long srcLo, A_long srcHi, A_long srcSize, A_long dstLo, A_long boundLo,
                  A_long boundHi) {
    const long long offset = static_cast<long long>(dstLo) - srcLo;
    const long long lo = std::max({static_cast<long long>(srcLo), 0LL, boundLo - offset});
    const long long hi = std::min(
        {static_cast<long long>(srcHi), static_cast<long long>(srcSize), boundHi - offset});
    if (hi <= lo) {
        return {};
    }
    return {static_cast<A_long>(lo), static_cast<A_long>(lo + offset),
            static_cast<A_long>(hi - lo)};
}

// First and one-past-last byte that the world's pixels occupy.
struct ByteExtent {
    std::uintptr_t begin = 0, end = 0;
};

ByteExtent extentOf(const PF_EffectWorld& world, std::size_t pixelBytes) {
    const auto begin = reinterpret_cast<std::uintptr_t>(world.data);
    if (world.width <= 0 || world.height <= 0) {
        return {begin, begin};
    }
    const auto lastRow = static_cast<std::uintptr_t>(world.rowbytes) * (world.height - 1);
    return {begin, begin + lastRow + static_cast<std::uintptr_t>(world.width) * pixelBytes};
}

} // namespace

PF_LRect worldRect(const PF_EffectWorld& world) {
    return {0, 0, world.width, world.height};
}

Span clipSpan(const PF_LRect& srcRect, const PF_EffectWorld& src, A_long dstX, A_long dstY,
              const PF_LRect& dstBounds) {
    const AxisSpan x =
        clipAxis(srcRect.left, srcRect.right, src.width, dstX, dstBounds.left, dstBounds.right);
    const AxisSpan y =
        clipAxis(srcRect.top, srcRect.bottom, src.height, dstY, dstBounds.top, dstBounds.bottom);
    if (x.length == 0 || y.length == 0) {
        return {};
    }
    return {x.src, y.src, x.dst, y.dst, x.length, y.length};
}

PixelRows rowsAt(const PF_EffectWorld& world, A_long x, A_long y, std::size_t pixelBytes) {
    auto* base = static_cast<std::byte*>(static_cast<void*>(world.data));
    const std::ptrdiff_t rowBytes = world.rowbytes;
    return {base + y * rowBytes + static_cast<std::ptrdiff_t>(x * pixelBytes), rowBytes};
}

PixelRows sourceRows(const PF_EffectWorld& src, const PF_EffectWorld& dst, const Span& span,
                     std::size_t pixelBytes, std::vector<std::byte>& staging) {
    const PixelRows rows = rowsAt(src, span.srcX, span.srcY, pixelBytes);
    const ByteExtent a = extentOf(src, pixelBytes);
    const ByteExtent b = extentOf(dst, pixelBytes);
    if (a.begin >= b.end || b.begin >= a.end) {
        return rows;
    }
    const std::size_t stagedRowBytes = static_cast<std::size_t>(span.width) * pixelBytes;
    staging.resize(stagedRowBytes * static_cast<std::size_t>(span.height));
    for (A_long y = 0; y < span.height; ++y) {
        std::memcpy(staging.data() + y * static_cast<std::ptrdiff_t>(stagedRowBytes),
                    rows.row<std::byte>(y), stagedRowBytes);
    }
    return {staging.data(), static_cast<std::ptrdiff_t>(stagedRowBytes)};
}

} // namespace OfflineHost
