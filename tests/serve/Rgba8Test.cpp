// The preview's bytes straight from a world's rows against the straightforward way they were
// made before: the world read into float rows (loadRows), each channel then rounded to a byte as
// written out here. Every 8- and 16-bit channel value, and at float random values from a fresh seed
// (ONDREL_EQUIVALENCE_SEED repeats one), with the values a rounding can go wrong at: those within
// a few units in the last place of every half step, beyond 0 to 1, infinite and NaN.

#include "cli/serve/Rgba8.h"
#include "cli/image/Pixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using OfflineHost::PixelDepth;
using OfflineHost::PixelTraits;
using OfflineHost::World;

// A unit value's byte as written out: times 255, limited to 0 to 255 (NaN as 0), rounded to
// nearest with halves away from zero.
std::uint8_t byteOf(float v) {
    const float scaled = v * 255.0f;
    if (std::isnan(scaled) || scaled <= 0.0f) {
        return 0;
    }
    return static_cast<std::uint8_t>(scaled >= 255.0f ? 255 : std::lround(scaled));
}

std::vector<std::uint8_t> straightforward(const World& world) {
    OndrelCli::RgbaImage rows(world.width(), world.height());
    OndrelCli::loadRows(world, 0, rows);
    std::vector<std::uint8_t> bytes(rows.pixels.size());
    std::transform(rows.pixels.begin(), rows.pixels.end(), bytes.begin(), byteOf);
    return bytes;
}

std::vector<std::uint8_t> direct(const World& world) {
    std::vector<std::uint8_t> bytes(4 * static_cast<std::size_t>(world.width()) * world.height());
    OndrelCli::loadRgba8(world, bytes.data());
    return bytes;
}

// The first byte that differs, as "pixel (x, y) channel c: 12, not 13", or nothing.
std::string firstDifference(const World& world) {
    const auto expected = straightforward(world);
    const auto got = direct(world);
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (got[i] != expected[i]) {
            const std::size_t pixel = i / 4;
            return "pixel (" + std::to_string(pixel % world.width()) + ", " +
                   std::to_string(pixel / world.width()) + ") channel " + std::to_string(i % 4) +
                   ": " + std::to_string(got[i]) + ", not " + std::to_string(expected[i]);
        }
    }
    return "";
}

// Every value in every channel: pixel i holds value i in red, and its neighbours' values in the
// other channels, in a world with padded rows.
template <typename Pixel>
void expectEveryValue(int values) {
    const A_long width = 256;
    World world(width, (values + width - 1) / width, PixelTraits<Pixel>::depth,
                3 * sizeof(Pixel::alpha));
    for (int i = 0; i < width * world.height(); ++i) {
        const auto value = [&](int k) {
            return static_cast<typename PixelTraits<Pixel>::Channel>((i + k) % values);
        };
        world.at<Pixel>(i % width, i / width) = Pixel{value(3), value(0), value(1), value(2)};
    }
    EXPECT_EQ(firstDifference(world), "");
}

TEST(Rgba8, EveryEightAndSixteenBitValueGivesTheStraightforwardByte) {
    expectEveryValue<PF_Pixel>(256);
    expectEveryValue<PF_Pixel16>(65536); // overbright values above 32768 included
}

std::uint64_t seedToUse() {
    const char* given = std::getenv("ONDREL_EQUIVALENCE_SEED");
    return given != nullptr ? std::strtoull(given, nullptr, 10) : std::random_device{}();
}

TEST(Rgba8, FloatChannelsGiveTheStraightforwardByte) {
    const std::uint64_t seed = seedToUse();
    SCOPED_TRACE("ONDREL_EQUIVALENCE_SEED=" + std::to_string(seed));
    std::mt19937_64 random(seed);
    std::vector<float> values = {0.0f,
                                 -0.0f,
                                 1.0f,
                                 -1.0f,
                                 2.0f,
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity(),
                                 std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::denorm_min(),
                                 std::numeric_limits<float>::max()};
    // Around each half step k + 1/2 of 255 and each whole step k of 255, eight floats either
    // side.
    for (int k = 0; k <= 255; ++k) {
        for (const float target :
             {(static_cast<float>(k) + 0.5f) / 255.0f, static_cast<float>(k) / 255.0f}) {
            float below = target;
            float above = target;
            for (int step = 0; step < 8; ++step) {
                values.push_back(below = std::nextafter(below, -1.0f));
                values.push_back(above = std::nextafter(above, 2.0f));
            }
            values.push_back(target);
        }
    }
    std::uniform_real_distribution<float> unit(-0.25f, 1.25f);
    std::uniform_int_distribution<std::uint32_t> bits;
    while (values.size() < 200000) {
        values.push_back(unit(random));
        const std::uint32_t pattern = bits(random);
        float any;
        static_assert(sizeof any == sizeof pattern);
        std::memcpy(&any, &pattern, sizeof any);
        values.push_back(any);
    }
    std::shuffle(values.begin(), values.end(), random);
    const A_long width = 397; // rows padded by a few floats
    World world(width, static_cast<A_long>(values.size() / 4 / width), PixelDepth::Float32, 12);
    std::size_t next = 0;
    for (A_long y = 0; y < world.height(); ++y) {
        for (A_long x = 0; x < width; ++x, next += 4) {
            world.at<PF_PixelFloat>(x, y) =
                PF_PixelFloat{values[next], values[next + 1], values[next + 2], values[next + 3]};
        }
    }
    EXPECT_EQ(firstDifference(world), "");
}

} // namespace
