#include "cli/image/ImageFiles.h"

#include "cli/core/CliError.h"
#include "cli/core/Text.h"
#include "cli/image/Compression.h"
#include "cli/image/DescriptorOutput.h"
#include "cli/image/FileRows.h"
#include "cli/image/Pixels.h"
#include "cli/image/PngWithoutExif.h"
#include "cli/image/QuietLibraries.h"
#include "cli/terminal/TemporaryFile.h"
#include "host/pixels/PixelDepth.h"

#include <OpenImageIO/imageio.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <variant>

namespace OndrelCli {

using OfflineHost::PixelDepth;
using OfflineHost::World;

namespace {

namespace fs = std::filesystem;

// Asks readers to hand over unassociated alpha as it is stored instead of multiplying it in.
constexpr const char* unassociatedAlpha = "oiio:UnassociatedAlpha";

// ": " and the first line of OpenImageIO's error, which names the cause (later lines repeat it
// as each layer passes it on); nothing when there is none.
std::string reason(const std::string& error) {
    const std::string text = error.empty() ? OIIO::geterror() : error;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        if (end > start) {
            return ": " + text.substr(start, end - start);
        }
        start = end + 1;
    }
    return "";
}

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// Where red, green, blue and alpha come from among a file's channels: by their names. Channels
// taken by their order could be anything (depth, a mask, another layer's colour), so a file
// without a colour channel of a known name is refused with the names it holds.
ChannelSources channelSources(const OIIO::ImageSpec& header, const fs::path& file) {
    const int n = header.nchannels;
    const auto named = [&](std::string_view name) {
        for (int c = 0; c < n; ++c) {
            if (sameName(header.channel_name(c), name)) {
                return c;
            }
        }
        return -1;
    };
    int red = named("R");
    int green = named("G");
    int blue = named("B");
    const int alpha = header.alpha_channel >= 0 ? header.alpha_channel : named("A");
    if (red < 0 && green < 0 && blue < 0) {
        red = green = blue = named("Y");
    }
    if (red < 0 && green < 0 && blue < 0) {
        std::vector<std::string> names;
        for (int c = 0; c < n; ++c) {
            names.push_back(shownText(header.channel_name(c)));
        }
        throw CliError("cannot read input " + quoted(file) + ": it holds the channels " +
                       joined(names) +
                       ", none of them a colour by name (R, G, B, or Y for grey, with A)");
    }
    return {{red, green, blue, alpha}};
}

// One strip of the file's channels as RGBA. Throws CliError at the first value that is not
// finite: the effects composite over the input, and such a value spreads through every blend.
void expand(const float* data, const OIIO::ImageSpec& header, const ChannelSources& from,
            A_long top, RgbaImage& strip, const fs::path& file) {
    const int n = header.nchannels;
    const int* sources = from.index;
    const float absent[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    for (A_long y = 0; y < strip.height; ++y) {
        for (A_long x = 0; x < strip.width; ++x) {
            const float* s = data + (static_cast<std::size_t>(y) * strip.width + x) * n;
            float* d = strip.at(x, y);
            for (int c = 0; c < 4; ++c) {
                d[c] = sources[c] >= 0 ? s[sources[c]] : absent[c];
                if (!std::isfinite(d[c])) {
                    throw CliError("input " + quoted(file) +
                                   " holds a value that is NaN or "
                                   "infinite, at pixel (" +
                                   std::to_string(x) + ", " + std::to_string(top + y) +
                                   ") in channel " + std::string(header.channel_name(sources[c])) +
                                   "; the effects need finite colours");
                }
            }
        }
    }
}

void unpremultiply(RgbaImage& strip) {
    for (float* c = strip.pixels.data(); c != strip.pixels.data() + strip.pixels.size(); c += 4) {
        if (c[3] > 0.0f) {
            c[0] /= c[3];
            c[1] /= c[3];
            c[2] /= c[3];
        }
    }
}

// The stored channel type for a world's depth: floats where the format keeps them, else 16 bits
// for anything deeper than 8.
OIIO::TypeDesc storedType(const std::string& format, PixelDepth depth) {
    if (depth == PixelDepth::Bits8) {
        return OIIO::TypeDesc::UINT8;
    }
    if (depth == PixelDepth::Float32 && format != "png") {
        return OIIO::TypeDesc::FLOAT;
    }
    return OIIO::TypeDesc::UINT16;
}

// What the refusal of a format that loses part of a render offers instead.
constexpr const char* keepingFormats = "write .png (8 or 16 bits), .tif or .exr, which keep them";

// What the formats most often asked for would lose of a render with alpha, from what
// OpenImageIO's writers store: its alpha, the bits past those they keep, or exact values.
struct FormatLoss {
    const char* format;
    const char* name;
    bool keepsAlpha;
    int bits;          // the deepest they keep: 8, 16, or 32 for floats
    const char* lossy; // how they lose values, when they do
};
constexpr FormatLoss knownLosses[] = {
    {"jpeg", "JPEG", false, 8, "exact values (it compresses with loss)"},
    {"webp", "WebP", true, 8, "exact values (it compresses with loss)"},
    {"heif", "HEIF", true, 8, "exact values (it compresses with loss)"},
    {"gif", "GIF", false, 8, "every colour past a palette of 256"},
    {"bmp", "BMP", true, 8, nullptr},
    {"targa", "Targa", true, 8, nullptr},
    {"ico", "ICO", true, 8, nullptr},
    {"hdr", "Radiance HDR", false, 32, "exact values (it shares one exponent among R, G and B)"},
    {"pnm", "PNM", false, 16, nullptr},
};

// Throws CliError unless `format` keeps alpha and `depth`, naming what it would lose.
void checkKeeps(const std::string& format, PixelDepth depth, const fs::path& file) {
    // The formats ondrel writes, and checks whole: all keep alpha, PNG no floats.
    if (format == "tiff" || format == "openexr" ||
        (format == "png" && depth != PixelDepth::Float32)) {
        return;
    }
    const int bits = OfflineHost::bitsPerChannel(depth);
    const std::string depthName =
        bits == 32 ? "the float values of --depth 32" : "the 16 bits of --depth 16";
    std::string name = "OpenImageIO's \"" + format + "\" format";
    std::vector<std::string> lost;
    if (format == "png") {
        name = "PNG";
        lost.push_back(depthName);
    }
    for (const FormatLoss& loss : knownLosses) {
        if (format == loss.format) {
            name = loss.name;
            if (!loss.keepsAlpha) {
                lost.emplace_back("the alpha channel");
            }
            if (bits > loss.bits) {
                lost.push_back(depthName);
            }
            if (loss.lossy != nullptr) {
                lost.emplace_back(loss.lossy);
            }
        }
    }
    std::string what = lost.empty() ? "is not one ondrel writes, whose frames it checks whole"
                                    : "would lose " + lost.front();
    for (std::size_t i = 1; i < lost.size(); ++i) {
        what += (i + 1 == lost.size() ? " and " : ", ") + lost[i];
    }
    throw CliError("cannot write " + quoted(file) + ": " + name + " " + what + "; " +
                   keepingFormats);
}

bool storesAssociatedAlpha(const OIIO::ImageOutput& writer) {
    return std::string(writer.format_name()) == "openexr";
}

// Rows written at once: OpenImageIO hands OpenEXR up to 16 MB a call, whose blocks of rows it
// compresses on several threads.
constexpr std::size_t writeStripBytes = std::size_t(16) << 20;

// Formats OpenImageIO writes that make no file.
std::optional<std::string> writesNoFile(const std::string& format) {
    if (format == "null") {
        return "it writes nothing";
    }
    if (format == "term") {
        return "it draws on the terminal";
    }
    return std::nullopt;
}

// Whether the file ends with PNG's IEND chunk (length 0, the type, its CRC), which a writer adds
// last: a file cut just before it can still give every row.
bool endsWithPngEnd(const fs::path& file) {
    static const char end[] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', '\xAE', '\x42', '\x60', '\x82'};
    std::ifstream in(file, std::ios::binary);
    char last[sizeof end] = {};
    in.seekg(-static_cast<std::streamoff>(sizeof end), std::ios::end);
    return in.read(last, sizeof last) && std::equal(last, last + sizeof last, end);
}

// Throws CliError unless the temporary holds every byte the writer wrote (`end` of them) and
// ends as its format ends: a file system may take a write and lose it later, or keep less.
void checkWhole(const TemporaryFile& temporary, std::int64_t end, const std::string& format,
                const fs::path& file) {
    struct stat written {};
    if (::fstat(temporary.descriptor(), &written) != 0) {
        throw CliError("cannot write " + quoted(file) + ": " + systemReason(errno));
    }
    if (written.st_size != end) {
        throw CliError("cannot write " + quoted(file) + ": the file holds " +
                       std::to_string(written.st_size) + " bytes of the " + std::to_string(end) +
                       " written");
    }
    if (format == "png" && !endsWithPngEnd(temporary.path())) {
        throw CliError("cannot write " + quoted(file) + ": it does not end with PNG's end chunk");
    }
}

// Reads the file's pixels as `type`, a strip of rows at a time (whole rows of tiles for tiled
// files), and passes each strip to use(data, top, count). Returns ": " and OpenImageIO's reason
// when a strip cannot be read, nothing when all were.
template <typename Use>
std::optional<std::string> readStrips(OIIO::ImageInput& input, OIIO::TypeDesc type, Use&& use) {
    const OIIO::ImageSpec& header = input.spec();
    A_long rows = stripRows(header.width);
    if (header.tile_height > 0) {
        rows = (rows + header.tile_height - 1) / header.tile_height * header.tile_height;
    }
    const int n = header.nchannels;
    std::vector<std::byte> data(static_cast<std::size_t>(header.width) * rows * n * type.size());
    for (A_long top = 0; top < header.height; top += rows) {
        const A_long count = std::min(rows, header.height - top);
        const int y = header.y + top;
        const bool read =
            header.tile_width > 0
                ? input.read_tiles(0, 0, header.x, header.x + header.width, y, y + count, header.z,
                                   header.z + 1, 0, n, type, data.data())
                : input.read_scanlines(0, 0, y, y + count, header.z, 0, n, type, data.data());
        // OpenImageIO's TIFF reader reports a strip it could not read, but returns true.
        if (!read || input.has_error()) {
            return reason(input.geterror());
        }
        use(static_cast<const std::byte*>(data.data()), top, count);
    }
    return std::nullopt;
}

} // namespace

struct InputImage::Reader {
    std::unique_ptr<OIIO::ImageInput> input;
    OIIO::ImageSpec header;
};

InputImage::InputImage(const fs::path& file) : m_file(file), m_reader(std::make_unique<Reader>()) {
    const auto refused = [&file](const std::string& why) {
        return CliError("cannot read input " + quoted(file) + why);
    };
    std::error_code err;
    const fs::file_status status = fs::status(file, err);
    if (err || !fs::exists(status)) {
        throw refused(": " + (err ? err.message() : "no such file"));
    }
    // Devices never end (/dev/zero) and pipes cannot be read twice, as some readers do.
    if (!fs::is_regular_file(status)) {
        throw refused(fs::is_directory(status) ? ": it is a folder" : ": it is not a regular file");
    }
    OIIO::ImageSpec config;
    config.attribute(unassociatedAlpha, 1);
    {
        const QuietLibraries quiet;
        m_reader->input = OIIO::ImageInput::open(file.string(), &config);
    }
    if (!m_reader->input) {
        throw refused(reason(""));
    }
    const OIIO::ImageSpec& header = m_reader->header = m_reader->input->spec();
    if (header.width <= 0 || header.height <= 0 || header.nchannels <= 0) {
        throw refused(": it holds no pixels");
    }
    if (header.deep || header.depth > 1) {
        throw refused(": it holds deep or volume pixels, not a flat image");
    }
    channelSources(header, file); // refused now, before its size is weighed
}

InputImage::~InputImage() = default;

A_long InputImage::width() const {
    return m_reader->header.width;
}

A_long InputImage::height() const {
    return m_reader->header.height;
}

World InputImage::read(PixelDepth depth) {
    OIIO::ImageInput& input = *m_reader->input;
    const OIIO::ImageSpec& header = m_reader->header;
    const ChannelSources sources = channelSources(header, m_file);
    const A_long width = header.width;
    const A_long height = header.height;
    const FileLayout layout{
        header.channelformats.empty() ? header.format : OIIO::TypeDesc::FLOAT, header.nchannels,
        header.alpha_channel >= 0 && header.get_int_attribute(unassociatedAlpha, 0) == 0};
    // Integer channels as they are, else floats, which are checked and divided by alpha.
    const bool direct = unpacksDirectly(layout);
    const OIIO::TypeDesc type = direct ? layout.type : OIIO::TypeDesc::FLOAT;
    std::optional<World> world;
    const QuietLibraries quiet;
    const auto failed =
        readStrips(input, type, [&](const std::byte* data, A_long top, A_long count) {
            if (!world) {
                world.emplace(width, height, depth);
            }
            if (direct) {
                unpackRows(data, layout, sources, *world, top, count);
                return;
            }
            RgbaImage strip(width, count);
            expand(reinterpret_cast<const float*>(data), header, sources, top, strip, m_file);
            if (layout.associated) {
                unpremultiply(strip);
            }
            storeRows(strip, *world, top);
        });
    if (failed) {
        throw CliError("cannot read input " + quoted(m_file) + *failed);
    }
    return std::move(*world);
}

void checkWritable(const fs::path& file, PixelDepth depth) {
    const auto refused = [&file](const std::string& why) {
        return CliError("cannot write " + quoted(file) + ": " + why);
    };
    std::error_code err;
    const fs::file_status status = fs::status(file, err);
    if (file.filename().empty() || fs::is_directory(status)) {
        throw refused("it names a folder, not a file");
    }
    // A name too long, a loop of links or a folder that cannot be entered.
    if (err && err != std::errc::no_such_file_or_directory) {
        throw refused(err.message());
    }
    const std::string format = outputFormat(file);
    if (format.empty()) {
        throw refused("no image format is known by that name (try .png, .tif or .exr)");
    }
    if (const auto why = writesNoFile(format)) {
        throw refused("OpenImageIO's \"" + format + "\" format makes no file, " + *why +
                      " (try .png, .tif or .exr)");
    }
    checkKeeps(format, depth, file);
    // The frame is written beside the file the name's links lead to.
    const fs::path folder = folderOf(linkedFile(file));
    const fs::file_status folderStatus = fs::status(folder, err);
    if (!fs::exists(folderStatus) && (!err || err == std::errc::no_such_file_or_directory)) {
        throw refused("the folder " + quoted(folder) + " does not exist");
    }
    if (err) {
        throw refused("the folder " + quoted(folder) + ": " + err.message());
    }
    if (!fs::is_directory(folderStatus)) {
        throw refused(quoted(folder) + " is not a folder");
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        throw refused("the folder " + quoted(folder) + " is not writable");
    }
}

void checkReplaceable(const fs::path& file) {
    // Renaming over a file needs only its folder's permission; the file's own says whether the
    // user meant it to be replaced, as cp reads it.
    if (::access(file.c_str(), W_OK) != 0 && errno != ENOENT) {
        throw CliError("cannot write " + quoted(file) + ": " + systemReason(errno) +
                       " (the file is there, and this user may not write it)");
    }
}

void writeImage(const World& world, const fs::path& file, const std::string& compression) {
    const auto failed = [&file](const std::string& why) {
        return CliError("cannot write " + quoted(file) + why);
    };
    TemporaryFile temporary(file);
    // Every byte goes through a write that is checked here, whatever the writer says of it. It
    // outlives the writer, which may still write as it goes.
    DescriptorOutput output(temporary.descriptor(), temporary.path().string());
    const QuietLibraries quiet;
    // Created only now, and opened at once (see outputFormat).
    auto writer = OIIO::ImageOutput::create(file.string());
    if (!writer) {
        throw failed(reason(""));
    }
    const A_long width = world.width();
    const bool withAlpha = writer->supports("alpha");
    OIIO::ImageSpec header(width, world.height(), withAlpha ? 4 : 3,
                           storedType(writer->format_name(), world.depth()));
    const bool associated = storesAssociatedAlpha(*writer);
    if (!associated) {
        header.attribute(unassociatedAlpha, 1);
    }
    // No time of writing, which TIFF and OpenEXR would otherwise record: the same frame is the
    // same file, whenever and wherever it is rendered.
    header.attribute("DateTime", "");
    for (const auto& attribute : compressionAttributes(compression, writer->format_name())) {
        std::visit([&](const auto& value) { header.attribute(attribute.name, value); },
                   attribute.value);
    }
    const auto writeFailed = [&] {
        return output.failure() != 0 ? failed(": " + systemReason(output.failure()))
                                     : failed(reason(writer->geterror()));
    };
    // PNG's bytes pass through a filter of their own: see PngWithoutExif.
    PngWithoutExif png(output);
    OIIO::Filesystem::IOProxy* proxy = &output;
    if (std::string_view(writer->format_name()) == "png") {
        proxy = &png;
    }
    if (!writer->set_ioproxy(proxy) || !writer->open(temporary.path().string(), header)) {
        throw writeFailed();
    }
    // The header the writer keeps (its ImageSpec) says the type it stores (PNG: 8 or 16 bits).
    const FileLayout layout{writer->spec().format, header.nchannels, associated};
    const A_long rows = std::max<A_long>(
        1, static_cast<A_long>(writeStripBytes / (static_cast<std::size_t>(width) *
                                                  header.nchannels * sizeof(float))));
    std::vector<std::byte> strip;
    for (A_long top = 0; top < world.height() && output.failure() == 0; top += rows) {
        const A_long count = std::min(rows, world.height() - top);
        const OIIO::TypeDesc type = packRows(world, top, count, layout, strip);
        if (!writer->write_scanlines(top, top + count, 0, type, strip.data())) {
            throw writeFailed();
        }
    }
    if (!writer->close() || output.failure() != 0) {
        throw writeFailed();
    }
    checkWhole(temporary, output.end(), writer->format_name(), file);
    temporary.commit();
}

std::optional<std::string> whyNotWhole(const fs::path& file, A_long width, A_long height,
                                       PixelDepth depth) {
    std::error_code err;
    const std::uintmax_t bytes = fs::file_size(file, err);
    if (err) {
        return err.message();
    }
    if (bytes == 0) {
        return "it is empty";
    }
    OIIO::ImageSpec config;
    config.attribute(unassociatedAlpha, 1);
    const QuietLibraries quiet;
    auto input = OIIO::ImageInput::open(file.string(), &config);
    if (!input) {
        return "it is not an image OpenImageIO reads" + reason("");
    }
    const std::string format = outputFormat(file);
    if (input->format_name() != format) {
        return "its format is " + std::string(input->format_name()) + ", not " + format;
    }
    if (format == "png" && !endsWithPngEnd(file)) {
        return "it is cut short: it does not end with PNG's end chunk";
    }
    const OIIO::ImageSpec& header = input->spec();
    const auto size = [](A_long w, A_long h) {
        return std::to_string(w) + "x" + std::to_string(h);
    };
    if (header.width != width || header.height != height) {
        return "it is " + size(header.width, header.height) + " pixels, not " + size(width, height);
    }
    // OpenEXR keeps integer channels as half floats.
    OIIO::TypeDesc type = storedType(format, depth);
    if (format == "openexr" && type != OIIO::TypeDesc::FLOAT) {
        type = OIIO::TypeDesc::HALF;
    }
    if (header.format != type || !header.channelformats.empty() || header.nchannels < 3) {
        return "it holds " + std::to_string(header.nchannels) + " channels of " +
               header.format.c_str() + ", not " + type.c_str();
    }
    // Every pixel, in the file's own type: a header tells nothing of a file cut short.
    if (const auto failed = readStrips(*input, header.format, [](auto&&...) {})) {
        return "its pixels cannot all be read" + *failed;
    }
    return std::nullopt;
}

void setWriterThreads(int threads) {
    OIIO::attribute("exr_threads", std::max(1, threads));
}

// Found by the extension (or an extension that is a format's own name). Asking instead of
// creating a writer: a writer that is never opened reads uninitialised memory when it goes
// (OpenEXR's).
std::string outputFormat(const fs::path& file) {
    std::string extension = file.extension().string();
    if (extension.empty()) {
        return "";
    }
    // OpenImageIO's names are in lower case.
    extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::string extensions;
    std::string writable;
    OIIO::getattribute("extension_list", extensions);   // "format:ext,ext;format:ext..."
    OIIO::getattribute("output_format_list", writable); // "format,format,..."
    const auto listed = [](const std::string& list, const std::string& item) {
        return ("," + list + ",").find("," + item + ",") != std::string::npos;
    };
    std::size_t start = 0;
    while (start < extensions.size()) {
        const std::size_t end = std::min(extensions.find(';', start), extensions.size());
        const std::string entry = extensions.substr(start, end - start);
        const std::size_t colon = entry.find(':');
        const std::string format = entry.substr(0, colon);
        if (colon != std::string::npos &&
            (listed(entry.substr(colon + 1), extension) || format == extension) &&
            listed(writable, format)) {
            return format;
        }
        start = end + 1;
    }
    return "";
}

} // namespace OndrelCli
