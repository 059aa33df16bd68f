#include "cli/serve/Rgba8.h"

#include <array>
#include <bit>
#include <cstring>
#include <vector>

namespace OndrelCli {

using OfflineHost::PixelTraits;
using OfflineHost::World;

namespace {

using Byte = PixelTraits<PF_Pixel>;

// Every 16-bit channel's byte, overbright values (above 32768) included.
const std::array<std::uint8_t, 65536>& bytesOf16() {
    static const auto table = [] {
        std::array<std::uint8_t, 65536> t{};
        for (std::size_t c = 0; c < t.size(); ++c) {
            t[c] = Byte::channel(PixelTraits<PF_Pixel16>::unit(static_cast<A_u_short>(c)));
        }
        return t;
    }();
    return table;
}

// Alpha, red, green, blue bytes to red, green, blue, alpha: each pixel's word turned by a byte.
void argbToRgba(const std::uint8_t* argb, std::uint8_t* rgba, A_long pixels) {
    for (A_long i = 0; i < pixels; ++i) {
        std::uint32_t word;
        std::memcpy(&word, argb + 4 * i, sizeof word);
        word = std::endian::native == std::endian::little ? std::rotr(word, 8) : std::rotl(word, 8);
        std::memcpy(rgba + 4 * i, &word, sizeof word);
    }
}

// Each row's channels to bytes in the world's order (alpha first), then turned into place.
template <typename Pixel, typename Convert>
void loadRows(const World& world, std::uint8_t* rgba, Convert convert) {
    using Channel = typename PixelTraits<Pixel>::Channel;
    const A_long width = world.width();
    std::vector<std::uint8_t> argb(4 * static_cast<std::size_t>(width));
    for (A_long y = 0; y < world.height(); ++y) {
        const auto* channels = reinterpret_cast<const Channel*>(&world.at<Pixel>(0, y));
        for (std::size_t i = 0; i < argb.size(); ++i) {
            argb[i] = convert(channels[i]);
        }
        argbToRgba(argb.data(), rgba + 4 * static_cast<std::size_t>(y) * width, width);
    }
}

} // namespace

void loadRgba8(const World& world, std::uint8_t* rgba) {
    if (world.width() == 0 || world.height() == 0) {
        return;
    }
    switch (world.depth()) {
    case OfflineHost::PixelDepth::Bits8:
        // Byte::channel(Byte::unit(c)) is c: the bytes only move.
        for (A_long y = 0; y < world.height(); ++y) {
            argbToRgba(reinterpret_cast<const std::uint8_t*>(&world.at<PF_Pixel>(0, y)),
                       rgba + 4 * static_cast<std::size_t>(y) * world.width(), world.width());
        }
        break;
    case OfflineHost::PixelDepth::Bits16: {
        const auto& table = bytesOf16();
        loadRows<PF_Pixel16>(world, rgba, [&](A_u_short c) { return table[c]; });
        break;
    }
    case OfflineHost::PixelDepth::Float32:
        loadRows<PF_PixelFloat>(world, rgba, [](float c) { return Byte::channel(c); });
        break;
    }
}

} // namespace OndrelCli
