// transfer_rect against its straightforward evaluation (ReferenceTransfer.h), byte for byte: the
// host skips uncovered blocks, stores opaque sources directly and computes the rest in vectorised
// loops, and none of that may change a bit of any pixel at any depth, in any transfer mode.
//
// ONDREL_EQUIVALENCE_CASES sets the number of random cases per depth (default 1500), and
// ONDREL_EQUIVALENCE_SEED the first case's seed (default: a fresh one). Case i uses seed + i; a
// failure prints the seed that repeats it alone with ONDREL_EQUIVALENCE_CASES=1.

#include "CompositeTestSupport.h"
#include "ReferenceTransfer.h"
#include "tests/support/EquivalenceRuns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace CompositeTest;

class Random {
public:
    explicit Random(std::uint64_t seed) : m_engine(seed) {}

    int below(int n) { return static_cast<int>(m_engine() % static_cast<std::uint64_t>(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(double p) { return unit() < p; }
    double unit() { return static_cast<double>(m_engine() >> 11) * 0x1.0p-53; }

private:
    std::mt19937_64 m_engine;
};

// Channel values a world may hold, the awkward ones included when asked: above white at 16 bits;
// at float overbright and negative, and when awkward also negative zero, infinite and NaN (which
// keep a block of opaque pixels from being stored as it is, so cases without them exercise that).
template <typename Pixel>
decltype(Pixel::alpha) randomChannel(Random& random, bool awkward = true) {
    if constexpr (std::is_same_v<Pixel, PF_Pixel>) {
        return static_cast<A_u_char>(random.below(256));
    } else if constexpr (std::is_same_v<Pixel, PF_Pixel16>) {
        return static_cast<A_u_short>(random.chance(0.05) ? random.between(32769, 65535)
                                                          : random.between(0, 32768));
    } else {
        const int kind = awkward ? random.below(100) : random.between(4, 99);
        if (kind < 2) {
            return -0.0f;
        }
        if (kind < 3) {
            return random.chance(0.5) ? std::numeric_limits<float>::infinity()
                                      : -std::numeric_limits<float>::infinity();
        }
        if (kind < 4) {
            return std::numeric_limits<float>::quiet_NaN();
        }
        if (kind < 8) {
            return static_cast<float>(random.below(2));
        }
        return static_cast<float>(-0.25 + 1.75 * random.unit());
    }
}

template <typename Pixel>
decltype(Pixel::alpha) white() {
    return unitPixel<Pixel>(1, 0, 0, 0).alpha;
}

// The same bytes; except that where a float result is NaN (an infinite or NaN input), any NaN
// will do: which one the arithmetic yields (its sign and payload) depends on the order in which
// the compiler hands the operands of a sum or product to the processor, which the formula does
// not fix.
template <typename Pixel>
bool samePixel(const Pixel& a, const Pixel& b) {
    if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
        const auto same = [](float x, float y) {
            return std::memcmp(&x, &y, sizeof x) == 0 || (std::isnan(x) && std::isnan(y));
        };
        return same(a.alpha, b.alpha) && same(a.red, b.red) && same(a.green, b.green) &&
               same(a.blue, b.blue);
    } else {
        return std::memcmp(&a, &b, sizeof(Pixel)) == 0;
    }
}

// A world of runs of transparent, opaque and partly covering pixels, as drawn shapes have them,
// with random row padding.
template <typename Pixel>
class RandomWorld {
public:
    RandomWorld(Random& random, A_long width, A_long height, bool awkward)
        : m_stride(width + random.below(4)), m_pixels(static_cast<std::size_t>(m_stride * height)) {
        int kind = 0;
        int left = 0;
        for (Pixel& p : m_pixels) {
            if (left-- == 0) {
                kind = random.below(3);
                left = random.between(1, 150);
            }
            p = makePixel<Pixel>(0, 0, 0, 0);
            p.red = randomChannel<Pixel>(random, awkward);
            p.green = randomChannel<Pixel>(random, awkward);
            p.blue = randomChannel<Pixel>(random, awkward);
            p.alpha = kind == 0   ? decltype(Pixel::alpha){}
                      : kind == 1 ? white<Pixel>()
                                  : randomChannel<Pixel>(random, awkward);
        }
        world.data = reinterpret_cast<PF_PixelPtr>(m_pixels.data());
        world.rowbytes = m_stride * static_cast<A_long>(sizeof(Pixel));
        world.width = width;
        world.height = height;
    }

    RandomWorld(const RandomWorld& other)
        : world(other.world), m_stride(other.m_stride), m_pixels(other.m_pixels) {
        world.data = reinterpret_cast<PF_PixelPtr>(m_pixels.data());
    }
    RandomWorld& operator=(const RandomWorld&) = delete;

    bool sameBytes(const RandomWorld& other, std::string& where) const {
        for (std::size_t i = 0; i < m_pixels.size(); ++i) {
            if (!samePixel(m_pixels[i], other.m_pixels[i])) {
                std::ostringstream text;
                text << "pixel (" << i % static_cast<std::size_t>(m_stride) << ", "
                     << i / static_cast<std::size_t>(m_stride) << "): host "
                     << ::testing::PrintToString(argb(m_pixels[i])) << ", reference "
                     << ::testing::PrintToString(argb(other.m_pixels[i]));
                where = text.str();
                return false;
            }
        }
        return true;
    }

    PF_EffectWorld world{};

private:
    A_long m_stride;
    std::vector<Pixel> m_pixels;
};

const PF_TransferMode everyMode[] = {
    PF_Xfer_IN_FRONT,     PF_Xfer_DISSOLVE,    PF_Xfer_ADD,          PF_Xfer_MULTIPLY,
    PF_Xfer_SCREEN,       PF_Xfer_OVERLAY,     PF_Xfer_SOFT_LIGHT,   PF_Xfer_HARD_LIGHT,
    PF_Xfer_DARKEN,       PF_Xfer_LIGHTEN,     PF_Xfer_DIFFERENCE,   PF_Xfer_HUE,
    PF_Xfer_SATURATION,   PF_Xfer_COLOR,       PF_Xfer_LUMINOSITY,   PF_Xfer_ALPHA_ADD,
    PF_Xfer_COLOR_DODGE,  PF_Xfer_COLOR_BURN,  PF_Xfer_EXCLUSION,    PF_Xfer_DIFFERENCE2,
    PF_Xfer_COLOR_DODGE2, PF_Xfer_COLOR_BURN2, PF_Xfer_LINEAR_DODGE, PF_Xfer_LINEAR_BURN,
    PF_Xfer_LINEAR_LIGHT, PF_Xfer_VIVID_LIGHT, PF_Xfer_PIN_LIGHT,    PF_Xfer_HARD_MIX};

template <typename Pixel>
::testing::AssertionResult runCase(std::uint64_t seed) {
    Random random(seed);
    const bool awkward = random.chance(0.5);
    RandomWorld<Pixel> src(random, random.between(1, 200), random.between(1, 4), awkward);
    RandomWorld<Pixel> dst(random, random.between(1, 200), random.between(1, 4), awkward);
    PF_CompositeMode mode{};
    mode.xfer = everyMode[random.below(std::size(everyMode))];
    mode.rand_seed = random.between(0, 1 << 30);
    const int opacity = random.below(5);
    mode.opacity = static_cast<A_u_char>(opacity < 3 ? 255 : opacity == 3 ? 0 : random.below(256));
    mode.opacitySu = static_cast<A_u_short>(opacity < 3    ? 32768
                                            : opacity == 3 ? 0
                                                           : random.between(0, 40000));
    mode.rgb_only = random.chance(0.2) ? 1 : 0;
    PF_LRect srcRect{random.between(-20, 50), random.between(-2, 2), random.between(0, 220),
                     random.between(0, 5)};
    const bool withRect = random.chance(0.3);
    const A_long dstX = random.between(-100, 200);
    const A_long dstY = random.between(-3, 4);
    // Sometimes the source is the destination itself, shifted.
    const bool ontoItself = random.chance(0.1);

    RandomWorld<Pixel> expected = dst;
    const PF_EffectWorld& from = ontoItself ? dst.world : src.world;
    const PF_EffectWorld& fromExpected = ontoItself ? expected.world : src.world;
    const PF_LRect* rect = withRect ? &srcRect : nullptr;
    const PF_Err err =
        OfflineHost::transferRect(from, rect, mode, dstX, dstY, dst.world, Depth<Pixel>::host);
    const PF_Err expectedErr =
        referenceTransferRect<Pixel>(fromExpected, rect, mode, dstX, dstY, expected.world);
    std::string where;
    if (err != expectedErr || !dst.sameBytes(expected, where)) {
        return ::testing::AssertionFailure()
               << "seed " << seed << ", transfer mode " << mode.xfer << ", opacity "
               << static_cast<int>(mode.opacity) << "/" << mode.opacitySu << ", rgb_only "
               << static_cast<int>(mode.rgb_only) << ": " << where << " (errors " << err << ", "
               << expectedErr << ")";
    }
    return ::testing::AssertionSuccess();
}

template <typename Pixel>
class TransferEquivalence : public ::testing::Test {};

TYPED_TEST_SUITE(TransferEquivalence, PixelTypes);

TYPED_TEST(TransferEquivalence, RandomCasesMatchTheStraightforwardEvaluation) {
    const std::uint64_t cases = TestSupport::equivalenceCases(1500);
    const std::uint64_t seed = TestSupport::equivalenceSeed();
    for (std::uint64_t i = 0; i < cases; ++i) {
        ASSERT_TRUE(runCase<TypeParam>(seed + i));
    }
}

// An opaque source in front, stored directly at 8 and 16 bits, over every backdrop alpha: the
// formula gives the source exactly (colours above white held to white). 8 bits: every source
// value; 16 bits: a sample of them, the ends of the range included.
template <typename Pixel>
void expectOpaqueSourceStoredExactly(int sourceValues) {
    constexpr A_long alphas = std::is_same_v<Pixel, PF_Pixel> ? 256 : 32769;
    Random random(13);
    TestWorld<Pixel> src(sourceValues, alphas);
    TestWorld<Pixel> dst(sourceValues, alphas);
    for (A_long y = 0; y < alphas; ++y) {
        for (A_long x = 0; x < sourceValues; ++x) {
            Pixel s = unitPixel<Pixel>(1, 0, 0, 0);
            // 8 bits: x; 16 bits: 0 to 65535 in steps, with white and one below it
            s.red = static_cast<decltype(s.red)>(alphas == 256 ? x
                                                 : x == 16     ? 32768
                                                 : x == 17     ? 32767
                                                               : std::min(65535, x * 2114));
            s.green = randomChannel<Pixel>(random);
            s.blue = x == 0 ? white<Pixel>() : randomChannel<Pixel>(random);
            src.at(x, y) = s;
            Pixel b = makePixel<Pixel>(y, 0, 0, 0);
            b.red = randomChannel<Pixel>(random);
            b.green = randomChannel<Pixel>(random);
            b.blue = randomChannel<Pixel>(random);
            dst.at(x, y) = b;
        }
    }
    TestWorld<Pixel> expected(sourceValues, alphas);
    for (A_long y = 0; y < alphas; ++y) {
        for (A_long x = 0; x < sourceValues; ++x) {
            expected.at(x, y) = dst.at(x, y);
        }
    }
    const PF_CompositeMode mode = compositeMode(PF_Xfer_IN_FRONT);
    ASSERT_EQ(
        OfflineHost::transferRect(src.world, nullptr, mode, 0, 0, dst.world, Depth<Pixel>::host),
        PF_Err_NONE);
    ASSERT_EQ(referenceTransferRect<Pixel>(src.world, nullptr, mode, 0, 0, expected.world),
              PF_Err_NONE);
    for (A_long y = 0; y < alphas; ++y) {
        for (A_long x = 0; x < sourceValues; ++x) {
            ASSERT_EQ(argb(dst.at(x, y)), argb(expected.at(x, y)))
                << "source " << ::testing::PrintToString(argb(src.at(x, y)))
                << " over backdrop alpha " << y;
        }
    }
}

TEST(TransferEquivalence, OpaqueSourceInFrontIsStoredExactlyAtIntegerDepths) {
    expectOpaqueSourceStoredExactly<PF_Pixel>(256);
    expectOpaqueSourceStoredExactly<PF_Pixel16>(32);
}

// In float, an opaque source over an opaque backdrop is stored as it is, except where one value
// makes the formula give something else: a source colour of -0 (the formula gives +0), an infinite
// or NaN colour on either side (NaN), a backdrop alpha below 1. One such value among 64 pixels.
TEST(TransferEquivalence, FloatStoresOpaqueSourcesOnlyWhereTheFormulaGivesThem) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Spoiler {
        const char* name;
        bool inSource;
        int channel; // 0 alpha, 1 red, 2 green, 3 blue
        float value;
    };
    const Spoiler spoilers[] = {
        {"nothing", true, 1, 0.5f},          {"source -0", true, 2, -0.0f},
        {"source inf", true, 1, inf},        {"source NaN", true, 3, nan},
        {"backdrop -inf", false, 2, -inf},   {"backdrop NaN", false, 1, nan},
        {"backdrop alpha", false, 0, 0.999f}};
    for (const Spoiler& spoiler : spoilers) {
        TestWorld<PF_PixelFloat> src(64, 1);
        TestWorld<PF_PixelFloat> dst(64, 1);
        for (A_long x = 0; x < 64; ++x) {
            src.at(x, 0) = {1.0f, 0.25f, 1.5f, -0.5f};
            dst.at(x, 0) = {1.0f, 0.0f, 0.75f, 2.0f};
        }
        PF_PixelFloat& spoilt = spoiler.inSource ? src.at(37, 0) : dst.at(37, 0);
        (&spoilt.alpha)[spoiler.channel] = spoiler.value;
        TestWorld<PF_PixelFloat> expected(64, 1);
        for (A_long x = 0; x < 64; ++x) {
            expected.at(x, 0) = dst.at(x, 0);
        }
        const PF_CompositeMode mode = compositeMode(PF_Xfer_IN_FRONT);
        ASSERT_EQ(OfflineHost::transferRect(src.world, nullptr, mode, 0, 0, dst.world,
                                            PixelDepth::Float32),
                  PF_Err_NONE);
        ASSERT_EQ(
            referenceTransferRect<PF_PixelFloat>(src.world, nullptr, mode, 0, 0, expected.world),
            PF_Err_NONE);
        for (A_long x = 0; x < 64; ++x) {
            EXPECT_TRUE(samePixel(dst.at(x, 0), expected.at(x, 0)))
                << spoiler.name << " at " << x << ": host "
                << ::testing::PrintToString(argb(dst.at(x, 0))) << ", reference "
                << ::testing::PrintToString(argb(expected.at(x, 0)));
        }
        // where nothing spoils the block, every pixel is the source with alpha 1
        if (std::string(spoiler.name) == "nothing") {
            EXPECT_TRUE(samePixel(dst.at(5, 0), PF_PixelFloat{1.0f, 0.25f, 1.5f, -0.5f}));
        }
    }
}

} // namespace
