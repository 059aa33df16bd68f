#include "ImageFiles.h"

#include "CliError.h"
#include "Pixels.h"
#include "TemporaryFile.h"

#include <OpenImageIO/imageio.h>

#include <unistd.h>

#include <algorithm>
#include <string>
#include <system_error>

namespace OndrelCli {

using OfflineHost::PixelDepth;
using OfflineHost::World;

namespace {

namespace fs = std::filesystem;

// Asks readers to hand over unassociated alpha as it is stored instead of multiplying it in.
constexpr const char* unassociatedAlpha = "oiio:UnassociatedAlpha";

// OpenImageIO reports its last error once; a message without one still names the file.
std::string reason(const std::string& error) {
    std::string text = error.empty() ? OIIO::geterror() : error;
    text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
    return text.empty() ? "" : ": " + text;
}

void unpremultiply(RgbaImage& image) {
    for (A_long y = 0; y < image.height; ++y) {
        for (A_long x = 0; x < image.width; ++x) {
            float* c = image.at(x, y);
            if (c[3] > 0.0f) {
                c[0] /= c[3];
                c[1] /= c[3];
                c[2] /= c[3];
            }
        }
    }
}

void premultiply(RgbaImage& image) {
    for (float* c = image.pixels.data(); c != image.pixels.data() + image.pixels.size(); c += 4) {
        c[0] *= c[3];
        c[1] *= c[3];
        c[2] *= c[3];
    }
}

// Grey, grey and alpha, RGB and RGBA files all become RGBA.
RgbaImage expand(const std::vector<float>& data, const OIIO::ImageSpec& header) {
    RgbaImage image(header.width, header.height);
    const int n = header.nchannels;
    const bool grey = n < 3;
    const int alpha = header.alpha_channel >= 0 ? header.alpha_channel : (n == 2 ? 1 : -1);
    for (std::size_t i = 0; i < static_cast<std::size_t>(header.width) * header.height; ++i) {
        const float* s = &data[i * static_cast<std::size_t>(n)];
        float* d = &image.pixels[4 * i];
        d[0] = s[0];
        d[1] = grey ? s[0] : s[1];
        d[2] = grey ? s[0] : s[2];
        d[3] = alpha >= 0 ? s[alpha] : 1.0f;
    }
    return image;
}

// The stored channel type for a world's depth: floats where the format keeps them, else 16 bits
// for anything deeper than 8.
OIIO::TypeDesc storedType(const OIIO::ImageOutput& writer, PixelDepth depth) {
    if (depth == PixelDepth::Bits8) {
        return OIIO::TypeDesc::UINT8;
    }
    const std::string format = writer.format_name();
    if (depth == PixelDepth::Float32 && format != "png") {
        return OIIO::TypeDesc::FLOAT;
    }
    return OIIO::TypeDesc::UINT16;
}

bool storesAssociatedAlpha(const OIIO::ImageOutput& writer) {
    return std::string(writer.format_name()) == "openexr";
}

} // namespace

World readImage(const fs::path& file, PixelDepth depth) {
    OIIO::ImageSpec config;
    config.attribute(unassociatedAlpha, 1);
    auto reader = OIIO::ImageInput::open(file.string(), &config);
    if (!reader) {
        throw CliError("cannot read input " + quoted(file) + reason(""));
    }
    const OIIO::ImageSpec header = reader->spec();
    if (header.width <= 0 || header.height <= 0 || header.nchannels <= 0) {
        throw CliError("cannot read input " + quoted(file) + ": it holds no pixels");
    }
    std::vector<float> data(static_cast<std::size_t>(header.width) * header.height *
                            static_cast<std::size_t>(header.nchannels));
    if (!reader->read_image(0, 0, 0, header.nchannels, OIIO::TypeDesc::FLOAT, data.data())) {
        throw CliError("cannot read input " + quoted(file) + reason(reader->geterror()));
    }
    RgbaImage image = expand(data, header);
    if (header.alpha_channel >= 0 && header.get_int_attribute(unassociatedAlpha, 0) == 0) {
        unpremultiply(image);
    }
    return toWorld(image, depth);
}

void checkWritable(const fs::path& file) {
    if (file.filename().empty() || fs::is_directory(file)) {
        throw CliError("cannot write " + quoted(file) + ": it names a folder, not a file");
    }
    if (!OIIO::ImageOutput::create(file.string())) {
        throw CliError("cannot write " + quoted(file) +
                       ": no image format is known by that name (try .png, .tif or .exr)");
    }
    const fs::path folder = folderOf(file);
    if (!fs::is_directory(folder)) {
        throw CliError("cannot write " + quoted(file) + ": the folder " + quoted(folder) +
                       " does not exist");
    }
    if (::access(folder.c_str(), W_OK) != 0) {
        throw CliError("cannot write " + quoted(file) + ": the folder " + quoted(folder) +
                       " is not writable");
    }
}

void writeImage(const World& world, const fs::path& file) {
    auto writer = OIIO::ImageOutput::create(file.string());
    if (!writer) {
        throw CliError("cannot write " + quoted(file) + reason(""));
    }
    RgbaImage image = toRgba(world);
    const bool withAlpha = writer->supports("alpha");
    OIIO::ImageSpec header(image.width, image.height, withAlpha ? 4 : 3,
                           storedType(*writer, world.depth()));
    if (storesAssociatedAlpha(*writer)) {
        premultiply(image);
    } else {
        header.attribute(unassociatedAlpha, 1);
    }

    TemporaryFile temporary(file);
    if (!writer->open(temporary.path().string(), header)) {
        throw CliError("cannot write " + quoted(file) + reason(writer->geterror()));
    }
    const auto stride = static_cast<OIIO::stride_t>(4 * sizeof(float));
    const bool written =
        writer->write_image(OIIO::TypeDesc::FLOAT, image.pixels.data(), stride) && writer->close();
    if (!written) {
        throw CliError("cannot write " + quoted(file) + reason(writer->geterror()));
    }
    temporary.commit();
}

} // namespace OndrelCli
