// A PNG on its way to the file loses its eXIf chunk and nothing else, however the writer cuts its
// bytes into pieces; and a frame ondrel writes holds none, whichever OpenImageIO wrote it.

#include "tests/cli/CliTestSupport.h"

#include "cli/image/ImageFiles.h"
#include "cli/image/PngWithoutExif.h"

#include "host/pixels/World.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace CliTest;
using Bytes = std::vector<unsigned char>;

// A chunk: its data's length (big-endian), type, data and four bytes standing for the CRC.
Bytes chunk(const std::string& type, const Bytes& data) {
    const auto n = static_cast<std::uint32_t>(data.size());
    Bytes out{static_cast<unsigned char>(n >> 24), static_cast<unsigned char>(n >> 16),
              static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n)};
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    out.insert(out.end(), {0xC1, 0xC2, 0xC3, 0xC4});
    return out;
}

Bytes joined(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// The chunk types of a PNG, in order.
std::vector<std::string> chunkTypes(const Bytes& png) {
    std::vector<std::string> types;
    for (std::size_t at = 8; at + 8 <= png.size();) {
        const std::size_t length = (std::size_t{png[at]} << 24) | (std::size_t{png[at + 1]} << 16) |
                                   (std::size_t{png[at + 2]} << 8) | std::size_t{png[at + 3]};
        types.emplace_back(png.begin() + static_cast<std::ptrdiff_t>(at) + 4,
                           png.begin() + static_cast<std::ptrdiff_t>(at) + 8);
        at += length + 12;
    }
    return types;
}

TEST(PngWithoutExif, DropsTheExifChunkWhereverTheWritesAreCut) {
    const Bytes signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    // Its data begins with the letters of "eXIf": only a chunk's type may tell.
    const Bytes header = chunk("IHDR", Bytes{'e', 'X', 'I', 'f', 1, 2, 3, 4, 5, 6, 7, 8, 9});
    const Bytes exif = chunk("eXIf", Bytes{'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0});
    const Bytes data = chunk("IDAT", Bytes(300, 0x5A));
    const Bytes end = chunk("IEND", {});
    const Bytes written = joined({signature, header, exif, data, exif, end});
    const Bytes expected = joined({signature, header, data, end});

    for (std::size_t piece = 1; piece <= written.size(); ++piece) {
        SCOPED_TRACE("pieces of " + std::to_string(piece));
        Bytes file;
        OIIO::Filesystem::IOVecOutput out(file);
        OndrelCli::PngWithoutExif png(out);
        for (std::size_t at = 0; at < written.size(); at += piece) {
            const std::size_t n = std::min(piece, written.size() - at);
            ASSERT_EQ(png.write(written.data() + at, n), n);
        }
        ASSERT_EQ(file, expected);
    }
}

using PngFrames = RenderCommand;

TEST_F(PngFrames, AFrameHoldsNoExifChunk) {
    for (const auto depth : {OfflineHost::PixelDepth::Bits8, OfflineHost::PixelDepth::Bits16}) {
        const fs::path file = folder / "frame.png";
        OndrelCli::writeImage(OfflineHost::World(5, 3, depth), file);
        std::ifstream in(file, std::ios::binary);
        const Bytes png{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(chunkTypes(png), (std::vector<std::string>{"IHDR", "oFFs", "IDAT", "IEND"}));
    }
}

} // namespace
