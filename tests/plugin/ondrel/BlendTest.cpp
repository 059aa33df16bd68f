#include "Ondrel/OndrelBlend.h"
#include "tests/support/PixelDepths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

using TestSupport::makePixel;

std::vector<std::string> popupItems() {
    std::vector<std::string> items;
    std::istringstream in(Ondrel::blendModePopupString);
    for (std::string item; std::getline(in, item, '|');) {
        items.push_back(item);
    }
    return items;
}

struct PopupRow {
    const char* text;
    int blendMode;
    int transferMode; // PF_TransferMode value the host composites with
};

// The documented "Blending Mode" menu, item 1 first; "(-" is a separator.
const PopupRow documentedPopup[] = {
    {"None", -1, 2},
    {"(-", -1, 2},
    {"Normal", 0, 2},
    {"(-", 0, 2},
    {"Darken", 10, 10},
    {"Multiply", 3, 5},
    {"Linear Burn", 18, 30},
    {"Color Burn", 9, 28},
    {"Classic Color Burn", 19, 24},
    {"(-", 19, 24},
    {"Add", 2, 4},
    {"Lighten", 11, 11},
    {"Screen", 4, 6},
    {"Linear Dodge", 20, 29},
    {"Color Dodge", 8, 27},
    {"Classic Color Dodge", 21, 23},
    {"(-", 21, 23},
    {"Overlay", 5, 7},
    {"Soft Light", 6, 8},
    {"Hard Light", 7, 9},
    {"Linear Light", 22, 31},
    {"Vivid Light", 23, 32},
    {"Pin Light", 24, 33},
    {"Hard Mix", 25, 34},
    {"(-", 25, 34},
    {"Difference", 12, 26},
    {"Classic Difference", 26, 12},
    {"Exclution", 13, 25},
    {"(-", 13, 25},
    {"Hue", 14, 13},
    {"Saturation", 15, 14},
    {"Color", 27, 15},
    {"Luminosity", 16, 16},
};

static_assert(static_cast<std::size_t>(Ondrel::blendModePopupCount) == std::size(documentedPopup));
static_assert(Ondrel::blendModePopupDefault == 3);

TEST(BlendModeCatalogue, PopupItemsNumbersAndTransferModes) {
    const std::vector<std::string> items = popupItems();
    ASSERT_EQ(items.size(), std::size(documentedPopup));
    EXPECT_EQ(items[Ondrel::blendModePopupDefault - 1], "Normal");

    for (int item = 1; item <= Ondrel::blendModePopupCount; ++item) {
        const PopupRow& row = documentedPopup[item - 1];
        SCOPED_TRACE(testing::Message() << "item " << item << " " << row.text);
        EXPECT_EQ(items[static_cast<std::size_t>(item - 1)], row.text);
        EXPECT_EQ(Ondrel::blendModeOfPopupItem(item), row.blendMode);
        EXPECT_EQ(Ondrel::aeBlendMode(Ondrel::blendModeOfPopupItem(item)), row.transferMode);
    }
    for (int item : {0, -1, 34, 1000, std::numeric_limits<int>::min()}) {
        EXPECT_EQ(Ondrel::blendModeOfPopupItem(item), Ondrel::blendModeNone) << item;
    }

    // Every blend-mode number, including the two no popup item produces.
    const int transferOfNumber[28] = {2,  3,  4,  5,  6,  7,  8,  9,  27, 28, 10, 11, 26, 25,
                                      13, 14, 16, 22, 30, 24, 29, 23, 31, 32, 33, 34, 12, 15};
    for (int number = 0; number < 28; ++number) {
        EXPECT_EQ(Ondrel::aeBlendMode(number), transferOfNumber[number]) << number;
    }
    for (int number : {-1, -2, 28, 29, 1000, std::numeric_limits<int>::max()}) {
        EXPECT_EQ(Ondrel::aeBlendMode(number), 2) << number;
    }
}

// ---------------------------------------------------------------------------------------------
// Independent references for the integer depths, in signed 64-bit arithmetic.

