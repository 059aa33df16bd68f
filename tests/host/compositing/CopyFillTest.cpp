// copyRect and fillRect at every depth: rectangles, clipping, padded rows, overlapping copies
// and refused calls.

#include "CompositeTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace {

using namespace CompositeTest;
using OfflineHost::copyRect;
using OfflineHost::fillRect;

template <typename Pixel>
class CopyFill : public ::testing::Test {};

TYPED_TEST_SUITE(CopyFill, PixelTypes);

constexpr A_long longMax = std::numeric_limits<A_long>::max();
constexpr A_long longMin = std::numeric_limits<A_long>::min();

// Each destination pixel inside `expected` must be source pixel (x + dx, y + dy); all others
// keep their value.
struct CopyCase {
    const char* name;
    bool hasSrcRect;
    PF_LRect srcRect;
    bool hasDstRect;
    PF_LRect dstRect;
    PF_LRect expected;
    A_long dx, dy;
};

// Source 4x3, destination 5x4.
const CopyCase copyCases[] = {
    // the smaller source decides the size
    {"whole worlds", false, {}, false, {}, {0, 0, 4, 3}, 0, 0},
    // 3x2 onto 4x1: the common top-left part is 3x1
    {"different sizes", true, {0, 0, 3, 2}, true, {1, 1, 5, 2}, {1, 1, 4, 2}, -1, -1},
    // the 4x3 source placed at (-1, 2) keeps columns 1..3 and rows 0..1
    {"destination rect partly outside", false, {}, true, {-1, 2, 3, 6}, {0, 2, 3, 4}, 1, -2},
    // source (2, -1) lands on (0, 0); the source's valid part [2,4)x[0,2) lands at [0,2)x[1,3)
    {"source rect partly outside", true, {2, -1, 6, 2}, false, {}, {0, 1, 2, 3}, 2, -1},
    {"destination rect smaller", false, {}, true, {1, 0, 3, 2}, {1, 0, 3, 2}, -1, 0},
    {"destination rect larger", true, {1, 1, 3, 2}, true, {0, 0, 5, 4}, {0, 0, 2, 1}, 1, 1},
    {"destination rect outside", false, {}, true, {5, 0, 9, 3}, {}, 0, 0},
    {"destination rect at the extremes",
     false,
     {},
     true,
     {longMin, longMin, longMax, longMax},
     {},
     0,
     0},
};

TYPED_TEST(CopyFill, CopiesTheCommonTopLeftPartClippedToBothWorlds) {
    using Pixel = TypeParam;
    TestWorld<Pixel> src(4, 3);
    src.pattern(0);
    TestWorld<Pixel> original(5, 4);
    original.pattern(100);
    for (const CopyCase& c : copyCases) {
        TestWorld<Pixel> dst(5, 4);
        dst.pattern(100);
        ASSERT_EQ(copyRect(src.world, dst.world, c.hasSrcRect ? &c.srcRect : nullptr,
                           c.hasDstRect ? &c.dstRect : nullptr, Depth<Pixel>::host),
                  PF_Err_NONE)
            << c.name;
        for (A_long y = 0; y < 4; ++y) {
            for (A_long x = 0; x < 5; ++x) {
                const bool inside = x >= c.expected.left && x < c.expected.right &&
                                    y >= c.expected.top && y < c.expected.bottom;
                const Pixel want = inside ? src.at(x + c.dx, y + c.dy) : original.at(x, y);
                EXPECT_EQ(argb(dst.at(x, y)), argb(want)) << c.name << " at " << x << "," << y;
            }
        }
        EXPECT_TRUE(dst.paddingIntact()) << c.name;
    }
}

TYPED_TEST(CopyFill, CopiesWithinOneWorldInBothDirections) {
    using Pixel = TypeParam;
    TestWorld<Pixel> original(5, 4);
    original.pattern(0);
    const PF_LRect upperLeft{0, 0, 3, 3};
    const PF_LRect lowerRight{1, 1, 4, 4};

    TestWorld<Pixel> down(5, 4);
    down.pattern(0);
    ASSERT_EQ(copyRect(down.world, down.world, &upperLeft, &lowerRight, Depth<Pixel>::host),
              PF_Err_NONE);
    TestWorld<Pixel> up(5, 4);
    up.pattern(0);
    ASSERT_EQ(copyRect(up.world, up.world, &lowerRight, &upperLeft, Depth<Pixel>::host),
              PF_Err_NONE);
    for (A_long y = 0; y < 3; ++y) {
        for (A_long x = 0; x < 3; ++x) {
            EXPECT_EQ(argb(down.at(x + 1, y + 1)), argb(original.at(x, y)));
            EXPECT_EQ(argb(up.at(x, y)), argb(original.at(x + 1, y + 1)));
        }
    }
}

