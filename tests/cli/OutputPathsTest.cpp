// Output paths: those that cannot take an image are refused on one line naming them, with a
// non-zero status, before rendering; those that can are written whole or not at all.

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
