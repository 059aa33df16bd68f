#pragma once

// A world as 8-bit RGBA bytes, the form a browser's canvas takes: red, green, blue and straight
// alpha, rows top to bottom without padding. Each byte is exactly what loadRows
// (cli/image/Pixels.h) and then PixelTraits<PF_Pixel>::channel give, the unit value rounded to the
// nearest of 0 to 255, but read straight from the world's rows: a byte shuffle at 8 bits, a table
// at 16, a few vector-friendly operations a channel at float.

#include "host/pixels/World.h"

#include <cstdint>

namespace OndrelCli {

// Writes width * height * 4 bytes to `rgba`.
void loadRgba8(const OfflineHost::World& world, std::uint8_t* rgba);

} // namespace OndrelCli
