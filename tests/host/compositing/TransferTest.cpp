// Compositing with partial alpha and opacity, rgb_only, alpha add, dissolve, clipping and the
// calls that must fail without touching the destination.

#include "CompositeTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <limits>

namespace {

using namespace CompositeTest;
using OfflineHost::transferRect;

using Array4 = std::array<double, 4>;

// Source-over weights with as the source alpha times the opacity and ab the backdrop alpha:
// ao = as + ab(1-as); co = (as(1-ab) s + as ab B + (1-as) ab b) / ao.
TEST(TransferWeights, EightBitsMultiplyWithPartialAlphaAndOpacity) {
    // as = 1 * 51/255 = .2, ab = 102/255 = .4: ao = .2 + .4*.8 = .52 (132.6); weights .12, .08,
    // .32. b = (.2,.4,1), s = (1,.6,0), B = (.2,.24,0):
    // red (.12 + .016 + .064)/.52 = .384615 (98.08); green (.072 + .0192 + .128)/.52 = .421538
    // (107.49); blue .32/.52 = .615385 (156.92)
    const PF_Pixel out =
        compositeOne(makePixel<PF_Pixel>(102, 51, 102, 255), makePixel<PF_Pixel>(255, 255, 153, 0),
                     compositeMode(PF_Xfer_MULTIPLY, 51));
    EXPECT_EQ(argb(out), (Array4{133, 98, 107, 157}));
}

TEST(TransferWeights, SixteenBitsAndFloatMultiplyWithHalfAlphas) {
    // as = ab = .5: ao = .75, all three weights .25, so co = (s + B + b) / 3 with b = (.5,.5,.5),
    // s = (1,.5,0), B = (.5,.25,0): (2/3, 1.25/3, .5/3)
    const PF_Pixel16 out16 = compositeOne(makePixel<PF_Pixel16>(16384, 16384, 16384, 16384),
                                          makePixel<PF_Pixel16>(16384, 32768, 16384, 0),
                                          compositeMode(PF_Xfer_MULTIPLY));
    // 21845.33, 13653.33, 5461.33
    EXPECT_EQ(argb(out16), (Array4{24576, 21845, 13653, 5461}));

    const PF_PixelFloat outF =
        compositeOne(makePixel<PF_PixelFloat>(.5, .5, .5, .5),
                     makePixel<PF_PixelFloat>(.5, 1, .5, 0), compositeMode(PF_Xfer_MULTIPLY));
    EXPECT_NEAR(outF.alpha, .75, 1e-6);
    EXPECT_NEAR(outF.red, 2.0 / 3, 1e-6);
    EXPECT_NEAR(outF.green, 1.25 / 3, 1e-6);
    EXPECT_NEAR(outF.blue, .5 / 3, 1e-6);
}

TEST(TransferWeights, TransparentBackdropTakesTheSourceColour) {
    // ab = 0: ao = as, co = as s / as = s whatever the mode
    const PF_PixelFloat out =
        compositeOne(makePixel<PF_PixelFloat>(0, .3, .6, .9),
                     makePixel<PF_PixelFloat>(.5, 1, .5, .25), compositeMode(PF_Xfer_MULTIPLY));
    EXPECT_NEAR(out.alpha, .5, 1e-6);
    EXPECT_NEAR(out.red, 1, 1e-6);
    EXPECT_NEAR(out.green, .5, 1e-6);
    EXPECT_NEAR(out.blue, .25, 1e-6);
}

TEST(TransferOpacity, EachDepthReadsItsOwnOpacityField) {
    // white over black, both opaque: co = opacity
    const PF_Pixel out8 =
        compositeOne(makePixel<PF_Pixel>(255, 0, 0, 0), makePixel<PF_Pixel>(255, 255, 255, 255),
                     compositeMode(PF_Xfer_IN_FRONT, 51, 32768));
    EXPECT_EQ(argb(out8), (Array4{255, 51, 51, 51}));

    // opacitySu 8192 = .25
    const PF_Pixel16 out16 = compositeOne(makePixel<PF_Pixel16>(32768, 0, 0, 0),
                                          makePixel<PF_Pixel16>(32768, 32768, 32768, 32768),
                                          compositeMode(PF_Xfer_IN_FRONT, 255, 8192));
    EXPECT_EQ(argb(out16), (Array4{32768, 8192, 8192, 8192}));

    const PF_PixelFloat outF =
        compositeOne(makePixel<PF_PixelFloat>(1, 0, 0, 0), makePixel<PF_PixelFloat>(1, 1, 1, 1),
                     compositeMode(PF_Xfer_IN_FRONT, 255, 8192));
    EXPECT_NEAR(outF.red, .25, 1e-6);
    EXPECT_EQ(outF.alpha, 1.0f);

    // opacitySu above white counts as full opacity: .5 over transparent stays .5
    const PF_PixelFloat over =
        compositeOne(makePixel<PF_PixelFloat>(0, 0, 0, 0), makePixel<PF_PixelFloat>(1, .5, .5, .5),
                     compositeMode(PF_Xfer_IN_FRONT, 255, 40000));
    EXPECT_EQ(argb(over), (Array4{1, .5, .5, .5}));
}

TEST(TransferOpacity, RgbOnlyKeepsTheDestinationAlpha) {
    // as = .2, ab = .4 (kept), s = 1, b = 0: co = (.12 + .08) / .52 = .3846 (98.08)
    const PF_Pixel out8 =
        compositeOne(makePixel<PF_Pixel>(102, 0, 0, 0), makePixel<PF_Pixel>(255, 255, 255, 255),
                     compositeMode(PF_Xfer_IN_FRONT, 51, 32768, true));
    EXPECT_EQ(argb(out8), (Array4{102, 98, 98, 98}));

    // as = ab = .5 (kept): co = (.25 + .25) / .75 = 2/3 (21845.33)
    const PF_Pixel16 out16 = compositeOne(makePixel<PF_Pixel16>(16384, 0, 0, 0),
                                          makePixel<PF_Pixel16>(16384, 32768, 32768, 32768),
                                          compositeMode(PF_Xfer_IN_FRONT, 255, 32768, true));
    EXPECT_EQ(argb(out16), (Array4{16384, 21845, 21845, 21845}));

    const PF_PixelFloat outF =
        compositeOne(makePixel<PF_PixelFloat>(.5, 0, 0, 0), makePixel<PF_PixelFloat>(.5, 1, 1, 1),
                     compositeMode(PF_Xfer_IN_FRONT, 255, 32768, true));
    EXPECT_EQ(outF.alpha, .5f);
    EXPECT_NEAR(outF.red, 2.0 / 3, 1e-6);
}

TEST(TransferAlphaAdd, AlphasAddAndColourIsInFront) {
    // as = .2, ab = .4: alpha .6 (153); colour as in front: (.12 + .08) / .52 (98.08)
    const PF_Pixel out8 =
        compositeOne(makePixel<PF_Pixel>(102, 0, 0, 0), makePixel<PF_Pixel>(51, 255, 0, 0),
                     compositeMode(PF_Xfer_ALPHA_ADD));
    EXPECT_EQ(argb(out8), (Array4{153, 98, 0, 0}));

    // as = .25, ab = .5: alpha .75; in-front weights .125 + .125 on s, .375 on b over .625:
    // co = .4 s + .6 b with s = (1,0,.5), b = (0,.5,.5): (.4, .3, .5) = (13107.2, 9830.4, 16384)
    const PF_Pixel16 out16 = compositeOne(makePixel<PF_Pixel16>(16384, 0, 16384, 16384),
                                          makePixel<PF_Pixel16>(8192, 32768, 0, 16384),
                                          compositeMode(PF_Xfer_ALPHA_ADD));
    EXPECT_EQ(argb(out16), (Array4{24576, 13107, 9830, 16384}));

    const PF_PixelFloat outF =
        compositeOne(makePixel<PF_PixelFloat>(.5, 0, .5, .5),
                     makePixel<PF_PixelFloat>(.25, 1, 0, .5), compositeMode(PF_Xfer_ALPHA_ADD));
    EXPECT_NEAR(outF.alpha, .75, 1e-6);
    EXPECT_NEAR(outF.red, .4, 1e-6);
    EXPECT_NEAR(outF.green, .3, 1e-6);
    EXPECT_NEAR(outF.blue, .5, 1e-6);

    // 1 + .5 is clamped to 1
    const PF_PixelFloat full =
        compositeOne(makePixel<PF_PixelFloat>(.5, 0, 0, 0), makePixel<PF_PixelFloat>(1, 1, 1, 1),
                     compositeMode(PF_Xfer_ALPHA_ADD));
    EXPECT_EQ(full.alpha, 1.0f);
}

// An integer world cannot hold b + s above 1, so at 8 and 16 bits "Add" clamps the sum before
// mixing it with the backdrop by the source alpha; float keeps the overbright sum in the mix.
// With an opaque backdrop the mix is co = as B + (1 - as) b.
TEST(TransferAdd, IntegerDepthsClampTheSumBeforeTheMix) {
    // b = .4, s = .8, as = .6: B = min(1, 1.2) = 1, co = .6 + .4 * .4 = .76 (193.8); mixing the
    // unclamped 1.2 would give .88 (224.4)
    const PF_Pixel out8 =
        compositeOne(makePixel<PF_Pixel>(255, 102, 102, 0), makePixel<PF_Pixel>(255, 204, 51, 51),
                     compositeMode(PF_Xfer_ADD, 153));
    // green .4 + .2 = .6 is in range: .6 * .6 + .4 * .4 = .52 (132.6); blue .6 * .2 = .12 (30.6)
    EXPECT_EQ(argb(out8), (Array4{255, 194, 133, 31}));

    // b = .375, s = .875, as = .5: .5 + .5 * .375 = .6875 (22528), not .8125
    const PF_Pixel16 out16 = compositeOne(makePixel<PF_Pixel16>(32768, 12288, 24576, 0),
                                          makePixel<PF_Pixel16>(32768, 28672, 28672, 8192),
                                          compositeMode(PF_Xfer_ADD, 255, 16384));
    // green b = .75: .5 + .5 * .75 = .875 (28672); blue .5 * .25 = .125 (4096)
    EXPECT_EQ(argb(out16), (Array4{32768, 22528, 28672, 4096}));

    // float: b + as s = .375 + .4375 = .8125 and .75 + .4375 = 1.1875, overbright
    const PF_PixelFloat outF = compositeOne(makePixel<PF_PixelFloat>(1, .375, .75, 0),
                                            makePixel<PF_PixelFloat>(1, .875, .875, .25),
                                            compositeMode(PF_Xfer_ADD, 255, 16384));
    EXPECT_EQ(outF.alpha, 1.0f);
    EXPECT_NEAR(outF.red, .8125, 1e-6);
    EXPECT_NEAR(outF.green, 1.1875, 1e-6);
    EXPECT_NEAR(outF.blue, .125, 1e-6);
}

// min(1, b + s) is "Linear Dodge", so at 8 and 16 bits the two modes agree on every pixel,
// whatever the alphas and the opacity.
template <typename Pixel>
void expectAddMatchesLinearDodge() {
    constexpr A_long size = 64;
    TestWorld<Pixel> src(size, size);
    TestWorld<Pixel> add(size, size);
    TestWorld<Pixel> dodge(size, size);
    std::uint32_t state = 15;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) * (1.0 / 16777216.0);
    };
    for (A_long y = 0; y < size; ++y) {
        for (A_long x = 0; x < size; ++x) {
            src.at(x, y) = unitPixel<Pixel>(x % 4 == 0 ? 1 : next(), next(), next(), next());
            add.at(x, y) = unitPixel<Pixel>(y % 4 == 0 ? 1 : next(), next(), next(), next());
            dodge.at(x, y) = add.at(x, y);
        }
    }
    for (const A_u_short opacity : std::initializer_list<A_u_short>{32768, 21000, 7}) {
        const A_u_char opacity8 = static_cast<A_u_char>(opacity * 255 / 32768);
        ASSERT_EQ(transferRect(src.world, nullptr, compositeMode(PF_Xfer_ADD, opacity8, opacity), 0,
                               0, add.world, Depth<Pixel>::host),
                  PF_Err_NONE);
        ASSERT_EQ(transferRect(src.world, nullptr,
                               compositeMode(PF_Xfer_LINEAR_DODGE, opacity8, opacity), 0, 0,
                               dodge.world, Depth<Pixel>::host),
                  PF_Err_NONE);
        for (A_long y = 0; y < size; ++y) {
            for (A_long x = 0; x < size; ++x) {
                ASSERT_EQ(argb(add.at(x, y)), argb(dodge.at(x, y)))
                    << "opacity " << opacity << " at " << x << "," << y;
            }
        }
    }
}

