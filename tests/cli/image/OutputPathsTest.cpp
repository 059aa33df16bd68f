// Output paths: those that cannot take an image, or that are a file the render reads however they
// are spelt, are refused on one line naming them, with a non-zero status, before rendering; those
// that can are written whole or not at all.

#include "tests/cli/CliTestSupport.h"

#include <sys/stat.h>

namespace {

using namespace CliTest;

using OutputPaths = RenderCommand;

TEST_F(OutputPaths, PathsThatCannotTakeAnImageAreRefused) {
    expectRefused("OndrelCircle -o nowhere/out.png", "the folder \"nowhere\" does not exist");
    expectRefused("OndrelCircle -o out.unknownformat", "no image format is known by that name");
    expectRefused("OndrelCircle -o .", "it names a folder");
    std::ofstream(folder / "notes.txt") << "a file";
    expectRefused("OndrelCircle -o notes.txt/out.png", "cannot write \"notes.txt/out.png\": ");
}

// The file system's refusals, which once ended the command with an uncaught exception.
TEST_F(OutputPaths, WhatTheFileSystemRefusesIsNamed) {
    fs::create_symlink("loop", folder / "loop");
    expectRefused("OndrelCircle -o loop/out.png",
                  "cannot write \"loop/out.png\": Too many levels of symbolic links");
    const std::string tooLong(300, 'n');
    expectRefused("OndrelCircle -o " + tooLong + ".png",
                  "cannot write \"" + tooLong + ".png\": File name too long");
    // Root enters any folder, so this refusal is seen only by other users.
    if (::geteuid() != 0) {
        fs::create_directory(folder / "locked");
        fs::permissions(folder / "locked", fs::perms::none);
        expectRefused("OndrelCircle -o locked/out.png",
                      "cannot write \"locked/out.png\": Permission denied");
        fs::permissions(folder / "locked", fs::perms::owner_all);
    }
}

// OpenImageIO knows formats by these names that make no file.
TEST_F(OutputPaths, FormatsThatMakeNoFileAreRefused) {
    expectRefused("OndrelCircle -o out.null",
                  "cannot write \"out.null\": OpenImageIO's \"null\" format makes no file, it "
                  "writes nothing");
    expectRefused("OndrelCircle -o out.term",
                  "cannot write \"out.term\": OpenImageIO's \"term\" format makes no file, it "
                  "draws on the terminal");
}

// What a format would lose of the render is named, with the formats that keep it; those are
// written with alpha at the depth asked.
TEST_F(OutputPaths, FormatsThatWouldLoseAlphaOrDepthAreRefused) {
    const std::string keeping = "; write .png (8 or 16 bits), .tif or .exr, which keep them";
    const struct {
        std::string arguments;
        std::string message;
    } cases[] = {
        {"OndrelCircle -o out.jpg",
         "cannot write \"out.jpg\": JPEG would lose the alpha channel and exact values (it "
         "compresses with loss)" +
             keeping},
        {"OndrelCircle -o out.jpeg --depth 16",
         "JPEG would lose the alpha channel, the 16 bits of --depth 16 and exact values"},
        {"OndrelCircle -o out.webp", "WebP would lose exact values (it compresses with loss)"},
        {"OndrelCircle -o out.gif",
         "GIF would lose the alpha channel and every colour past a palette of 256"},
        {"OndrelCircle -o out.tga --depth 16",
         "Targa would lose the 16 bits of --depth 16" + keeping},
        {"OndrelCircle -o out.hdr --depth 32",
         "Radiance HDR would lose the alpha channel and exact"},
        {"OndrelCircle -o out.png --depth 32",
         "cannot write \"out.png\": PNG would lose the float values of --depth 32" + keeping},
        {"OndrelCircle -o out.bmp", "BMP is not one ondrel writes, whose frames it checks whole"},
        {"OndrelCircle -o out.dpx --depth 16", "OpenImageIO's \"dpx\" format is not one ondrel"},
        {"OndrelCircle --frames 1-3 -o out.####.JPG", "\"out.0001.JPG\": JPEG would lose"},
    };
    for (const auto& c : cases) {
        expectRefused(c.arguments, c.message);
    }
    expectCommandRefused("submit OndrelCircle --frames 1-4 -o out.####.webp --dry-run",
                         "WebP would lose exact values");
    // Those that keep it, in the type each stores the depth as.
    const struct {
        std::string name;
        std::string depth;
        std::string type;
    } kept[] = {{"k8.png", "8", "uint8"},   {"k16.png", "16", "uint16"},
                {"k32.tif", "32", "float"}, {"k16.tif", "16", "uint16"},
                {"k8.exr", "8", "half"},    {"k32.exr", "32", "float"}};
    for (const auto& k : kept) {
        ASSERT_EQ(ondrel("OndrelCircle --size 8x8 --depth " + k.depth + " -o " + k.name).status, 0)
            << k.name;
        const Image image = read(k.name);
        EXPECT_EQ(image.channels, 4) << k.name;
        EXPECT_EQ(image.format, k.type) << k.name;
    }
}

// A file that is there is replaced as its owner left it: its mode, its owner and group (where
// the process may set them: as root here), and a symbolic link stays a link whose target gets
// the frame, beside which it is written. Another hard link to it keeps the old bytes: the frame
// replaces the name, as docs/DEVELOPING.md says.
TEST_F(OutputPaths, AReplacedFileKeepsItsModeOwnerAndLinks) {
    const auto render = [&](const std::string& size, const std::string& output) {
        const Outcome run = ondrel("OndrelCircle --size " + size + " -o " + output);
        ASSERT_EQ(run.status, 0) << run.errors;
    };
    render("8x8", "mode.png");
    fs::permissions(folder / "mode.png",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown((folder / "mode.png").c_str(), 1234, 5678), 0);
    }
    render("16x8", "mode.png");
    struct stat replaced {};
    ASSERT_EQ(::stat((folder / "mode.png").c_str(), &replaced), 0);
    EXPECT_EQ(replaced.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(replaced.st_uid, 1234u);
        EXPECT_EQ(replaced.st_gid, 5678u);
    }
    EXPECT_EQ(read("mode.png").width, 16);

