#pragma once

// Image files for the ondrel command, read and written with OpenImageIO, the format taken from
// the file name. Files hold RGBA; the host's worlds hold straight ARGB at 8 bits (0..255), 16
// bits (0..32768) or float. Colours stay straight (unassociated) throughout: formats that store
// associated alpha (OpenEXR) are multiplied on writing and divided on reading.

#include "host/World.h"

#include <filesystem>

namespace OndrelCli {

// The image in `file` as a world of the given depth. Throws CliError when the file cannot be
// read.
OfflineHost::World readImage(const std::filesystem::path& file, OfflineHost::PixelDepth depth);

// Throws CliError unless an image could be written to `file`: a format OpenImageIO knows by the
// name, in an existing folder the user may write to. Lets the command refuse before rendering.
void checkWritable(const std::filesystem::path& file);

// Writes the world to `file` through a temporary file in the same folder that is renamed into
// place once complete, so that no partial file is ever left under either name. PNG and TIFF
// take 8-bit worlds as 8 bits and deeper ones as 16 bits (TIFF and OpenEXR keep float as
// float). Throws CliError.
void writeImage(const OfflineHost::World& world, const std::filesystem::path& file);

} // namespace OndrelCli
