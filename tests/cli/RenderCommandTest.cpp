// `ondrel render` run as a user runs it, in a folder of its own: images in and out, pixel
// conversions between the host's worlds and the files, and every refusal with its message, exit
// status and no file left behind.

#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string errors; // stderr
};

struct Image {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::string format;
    std::vector<float> pixels;

    const float* at(int x, int y) const {
        return &pixels[static_cast<std::size_t>((y * width + x) * channels)];
    }
};

class RenderCommand : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("ondrel-cli-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    // The command with its arguments, run in the test's folder.
    Outcome ondrel(const std::string& arguments) {
        const std::string command = "cd '" + folder.string() +
                                    "' && '" ONDREL_CLI_PATH
                                    "' render --module '" ONDREL_MODULE_PATH "' " +
                                    arguments + " > stdout.txt 2> stderr.txt";
        const int status = std::system(command.c_str());
        std::ifstream err(folder / "stderr.txt");
        std::stringstream text;
        text << err.rdbuf();
        fs::remove(folder / "stdout.txt");
        fs::remove(folder / "stderr.txt");
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
    }

    std::set<std::string> files() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    Image read(const std::string& name, bool unassociated = true) const {
        OIIO::ImageSpec config;
        config.attribute("oiio:UnassociatedAlpha", unassociated ? 1 : 0);
        auto in = OIIO::ImageInput::open((folder / name).string(), &config);
        EXPECT_TRUE(in) << name;
        Image image;
        if (!in) {
            return image;
        }
        const OIIO::ImageSpec& spec = in->spec();
        image = {spec.width, spec.height, spec.nchannels, spec.format.c_str(), {}};
        image.pixels.resize(static_cast<std::size_t>(spec.width * spec.height * spec.nchannels));
        EXPECT_TRUE(
            in->read_image(0, 0, 0, spec.nchannels, OIIO::TypeDesc::FLOAT, image.pixels.data()));
        return image;
    }

    // Writes raw channel values of the given type; alpha, when present, is stored unassociated.
    template <typename T>
    void write(const std::string& name, int width, int height, int channels, OIIO::TypeDesc type,
               const std::vector<T>& values) const {
        OIIO::ImageSpec spec(width, height, channels, type);
        spec.attribute("oiio:UnassociatedAlpha", 1);
        auto out = OIIO::ImageOutput::create(name);
        ASSERT_TRUE(out);
        ASSERT_TRUE(out->open((folder / name).string(), spec));
        ASSERT_TRUE(out->write_image(type, values.data()));
        ASSERT_TRUE(out->close());
    }

    fs::path folder;
};

void expectPixel(const Image& image, int x, int y, std::vector<float> want, float tolerance) {
    for (int c = 0; c < image.channels; ++c) {
        EXPECT_NEAR(image.at(x, y)[c], want[static_cast<std::size_t>(c)], tolerance)
            << "pixel (" << x << ", " << y << ") channel " << c;
    }
}

// An 8-bit file's pixel in its own units.
void expectBytes(const Image& image, int x, int y, std::vector<long> want) {
    for (int c = 0; c < image.channels; ++c) {
        EXPECT_EQ(std::lround(image.at(x, y)[c] * 255.0f), want[static_cast<std::size_t>(c)])
            << "pixel (" << x << ", " << y << ") channel " << c;
    }
}

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

// Every refusal is one line on stderr naming the problem, a non-zero status, and no new file.
TEST_F(RenderCommand, BadRequestsAreRefusedWithoutLeavingAFile) {
    write<unsigned char>("in.png", 1, 1, 4, OIIO::TypeDesc::UINT8, {1, 2, 3, 4});
    std::ofstream(folder / "broken.png") << "not an image";
    std::ofstream(folder / "keep.png") << "an earlier result";
    const struct {
        const char* arguments;
        const char* message;
    } cases[] = {
        {"NoSuchEffect -o out.png",
         "unknown effect \"NoSuchEffect\"; the module holds OndrelCircle, OndrelLine, "
         "OndrelRectangle, OndrelTriangle"},
        {"OndrelCircle -o out.png --set \"Colour=#ff0000\"",
         "OndrelCircle has no parameter \"Colour\"; its parameters are \"Radius\", \"Center\""},
        {"OndrelCircle -o out.png --set Transform=1", "has no parameter \"Transform\""},
        {"OndrelCircle -o out.png --set Radius=3000.5",
         "outside the valid range of \"Radius\", 0 to 3000"},
        {"OndrelCircle -o out.png --set Opacity=-1",
         "outside the valid range of \"Opacity\", 0 to 100"},
        {"OndrelCircle -o out.png --set Radius=big", "\"Radius\" takes a number"},
        {"OndrelCircle -o out.png --set \"Mode=Outline\"",
         "no such item of \"Mode\"; its items are Fill, Stroke, Fill and Stroke"},
        {"OndrelCircle -o out.png --set \"Blending Mode=(-\"", "no such item of \"Blending Mode\""},
        {"OndrelCircle -o out.png --set \"Center=10\"", "takes a point X,Y"},
        {"OndrelCircle -o out.png --set \"Fill Color=#12345\"", "takes a colour"},
        {"OndrelCircle -o out.png --set Radius", "expected NAME=VALUE"},
        {"OndrelCircle -i missing.png -o out.png", "cannot read input \"missing.png\""},
        {"OndrelCircle -i broken.png -o out.png", "cannot read input \"broken.png\""},
        {"OndrelCircle -o nowhere/out.png", "the folder \"nowhere\" does not exist"},
        {"OndrelCircle -o out.unknownformat", "no image format is known by that name"},
        {"OndrelCircle -o .", "it names a folder"},
        {"OndrelCircle -o out.png --depth 12", "--depth"},
        {"OndrelCircle -o out.png --downsample 0", "--downsample \"0\""},
        {"OndrelCircle -o out.png --size 0x10", "--size \"0x10\""},
        {"OndrelCircle -i in.png --size 10x10 -o out.png", "excludes"},
        {"OndrelCircle -o keep.png --set Radius=-5", "outside the valid range"},
    };
    const std::set<std::string> before = files();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const Outcome run = ondrel(c.arguments);
        EXPECT_NE(run.status, 0);
        EXPECT_EQ(run.errors.rfind("ondrel: ", 0), 0u) << run.errors;
        EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
        EXPECT_EQ(files(), before);
    }
    std::ifstream kept(folder / "keep.png");
    std::string text;
    std::getline(kept, text);
    EXPECT_EQ(text, "an earlier result");
}

} // namespace
