// Input files that cannot be rendered over: each is refused on one line naming the file, with a
// non-zero status, before anything is written; and files read by their channels' names.

#include "tests/cli/CliTestSupport.h"

#include <sys/resource.h>

#include <cstdint>
#include <limits>

namespace {

using namespace CliTest;

using InputFiles = RenderCommand;

// A PNG chunk: length, type, data and the CRC of type and data (ISO 3309, bitwise).
std::string pngChunk(const std::string& type, const std::string& data) {
    const auto be32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 8), static_cast<char>(v)};
    };
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : type + data) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return be32(static_cast<std::uint32_t>(data.size())) + type + data + be32(~crc);
}

TEST_F(InputFiles, MissingAndBrokenFilesAreNamed) {
    std::ofstream(folder / "broken.png") << "not an image";
    expectRefused("OndrelCircle -i missing.png -o out.png",
                  "cannot read input \"missing.png\": No such file or directory");
    expectRefused("OndrelCircle -i broken.png -o out.png", "cannot read input \"broken.png\"");
}

// A device is read for ever, as /dev/zero is, however the link to it is named.
TEST_F(InputFiles, OnlyRegularFilesAreRead) {
    fs::create_symlink("/dev/zero", folder / "zero.png");
    fs::create_directory(folder / "pictures");
    expectRefused("OndrelCircle -i /dev/zero -o out.png",
                  "cannot read input \"/dev/zero\": it is not a regular file");
    expectRefused("OndrelCircle -i zero.png -o out.png",
                  "cannot read input \"zero.png\": it is not a regular file");
    expectRefused("OndrelCircle -i pictures -o out.png",
                  "cannot read input \"pictures\": it is a folder");
}

// libpng prints its own line on stderr; the refusal must still be one line.
// In every format: TIFF's reader, for one, returns the rows it could not read as zeros.
TEST_F(InputFiles, ATruncatedFileIsRefusedOnOneLine) {
    for (const std::string ext : {".png", ".tif", ".exr"}) {
        ASSERT_EQ(ondrel("OndrelCircle -o whole" + ext + " --size 64x64 --depth 16").status, 0);
        const std::string whole = bytes("whole" + ext);
        std::ofstream(folder / ("cut" + ext), std::ios::binary)
            << whole.substr(0, whole.size() / 2);
        expectRefused("OndrelCircle -i cut" + ext + " -o out.png",
                      "cannot read input \"cut" + ext + "\": ");
    }
}

// A 78-byte file whose header claims 12000x12000 pixels fails at its first row, before a world
// of 2.3 GB (float) is set aside for it.
TEST_F(InputFiles, AHeaderThatClaimsMoreThanTheFileHoldsCostsNoMemory) {
    // 12000 x 12000, 8 bits, RGBA, no interlacing.
    const std::string header("\0\0\x2E\xE0\0\0\x2E\xE0\x08\x06\0\0\0", 13);
    // A zlib stream of one stored block of ten zero bytes, far less than a row, and its Adler-32.
    const std::string zlib = std::string("\x78\x01\x01\x0A\x00\xF5\xFF", 7) +
                             std::string(10, '\0') + std::string("\x00\x0A\x00\x01", 4);
    std::ofstream(folder / "claims.png", std::ios::binary)
        << std::string("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", zlib) +
               pngChunk("IEND", "");
    expectRefused("OndrelCircle -i claims.png -o out.tif --depth 32",
                  "cannot read input \"claims.png\": ");
    rusage used{};
    ASSERT_EQ(::getrusage(RUSAGE_CHILDREN, &used), 0);
    EXPECT_LT(used.ru_maxrss, 1000000) << "kB at the command's peak";
}

TEST_F(InputFiles, LayersBeyondTheLargestSideAreRefused) {
    write("wide.png", 30001, 1, 1, OIIO::TypeDesc::UINT8, std::vector<unsigned char>(30001, 9));
    expectRefused("OndrelCircle -i wide.png -o out.png",
                  "input \"wide.png\" is 30001x1 pixels; the command takes sides of 1 to 30000");
}

// Channels are found by name: red and green alone are not grey and alpha, and a file without
// a colour channel of a known name is refused, naming what it holds.
TEST_F(InputFiles, ChannelsAreFoundByTheirNames) {
    OIIO::ImageSpec header(2, 1, 2, OIIO::TypeDesc::FLOAT);
    header.channelnames = {"R", "G"};
    auto out = OIIO::ImageOutput::create("rg.exr");
    ASSERT_TRUE(out);
    const float values[] = {0.25f, 0.5f, 1.0f, 0.0f};
    ASSERT_TRUE(out->open((folder / "rg.exr").string(), header));
    ASSERT_TRUE(out->write_image(OIIO::TypeDesc::FLOAT, values));
    ASSERT_TRUE(out->close());
    const Outcome run = ondrel("OndrelCircle -i rg.exr -o out.exr --set Opacity=0 --depth 32");
    ASSERT_EQ(run.status, 0) << run.errors;
    const Image image = read("out.exr", false);
    expectPixel(image, 0, 0, {0.25f, 0.5f, 0, 1}, 0);
    expectPixel(image, 1, 0, {1, 0, 0, 1}, 0);

    // Channels of other names were once taken by their order, depth as red.
    header = OIIO::ImageSpec(2, 1, 3, OIIO::TypeDesc::FLOAT);
    header.channelnames = {"Z", "foo", "bar"};
    out = OIIO::ImageOutput::create("zfb.exr");
    ASSERT_TRUE(out);
    const float others[] = {0.25f, 0.5f, 1.0f, 0.0f, 0.75f, 1.0f};
    ASSERT_TRUE(out->open((folder / "zfb.exr").string(), header));
    ASSERT_TRUE(out->write_image(OIIO::TypeDesc::FLOAT, others));
    ASSERT_TRUE(out->close());
    expectRefused("OndrelCircle -i zfb.exr -o out.png",
                  "cannot read input \"zfb.exr\": it holds the channels Z, bar, foo, none of them "
                  "a colour by name (R, G, B, or Y for grey, with A)"); // as OpenEXR sorts them
}

// NaN or infinity in the input would pass through every blend, an opaque "Normal" fill too.
TEST_F(InputFiles, ValuesThatAreNotFiniteAreRefused) {
    std::vector<float> values(4 * 4 * 4, 0.5f);
    values[(0 * 4 + 3) * 4 + 1] = std::numeric_limits<float>::quiet_NaN(); // (3, 0) green
    values[(2 * 4 + 1) * 4 + 0] = std::numeric_limits<float>::infinity();
    write("nan.exr", 4, 4, 4, OIIO::TypeDesc::FLOAT, values);
    for (const char* depth : {"8", "32"}) {
        expectRefused("OndrelCircle -i nan.exr -o out.exr --depth " + std::string(depth),
                      "input \"nan.exr\" holds a value that is NaN or infinite, at pixel (3, 0) "
                      "in channel G; the effects need finite colours");
    }
}

} // namespace
