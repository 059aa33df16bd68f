// The reference renders that the Windows build is compared by must show their shapes: a render
// that drew nothing, or covered the whole frame, would compare a copied layer or a flood fill and
// miss the shapes' edges.

#include "ReferenceRenders.h"

#include <gtest/gtest.h>

namespace {

TEST(ReferenceRenders, EachShowsItsShapeAndPartOfTheLayer) {
    const auto digests = ReferenceRenders::renderAll();
    ASSERT_EQ(digests.size(), 12u);
    for (const auto& d : digests) {
        const int pixels = d.width * d.height;
        EXPECT_GT(d.drawn, pixels / 20) << d.render;
        EXPECT_LT(d.drawn, pixels / 2) << d.render;
    }
}

} // namespace
