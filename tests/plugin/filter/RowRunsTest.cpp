// The searches that find where a row's runs end, against worked values and against scanning every
// pixel.

#include "Ondrel/Filter/OndrelGridZones.h"
#include "Ondrel/Filter/OndrelRowCuts.h"
#include "Ondrel/Filter/OndrelRowRuns.h"
#include "Ondrel/Filter/OndrelValleyZones.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

// Doubles from 1 - 2^-53 (the one below 1) down to just below 1 - 2^-54 round to 1 - 2^-53;
// 1 - 2^-54 itself lies halfway and rounds to 1, the even neighbour.
TEST(RowRuns, LastHoldingFindsTheExactDoubleWhereAConditionStops) {
    EXPECT_EQ(Ondrel::lastHolding([](double v) { return 1.0 + v < 1.0; }, -1.0, 1.0),
              std::nextafter(-0x1p-54, -1.0));
    EXPECT_EQ(Ondrel::lastHolding([](double v) { return v < 0.0; }, -infinity, infinity),
              -std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(Ondrel::lastHolding([](double v) { return v <= 0.0; }, -infinity, infinity), 0.0);
    // It holds nowhere, or everywhere.
    EXPECT_FALSE(Ondrel::lastHolding([](double v) { return v < -5.0; }, 0.0, infinity));
    EXPECT_EQ(Ondrel::lastHolding([](double v) { return v < 7.0; }, 0.0, 3.0), 3.0);

    // Through a square root, for distances of every size.
    std::mt19937_64 random(3);
    for (int i = 0; i < 2000; ++i) {
        const double d =
            std::pow(10.0, std::uniform_real_distribution<double>(-8.0, 150.0)(random));
        const auto within = [d](double s) { return std::sqrt(s) <= d; };
        const double bound = *Ondrel::lastHolding(within, 0.0, infinity);
        EXPECT_TRUE(within(bound) && !within(std::nextafter(bound, infinity))) << d;
    }
}

// Every transition point and every guess, however far off, against a scan of the range.
TEST(RowRuns, PixelSearchAgreesWithAScanForAnyGuess) {
    const std::vector<double> guesses = {-1e9, -40.0, -3.5, 0.0,          2.2,      7.0,
                                         19.9, 50.0,  1e12, std::nan(""), infinity, -infinity};
    for (int from = -6; from < 8; from += 3) {
        for (int to = from - 1; to < 24; to += 5) {
            for (int change = from - 1; change <= to + 1; ++change) {
                const auto atOrAbove = [change](int x) { return x >= change; };
                for (const double guess : guesses) {
                    EXPECT_EQ(Ondrel::firstPixelWhere(atOrAbove, from, to, guess),
                              from >= to ? to : std::clamp(change, from, to));
                }
            }
        }
    }
}

// A field given pixel by pixel: the values fall and then rise, with plateaus. Its pixels below a
// bound are found by scanning.
struct TableField {
    int left;
    std::vector<double> values;

    double value(int x) const { return values.at(static_cast<std::size_t>(x - left)); }
    std::pair<int, int> below(double bound, int from, int to) const {
        int first = to;
        int end = from;
        for (int x = from; x < to; ++x) {
            if (value(x) <= bound) {
                first = std::min(first, x);
                end = x + 1;
            }
        }
        return first < end ? std::pair{first, end} : std::pair{from, from};
    }
};

// Every pixel lands in the zone of its own value, whatever the valley's shape and the bounds, in
// pieces that follow one another from left to right.
TEST(RowRuns, ValleyPiecesPutEachPixelInTheZoneOfItsValue) {
    std::mt19937 random(7);
    const auto uniformInt = [&random](int a, int b) {
        return std::uniform_int_distribution<int>(a, b)(random);
    };
    for (int trial = 0; trial < 3000; ++trial) {
        const int left = uniformInt(-5, 5);
        const int width = uniformInt(1, 30);
        // Steps down to a valley and up again, each step 0 to 3: plateaus included.
        std::vector<double> values(static_cast<std::size_t>(width));
        const int valley = uniformInt(0, width - 1);
        values[static_cast<std::size_t>(valley)] = uniformInt(0, 4);
        for (int i = valley - 1; i >= 0; --i) {
            values[static_cast<std::size_t>(i)] =
                values[static_cast<std::size_t>(i + 1)] + uniformInt(0, 3);
        }
        for (int i = valley + 1; i < width; ++i) {
            values[static_cast<std::size_t>(i)] =
                values[static_cast<std::size_t>(i - 1)] + uniformInt(0, 3);
        }
        const TableField field{left, values};

        // Up to four bounds in any order, repeated ones too; NaN stands for none.
        std::array<double, 4> candidates;
        for (double& c : candidates) {
            c = uniformInt(0, 4) == 0 ? std::nan("") : uniformInt(-2, 20);
        }
        const Ondrel::ZoneBounds<4> bounds(candidates);
        // A value's zone counts the distinct bounds below it.
        std::vector<double> distinct;
        for (const double c : candidates) {
            if (!std::isnan(c) &&
                std::find(distinct.begin(), distinct.end(), c) == distinct.end()) {
                distinct.push_back(c);
            }
        }

        std::vector<int> zoneAt(values.size(), -1);
        int next = left;
        const Ondrel::ValleyPieces pieces(bounds, field, left, left + width);
        pieces.forEach([&](int begin, int end, std::size_t k) {
            ASSERT_EQ(begin, next) << "a gap or an overlap";
            ASSERT_LT(begin, end) << "an empty piece";
            for (int x = begin; x < end; ++x) {
                zoneAt[static_cast<std::size_t>(x - left)] = static_cast<int>(k);
            }
            next = end;
        });
        ASSERT_EQ(next, left + width) << "trial " << trial;
        for (int x = left; x < left + width; ++x) {
            const auto below = std::count_if(distinct.begin(), distinct.end(),
                                             [&](double c) { return field.value(x) > c; });
            ASSERT_EQ(zoneAt[static_cast<std::size_t>(x - left)], static_cast<int>(below))
                << "trial " << trial << ", pixel " << x << ", value " << field.value(x);
        }
        // The pixels of a zone and those inside it lie together.
        for (std::size_t k = 0; k <= distinct.size(); ++k) {
            int first = left + width;
            int end = left;
            for (int x = left; x < left + width; ++x) {
                if (zoneAt[static_cast<std::size_t>(x - left)] <= static_cast<int>(k)) {
                    first = std::min(first, x);
                    end = x + 1;
                }
            }
            const auto [begin, stop] = pieces.upTo(k);
            if (first < end) {
                ASSERT_EQ(std::pair(begin, stop), std::pair(first, end))
                    << "trial " << trial << ", zone " << k;
            } else {
                ASSERT_GE(begin, stop) << "trial " << trial << ", zone " << k;
            }
        }
    }
}

// The rows' own searches for the pixels within a distance, against a scan, for points and lines
// anywhere and bounds from nothing to everything.
TEST(RowRuns, DistanceRowsFindThePixelsWithinABoundLikeAScan) {
    std::mt19937_64 random(11);
    const auto uniform = [&random](double a, double b) {
        return std::uniform_real_distribution<double>(a, b)(random);
    };
    const auto scan = [](const auto& field, double bound, int left, int right) {
        int first = right;
        int end = left;
        for (int x = left; x < right; ++x) {
            if (field.value(x) <= bound) {
                first = std::min(first, x);
                end = x + 1;
            }
        }
        return first < end ? std::pair{first, end} : std::pair{left, left};
    };
    // Any empty range stands for none.
    const auto normal = [](std::pair<int, int> r) {
        return r.first < r.second ? r : std::pair{0, 0};
    };
    for (int trial = 0; trial < 4000; ++trial) {
        const int left = static_cast<int>(uniform(-20.0, 20.0));
        const int right = left + static_cast<int>(uniform(1.0, 60.0));
        const double y = std::round(uniform(-30.0, 30.0));
        const double bound = trial % 7 == 0 ? std::round(uniform(0.0, 40.0)) : uniform(0.0, 400.0);
        // Points on whole and half pixels too, whose rows are symmetric about them.
        const double x0 = uniform(-40.0, 80.0);
        const double placed[] = {x0, std::round(x0), std::round(2.0 * x0) / 2.0};
        const Ondrel::PointDistanceRow point(
            Ondrel::Vector<double>(placed[trial % 3], uniform(-30.0, 30.0)), y);
        ASSERT_EQ(normal(point.below(bound, left, right)), normal(scan(point, bound, left, right)))
            << "trial " << trial;
        // Level, upright and slanted lines, the slope's sign either way.
        const double slopes[] = {0.0, -0.0, 1.0, -1.0, uniform(-1.0, 1.0), 1e-9};
        const double slope = slopes[trial % 6];
        const Ondrel::LineDistanceRow line{
            Ondrel::LinearRow(uniform(-40.0, 80.0), slope, uniform(-30.0, 30.0))};
        ASSERT_EQ(normal(line.below(std::sqrt(bound), left, right)),
                  normal(scan(line, std::sqrt(bound), left, right)))
            << "trial " << trial << ", slope " << slope;
    }
}

} // namespace
