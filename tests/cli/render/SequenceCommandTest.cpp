// `ondrel render` of sequences: numbered files, keyframes over time, frames that render to the
// same bytes however they are split, resuming, and progress on stdout.

#include "tests/cli/CliTestSupport.h"

#include <OpenImageIO/imageio.h>

#include <array>
#include <chrono>
#include <thread>

namespace {

using namespace CliTest;

class Sequence : public RenderCommand {
protected:
    // The pixel's red, green, blue and alpha in 0 to 1.
    std::array<float, 4> pixel(const std::string& name, int x, int y) const {
        auto in = OIIO::ImageInput::open((folder / name).string());
        EXPECT_TRUE(in) << name;
        std::array<float, 4> rgba{};
        if (in) {
            const auto& header = in->spec();
            std::vector<float> all(static_cast<std::size_t>(header.width * header.height) * 4);
            EXPECT_TRUE(in->read_image(0, 0, 0, 4, OIIO::TypeDesc::FLOAT, all.data()));
            std::copy_n(all.begin() + 4 * (y * header.width + x), 4, rgba.begin());
        }
        return rgba;
    }
    bool red(const std::string& name, int x, int y) const {
        const auto p = pixel(name, x, y);
        return p[0] == 1.0f && p[1] == 0.0f && p[2] == 0.0f;
    }
};

// Ten million frames of one pixel once sat for minutes, silent, looking up every frame's file
// before the first: they are refused at once, naming the limit. (Given a minute of processor
// time, the old way runs out of it.)
TEST_F(Sequence, ARangeTooLongIsRefusedAtOnce) {
    limits = "ulimit -t 60 &&";
    for (const char* command : {"render", "submit --dry-run"}) {
        expectCommandRefused(std::string(command) +
                                 " OndrelCircle --size 1x1 --frames 0-9999999 -o f.#######.png",
                             "--frames \"0-9999999\": 10000000 frames, more than the 100000 one "
                             "render or job takes");
    }
}

TEST_F(Sequence, FilesAreNumberedAsThePatternSays) {
    const Outcome first = command("render OndrelCircle --size 32x18 --frames 8-9,12 -o a.####.png");
    ASSERT_EQ(first.status, 0) << first.errors;
    ASSERT_EQ(command("render OndrelCircle --size 32x18 --frames 9 -o b.%03d.png -q").status, 0);
    ASSERT_EQ(command("render OndrelCircle --size 32x18 --frames 9 -o c.%d.png -q").status, 0);
    ASSERT_EQ(command("render OndrelCircle --size 32x18 --frames 12345 -o d.##.png -q").status, 0);
    EXPECT_EQ(files(), (std::set<std::string>{"a.0008.png", "a.0009.png", "a.0012.png", "b.009.png",
                                              "c.9.png", "d.12345.png"}));
    // Not on a terminal: a line per frame, then the summary, on stdout.
    EXPECT_EQ(lines(first.output), 4) << first.output;
    EXPECT_NE(first.output.find("frame 12 (3 of 3): a.0012.png"), std::string::npos)
        << first.output;
    EXPECT_NE(first.output.find("3 frames rendered in "), std::string::npos) << first.output;
    EXPECT_NE(first.output.find("the slowest, frame "), std::string::npos) << first.output;
    EXPECT_EQ(first.errors, "");
}

// Radius from 0 at frame 0 to 100 at 1 s, at 4 frames per second; the circle is centred on
// (100, 50) of the 200 x 100 layer.
TEST_F(Sequence, KeyframesMoveTheValueFromFrameToFrame) {
    ASSERT_EQ(command("render OndrelCircle --size 200x100 --fps 4 --frames 1-2 -o lin.#.png -q "
                      "--set \"Radius=0@0,100@1s\" --set \"Fill Color=#ff0000@0:hold,#0000ff@4\"")
                  .status,
              0);
    // Frame 2 is half-way: radius 50, and the colour still held.
    EXPECT_TRUE(red("lin.2.png", 100 + 48, 50));
    EXPECT_FALSE(red("lin.2.png", 100 + 52, 50));
    // Frame 1: radius 25.
    EXPECT_TRUE(red("lin.1.png", 100 + 23, 50));
    EXPECT_FALSE(red("lin.1.png", 100 + 27, 50));

    // Eased, a quarter of the way is 0.15625 of the change: radius 15.625.
    ASSERT_EQ(command("render OndrelCircle --size 200x100 --fps 4 --frames 1 -o ease.#.png -q "
                      "--set \"Radius=0@0,100@4\" --interpolation Radius=ease")
                  .status,
              0);
    EXPECT_TRUE(red("ease.1.png", 100 + 14, 50));
    EXPECT_FALSE(red("ease.1.png", 100 + 17, 50));
}

// A frame renders to the same bytes alone, in chunks, in any order, several at once, and as a
// single frame at its time.
TEST_F(Sequence, EachFrameRendersToTheSameBytesHoweverTheWorkIsSplit) {
    const std::string shot =
        "render OndrelTriangle --size 160x90 --fps 6 -q "
        "--set \"Rotation=0@0,360@1s:ease\" --set \"Mode=Fill and Stroke\" "
        "--set \"Stroke Color=#20ff80@0,#2040ff@6\" --set \"Opacity=40@3,90@6\" ";
    for (const char* depth : {"8", "32"}) {
        SCOPED_TRACE(depth);
        const std::string ext = depth == std::string("8") ? ".png" : ".exr";
        fs::create_directories(folder / "whole");
        fs::create_directories(folder / "split");
        ASSERT_EQ(command(shot + "--depth " + depth + " --frames 1-6 -o whole/f.####" + ext).status,
                  0);
        // A second later, so that a file recording when it was written would differ.
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        ASSERT_EQ(command(shot + "--depth " + depth + " --frames 4-6 -o split/f.####" + ext).status,
                  0);
        ASSERT_EQ(command(shot + "--depth " + depth +
                          " --frames 1,3 --jobs 2 --threads 1 -o "
                          "split/f.####" +
                          ext)
                      .status,
                  0);
        ASSERT_EQ(
            command(shot + "--depth " + depth + " --time 0.333333333333 -o split/f.0002" + ext)
                .status,
            0);
        EXPECT_EQ(files("split"), files("whole"));
        for (const auto& name : files("whole")) {
            EXPECT_EQ(bytes("split/" + name), bytes("whole/" + name)) << name;
        }
        // The frames differ from each other: the values did move.
        EXPECT_NE(bytes("whole/f.0002" + ext), bytes("whole/f.0003" + ext));
        fs::remove_all(folder / "whole");
        fs::remove_all(folder / "split");
    }
}

// On a terminal (here the one `script` gives it) a bar on stderr shows the frames done, frames
// per second and time left, and no line per frame.
TEST_F(Sequence, OnATerminalABarShowsTheProgress) {
    const std::string line = "cd '" + folder.string() +
                             "' && script -qec \"'" ONDREL_CLI_PATH
                             "' --module '" ONDREL_MODULE_PATH "' render OndrelCircle --size "
                             "64x36 --frames 1-6 -o f.####.png\" typescript > /dev/null";
    ASSERT_EQ(std::system(line.c_str()), 0);
    const std::string terminal = bytes("typescript");
    EXPECT_NE(terminal.find("] 6/6 frames"), std::string::npos) << terminal;
    EXPECT_NE(terminal.find("frames/s"), std::string::npos) << terminal;
    EXPECT_NE(terminal.find("left"), std::string::npos) << terminal;
    EXPECT_EQ(terminal.find("frame 1 (1 of 6)"), std::string::npos) << terminal;
    EXPECT_NE(terminal.find("6 frames rendered in "), std::string::npos) << terminal;
}

// --skip-existing leaves whole frames alone, and renders again, each with one line on stderr that
// says why, a frame that is empty, cut short (however near its end), zeroed at its end as a crash
// can leave it, of another size or channel depth, or of another format under the name. The
// frames are then those of a run from nothing.
TEST_F(Sequence, SkipExistingRendersAgainEveryFrameThatIsNotWhole) {
    const auto name = [](int frame, const std::string& ext) {
        return "f.000" + std::to_string(frame) + ext;
    };
    const std::string shot = "render OndrelLine --size 64x36 --depth 16 --frames 1-9 "
                             "--set \"Scale=10@1,100@9\" ";
    fs::create_directory(folder / "whole");
    for (const std::string ext : {".png", ".tif", ".exr"}) {
        SCOPED_TRACE(ext);
        ASSERT_EQ(command(shot + "-q -o whole/f.####" + ext).status, 0);
        ASSERT_EQ(command(shot + "-q -o f.####" + ext).status, 0);
        const std::string whole = bytes(name(4, ext));
        const auto replace = [&](int frame, const std::string& with) {
            std::ofstream(folder / name(frame, ext), std::ios::binary | std::ios::trunc) << with;
        };
        fs::remove(folder / name(2, ext));
        replace(3, "");
        replace(4, whole.substr(0, whole.size() / 2));
        replace(5, whole.substr(0, whole.size() - 20));
        replace(6, whole.substr(0, whole.size() * 3 / 4) + std::string(whole.size() / 4 + 1, '\0'));
        const std::string otherDepth = ext == ".exr" ? "32" : "8";
        ASSERT_EQ(command("render OndrelLine --size 32x18 --depth 16 --frames 7 -q -o f.####" + ext)
                      .status,
                  0);
        ASSERT_EQ(command("render OndrelLine --size 64x36 --frames 8 -q -o f.####" + ext +
                          " --depth " + otherDepth)
                      .status,
                  0);
        const std::string otherFormat = ext == ".png" ? ".tif" : ".png";
        ASSERT_EQ(command("render OndrelLine --size 64x36 --depth 16 --frames 9 -q -o f.####" +
                          otherFormat)
                      .status,
                  0);
        fs::rename(folder / name(9, otherFormat), folder / name(9, ext));

        const Outcome resumed = command(shot + "--skip-existing -o f.####" + ext);
        ASSERT_EQ(resumed.status, 0) << resumed.errors;
        EXPECT_EQ(lines(resumed.errors), 7) << resumed.errors;
        for (int frame = 3; frame <= 9; ++frame) {
            const std::string line = "ondrel: frame " + std::to_string(frame) + ": \"" +
                                     name(frame, ext) + "\" is not a whole frame (";
            EXPECT_NE(resumed.errors.find(line), std::string::npos) << line << resumed.errors;
        }
        EXPECT_NE(resumed.errors.find(name(3, ext) + "\" is not a whole frame (it is empty)"),
                  std::string::npos)
            << resumed.errors;
        EXPECT_NE(resumed.errors.find("(it is 32x18 pixels, not 64x36)"), std::string::npos)
            << resumed.errors;
        EXPECT_NE(resumed.errors.find("(its format is "), std::string::npos) << resumed.errors;
        EXPECT_NE(resumed.output.find("frame 1 (1 of 9): " + name(1, ext) + " is there, skipped"),
                  std::string::npos)
            << resumed.output;
        EXPECT_NE(resumed.output.find("8 frames rendered in "), std::string::npos)
            << resumed.output;
        EXPECT_NE(resumed.output.find("; 1 already there"), std::string::npos) << resumed.output;
        for (int frame = 1; frame <= 9; ++frame) {
            EXPECT_EQ(bytes(name(frame, ext)), bytes("whole/" + name(frame, ext))) << frame;
        }
    }
}

TEST_F(Sequence, InputSequencesGiveEachFrameItsPlate) {
    ASSERT_EQ(command("render OndrelRectangle --size 48x32 --frames 1-3 -q -o plate.####.png "
                      "--set \"Fill Color=#00ff00@1,#0000ff@3\"")
                  .status,
              0);
    ASSERT_EQ(command("render OndrelCircle -i plate.####.png --frames 1-3 -q -o over.####.png "
                      "--set Radius=2")
                  .status,
              0);
    // The plate's rectangle shows through beside the small circle: green, then blue.
    EXPECT_EQ(pixel("over.0001.png", 14, 10)[1], 1.0f);
    EXPECT_EQ(pixel("over.0003.png", 14, 10)[2], 1.0f);

    // A missing plate stops the sequence there, naming the frame and the file.
    fs::remove(folder / "plate.0002.png");
    const Outcome run2 =
        command("render OndrelCircle -i plate.####.png --frames 1-3 -o again.####.png");
    EXPECT_NE(run2.status, 0);
    EXPECT_NE(run2.errors.find("ondrel: frame 2: cannot read input \"plate.0002.png\""),
              std::string::npos)
        << run2.errors;
    EXPECT_EQ(lines(run2.errors), 1) << run2.errors;
    EXPECT_TRUE(fs::exists(folder / "again.0001.png"));
    EXPECT_FALSE(fs::exists(folder / "again.0002.png"));
    EXPECT_NE(run2.output.find("stopped after 1 frame rendered"), std::string::npos) << run2.output;
}

} // namespace
