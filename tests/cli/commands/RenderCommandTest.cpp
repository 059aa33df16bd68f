// `ondrel render` as it succeeds: images in and out, and the pixel conversions between the host's
// worlds and the files. Refusals are in ArgumentsTest here and in ../image (InputFilesTest,
// OutputPathsTest).

#include "tests/cli/CliTestSupport.h"

#include <regex>

namespace {

using namespace CliTest;

TEST_F(RenderCommand, DefaultsDrawTheRedDiscOnTheBuiltInLayer) {
    const Outcome run = ondrel("OndrelCircle -o circle.png --size 400x300");
    ASSERT_EQ(run.status, 0) << run.errors;
    const Image image = read("circle.png");
    EXPECT_EQ(image.width, 400);
    EXPECT_EQ(image.height, 300);
    EXPECT_EQ(image.format, "uint8");
    expectPixel(image, 200, 150, {1, 0, 0, 1}, 0);
    expectPixel(image, 200 + 99, 150, {1, 0, 0, 1}, 0);
    // Beyond the radius the built-in layer shows, opaque and not red.
    const float* outside = image.at(200 + 101, 150);
    EXPECT_EQ(outside[3], 1.0f);
    EXPECT_LT(outside[0], 0.9f);
    EXPECT_EQ(files(), std::set<std::string>{"circle.png"});
}

TEST_F(RenderCommand, ParametersByTheirOwnNames) {
    const Outcome run = ondrel("OndrelCircle -o c.png --size 200x100 --set \"Radius=20\" "
                               "--set \"Center=50,40\" --set \"Fill Color=#00ff00\" "
                               "--set \"Blending Mode=None\" --set \"Mode=Fill and Stroke\" "
                               "--set \"Stroke Width=0\"");
    ASSERT_EQ(run.status, 0) << run.errors;
    const Image image = read("c.png");
    expectPixel(image, 50, 40, {0, 1, 0, 1}, 0);
    expectPixel(image, 50 + 21, 40, {0, 0, 0, 0}, 0); // "None": nothing but the shape
    expectPixel(image, 150, 50, {0, 0, 0, 0}, 0);
}

// With zero opacity the output is the input, so a file goes through the host's worlds and back.
TEST_F(RenderCommand, EightBitFilesKeepStraightAlphaExactly) {
    write<unsigned char>("in.png", 2, 1, 4, OIIO::TypeDesc::UINT8,
                         {200, 100, 50, 128, 10, 20, 30, 0});
    const Outcome run = ondrel("OndrelCircle -i in.png -o out.png --set Opacity=0");
    ASSERT_EQ(run.status, 0) << run.errors;
    const Image out = read("out.png");
    EXPECT_EQ(out.format, "uint8");
    expectBytes(out, 0, 0, {200, 100, 50, 128});
    expectBytes(out, 1, 0, {10, 20, 30, 0});
}

// The host's 16-bit white is 32768; the file's is 65535. Values the host can hold survive.
TEST_F(RenderCommand, SixteenBitFilesMapTheHostRangeOntoTheFullRange) {
    std::vector<unsigned short> values;
    for (const double host : {0.0, 1.0, 16384.0, 32767.0, 32768.0, 12345.0, 20000.0, 32768.0}) {
        values.push_back(static_cast<unsigned short>(std::lround(host * 65535.0 / 32768.0)));
    }
    write("in.png", 2, 1, 4, OIIO::TypeDesc::UINT16, values);
    const Outcome run = ondrel("OndrelCircle -i in.png -o out.png --set Opacity=0 --depth 16");
    ASSERT_EQ(run.status, 0) << run.errors;
    const Image out = read("out.png");
    EXPECT_EQ(out.format, "uint16");
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(std::lround(out.pixels[i] * 65535.0f), values[i]) << "channel " << i;
    }
}