TEST(TransferAdd, IntegerDepthsCompositeAsLinearDodge) {
    expectAddMatchesLinearDodge<PF_Pixel>();
    expectAddMatchesLinearDodge<PF_Pixel16>();
}

template <typename Pixel>
class TransferAtDepth : public ::testing::Test {};

TYPED_TEST_SUITE(TransferAtDepth, PixelTypes);

TYPED_TEST(TransferAtDepth, ZeroOpacityAndTransparentSourceChangeNothing) {
    using Pixel = TypeParam;
    TestWorld<Pixel> src(4, 3);
    src.pattern(0);
    src.at(1, 1).alpha = 0;
    TestWorld<Pixel> dst(4, 3);
    dst.fill(unitPixel<Pixel>(.5, .25, .5, .75));
    const std::vector<Pixel> before = dst.pixels();
    for (const PF_TransferMode xfer :
         {PF_Xfer_IN_FRONT, PF_Xfer_DISSOLVE, PF_Xfer_ALPHA_ADD, PF_Xfer_MULTIPLY, PF_Xfer_HUE}) {
        ASSERT_EQ(transferRect(src.world, nullptr, compositeMode(xfer, 0, 0), 0, 0, dst.world,
                               Depth<Pixel>::host),
                  PF_Err_NONE);
        const std::vector<Pixel> after = dst.pixels();
        for (std::size_t i = 0; i < before.size(); ++i) {
            ASSERT_EQ(argb(after[i]), argb(before[i])) << xfer;
        }
    }
    // a fully transparent source pixel at full opacity leaves its destination pixel as it was
    ASSERT_EQ(transferRect(src.world, nullptr, compositeMode(PF_Xfer_MULTIPLY), 0, 0, dst.world,
                           Depth<Pixel>::host),
              PF_Err_NONE);
    EXPECT_EQ(argb(dst.at(1, 1)), argb(unitPixel<Pixel>(.5, .25, .5, .75)));
    EXPECT_NE(argb(dst.at(0, 1)), argb(unitPixel<Pixel>(.5, .25, .5, .75)));
}

