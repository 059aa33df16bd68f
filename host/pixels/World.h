#pragma once

// Pixel worlds owned by the host: the input and output of a render, the worlds a module creates
// through the world suites, and the worlds tests build.

#include "host/pixels/PixelDepth.h"
#include "host/pixels/PixelTraits.h"

#include "AE_Effect.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

namespace OfflineHost {

// Bytes of one pixel at a depth: 4, 8 or 16.
std::size_t pixelBytes(PixelDepth depth);
// The depth as messages name it: "8-bit", "16-bit" or "float".
const char* depthLabel(PixelDepth depth);

// A world with its own pixels, created cleared (every byte zero, padding included).
//
// While a World lives its pixels are registered with the host, so every callback of every effect
// instance accepts its PF_EffectWorld (or a copy of that record) and knows its depth, which the
// record itself cannot tell for float worlds. Callbacks refuse worlds whose pixels no live World
// holds. Moving a World keeps the pixels and the registration; the record's address changes.
class World {
public:
    // extraRowBytes pads each row beyond width pixels; it must be a whole number of channels
    // (1, 2 or 4 bytes at 8 bits, 16 bits and float). originX and originY go into the record's
    // origin_x and origin_y. Throws HostError for negative sizes or misaligned padding.
    World(A_long width, A_long height, PixelDepth depth, A_long extraRowBytes = 0,
          A_long originX = 0, A_long originY = 0);
    // The same world inside guard bands: guardPixels rows above and below it and guardPixels
    // pixels left and right of every row, all filled with the byte guardByte, as is the row
    // padding. damagedGuard() tells whether anything wrote there.
    static World guarded(A_long width, A_long height, PixelDepth depth, A_long extraRowBytes = 0,
                         A_long originX = 0, A_long originY = 0);
    static constexpr A_long guardPixels = 4;
    static constexpr unsigned char guardByte = 0xA5;
    World(World&& other) noexcept;
    World& operator=(World&& other) noexcept;
    ~World();

    World(const World&) = delete;
    World& operator=(const World&) = delete;

    A_long width() const { return m_record.width; }
    A_long height() const { return m_record.height; }
    A_long rowBytes() const { return m_record.rowbytes; }
    PixelDepth depth() const { return m_depth; }

    // Where the first guard or padding byte that lost its pattern lies, as "row R, left of the
    // pixels", "row R, right of the pixels" or "row R" (R below 0 or from height on: the bands
    // above and below); nothing when all are intact or the world has no guards.
    std::optional<std::string> damagedGuard() const;

    // The record handed to modules.
    PF_EffectWorld& effectWorld() { return m_record; }
    const PF_EffectWorld& effectWorld() const { return m_record; }

    // Pixel (x, y); Pixel is PF_Pixel, PF_Pixel16 or PF_PixelFloat and must match the depth.
    // Throws HostError for a wrong type or a position outside the world.
    template <typename Pixel>
    Pixel& at(A_long x, A_long y) {
        return *reinterpret_cast<Pixel*>(_address(x, y, depthOf<Pixel>()));
    }
    template <typename Pixel>
    const Pixel& at(A_long x, A_long y) const {
        return *reinterpret_cast<const Pixel*>(
            const_cast<World*>(this)->_address(x, y, depthOf<Pixel>()));
    }

    template <typename Pixel>
    static constexpr PixelDepth depthOf() {
        return PixelTraits<Pixel>::depth;
    }

private:
    World(A_long width, A_long height, PixelDepth depth, A_long extraRowBytes, A_long originX,
          A_long originY, A_long guard);
    std::byte* _address(A_long x, A_long y, PixelDepth expected);
    void _release() noexcept;

    PixelDepth m_depth;
    A_long m_guard = 0; // pixels and rows of guard band on each side
    std::unique_ptr<std::byte[]> m_pixels;
    std::size_t m_bytes = 0;
    PF_EffectWorld m_record{};
};

// The depth of a world whose pixels, as its record describes them (data, width, height,
// rowbytes), lie inside a live World; nothing for a null or unknown world or one whose rows do
// not fit the World's pixels at that depth.
std::optional<PixelDepth> registeredDepth(const PF_EffectWorld* world);

} // namespace OfflineHost
