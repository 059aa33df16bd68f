// Output paths: those that cannot take an image, or that are a file the render reads however they
// are spelt, are refused on one line naming them, with a non-zero status, before rendering; those
// that can are written whole or not at all.

#include "CliTestSupport.h"

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