TYPED_TEST(TransferAtDepth, DissolveIsDeterministicPerSeedAndKeepsWholePixels) {
    using Pixel = TypeParam;
    const Pixel backdrop = unitPixel<Pixel>(.25, 0, 0, 1);
    const auto dissolve = [&](A_long seed, A_u_char opacity, A_u_short opacitySu) {
        TestWorld<Pixel> src(64, 64);
        src.fill(unitPixel<Pixel>(.5, 1, 0, 0));
        TestWorld<Pixel> dst(64, 64);
        dst.fill(backdrop);
        EXPECT_EQ(transferRect(src.world, nullptr,
                               compositeMode(PF_Xfer_DISSOLVE, opacity, opacitySu, false, seed), 0,
                               0, dst.world, Depth<Pixel>::host),
                  PF_Err_NONE);
        std::vector<Array4> out;
        for (const Pixel& p : dst.pixels()) {
            out.push_back(argb(p));
        }
        return out;
    };
    const auto first = dissolve(7, 255, 32768);
    EXPECT_EQ(dissolve(7, 255, 32768), first);
    EXPECT_NE(dissolve(8, 255, 32768), first);

    // every pixel is either the backdrop or the source at full alpha, about half of each
    int kept = 0;
    int total = 0;
    for (const Array4& p : first) {
        if (p == argb(TestWorld<Pixel>::marker())) {
            continue;
        }
        ++total;
        if (p == argb(unitPixel<Pixel>(1, 1, 0, 0))) {
            ++kept;
        } else {
            EXPECT_EQ(p, argb(backdrop));
        }
    }
    EXPECT_EQ(total, 64 * 64);
    EXPECT_GT(kept, total * 2 / 5);
    EXPECT_LT(kept, total * 3 / 5);

    for (const Array4& p : dissolve(7, 0, 0)) {
        if (p != argb(TestWorld<Pixel>::marker())) {
            ASSERT_EQ(p, argb(backdrop));
        }
    }
}