// OpenEXR stores associated alpha: the straight colour is multiplied in on writing.
TEST_F(RenderCommand, FloatGoesToOpenExrWithAssociatedAlpha) {
    write<unsigned char>("in.png", 1, 1, 4, OIIO::TypeDesc::UINT8, {255, 128, 0, 51});
    const Outcome run = ondrel("OndrelCircle -i in.png -o out.exr --set Opacity=0 --depth 32");
    ASSERT_EQ(run.status, 0) << run.errors;
    const Image out = read("out.exr", false);
    EXPECT_EQ(out.format, "float");
    const float a = 51 / 255.0f;
    expectPixel(out, 0, 0, {a, 128 / 255.0f * a, 0, a}, 1e-6f);

    // And divided out again when an OpenEXR file is the input.
    ASSERT_EQ(ondrel("OndrelCircle -i out.exr -o back.tif --set Opacity=0 --depth 32").status, 0);
    const Image back = read("back.tif");
    EXPECT_EQ(back.format, "float");
    expectPixel(back, 0, 0, {1, 128 / 255.0f, 0, a}, 1e-6f);
}

TEST_F(RenderCommand, GreyInputsBecomeGreyOpaqueLayers) {
    write<unsigned char>("grey.png", 1, 1, 1, OIIO::TypeDesc::UINT8, {77});
    ASSERT_EQ(ondrel("OndrelCircle -i grey.png -o out.png --set Opacity=0").status, 0);
    expectBytes(read("out.png"), 0, 0, {77, 77, 77, 255});
}

// --strict checks the module as the tests do, and changes no pixel of a good render.
TEST_F(RenderCommand, StrictModeChangesNothing) {
    const std::string request = "OndrelTriangle --size 120x90 --depth 32 --set \"Stroke Width=6\" "
                                "--set \"Mode=Fill and Stroke\" --set \"Blending Mode=Screen\"";
    ASSERT_EQ(ondrel(request + " -o plain.exr").status, 0);
    const Outcome strict = ondrel(request + " --strict -o strict.exr");
    ASSERT_EQ(strict.status, 0) << strict.errors;
    EXPECT_EQ(read("plain.exr").pixels, read("strict.exr").pixels);
}

TEST_F(RenderCommand, DownsampleRendersTheSmallerFrame) {
    const Outcome run = ondrel("OndrelCircle -o half.png --size 401x300 --downsample 2:3");
    ASSERT_EQ(run.status, 0) << run.errors;
    const Image image = read("half.png");
    EXPECT_EQ(image.width, 201); // rounded up
    EXPECT_EQ(image.height, 100);
    // The centre lands at (100.25, 50); radius 100 at horizontal 1/2 is 50 pixels.
    expectPixel(image, 100, 50, {1, 0, 0, 1}, 0);
    expectPixel(image, 100 + 48, 50, {1, 0, 0, 1}, 0);
    EXPECT_LT(image.at(100 + 52, 50)[0], 0.9f);
}

// One line on standard error, for a frame and for a sequence on two jobs (summed over its frames),
// and nothing without the flag.
TEST_F(RenderCommand, TimingsTellReadingRenderingAndWriting) {
    const std::regex line(
        "reading [0-9]+\\.[0-9] ms, rendering [0-9]+\\.[0-9] ms, writing [0-9]+\\.[0-9] ms\n");
    const Outcome frame = ondrel("OndrelCircle -o one.png --size 64x48 --timings");
    ASSERT_EQ(frame.status, 0) << frame.errors;
    EXPECT_TRUE(std::regex_match(frame.errors, line)) << frame.errors;
    const Outcome sequence =
        ondrel("OndrelCircle -o 'seq.#.png' --size 64x48 --frames 1-3 --jobs 2 -q --timings");
    ASSERT_EQ(sequence.status, 0) << sequence.errors;
    EXPECT_TRUE(std::regex_match(sequence.errors, line)) << sequence.errors;
    EXPECT_EQ(files().size(), 4u);
    const Outcome plain = ondrel("OndrelCircle -o two.png --size 64x48");
    EXPECT_EQ(plain.errors, "");
}

} // namespace
