// Image files hold exactly the values of the straightforward evaluation, kept here as the
// reference: written, every channel to a unit float by the exact conversion, colours multiplied
// by alpha for OpenEXR, then converted by OpenImageIO from floats; read, OpenImageIO's floats to
// channels by the exact conversion. Random worlds and files (a fresh seed each run, printed on a
// failure; ONDREL_EQUIVALENCE_SEED and ONDREL_EQUIVALENCE_CASES repeat or lengthen a run) and
// every 8- and 16-bit value, at every depth, in PNG, TIFF and OpenEXR, with every lossless
// compression giving the same pixels.

#include "tests/cli/CliTestSupport.h"

#include "cli/core/CliError.h"
#include "cli/image/Compression.h"
#include "cli/image/ImageFiles.h"

#include "host/pixels/World.h"
#include "tests/support/EquivalenceRuns.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <random>

namespace {

using namespace CliTest;
using OfflineHost::PixelDepth;
using OfflineHost::PixelTraits;
using OfflineHost::World;

using OndrelCli::writeImage;

using ImageFiles = RenderCommand;

constexpr PixelDepth depths[] = {PixelDepth::Bits8, PixelDepth::Bits16, PixelDepth::Float32};

// A channel value of every kind a world can hold: integers anywhere in their range (16-bit
// ones above white too), floats in and out of 0..1, zero, negative zero, tiny, huge, infinite
// and NaN.
template <typename Channel>
Channel randomChannel(std::mt19937_64& random) {
    if constexpr (std::is_integral_v<Channel>) {
        return static_cast<Channel>(random() %
                                    (std::size_t(std::numeric_limits<Channel>::max()) + 1));
    } else {
        const float specials[] = {0.0f,
                                  -0.0f,
                                  1.0f,
                                  1e-30f,
                                  3e38f,
                                  -2.5f,
                                  std::numeric_limits<float>::infinity(),
                                  std::numeric_limits<float>::quiet_NaN()};
        if (random() % 4 == 0) {
            return specials[random() % std::size(specials)];
        }
        return std::uniform_real_distribution<float>(-0.25f, 1.5f)(random);
    }
}

// A world with a pixel of padding at the end of each row, filled at random, or with every
// channel value in turn when `sweep` is set.
World testWorld(PixelDepth depth, A_long width, A_long height, std::uint64_t seed,
                bool sweep = false) {
    World world(width, height, depth, static_cast<A_long>(OfflineHost::pixelBytes(depth)));
    std::mt19937_64 random(seed);
    OfflineHost::withPixelType(depth, [&](auto pixel) {
        using Pixel = decltype(pixel);
        using Channel = typename PixelTraits<Pixel>::Channel;
        long next = 0;
        for (A_long y = 0; y < height; ++y) {
            for (A_long x = 0; x < width; ++x) {
                Pixel& p = world.at<Pixel>(x, y);
                if (sweep) {
                    // Colour channels run through the values; alpha, at random, decides little
                    // for the unassociated formats and everything for OpenEXR.
                    p = {randomChannel<Channel>(random), static_cast<Channel>(next),
                         static_cast<Channel>(next + 1), static_cast<Channel>(next + 2)};
                    next += 3;
                } else {
                    p = {randomChannel<Channel>(random), randomChannel<Channel>(random),
                         randomChannel<Channel>(random), randomChannel<Channel>(random)};
                }
            }
        }
        return PF_Err_NONE;
    });
    return world;
}

// Smooth ramps with a little noise, which every compression packs differently.
World smoothWorld(PixelDepth depth, std::uint64_t seed) {
    const A_long width = 160;
    const A_long height = 48;
    World world(width, height, depth);
    std::mt19937_64 random(seed);
    OfflineHost::withPixelType(depth, [&](auto pixel) {
        using Pixel = decltype(pixel);
        for (A_long y = 0; y < height; ++y) {
            for (A_long x = 0; x < width; ++x) {
                const float noise = static_cast<float>(random() % 8) / 1024.0f;
                world.at<Pixel>(x, y) = OfflineHost::unitPixel<Pixel>(
                    static_cast<float>(x) / width, static_cast<float>(y) / height + noise, 0.5f,
                    static_cast<float>(x + y) / (width + height));
            }
        }
        return PF_Err_NONE;
    });
    return world;
}

// The straightforward evaluation of a file of the world: PNG and TIFF hold 8 bits for 8-bit
// worlds and 16 for the others (TIFF float for float), OpenEXR floats multiplied by alpha.
void writeReference(const World& world, const fs::path& file) {
    auto out = OIIO::ImageOutput::create(file.string());
    ASSERT_TRUE(out);
    const std::string format = out->format_name();
    const bool exr = format == "openexr";
    OIIO::TypeDesc stored = OIIO::TypeDesc::UINT16;
    if (world.depth() == PixelDepth::Bits8) {
        stored = OIIO::TypeDesc::UINT8;
    } else if (world.depth() == PixelDepth::Float32 && format != "png") {
        stored = OIIO::TypeDesc::FLOAT;
    }
    OIIO::ImageSpec header(world.width(), world.height(), 4, stored);
    if (!exr) {
        header.attribute("oiio:UnassociatedAlpha", 1);
    }
    header.attribute("DateTime", "");
    std::vector<float> units;
    OfflineHost::withPixelType(world.depth(), [&](auto pixel) {
        using Pixel = decltype(pixel);
        using Traits = PixelTraits<Pixel>;
        for (A_long y = 0; y < world.height(); ++y) {
            for (A_long x = 0; x < world.width(); ++x) {
                const Pixel& p = world.at<Pixel>(x, y);
                const float alpha = Traits::unit(p.alpha);
                const float colour[3] = {Traits::unit(p.red), Traits::unit(p.green),
                                         Traits::unit(p.blue)};
                for (const float c : colour) {
                    units.push_back(exr ? c * alpha : c);
                }
                units.push_back(alpha);
            }
        }
        return PF_Err_NONE;
    });
    ASSERT_TRUE(out->open(file.string(), header));
    ASSERT_TRUE(out->write_image(OIIO::TypeDesc::FLOAT, units.data()));
    ASSERT_TRUE(out->close());
}

// A file's pixels as it stores them, with the type, for comparing byte for byte.
struct StoredPixels {
    std::string type;
    int channels = 0;
    std::vector<unsigned char> bytes;
    bool operator==(const StoredPixels&) const = default;
};

StoredPixels stored(const fs::path& file) {
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(file.string(), &config);
    EXPECT_TRUE(in) << file;
    if (!in) {
        return {};
    }
    const OIIO::ImageSpec& header = in->spec();
    StoredPixels pixels{header.format.c_str(), header.nchannels,
                        std::vector<unsigned char>(header.image_bytes())};
    EXPECT_TRUE(in->read_image(0, 0, 0, header.nchannels, header.format, pixels.bytes.data()));
    return pixels;
}

// The first byte at which two files' pixels differ, for the failure message.
std::string firstDifference(const StoredPixels& a, const StoredPixels& b) {
    if (a.type != b.type || a.channels != b.channels || a.bytes.size() != b.bytes.size()) {
        return a.type + " x" + std::to_string(a.channels) + " against " + b.type + " x" +
               std::to_string(b.channels);
    }
    const auto at = std::mismatch(a.bytes.begin(), a.bytes.end(), b.bytes.begin());
    return "byte " + std::to_string(at.first - a.bytes.begin());
}

TEST_F(ImageFiles, WrittenPixelsAreThoseOfTheStraightforwardEvaluation) {
    const std::uint64_t cases = TestSupport::equivalenceCases(6);
    const std::uint64_t seed = TestSupport::equivalenceSeed();
    for (const PixelDepth depth : depths) {
        for (const char* extension : {"png", "tif", "exr"}) {
            for (std::uint64_t i = 0; i <= cases; ++i) {
                // The last case sweeps every 8-bit value, or every 16-bit one in a larger world.
                const bool sweep = i == cases && depth != PixelDepth::Float32;
                const auto odd = static_cast<A_long>(i % 5);
                const A_long width = sweep && depth == PixelDepth::Bits16 ? 256 : 37 + odd;
                const A_long height = sweep && depth == PixelDepth::Bits16 ? 86 : 3 + odd;
                const World world = testWorld(depth, width, height, seed + i, sweep);
                const fs::path file = folder / ("written." + std::string(extension));
                const fs::path reference = folder / ("reference." + std::string(extension));
                writeImage(world, file);
                writeReference(world, reference);
                const StoredPixels got = stored(file);
                const StoredPixels want = stored(reference);
                ASSERT_TRUE(got == want)
                    << OfflineHost::depthLabel(depth) << " world in ." << extension << ", seed "
                    << seed + i << (sweep ? " (sweep)" : "") << ": " << firstDifference(got, want);
            }
        }
    }
}

// A file written by OpenImageIO with its own channel values, read at every depth by the command
// and by the reference: OpenImageIO's floats, each to a channel by the exact conversion; grey
// fills red, green and blue, and a missing alpha is opaque.
template <typename Stored>
void expectReadAsReference(const fs::path& file, const std::vector<Stored>& values, int width,
                           int height, int channels, std::uint64_t seed) {
    OIIO::ImageSpec header(width, height, channels, OIIO::TypeDescFromC<Stored>::value());
    if (channels <= 2) {
        header.channelnames =
            channels == 1 ? std::vector<std::string>{"Y"} : std::vector<std::string>{"Y", "A"};
        header.alpha_channel = channels == 2 ? 1 : -1;
    }
    header.attribute("oiio:UnassociatedAlpha", 1);
    auto out = OIIO::ImageOutput::create(file.string());
    ASSERT_TRUE(out && out->open(file.string(), header));
    ASSERT_TRUE(out->write_image(OIIO::TypeDescFromC<Stored>::value(), values.data()));
    ASSERT_TRUE(out->close());
    std::vector<float> units(values.size());
    ASSERT_TRUE(OIIO::convert_pixel_values(OIIO::TypeDescFromC<Stored>::value(), values.data(),
                                           OIIO::TypeDesc::FLOAT, units.data(),
                                           static_cast<int>(values.size())));
    for (const PixelDepth depth : depths) {
        const World got = OndrelCli::InputImage(file).read(depth);
        int wrong = -1; // the first pixel that differs
        OfflineHost::withPixelType(depth, [&](auto pixel) {
            using Pixel = decltype(pixel);
            for (int i = 0; i < width * height && wrong < 0; ++i) {
                const float* u = &units[static_cast<std::size_t>(i * channels)];
                const bool grey = channels <= 2;
                const float alpha = channels == 2 ? u[1] : channels == 4 ? u[3] : 1.0f;
                const Pixel want = OfflineHost::unitPixel<Pixel>(alpha, u[0], grey ? u[0] : u[1],
                                                                 grey ? u[0] : u[2]);
                const Pixel& p = got.at<Pixel>(i % width, i / width);
                if (std::memcmp(&p, &want, sizeof p) != 0) {
                    wrong = i;
                }
            }
            return PF_Err_NONE;
        });
        ASSERT_LT(wrong, 0) << file.filename() << " with " << channels << " channels read at "
                            << OfflineHost::depthLabel(depth) << ", pixel (" << wrong % width
                            << ", " << wrong / width << "), seed " << seed;
    }
}

TEST_F(ImageFiles, ReadPixelsAreThoseOfTheStraightforwardEvaluation) {
    const std::uint64_t cases = TestSupport::equivalenceCases(6);
    const std::uint64_t seed = TestSupport::equivalenceSeed();
    for (std::uint64_t i = 0; i < cases; ++i) {
        std::mt19937_64 random(seed + i);
        const int channels = 1 + static_cast<int>(i % 4);
        const int width = 29;
        const int height = 7;
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width * height * channels));
        std::vector<std::uint16_t> shorts(bytes.size());
        for (std::size_t v = 0; v < bytes.size(); ++v) {
            bytes[v] = static_cast<std::uint8_t>(random());
            shorts[v] = static_cast<std::uint16_t>(random());
        }
        expectReadAsReference(folder / "in8.png", bytes, width, height, channels, seed + i);
        expectReadAsReference(folder / "in16.tif", shorts, width, height, channels, seed + i);
    }
    // Every value, as grey and alpha.
    std::vector<std::uint8_t> bytes(256);
    std::vector<std::uint16_t> shorts(65536);
    for (std::size_t v = 0; v < shorts.size(); ++v) {
        shorts[v] = static_cast<std::uint16_t>(v);
        bytes[v % 256] = static_cast<std::uint8_t>(v);
    }
    expectReadAsReference(folder / "all8.png", bytes, 128, 1, 2, 0);
    expectReadAsReference(folder / "all16.png", shorts, 256, 128, 2, 0);
}