template <typename P>
P referenceOver(const P& bd, const P& src, std::int64_t full) {
    if (bd.alpha == 0 || src.alpha == full) {
        return src;
    }
    if (src.alpha == 0) {
        return bd;
    }
    const std::int64_t as = src.alpha;
    const std::int64_t k = (full - as) * bd.alpha / full; // floor: everything is non-negative
    const std::int64_t a = as + k;
    const auto channel = [&](std::int64_t b, std::int64_t s) {
        return std::min<std::int64_t>(full, (b * k + s * as) / a);
    };
    return makePixel<P>(std::min(full, a), channel(bd.red, src.red), channel(bd.green, src.green),
                        channel(bd.blue, src.blue));
}

template <typename P>
void expectSame(const P& actual, const P& expected) {
    EXPECT_EQ(actual.alpha, expected.alpha);
    EXPECT_EQ(actual.red, expected.red);
    EXPECT_EQ(actual.green, expected.green);
    EXPECT_EQ(actual.blue, expected.blue);
}

TEST(BlendNormal, EightBitExample) {
    const PF_Pixel result = Ondrel::Blend::normal(makePixel<PF_Pixel>(255, 10, 20, 30),
                                                  makePixel<PF_Pixel>(128, 200, 100, 0));
    expectSame(result, makePixel<PF_Pixel>(255, 105, 60, 14));
}

TEST(BlendNormal, EightBitMatchesReferenceForAllAlphas) {
    const int colours[][2] = {{0, 0}, {255, 255}, {0, 255}, {255, 0}, {10, 200}, {137, 59}};
    int mismatches = 0;
    for (int ab = 0; ab <= 255; ++ab) {
        for (int as = 0; as <= 255; ++as) {
            for (const auto& c : colours) {
                const PF_Pixel bd = makePixel<PF_Pixel>(ab, c[0], c[1], 255 - c[0]);
                const PF_Pixel src = makePixel<PF_Pixel>(as, c[1], c[0], 255 - c[1]);
                const PF_Pixel got = Ondrel::Blend::normal(bd, src);
                const PF_Pixel want = referenceOver(bd, src, 255);
                if (got.alpha != want.alpha || got.red != want.red || got.green != want.green ||
                    got.blue != want.blue) {
                    ++mismatches;
                    ADD_FAILURE() << "ab " << ab << " as " << as << " colours " << c[0] << "/"
                                  << c[1];
                }
            }
            if (mismatches > 10) {
                return;
            }
        }
    }
}

TEST(BlendNormal, SixteenBitHalfOverOpaqueIsFlooredMean) {
    const int colours[][2] = {{0, 0}, {32768, 32768}, {0, 32768},
                              {1, 2}, {12345, 30001}, {32767, 0}};
    for (const auto& c : colours) {
        const PF_Pixel16 bd = makePixel<PF_Pixel16>(32768, c[0], c[1], 7);
        const PF_Pixel16 src = makePixel<PF_Pixel16>(16384, c[1], c[0], 8);
        const PF_Pixel16 got = Ondrel::Blend::normal(bd, src);
        EXPECT_EQ(got.alpha, 32768);
        EXPECT_EQ(got.red, (c[0] + c[1]) / 2);
        EXPECT_EQ(got.green, (c[0] + c[1]) / 2);
        EXPECT_EQ(got.blue, 7);
    }
}

TEST(BlendNormal, SixteenBitMatchesReference) {
    const int alphas[] = {0, 1, 2, 255, 256, 8191, 16384, 16385, 32000, 32767, 32768};
    const int colours[][2] = {{0, 32768}, {32768, 0}, {32768, 32768}, {1, 32767}, {20000, 9999}};
    for (int ab : alphas) {
        for (int as : alphas) {
            for (const auto& c : colours) {
                const PF_Pixel16 bd = makePixel<PF_Pixel16>(ab, c[0], c[1], 32768 - c[0]);
                const PF_Pixel16 src = makePixel<PF_Pixel16>(as, c[1], c[0], 32768 - c[1]);
                SCOPED_TRACE(testing::Message() << "ab " << ab << " as " << as);
                expectSame(Ondrel::Blend::normal(bd, src), referenceOver(bd, src, 32768));
            }
        }
    }
}

