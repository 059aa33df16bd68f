#include "Util/Smart_Utils.h"

#include <gtest/gtest.h>

namespace {

PF_LRect lrect(A_long left, A_long top, A_long right, A_long bottom) {
    PF_LRect r{};
    r.left = left;
    r.top = top;
    r.right = right;
    r.bottom = bottom;
    return r;
}

void expectLRect(const PF_LRect& r, A_long left, A_long top, A_long right, A_long bottom) {
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

TEST(Smart_Utils, IsEmptyRect) {
    const PF_LRect empty[] = {lrect(5, 5, 5, 5), lrect(0, 0, 0, 3), lrect(0, 0, 3, 0),
                              lrect(4, 0, 3, 3), lrect(0, 4, 3, 3)};
    for (const PF_LRect& r : empty) {
        EXPECT_TRUE(IsEmptyRect(&r));
    }
    const PF_LRect one = lrect(0, 0, 1, 1);
    const PF_LRect negative = lrect(-5, -5, -4, -4);
    EXPECT_FALSE(IsEmptyRect(&one));
    EXPECT_FALSE(IsEmptyRect(&negative));
}

struct UnionCase {
    PF_LRect src;
    PF_LRect dst;
    PF_LRect expected;
};

TEST(Smart_Utils, UnionLRect) {
    const UnionCase cases[] = {
        // an empty destination takes the source as it is
        {lrect(0, 0, 10, 10), lrect(5, 5, 5, 5), lrect(0, 0, 10, 10)},
        {lrect(3, 4, 1, 2), lrect(5, 5, 5, 5), lrect(3, 4, 1, 2)},
        // bounding box
        {lrect(2, 2, 4, 4), lrect(0, 0, 3, 3), lrect(0, 0, 4, 4)},
        {lrect(-8, 1, -2, 9), lrect(0, 0, 3, 3), lrect(-8, 0, 3, 9)},
        {lrect(1, 1, 2, 2), lrect(0, 0, 3, 3), lrect(0, 0, 3, 3)},
        // an empty source changes nothing
        {lrect(7, 7, 7, 20), lrect(0, 0, 3, 3), lrect(0, 0, 3, 3)},
        {lrect(-9, -9, -20, 50), lrect(0, 0, 3, 3), lrect(0, 0, 3, 3)},
    };
    for (const UnionCase& tc : cases) {
        PF_LRect dst = tc.dst;
        UnionLRect(&tc.src, &dst);
        expectLRect(dst, tc.expected.left, tc.expected.top, tc.expected.right, tc.expected.bottom);
    }
}

} // namespace