// Compression changes the bytes of a file, never its pixels; and a name the format does not
// take is refused on one line that lists those it takes.
TEST_F(ImageFiles, EveryCompressionKeepsThePixels) {
    const std::uint64_t seed = TestSupport::equivalenceSeed();
    for (const PixelDepth depth : depths) {
        const World world = smoothWorld(depth, seed);
        for (const char* extension : {"png", "tif", "exr"}) {
            const fs::path file = folder / ("f." + std::string(extension));
            const std::string format = OndrelCli::outputFormat(file);
            writeImage(world, file, "default");
            const StoredPixels want = stored(file);
            const std::string defaultBytes = readFile(file);
            std::map<std::string, std::string> bytes;
            for (const std::string& name : OndrelCli::compressionNames(format)) {
                writeImage(world, file, name);
                const StoredPixels got = stored(file);
                EXPECT_TRUE(got == want)
                    << OfflineHost::depthLabel(depth) << " ." << extension << " with " << name
                    << ", seed " << seed << ": " << firstDifference(got, want);
                bytes[name] = readFile(file);
            }
            // The levels are asked of the library, not ignored.
            EXPECT_EQ(bytes["default"], defaultBytes);
            EXPECT_NE(bytes["fast"], defaultBytes) << extension;
            EXPECT_GT(bytes["none"].size(), defaultBytes.size()) << extension;
            EXPECT_LE(bytes["small"].size(), defaultBytes.size()) << extension;
        }
    }
    try {
        OndrelCli::checkCompression("piz", "png");
        ADD_FAILURE() << "PNG took piz";
    } catch (const OndrelCli::CliError& e) {
        EXPECT_STREQ(e.what(), "PNG files take fast, default, small or none");
    }
    try {
        OndrelCli::checkCompression("zip:10", "openexr");
        ADD_FAILURE() << "OpenEXR took zip:10";
    } catch (const OndrelCli::CliError& e) {
        EXPECT_STREQ(e.what(), "OpenEXR files take fast, default, small, none, rle, zip, zips, "
                               "piz, zip:1 to zip:9 or zips:1 to zips:9");
    }
    EXPECT_NO_THROW(OndrelCli::checkCompression("zip:3", "tiff"));
    EXPECT_NO_THROW(OndrelCli::checkCompression("piz", "")); // the output is not known yet
    EXPECT_THROW(OndrelCli::checkCompression("fastest", ""), OndrelCli::CliError);
    EXPECT_THROW(OndrelCli::checkCompression("small", "jpeg"), OndrelCli::CliError);
}

