#pragma once

// A world's rows in the form an image file holds them, and a file's rows into a world.
//
// Every value is the one the straightforward evaluation gives: each channel to a unit float by
// the exact conversion (PixelTraits), colours multiplied by alpha where the file holds them so,
// and OpenImageIO's conversion between floats and the file's type. Integer channels take a
// table made once from that very evaluation of every channel value, and float channels are
// copied, so the common cases (8 bits to 8 bits, 16 to 16, float to float) cost a look-up per
// channel; the rest pass through unit floats for OpenImageIO to convert.

#include "host/pixels/World.h"

#include <OpenImageIO/imageio.h>

#include <cstddef>
#include <vector>

namespace OndrelCli {

// What a file holds for each pixel: `channels` values of `type`, red, green, blue and, when
// there are four, alpha; colours multiplied by alpha when `associated`.
struct FileLayout {
    OIIO::TypeDesc type = OIIO::TypeDesc::UINT8;
    int channels = 4;
    bool associated = false;
};

// Rows top to top + count - 1 of the world, as the file holds them, into `out` (resized), rows
// without padding. Returns the type of the values written: the layout's own, or FLOAT when
// OpenImageIO is to convert them.
OIIO::TypeDesc packRows(const OfflineHost::World& world, A_long top, A_long count,
                        const FileLayout& layout, std::vector<std::byte>& out);

// Which of a file's channels give red, green, blue and alpha; -1 for none (a colour is then 0,
// alpha white).
struct ChannelSources {
    int index[4] = {-1, -1, -1, -1};
};

// Whether unpackRows takes a file of this layout: integer channels, not multiplied by alpha.
bool unpacksDirectly(const FileLayout& layout);

// Rows of a file of that layout (`layout.channels` values a pixel, in its own type, rows without
// padding) into rows top to top + count - 1 of the world.
void unpackRows(const std::byte* data, const FileLayout& layout, const ChannelSources& sources,
                OfflineHost::World& world, A_long top, A_long count);

} // namespace OndrelCli
