#pragma once

// How image files are compressed, asked of OpenImageIO's writers through their attributes. PNG,
// TIFF and OpenEXR take four levels, all without loss:
// - fast: quick to write, files a little larger than the library's own choice (the default);
// - default: the format library's own choice, as OpenImageIO makes it;
// - small: the smallest files the format's deflate makes, slowly;
// - none: no compression at all.
// OpenEXR and TIFF also take their own lossless methods by name: OpenEXR rle, zip, zips and piz,
// zip and zips with a level (zip:1 to zip:9); TIFF lzw, zip, zip:1 to zip:9 and packbits. Other
// formats take fast and default, which both leave the choice to their library.

#include <OpenImageIO/imageio.h>

#include <string>
#include <vector>

namespace OndrelCli {

// The compression used unless another is asked for.
inline const std::string defaultCompression = "fast";

// The names `format` (OpenImageIO's name, "png", "openexr", "tiff") takes; for "" (a format not
// known yet) the four levels.
std::vector<std::string> compressionNames(const std::string& format);

// Throws CliError unless `format` takes the compression `name` ("": unless some format does);
// the message lists the names it takes.
void checkCompression(const std::string& name, const std::string& format);

// Sets the attributes that ask OpenImageIO's writer of `format` for the compression `name`,
// which checkCompression has accepted.
void setCompression(OIIO::ImageSpec& header, const std::string& name, const std::string& format);

} // namespace OndrelCli