// Clipping: an opaque source in front copies source pixels, so each destination pixel is either
// source pixel (x + dx, y + dy) inside the expected rectangle, or unchanged.
struct ClipCase {
    const char* name;
    bool hasSrcRect;
    PF_LRect srcRect;
    A_long dstX, dstY;
    PF_LRect expected;
    A_long dx, dy;
};

constexpr A_long longMax = std::numeric_limits<A_long>::max();
constexpr A_long longMin = std::numeric_limits<A_long>::min();

// Source 4x3, destination 5x4.
const ClipCase clipCases[] = {
    {"left and top", false, {}, -2, -1, {0, 0, 2, 2}, 2, 1},
    {"right and bottom", false, {}, 3, 2, {3, 2, 5, 4}, -3, -2},
    // valid part [0,2)x[0,2) lands one pixel further, at (2, 2)
    {"source rect before the source", true, {-1, -1, 2, 2}, 1, 1, {2, 2, 4, 4}, -2, -2},
    {"source rect inside", true, {1, 1, 3, 3}, 0, 0, {0, 0, 2, 2}, 1, 1},
    // valid part [2,4)x[1,3)
    {"source rect past the source", true, {2, 1, 9, 9}, 1, 0, {1, 0, 3, 2}, 1, 1},
    {"wholly right", false, {}, 5, 0, {}, 0, 0},
    {"wholly above", false, {}, 0, -3, {}, 0, 0},
    {"extreme offsets", false, {}, longMax, longMin, {}, 0, 0},
    {"extreme negative offset", false, {}, longMin, 0, {}, 0, 0},
    {"source rect past the extremes", true, {longMin, longMin, longMax, longMax}, 0, 0, {}, 0, 0},
    {"inverted source rect", true, {3, 2, 1, 1}, 0, 0, {}, 0, 0},
};

