// Input files that cannot be rendered over: each is refused on one line naming the file, with a
// non-zero status, before anything is written.

#include "CliTestSupport.h"

namespace {

using namespace CliTest;

using InputFiles = RenderCommand;

TEST_F(InputFiles, MissingAndBrokenFilesAreNamed) {
    std::ofstream(folder / "broken.png") << "not an image";
    expectRefused("OndrelCircle -i missing.png -o out.png", "cannot read input \"missing.png\"");
    expectRefused("OndrelCircle -i broken.png -o out.png", "cannot read input \"broken.png\"");
}

} // namespace