// The command takes --compression for its output, and a recipe carries it.
TEST_F(ImageFiles, TheCommandAndItsRecipesTakeACompression) {
    expectRefused("OndrelCircle --size 32x16 -o out.png --compression piz",
                  "--compression \"piz\": PNG files take fast, default, small or none");
    const Outcome small = ondrel("OndrelCircle --size 320x180 -o small.png --compression small");
    const Outcome none = ondrel("OndrelCircle --size 320x180 -o none.png --compression none");
    ASSERT_EQ(small.status, 0) << small.errors;
    ASSERT_EQ(none.status, 0) << none.errors;
    // 320 x 180 RGBA bytes, stored: more than the raw pixels; deflated: far fewer.
    EXPECT_GT(fs::file_size(folder / "none.png"), 320u * 180u * 4u);
    EXPECT_LT(fs::file_size(folder / "small.png"), 320u * 180u * 4u / 4);
    EXPECT_TRUE(stored(folder / "small.png") == stored(folder / "none.png"));

    const Outcome unknown = command("recipe OndrelCircle --compression fastest");
    EXPECT_NE(unknown.status, 0);
    EXPECT_NE(unknown.errors.find("--compression \"fastest\": expected fast, default, small or "
                                  "none, or OpenEXR's rle"),
              std::string::npos)
        << unknown.errors;
    const Outcome recipe = command("recipe OndrelCircle --size 320x180 --compression piz");
    ASSERT_EQ(recipe.status, 0) << recipe.errors;
    EXPECT_NE(recipe.output.find("\"compression\": \"piz\""), std::string::npos) << recipe.output;
    std::ofstream(folder / "shot.json") << recipe.output;
    const Outcome render = ondrel("--recipe shot.json -o shot.exr");
    ASSERT_EQ(render.status, 0) << render.errors;
    EXPECT_EQ(OIIO::ImageInput::open((folder / "shot.exr").string())
                  ->spec()
                  .get_string_attribute("compression"),
              "piz");
    expectRefused("--recipe shot.json -o shot.png", "PNG files take");
}