    fs::create_directory(folder / "real");
    render("8x8", "real/target.png");
    fs::create_symlink("real/target.png", folder / "link.png");
    fs::create_symlink("made.png", folder / "dangling.png");
    render("16x8", "link.png");
    render("24x8", "dangling.png");
    EXPECT_TRUE(fs::is_symlink(folder / "link.png"));
    EXPECT_EQ(fs::read_symlink(folder / "link.png"), "real/target.png");
    EXPECT_EQ(read("real/target.png").width, 16);
    EXPECT_TRUE(fs::is_symlink(folder / "dangling.png"));
    EXPECT_EQ(read("made.png").width, 24);
    EXPECT_EQ(files("real"), std::set<std::string>{"target.png"});

    render("8x8", "a.png");
    fs::create_hard_link(folder / "a.png", folder / "b.png");
    render("16x8", "a.png");
    EXPECT_EQ(read("a.png").width, 16);
    EXPECT_EQ(read("b.png").width, 8);
    EXPECT_EQ(files(), (std::set<std::string>{"a.png", "b.png", "dangling.png", "link.png",
                                              "made.png", "mode.png", "real"}));
}

// A file the user may not write is refused before the first frame, as cp refuses it, though
// its folder would let it be replaced; a frame --skip-existing keeps is not written, so not
// refused. Root writes any file, so the command runs as nobody here.
TEST_F(OutputPaths, AFileTheUserMayNotWriteIsRefusedBeforeAnyFrame) {
    ASSERT_EQ(ondrel("OndrelCircle --size 8x8 -o ro.png").status, 0);
    ASSERT_EQ(ondrel("OndrelCircle --size 8x8 --frames 1-3 -q -o f.####.png").status, 0);
    // Everything else the user may write.
    fs::permissions(folder, fs::perms::all);
    for (const char* name : {"f.0001.png", "f.0003.png"}) {
        fs::permissions(folder / name, fs::perms::all & ~fs::perms::owner_exec &
                                           ~fs::perms::group_exec & ~fs::perms::others_exec);
    }
    for (const char* name : {"ro.png", "f.0002.png"}) {
        fs::permissions(folder / name,
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    }
    if (::geteuid() == 0) {
        limits = "setpriv --reuid=65534 --regid=65534 --clear-groups";
    }
    const std::string ro = bytes("ro.png");
    const std::string first = bytes("f.0001.png");
    expectRefused("OndrelCircle --size 16x16 -o ro.png",
                  "cannot write \"ro.png\": Permission denied (the file is there, and this user "
                  "may not write it)");
    expectRefused("OndrelCircle --size 16x16 --frames 1-3 -q -o f.####.png",
                  "cannot write \"f.0002.png\": Permission denied");
    EXPECT_EQ(bytes("ro.png"), ro);
    EXPECT_EQ(bytes("f.0001.png"), first);
    fs::remove(folder / "f.0001.png");
    const Outcome resumed = ondrel("OndrelCircle --size 8x8 --frames 1-3 --skip-existing -q -o "
                                   "f.####.png");
    EXPECT_EQ(resumed.status, 0) << resumed.errors;
    EXPECT_EQ(read("f.0001.png").width, 8);
}

// One file, one role: the output is never a file the render reads, nor another of its frames,
// whatever the names say.
TEST_F(OutputPaths, TheOutputIsNeverAFileTheRenderReads) {
    ASSERT_EQ(ondrel("OndrelCircle --size 8x8 -o in.png").status, 0);
    ASSERT_EQ(ondrel("OndrelCircle --size 8x8 --frames 1-3 -q -o plate.####.png").status, 0);
    fs::create_directory(folder / "sub");
    fs::create_hard_link(folder / "in.png", folder / "hard.png");
    fs::create_symlink("in.png", folder / "soft.png");
    fs::copy_file(folder / "in.png", folder / "shot.png");
    fs::create_hard_link(folder / "shot.png", folder / "out.0001.png");
    fs::create_symlink("shot.png", folder / "out.0003.png");
    std::ofstream(folder / "shot.json") << R"({"effect": "OndrelCircle", "size": "8x8"})";
    fs::rename(folder / "shot.json", folder / "recipe.png");
    const std::string whole = (folder / "in.png").string();
    const struct {
        std::string arguments;
        std::string message;
    } cases[] = {
        {"OndrelCircle -i in.png -o in.png",
         "the output, \"in.png\", is the input, \"in.png\": the render would write over a file "
         "it reads"},
        {"OndrelCircle -i in.png -o ./sub/../in.png",
         "the output, \"./sub/../in.png\", is the input"},
        {"OndrelCircle -i in.png -o " + whole, "the output, \"" + whole + "\", is the input"},
        {"OndrelCircle -i in.png -o hard.png", "the output, \"hard.png\", is the input"},
        {"OndrelCircle -i in.png -o soft.png", "the output, \"soft.png\", is the input"},
        {"OndrelCircle -i plate.####.png --frames 1-3 -o plate.####.png",
         "frame 1 of the output, \"plate.0001.png\", is frame 1 of the input, \"plate.0001.png\""},
        {"OndrelCircle -i plate.####.png --frames 1-3 -o plate.%04d.png",
         "frame 1 of the output, \"plate.0001.png\", is frame 1 of the input"},
        // Patterns that overlap at other frames, even where the input is not there yet.
        {"OndrelCircle -i plate.####.png --frames 2,1002 -o plate.1###.png",
         "frame 2 of the output, \"plate.1002.png\", is frame 1002 of the input, "
         "\"plate.1002.png\""},
        {"OndrelCircle -i plate.0002.png --frames 1-3 -o plate.####.png",
         "frame 2 of the output, \"plate.0002.png\", is the input, \"plate.0002.png\""},
        {"--recipe recipe.png -o recipe.png",
         "the output, \"recipe.png\", is the recipe, \"recipe.png\""},
        {"OndrelCircle --size 8x8 --frames 1-3 -o out.####.png",
         "frame 1 of the output, \"out.0001.png\", and frame 3 of the output, \"out.0003.png\", "
         "are one file; each frame needs a file of its own"},
    };
    for (const auto& c : cases) {
        expectRefused(c.arguments, c.message);
    }
    expectCommandRefused("submit OndrelCircle -i plate.####.png --frames 1-3 -o plate.####.png "
                         "--dry-run",
                         "frame 1 of the output, \"plate.0001.png\", is frame 1 of the input");
    // Another name of the same picture is a file of its own.
    EXPECT_EQ(ondrel("OndrelCircle -i in.png -o shot.png").status, 0);
}

// The file is written under a temporary name first; that name must fit the file system too.
TEST_F(OutputPaths, TheLongestNameTheFileSystemTakesIsWritten) {
    const long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    ASSERT_GT(longest, 4);
    const std::string name = std::string(static_cast<std::size_t>(longest) - 4, 'n') + ".png";
    const Outcome run = ondrel("OndrelCircle --size 8x8 -o " + name);
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(files(), std::set<std::string>{name});
    EXPECT_EQ(read(name).width, 8);
}

} // namespace