TYPED_TEST(CopyFill, FillsTheRectangleInsideTheWorld) {
    using Pixel = TypeParam;
    const Pixel value = unitPixel<Pixel>(.5, 1, .25, 0);
    TestWorld<Pixel> original(5, 4);
    original.pattern(0);

    TestWorld<Pixel> part(5, 4);
    part.pattern(0);
    const PF_LRect rect{-2, 1, 2, 9};
    ASSERT_EQ(fillRect(part.world, &rect, &value, Depth<Pixel>::host), PF_Err_NONE);
    for (A_long y = 0; y < 4; ++y) {
        for (A_long x = 0; x < 5; ++x) {
            const bool inside = x < 2 && y >= 1;
            EXPECT_EQ(argb(part.at(x, y)), argb(inside ? value : original.at(x, y)))
                << x << "," << y;
        }
    }
    EXPECT_TRUE(part.paddingIntact());

    TestWorld<Pixel> whole(5, 4);
    whole.pattern(0);
    ASSERT_EQ(fillRect(whole.world, nullptr, &value, Depth<Pixel>::host), PF_Err_NONE);
    for (A_long y = 0; y < 4; ++y) {
        for (A_long x = 0; x < 5; ++x) {
            EXPECT_EQ(argb(whole.at(x, y)), argb(value));
        }
    }
    EXPECT_TRUE(whole.paddingIntact());

    const PF_LRect outside{5, 0, longMax, 4};
    ASSERT_EQ(fillRect(part.world, &outside, &value, Depth<Pixel>::host), PF_Err_NONE);
    EXPECT_TRUE(part.paddingIntact());
}

// Rows without padding are copied and filled as one block; a pixel of one repeated byte is set
// with memset. Both ways, with and without padding, must give every pixel and nothing more.
TYPED_TEST(CopyFill, WholeBlocksAndRepeatedBytesGiveTheSamePixels) {
    using Pixel = TypeParam;
    const PixelDepth depth = Depth<Pixel>::host;
    for (const A_long padding : {0, 3}) {
        TestWorld<Pixel> src(5, 4, padding);
        src.pattern(0);
        TestWorld<Pixel> dst(5, 4, padding);
        ASSERT_EQ(copyRect(src.world, dst.world, nullptr, nullptr, depth), PF_Err_NONE);
        for (A_long y = 0; y < 4; ++y) {
            for (A_long x = 0; x < 5; ++x) {
                EXPECT_EQ(argb(dst.at(x, y)), argb(src.at(x, y))) << padding;
            }
        }
        Pixel ones;
        std::memset(&ones, 0xFF, sizeof ones);
        for (const Pixel& value : {Pixel{}, ones, unitPixel<Pixel>(.5, 1, .25, 0)}) {
            TestWorld<Pixel> whole(5, 4, padding);
            ASSERT_EQ(fillRect(whole.world, nullptr, &value, depth), PF_Err_NONE);
            // the middle three columns of rows 1 and 2: not a block, even without padding
            TestWorld<Pixel> part(5, 4, padding);
            part.pattern(0);
            const PF_LRect middle{1, 1, 4, 3};
            ASSERT_EQ(fillRect(part.world, &middle, &value, depth), PF_Err_NONE);
            for (A_long y = 0; y < 4; ++y) {
                for (A_long x = 0; x < 5; ++x) {
                    const bool inside = x >= 1 && x < 4 && y >= 1 && y < 3;
                    // bytes, since all ones is NaN at float
                    const auto same = [](const Pixel& a, const Pixel& b) {
                        return std::memcmp(&a, &b, sizeof(Pixel)) == 0;
                    };
                    EXPECT_TRUE(same(whole.at(x, y), value)) << x << "," << y;
                    EXPECT_TRUE(same(part.at(x, y), inside ? value : src.at(x, y)))
                        << x << "," << y;
                }
            }
            EXPECT_TRUE(whole.paddingIntact());
            EXPECT_TRUE(part.paddingIntact());
        }
    }
}

TEST(CopyFillFloat, FillKeepsOverbrightValues) {
    TestWorld<PF_PixelFloat> world(2, 2);
    const PF_PixelFloat value{1.0f, 2.5f, -0.5f, 0.25f};
    ASSERT_EQ(fillRect(world.world, nullptr, &value, PixelDepth::Float32), PF_Err_NONE);
    EXPECT_EQ(argb(world.at(1, 1)), (std::array<double, 4>{1.0, 2.5, -0.5, 0.25}));
}

TYPED_TEST(CopyFill, RefusesMissingPixelsWithoutWriting) {
    using Pixel = TypeParam;
    const PixelDepth depth = Depth<Pixel>::host;
    TestWorld<Pixel> src(4, 3);
    src.pattern(0);
    TestWorld<Pixel> dst(4, 3);
    dst.pattern(50);
    TestWorld<Pixel> original(4, 3);
    original.pattern(50);
    const Pixel value = unitPixel<Pixel>(1, 1, 1, 1);

    PF_EffectWorld noData = src.world;
    noData.data = nullptr;
    EXPECT_EQ(copyRect(noData, dst.world, nullptr, nullptr, depth), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(copyRect(src.world, dst.world, nullptr, nullptr, static_cast<PixelDepth>(-1)),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(fillRect(dst.world, nullptr, nullptr, depth), PF_Err_BAD_CALLBACK_PARAM);
    PF_EffectWorld negative = dst.world;
    negative.height = -1;
    EXPECT_EQ(fillRect(negative, nullptr, &value, depth), PF_Err_BAD_CALLBACK_PARAM);
    for (A_long y = 0; y < 3; ++y) {
        for (A_long x = 0; x < 4; ++x) {
            EXPECT_EQ(argb(dst.at(x, y)), argb(original.at(x, y)));
        }
    }

    PF_EffectWorld dstNoData = dst.world;
    dstNoData.data = nullptr;
    EXPECT_EQ(copyRect(src.world, dstNoData, nullptr, nullptr, depth), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(fillRect(dstNoData, nullptr, &value, depth), PF_Err_BAD_CALLBACK_PARAM);
}

} // namespace
