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

#include <string>
#include <variant>
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

// An attribute of a writer's header, by OpenImageIO's name, with an int or a text value.
struct CompressionAttribute {
    std::string name;
    std::variant<int, std::string> value;
};

// The attributes that ask OpenImageIO's writer of `format` for the compression `name`, which
// checkCompression has accepted; none for the library's own choice.
std::vector<CompressionAttribute> compressionAttributes(const std::string& name,
                                                        const std::string& format);

} // namespace OndrelCli
