// The yardsticks the host benchmark measures against, in the same process: memcpy and memset of a
// frame, a straight vectorised source-over, and the fused floor of a whole render.
//
// The source-over is the plain straight-alpha formula with no blend function, written so that the
// compiler vectorises it (no branches, value selects only; the file is built with
// -fno-trapping-math, which lets the compiler turn the selects into vector blends):
//   ao = as + ab (1 - as),  co = (as s + ab (1 - as) b) / ao
#pragma once

#include "host/pixels/PixelTraits.h"

#include "AE_EffectCB.h"

#include <cstddef>
#include <cstring>

namespace HostBench {

// Channels as compositing reads and writes them (the host's vectorised conversion).
template <typename Pixel>
struct Unit {
    using Traits = OfflineHost::PixelTraits<Pixel>;
    static float read(typename Traits::Channel c) {
        return Traits::template unit<OfflineHost::Conversion::Vectorised>(c);
    }
    static auto write(float v) {
        return static_cast<typename Traits::Channel>(
            Traits::template channel<OfflineHost::Conversion::Vectorised>(v));
    }
};

// s over b; inlined into the loops below, which the compiler then vectorises.
template <typename Pixel>
[[gnu::always_inline]] inline Pixel over(const Pixel& s, const Pixel& b) {
    using U = Unit<Pixel>;
    const float as = U::read(s.alpha);
    const float keep = U::read(b.alpha) * (1.0f - as);
    const float ao = as + keep;
    const float k = 1.0f / (ao > 1e-30f ? ao : 1e-30f);
    const float ws = as * k;
    const float wb = keep * k;
    return Pixel{U::write(ao), U::write(ws * U::read(s.red) + wb * U::read(b.red)),
                 U::write(ws * U::read(s.green) + wb * U::read(b.green)),
                 U::write(ws * U::read(s.blue) + wb * U::read(b.blue))};
}

// out[i] = src[i] over under[i], for n pixels.
template <typename Pixel>
void sourceOver(const Pixel* __restrict src, const Pixel* __restrict under, Pixel* __restrict out,
                std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = over(src[i], under[i]);
    }
}

// dst[i] = src[i] over dst[i], for n pixels.
template <typename Pixel>
void sourceOver(const Pixel* __restrict src, Pixel* __restrict dst, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        dst[i] = over(src[i], dst[i]);
    }
}

// A rectangle of pixels in a frame; right and bottom exclusive.
struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// Rows of pixels rowBytes apart.
struct Rows {
    std::byte* first;
    std::size_t rowBytes;

    template <typename Pixel>
    Pixel* row(int y) const {
        return reinterpret_cast<Pixel*>(first + static_cast<std::size_t>(y) * rowBytes);
    }
};

// The fused floor of a whole render: one pass that copies the input frame to the output and, on
// the way, composites a constant scratch of the shape's bounding box over it; no coverage maths.
template <typename Pixel>
void fusedFloor(const Rows& input, const Rows& output, int width, int height, const Box& box,
                const Rows& scratch) {
    const std::size_t left = static_cast<std::size_t>(box.left) * sizeof(Pixel);
    const std::size_t inside = static_cast<std::size_t>(box.width()) * sizeof(Pixel);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * sizeof(Pixel);
    for (int y = 0; y < height; ++y) {
        const Pixel* in = input.row<const Pixel>(y);
        Pixel* out = output.row<Pixel>(y);
        if (y < box.top || y >= box.bottom) {
            std::memcpy(out, in, rowBytes);
            continue;
        }
        std::memcpy(out, in, left);
        sourceOver(scratch.row<const Pixel>(y - box.top), in + box.left, out + box.left,
                   static_cast<std::size_t>(box.width()));
        std::memcpy(out + box.right, in + box.right, rowBytes - left - inside);
    }
}

} // namespace HostBench