TYPED_TEST(TransferAtDepth, ClipsToBothWorlds) {
    using Pixel = TypeParam;
    TestWorld<Pixel> src(4, 3);
    src.pattern(0);
    TestWorld<Pixel> original(5, 4);
    original.pattern(100);
    for (const ClipCase& c : clipCases) {
        TestWorld<Pixel> dst(5, 4);
        dst.pattern(100);
        ASSERT_EQ(transferRect(src.world, c.hasSrcRect ? &c.srcRect : nullptr,
                               compositeMode(PF_Xfer_IN_FRONT), c.dstX, c.dstY, dst.world,
                               Depth<Pixel>::host),
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
    EXPECT_TRUE(src.paddingIntact());
}

TYPED_TEST(TransferAtDepth, OntoItselfReadsTheOriginalPixels) {
    using Pixel = TypeParam;
    TestWorld<Pixel> world(5, 4);
    world.pattern(0);
    TestWorld<Pixel> original(5, 4);
    original.pattern(0);
    const PF_LRect rect{0, 0, 4, 3};
    ASSERT_EQ(transferRect(world.world, &rect, compositeMode(PF_Xfer_IN_FRONT), 1, 1, world.world,
                           Depth<Pixel>::host),
              PF_Err_NONE);
    for (A_long y = 1; y < 4; ++y) {
        for (A_long x = 1; x < 5; ++x) {
            EXPECT_EQ(argb(world.at(x, y)), argb(original.at(x - 1, y - 1))) << x << "," << y;
        }
    }
}

TYPED_TEST(TransferAtDepth, RefusesUnknownModesAndUnusableWorldsWithoutWriting) {
    using Pixel = TypeParam;
    TestWorld<Pixel> src(4, 3);
    src.pattern(0);
    TestWorld<Pixel> dst(4, 3);
    dst.pattern(50);
    const std::vector<Pixel> before = dst.pixels();
    const auto untouched = [&] {
        const std::vector<Pixel> now = dst.pixels();
        for (std::size_t i = 0; i < now.size(); ++i) {
            if (argb(now[i]) != argb(before[i])) {
                return false;
            }
        }
        return true;
    };
    const PixelDepth depth = Depth<Pixel>::host;

    for (const PF_TransferMode xfer : std::initializer_list<PF_TransferMode>{
             PF_Xfer_NONE, PF_Xfer_COPY, PF_Xfer_BEHIND, PF_Xfer_MULTIPLY_ALPHA,
             PF_Xfer_ADDITIVE_PREMUL, PF_Xfer_LIGHTER_COLOR, PF_Xfer_SUBTRACT, PF_Xfer_DIVIDE,
             PF_Xfer_NUM_MODES, 1000}) {
        EXPECT_EQ(transferRect(src.world, nullptr, compositeMode(xfer), 0, 0, dst.world, depth),
                  PF_Err_BAD_CALLBACK_PARAM)
            << xfer;
        EXPECT_TRUE(untouched()) << xfer;
    }

    const PF_CompositeMode inFront = compositeMode(PF_Xfer_IN_FRONT);
    PF_EffectWorld noData = src.world;
    noData.data = nullptr;
    EXPECT_EQ(transferRect(noData, nullptr, inFront, 0, 0, dst.world, depth),
              PF_Err_BAD_CALLBACK_PARAM);
    PF_EffectWorld shortRows = src.world;
    shortRows.rowbytes = 3 * static_cast<A_long>(sizeof(Pixel));
    EXPECT_EQ(transferRect(shortRows, nullptr, inFront, 0, 0, dst.world, depth),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(
        transferRect(src.world, nullptr, inFront, 0, 0, dst.world, static_cast<PixelDepth>(7)),
        PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(untouched());

    PF_EffectWorld dstNoData = dst.world;
    dstNoData.data = nullptr;
    EXPECT_EQ(transferRect(src.world, nullptr, inFront, 0, 0, dstNoData, depth),
              PF_Err_BAD_CALLBACK_PARAM);
}

} // namespace
