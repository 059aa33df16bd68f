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
