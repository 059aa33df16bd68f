#pragma once

// `ondrel render` run as a user runs it, in a folder of its own per test: the command's outcome,
// the files it leaves, and images written and read with OpenImageIO.

#include "cli/render/FrameRecord.h"

#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace CliTest {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string errors; // stderr
    std::string output; // stdout
};

inline std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline long lines(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
}

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

    // `ondrel --module MODULE ARGUMENTS`, run by the shell in the test's folder.
    Outcome command(const std::string& arguments) const {
        return shell(limits + " '" ONDREL_CLI_PATH "' --module '" ONDREL_MODULE_PATH "' " +
                     arguments);
    }

    // A shell command line run in the test's folder.
    Outcome shell(const std::string& line) const {
        const std::string run =
            "cd '" + folder.string() + "' && " + line + " > stdout.txt 2> stderr.txt";
        const int status = std::system(run.c_str());
        Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                        readFile(folder / "stderr.txt"), readFile(folder / "stdout.txt")};
        fs::remove(folder / "stdout.txt");
        fs::remove(folder / "stderr.txt");
        return outcome;
    }

    // `ondrel render` with its arguments.
    Outcome ondrel(const std::string& arguments) const { return command("render " + arguments); }

    // The names in the folder, or in one inside it, but for the record a sequence keeps beside
    // its frames (FrameRecord.h), which has tests of its own.
    std::set<std::string> files(const fs::path& inside = {}) const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder / inside)) {
            if (entry.path().filename() != OndrelCli::frameRecordName) {
                names.insert(entry.path().filename().string());
            }
        }
        return names;
    }

    std::string bytes(const fs::path& name) const { return readFile(folder / name); }

    Image read(const std::string& name, bool unassociated = true) const {
        OIIO::ImageSpec config;
        config.attribute("oiio:UnassociatedAlpha", unassociated ? 1 : 0);
        auto in = OIIO::ImageInput::open((folder / name).string(), &config);
        EXPECT_TRUE(in) << name;
        Image image;
        if (!in) {
            return image;
        }
        const OIIO::ImageSpec& header = in->spec();
        image = {header.width, header.height, header.nchannels, header.format.c_str(), {}};
        image.pixels.resize(
            static_cast<std::size_t>(header.width * header.height * header.nchannels));
        EXPECT_TRUE(
            in->read_image(0, 0, 0, header.nchannels, OIIO::TypeDesc::FLOAT, image.pixels.data()));
        return image;
    }

    // Writes raw channel values of the given type; alpha, when present, is stored unassociated.
    template <typename T>
    void write(const std::string& name, int width, int height, int channels, OIIO::TypeDesc type,
               const std::vector<T>& values) const {
        OIIO::ImageSpec header(width, height, channels, type);
        header.attribute("oiio:UnassociatedAlpha", 1);
        auto out = OIIO::ImageOutput::create(name);
        ASSERT_TRUE(out);
        ASSERT_TRUE(out->open((folder / name).string(), header));
        ASSERT_TRUE(out->write_image(type, values.data()));
        ASSERT_TRUE(out->close());
    }

    // A refusal of `ondrel render ARGUMENTS`: one line on stderr that starts "ondrel: " and
    // holds `message`, a non-zero status, and the folder as it was.
    void expectRefused(const std::string& arguments, const std::string& message) {
        expectCommandRefused("render " + arguments, message);
    }

    // The same for any of the command's subcommands.
    void expectCommandRefused(const std::string& arguments, const std::string& message) {
        SCOPED_TRACE(arguments);
        const std::set<std::string> before = files();
        const Outcome run = command(arguments);
        EXPECT_NE(run.status, 0);
        EXPECT_EQ(run.errors.rfind("ondrel: ", 0), 0u) << run.errors;
        EXPECT_NE(run.errors.find(message), std::string::npos) << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
        EXPECT_EQ(files(), before);
    }

    fs::path folder;
    // Shell commands that set limits for the command, each ending in "&&".
    std::string limits;
};

// `text` as one word for the shell, whatever it holds.
inline std::string shellWord(const std::string& text) {
    std::string word = "'";
    for (const char c : text) {
        word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return word + "'";
}

inline void expectPixel(const Image& image, int x, int y, std::vector<float> want,
                        float tolerance) {
    for (int c = 0; c < image.channels; ++c) {
        EXPECT_NEAR(image.at(x, y)[c], want[static_cast<std::size_t>(c)], tolerance)
            << "pixel (" << x << ", " << y << ") channel " << c;
    }
}

// An 8-bit file's pixel in its own units.
inline void expectBytes(const Image& image, int x, int y, std::vector<long> want) {
    for (int c = 0; c < image.channels; ++c) {
        EXPECT_EQ(std::lround(image.at(x, y)[c] * 255.0f), want[static_cast<std::size_t>(c)])
            << "pixel (" << x << ", " << y << ") channel " << c;
    }
}

} // namespace CliTest
