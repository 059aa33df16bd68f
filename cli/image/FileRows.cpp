#include "cli/image/FileRows.h"

#include "cli/image/Pixels.h"

#include <cstdint>
#include <limits>
#include <type_traits>

namespace OndrelCli {

using OfflineHost::PixelDepth;
using OfflineHost::PixelTraits;
using OfflineHost::World;

namespace {

template <typename Channel>
constexpr std::size_t valueCount = static_cast<std::size_t>(std::numeric_limits<Channel>::max()) +
                                   1;

// For every value of a world's integer channel, the value a file of type Stored holds: the unit
// float by the exact conversion, converted by OpenImageIO.
template <typename Pixel, typename Stored>
const std::vector<Stored>& fileValues() {
    static const std::vector<Stored> table = [] {
        using Channel = typename PixelTraits<Pixel>::Channel;
        std::vector<float> units(valueCount<Channel>);
        for (std::size_t c = 0; c < units.size(); ++c) {
            units[c] = PixelTraits<Pixel>::unit(static_cast<Channel>(c));
        }
        std::vector<Stored> values(units.size());
        OIIO::convert_pixel_values(OIIO::TypeDesc::FLOAT, units.data(),
                                   OIIO::TypeDescFromC<Stored>::value(), values.data(),
                                   static_cast<int>(units.size()));
        return values;
    }();
    return table;
}

// For every value of a file's integer channel of type Stored, the world's channel: OpenImageIO's
// unit float, by the exact conversion.
template <typename Stored, typename Pixel>
const std::vector<typename PixelTraits<Pixel>::Channel>& worldValues() {
    using Channel = typename PixelTraits<Pixel>::Channel;
    static const std::vector<Channel> table = [] {
        std::vector<Stored> stored(valueCount<Stored>);
        for (std::size_t v = 0; v < stored.size(); ++v) {
            stored[v] = static_cast<Stored>(v);
        }
        std::vector<float> units(stored.size());
        OIIO::convert_pixel_values(OIIO::TypeDescFromC<Stored>::value(), stored.data(),
                                   OIIO::TypeDesc::FLOAT, units.data(),
                                   static_cast<int>(stored.size()));
        std::vector<Channel> values(units.size());
        for (std::size_t v = 0; v < units.size(); ++v) {
            values[v] = static_cast<Channel>(PixelTraits<Pixel>::channel(units[v]));
        }
        return values;
    }();
    return table;
}

// Calls f with the channel count, 3 or 4, as a constant.
template <typename F>
void withChannels(int channels, F&& f) {
    if (channels == 4) {
        f(std::integral_constant<int, 4>{});
    } else {
        f(std::integral_constant<int, 3>{});
    }
}

template <typename Pixel, typename Stored, int Channels>
void packIntegers(const World& world, A_long top, A_long count, Stored* out) {
    const Stored* table = fileValues<Pixel, Stored>().data();
    for (A_long y = top; y < top + count; ++y) {
        const Pixel* p = worldRow<Pixel>(world, y);
        for (A_long x = 0; x < world.width(); ++x, out += Channels) {
            out[0] = table[p[x].red];
            out[1] = table[p[x].green];
            out[2] = table[p[x].blue];
            if constexpr (Channels == 4) {
                out[3] = table[p[x].alpha];
            }
        }
    }
}

// Unit floats; for float worlds the channels themselves.
template <typename Pixel, int Channels, bool Associated>
void packUnits(const World& world, A_long top, A_long count, float* out) {
    using Traits = PixelTraits<Pixel>;
    for (A_long y = top; y < top + count; ++y) {
        const Pixel* p = worldRow<Pixel>(world, y);
        for (A_long x = 0; x < world.width(); ++x, out += Channels) {
            const float alpha = Traits::unit(p[x].alpha);
            out[0] = Traits::unit(p[x].red);
            out[1] = Traits::unit(p[x].green);
            out[2] = Traits::unit(p[x].blue);
            if constexpr (Associated) {
                out[0] *= alpha;
                out[1] *= alpha;
                out[2] *= alpha;
            }
            if constexpr (Channels == 4) {
                out[3] = alpha;
            }
        }
    }
}

template <typename Stored, typename Pixel>
void unpack(const Stored* data, int channels, const ChannelSources& sources, World& world,
            A_long top, A_long count) {
    using Traits = PixelTraits<Pixel>;
    using Channel = typename Traits::Channel;
    const Channel* table = worldValues<Stored, Pixel>().data();
    const Channel absent[4] = {
        static_cast<Channel>(Traits::channel(0.0f)), static_cast<Channel>(Traits::channel(0.0f)),
        static_cast<Channel>(Traits::channel(0.0f)), static_cast<Channel>(Traits::channel(1.0f))};
    const int* from = sources.index;
    for (A_long y = top; y < top + count; ++y) {
        Pixel* p = worldRow<Pixel>(world, y);
        for (A_long x = 0; x < world.width(); ++x, data += channels) {
            Channel v[4];
            for (int c = 0; c < 4; ++c) {
                v[c] = from[c] >= 0 ? table[data[from[c]]] : absent[c];
            }
            p[x] = Pixel{v[3], v[0], v[1], v[2]};
        }
    }
}

bool isInteger(const OIIO::TypeDesc& type) {
    return type == OIIO::TypeDesc::UINT8 || type == OIIO::TypeDesc::UINT16;
}

} // namespace

OIIO::TypeDesc packRows(const World& world, A_long top, A_long count, const FileLayout& layout,
                        std::vector<std::byte>& out) {
    const auto values = static_cast<std::size_t>(world.width()) * static_cast<std::size_t>(count) *
                        static_cast<std::size_t>(layout.channels);
    const bool integers =
        world.depth() != PixelDepth::Float32 && isInteger(layout.type) && !layout.associated;
    out.resize(values * (integers ? layout.type.size() : sizeof(float)));
    OfflineHost::withPixelType(world.depth(), [&](auto pixel) {
        using Pixel = decltype(pixel);
        withChannels(layout.channels, [&](auto channels) {
            constexpr int n = decltype(channels)::value;
            if constexpr (!std::is_same_v<Pixel, PF_PixelFloat>) {
                if (integers && layout.type == OIIO::TypeDesc::UINT8) {
                    packIntegers<Pixel, std::uint8_t, n>(
                        world, top, count, reinterpret_cast<std::uint8_t*>(out.data()));
                    return;
                }
                if (integers) {
                    packIntegers<Pixel, std::uint16_t, n>(
                        world, top, count, reinterpret_cast<std::uint16_t*>(out.data()));
                    return;
                }
            }
            auto* floats = reinterpret_cast<float*>(out.data());
            if (layout.associated) {
                packUnits<Pixel, n, true>(world, top, count, floats);
            } else {
                packUnits<Pixel, n, false>(world, top, count, floats);
            }
        });
        return PF_Err_NONE;
    });
    return integers ? layout.type : OIIO::TypeDesc::FLOAT;
}

bool unpacksDirectly(const FileLayout& layout) {
    return isInteger(layout.type) && !layout.associated;
}

void unpackRows(const std::byte* data, const FileLayout& layout, const ChannelSources& sources,
                World& world, A_long top, A_long count) {
    OfflineHost::withPixelType(world.depth(), [&](auto pixel) {
        using Pixel = decltype(pixel);
        if (layout.type == OIIO::TypeDesc::UINT8) {
            unpack<std::uint8_t, Pixel>(reinterpret_cast<const std::uint8_t*>(data),
                                        layout.channels, sources, world, top, count);
        } else {
            unpack<std::uint16_t, Pixel>(reinterpret_cast<const std::uint16_t*>(data),
                                         layout.channels, sources, world, top, count);
        }
        return PF_Err_NONE;
    });
}

} // namespace OndrelCli