// A disk that fills while a frame is written, here a file size limit (ulimit -f 4) that
// every format meets part-way: the command says so on one line and fails, leaves no temporary,
// and a good file already under the name keeps its bytes. OpenImageIO's PNG writer reports
// success then, and once left a cut-short file (an empty one with the library's compression).
TEST_F(ImageFiles, AFrameThatCannotBeWrittenWholeLeavesTheFileThereAsItWas) {
    for (const char* name : {"keep.png", "keep.tif", "keep.exr"}) {
        ASSERT_EQ(ondrel(std::string("OndrelCircle --size 16x16 -o ") + name).status, 0);
    }
    const std::set<std::string> before = files();
    limits = "ulimit -f 4 &&";
    for (const std::string arguments :
         {"-o keep.png", "-o keep.png --compression default", "-o keep.png --compression none",
          "-o keep.tif", "-o keep.exr --depth 32"}) {
        SCOPED_TRACE(arguments);
        const std::string name = arguments.substr(3, 8);
        const std::string good = bytes(name);
        const Outcome run = ondrel("OndrelCircle --size 640x480 " + arguments);
        EXPECT_EQ(run.status, 1); // an error of its own, not the end by SIGXFSZ
        EXPECT_EQ(run.errors, "ondrel: cannot write \"" + name +
                                  "\": the file would pass the size limit this process may "
                                  "write (ulimit -f)\n");
        EXPECT_EQ(bytes(name), good);
        EXPECT_EQ(files(), before);
    }
}

