// A module built elsewhere from the same sources (for Windows, or with clang and libc++) gives the
// same pixels as the Linux GCC build: the reference renders' digests against those the Linux
// build's test run wrote.

#include "ReferenceRenders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

TEST(MatchesLinux, EveryEffectAtEveryDepthGivesTheLinuxBuildsPixels) {
    const char* file = std::getenv("ONDREL_REFERENCE_DIGESTS");
    if (file == nullptr) {
        GTEST_SKIP() << "ONDREL_REFERENCE_DIGESTS names no digest file of a Linux build";
    }
    std::ifstream in(file, std::ios::binary);
    ASSERT_TRUE(in) << "cannot read " << file;
    const auto reference = ReferenceRenders::parse({std::istreambuf_iterator<char>(in), {}});
    const auto windows = ReferenceRenders::renderAll();
    ASSERT_EQ(reference.size(), windows.size()) << ReferenceRenders::format(windows);
    for (std::size_t i = 0; i < reference.size(); ++i) {
        EXPECT_EQ(ReferenceRenders::format({windows[i]}), ReferenceRenders::format({reference[i]}));
    }
}

} // namespace