// The early returns hand back the operand itself, colours included, at every depth.
TEST(BlendNormal, EarlyReturns) {
    {
        const PF_Pixel clearSrc = makePixel<PF_Pixel>(0, 1, 2, 3);
        const PF_Pixel clearBd = makePixel<PF_Pixel>(0, 4, 5, 6);
        const PF_Pixel bd = makePixel<PF_Pixel>(77, 7, 8, 9);
        const PF_Pixel opaque = makePixel<PF_Pixel>(255, 10, 11, 12);
        expectSame(Ondrel::Blend::normal(clearBd, clearSrc), clearSrc);
        expectSame(Ondrel::Blend::normal(bd, opaque), opaque);
        expectSame(Ondrel::Blend::normal(bd, clearSrc), bd);
    }
    {
        const PF_Pixel16 clearSrc = makePixel<PF_Pixel16>(0, 1, 2, 3);
        const PF_Pixel16 clearBd = makePixel<PF_Pixel16>(0, 4, 5, 6);
        const PF_Pixel16 bd = makePixel<PF_Pixel16>(30000, 7, 8, 9);
        const PF_Pixel16 opaque = makePixel<PF_Pixel16>(32768, 10, 11, 12);
        expectSame(Ondrel::Blend::normal(clearBd, clearSrc), clearSrc);
        expectSame(Ondrel::Blend::normal(bd, opaque), opaque);
        expectSame(Ondrel::Blend::normal(bd, clearSrc), bd);
    }
    {
        const PF_PixelFloat clearSrc{0.0f, 1.0f, 2.0f, 3.0f};
        const PF_PixelFloat clearBd{0.0f, 4.0f, 5.0f, 6.0f};
        const PF_PixelFloat bd{0.3f, 7.0f, 8.0f, 9.0f};
        const PF_PixelFloat opaque{1.0f, -1.0f, 11.0f, 12.0f};
        expectSame(Ondrel::Blend::normal(clearBd, clearSrc), clearSrc);
        expectSame(Ondrel::Blend::normal(bd, opaque), opaque);
        expectSame(Ondrel::Blend::normal(bd, clearSrc), bd);
    }
}

TEST(BlendNormal, FloatExamples) {
    const PF_PixelFloat half = Ondrel::Blend::normal(PF_PixelFloat{0.5f, 0.0f, 0.6f, 1.0f},
                                                     PF_PixelFloat{0.5f, 1.0f, 0.2f, 1.0f});
    EXPECT_EQ(half.alpha, 0.75f);
    // k = 0.25, A = 0.75: colour = (s * 0.5 + b * 0.25) / 0.75
    EXPECT_FLOAT_EQ(half.red, 2.0f / 3.0f);
    EXPECT_NEAR(half.green, (0.2 * 0.5 + 0.6 * 0.25) / 0.75, 1e-6);
    EXPECT_FLOAT_EQ(half.blue, 1.0f);

    // Overbright colours and alphas beyond 1 pass through unclamped.
    const PF_PixelFloat bright = Ondrel::Blend::normal(PF_PixelFloat{1.0f, 0.0f, 0.0f, 0.0f},
                                                       PF_PixelFloat{0.5f, 3.0f, -2.0f, 0.0f});
    EXPECT_EQ(bright.alpha, 1.0f);
    EXPECT_EQ(bright.red, 1.5f);
    EXPECT_EQ(bright.green, -1.0f);
    const PF_PixelFloat over = Ondrel::Blend::normal(PF_PixelFloat{2.0f, 1.0f, 1.0f, 1.0f},
                                                     PF_PixelFloat{0.5f, 1.0f, 1.0f, 1.0f});
    EXPECT_EQ(over.alpha, 1.5f);

    // A NaN backdrop alpha is not "transparent": it does not return the source.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const PF_PixelFloat poisoned = Ondrel::Blend::normal(PF_PixelFloat{nan, 0.0f, 0.0f, 0.0f},
                                                         PF_PixelFloat{0.5f, 1.0f, 1.0f, 1.0f});
    EXPECT_TRUE(std::isnan(poisoned.alpha));
}

} // namespace
