#include "cli/image/Rgba8.h"

#include <array>

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

// Byte::channel of a float channel. Byte::channel rounds halves away from zero (std::lround),
// which for 0.5 to 255 adding a half and truncating also does, as the sum needs no more
// precision than the value. Below a half, the sum of the largest floats can round up to 1.
std::uint8_t byteOfFloat(float v) {
    const float scaled = v * Byte::white;
    const float low = 0.0f < scaled ? scaled : 0.0f; // NaN gives 0
    const float held = Byte::white < low ? Byte::white : low;
    return held < 0.5f ? 0 : static_cast<std::uint8_t>(static_cast<int>(held + 0.5f));
}

template <typename Pixel, typename Convert>
void loadRows(const World& world, std::uint8_t* rgba, Convert&& convert) {
    for (A_long y = 0; y < world.height(); ++y) {
        const Pixel* p = &world.at<Pixel>(0, y);
        std::uint8_t* out = rgba + 4 * static_cast<std::size_t>(y) * world.width();
        for (A_long x = 0; x < world.width(); ++x, out += 4) {
            out[0] = convert(p[x].red);
            out[1] = convert(p[x].green);
            out[2] = convert(p[x].blue);
            out[3] = convert(p[x].alpha);
        }
    }
}

} // namespace

void loadRgba8(const World& world, std::uint8_t* rgba) {
    if (world.width() == 0 || world.height() == 0) {
        return;
    }
    switch (world.depth()) {
    case OfflineHost::PixelDepth::Bits8:
        // Byte::channel(Byte::unit(c)) is c.
        loadRows<PF_Pixel>(world, rgba, [](A_u_char c) { return c; });
        break;
    case OfflineHost::PixelDepth::Bits16: {
        const auto& table = bytesOf16();
        loadRows<PF_Pixel16>(world, rgba, [&](A_u_short c) { return table[c]; });
        break;
    }
    case OfflineHost::PixelDepth::Float32:
        loadRows<PF_PixelFloat>(world, rgba, byteOfFloat);
        break;
    }
}

} // namespace OndrelCli
