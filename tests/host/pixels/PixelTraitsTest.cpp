// The exact conversion of unit values to 8- and 16-bit channels, which image files and the preview
// write, against rounding as written out: times white in float, limited to 0 to white (NaN as 0),
// then to nearest with halves away from zero. Around every half and whole step, and at random
// bit patterns (NaN, infinities, subnormals and huge values among them) from a fresh seed.

#include "host/pixels/PixelTraits.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using OfflineHost::Conversion;
using OfflineHost::PixelTraits;

long roundedToNearest(float v, float white) {
    const float scaled = v * white;
    if (std::isnan(scaled) || scaled <= 0.0f) {
        return 0;
    }
    return scaled >= white ? static_cast<long>(white) : std::lround(scaled);
}

// Values within eight floats of each step k / white and (k + 1/2) / white, and random ones.
std::vector<float> valuesToTry(float white, std::mt19937& random) {
    std::vector<float> values;
    for (int k = 0; k <= static_cast<int>(white); ++k) {
        for (const float step :
             {static_cast<float>(k) / white, (static_cast<float>(k) + 0.5f) / white}) {
            float below = step;
            float above = step;
            values.push_back(step);
            for (int i = 0; i < 8; ++i) {
                values.push_back(below = std::nextafter(below, -1.0f));
                values.push_back(above = std::nextafter(above, 2.0f));
            }
        }
    }
    std::uniform_real_distribution<float> unit(-0.25f, 1.25f);
    for (int i = 0; i < 200000; ++i) {
        values.push_back(unit(random));
        values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(random())));
    }
    return values;
}

template <typename Pixel>
void expectRoundedToNearest(std::mt19937& random) {
    using Traits = PixelTraits<Pixel>;
    long wrong = 0;
    std::string first;
    for (const float v : valuesToTry(Traits::white, random)) {
        const long expected = roundedToNearest(v, Traits::white);
        const long got = static_cast<long>(Traits::template channel<Conversion::Exact>(v));
        if (got != expected && wrong++ == 0) {
            first = std::to_string(v) + " (bits " +
                    std::to_string(std::bit_cast<std::uint32_t>(v)) + ") gave " +
                    std::to_string(got) + ", not " + std::to_string(expected);
        }
    }
    EXPECT_EQ(wrong, 0) << "first: " << first;
}

TEST(PixelTraits, ExactChannelsAreUnitValuesRoundedToNearest) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    expectRoundedToNearest<PF_Pixel>(random);
    expectRoundedToNearest<PF_Pixel16>(random);
}

} // namespace