// Unmounts the file system mounted on `folder` when it goes.
struct Mounted {
    fs::path folder;
    bool mounted = false;
    ~Mounted() {
        if (mounted) {
            std::system(("umount '" + folder.string() + "'").c_str());
        }
    }
};

// A disk that fills: a small tmpfs of 512 KiB. A frame larger than the space left fails as
// "the disk is full" and leaves the good file there; a sequence stops at the frame that does
// not fit, says how many frames are whole, and every file it leaves is one of them.
TEST_F(ImageFiles, AFullDiskKeepsWhatWasThereAndSaysHowManyFramesAreWhole) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    Mounted disk{folder / "disk"};
    fs::create_directory(disk.folder);
    disk.mounted =
        std::system(("mount -t tmpfs -o size=512k tmpfs '" + disk.folder.string() + "'").c_str()) ==
        0;
    if (!disk.mounted) {
        GTEST_SKIP() << "this machine cannot mount a tmpfs";
    }
    ASSERT_EQ(ondrel("OndrelCircle --size 16x16 -o disk/keep.png").status, 0);
    const std::string good = bytes("disk/keep.png");
    // 640 x 480 RGBA stored is 1.2 MB.
    const Outcome big = ondrel("OndrelCircle --size 640x480 --compression none -o disk/keep.png");
    EXPECT_EQ(big.status, 1);
    EXPECT_EQ(big.errors, "ondrel: cannot write \"disk/keep.png\": the disk is full\n");
    EXPECT_EQ(bytes("disk/keep.png"), good);
    EXPECT_EQ(files("disk"), std::set<std::string>{"keep.png"});
    fs::remove(disk.folder / "keep.png");

    // Each frame 160 x 120 x 4 bytes and a little: six fit in 512 KiB, not twelve.
    const Outcome sequence = ondrel("OndrelCircle --size 160x120 --compression none --frames 1-12 "
                                    "--jobs 1 -q -o disk/f.####.png");
    EXPECT_EQ(sequence.status, 1);
    const std::set<std::string> left = files("disk");
    EXPECT_GE(left.size(), 1u);
    EXPECT_LT(left.size(), 12u);
    const std::string stop = "frame " + std::to_string(left.size() + 1) + ": cannot write ";
    EXPECT_EQ(sequence.errors.rfind("ondrel: " + stop, 0), 0u) << sequence.errors;
    EXPECT_NE(sequence.errors.find(": the disk is full (" + std::to_string(left.size()) +
                                   " of 12 frames are whole)\n"),
              std::string::npos)
        << sequence.errors;
    EXPECT_EQ(lines(sequence.errors), 1);
    for (const auto& name : left) {
        EXPECT_EQ(name.rfind("f.", 0), 0u) << "left behind: " << name;
        EXPECT_EQ(read("disk/" + name).width, 160) << name;
    }
}

} // namespace
