// How drawing avoids evaluating a shape's coverage at every pixel, without ever changing a pixel.
//
// A shape splits each row into runs: a varying run has each pixel's coverage evaluated, a uniform
// run has one coverage that every pixel in it would get, so it is painted once and copied, and
// pixels outside every run are left alone because nothing would be drawn there. The ends of the
// runs are where a coverage term starts or stops being saturated (exactly 0 or exactly 1), and
// they are found by evaluating the very expressions the coverage is made of at candidate pixels:
// every term is a monotone function of a quantity that is itself monotone along the row, or falls
// to a least value and rises again, and IEEE arithmetic preserves that order. Estimates from the
// geometry only pick the first candidates, so rounding can never move an end.
#pragma once

#include "Ondrel/Filter/OndrelShapeGeometry.h"
#include "Ondrel/OndrelGeneral.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <optional>
#include <utility>

namespace Ondrel {

namespace Detail {

// A double's rank among all doubles (NaN aside): order-preserving, with -0 and +0 sharing a rank.
constexpr std::int64_t doubleRank(double v) {
    const auto bits = std::bit_cast<std::int64_t>(v);
    return bits >= 0 ? bits : std::numeric_limits<std::int64_t>::min() - bits;
}

constexpr double rankedDouble(std::int64_t rank) {
    return std::bit_cast<double>(rank >= 0 ? rank
                                           : std::numeric_limits<std::int64_t>::min() - rank);
}

// The whole number x clamped to [lo, hi]; NaN gives lo.
inline int clampedPixel(double x, int lo, int hi) {
    if (!(x > lo)) {
        return lo;
    }
    return x >= hi ? hi : static_cast<int>(x);
}

} // namespace Detail

// The greatest double in [lo, hi] at which holds is true, for holds true up to some value and
// false beyond it; none when it is false already at lo.
template <typename Holds>
std::optional<double> lastHolding(Holds&& holds, double lo, double hi) {
    if (!holds(lo)) {
        return std::nullopt;
    }
    if (holds(hi)) {
        return hi;
    }
    std::int64_t in = Detail::doubleRank(lo);
    std::int64_t out = Detail::doubleRank(hi);
    // The ranks of far-apart doubles differ by more than an int64 holds.
    while (static_cast<std::uint64_t>(out) - static_cast<std::uint64_t>(in) > 1) {
        const std::int64_t mid = std::midpoint(in, out);
        (holds(Detail::rankedDouble(mid)) ? in : out) = mid;
    }
    return Detail::rankedDouble(in);
}

// The last pixel x in [from, to) at which holds is true, given holds(from) and that holds stays
// true up to some pixel and false after it. guess is where the change is expected: the search
// starts there and widens only as far as it has to.
template <typename Holds>
int lastHoldingPixel(Holds&& holds, int from, int to, double guess) {
    int in = from;
    int out = to; // holds is false here, or it lies beyond the range
    const int start = Detail::clampedPixel(std::floor(guess), from, to - 1);
    if (holds(start)) {
        in = start;
        for (std::int64_t step = 1; step < out - in; step *= 2) {
            const int next = in + static_cast<int>(step);
            if (!holds(next)) {
                out = next;
                break;
            }
            in = next;
        }
    } else {
        out = start;
        for (std::int64_t step = 1; step < out - in; step *= 2) {
            const int next = out - static_cast<int>(step);
            if (holds(next)) {
                in = next;
                break;
            }
            out = next;
        }
    }
    while (out - in > 1) {
        const int mid = in + (out - in) / 2;
        (holds(mid) ? in : out) = mid;
    }
    return in;
}

// The first pixel x in (from, to] at which holds is true, given holds(to) and that holds is false
// up to some pixel and true after it; from itself may lie outside the range.
template <typename Holds>
int firstHoldingPixel(Holds&& holds, int from, int to, double guess) {
    return -lastHoldingPixel([&holds](int x) { return holds(-x); }, -to, -from, -guess);
}

// What a coverage term (the argument of clamp01) makes of its ramp: exactly 0 at or below 0,
// exactly 1 at or above 1, anything else (NaN included) partial.
enum class Saturation { zero, partial, one };

inline Saturation saturation(double term) {
    if (term <= 0.0) {
        return Saturation::zero;
    }
    return term >= 1.0 ? Saturation::one : Saturation::partial;
}

// The first pixel x in [from, to) at which holds is true, for holds false up to some pixel and
// true after it; to when it holds nowhere.
template <typename Holds>
int firstPixelWhere(Holds&& holds, int from, int to, double guess) {
    if (from >= to || !holds(to - 1)) {
        return to;
    }
    return holds(from) ? from : firstHoldingPixel(holds, from, to - 1, guess);
}

// A quantity formed along a row as (x - origin) * slope + offset, the way a dot product with a
// fixed direction forms it: monotone in x, and the same at every pixel when slope is 0.
struct LinearRow {
    double origin;
    double slope;
    double offset;

    double value(int x) const { return (static_cast<double>(x) - origin) * slope + offset; }
    // About where the value is v.
    double guessAt(double v) const { return origin + (v - offset) / slope; }
};

// The absolute value of a LinearRow, as the distance from a line is formed: least where the line
// crosses the row. A field for ValleyZones::emitRow.
struct LineDistanceRow {
    LinearRow across;

    double value(int x) const { return std::abs(across.value(x)); }

    int lowest(int left, int right) const {
        if (!(across.slope > 0.0 || across.slope < 0.0)) {
            return left;
        }
        const bool rising = across.slope > 0.0;
        const auto past = [this, rising](int x) {
            return rising ? across.value(x) >= 0.0 : across.value(x) <= 0.0;
        };
        const int x = firstPixelWhere(past, left, right, across.guessAt(0.0));
        if (x == right) {
            return right - 1;
        }
        return x > left && value(x - 1) < value(x) ? x - 1 : x;
    }

    std::pair<double, double> guessBelow(double bound) const {
        const double a = across.guessAt(-bound);
        const double b = across.guessAt(bound);
        return {std::min(a, b), std::max(a, b)};
    }
};

// The squared distances of the pixels of one row from a point, formed as Vector::length forms them
// (dx * dx + dy * dy): least at the pixels around the point. A field for ValleyZones::emitRow.
class PointDistanceRow {
public:
    PointDistanceRow(const Vector<double>& point, double y)
        : _x(point.x), _dy(y - point.y), _dy2(_dy * _dy) {}

    // Both operands of the sum are rounded alike, so the order of sums follows that of |dx|.
    double value(int x) const {
        const double dx = static_cast<double>(x) - _x;
        return dx * dx + _dy2;
    }

    int lowest(int left, int right) const {
        int x = Detail::clampedPixel(std::floor(_x), left, right - 1);
        if (x + 1 < right && value(x + 1) < value(x)) {
            ++x;
        }
        return x;
    }

    std::pair<double, double> guessBelow(double bound) const {
        const double reach = std::sqrt(std::max(bound - _dy2, 0.0));
        return {_x - reach, _x + reach};
    }

private:
    double _x;
    double _dy;
    double _dy2;
};

// Receives the runs of one row, left to right. Implemented by the drawing loop; listed here as
// the contract every shape's rowRuns writes to:
//   void varying(int begin, int end);                    evaluate each pixel
//   void uniform(int begin, int end, const Coverage& c); every pixel's coverage is c

// What is known of the pixels of one zone of a shape's coverage.
enum class ZoneKind {
    empty,   // nothing is drawn
    uniform, // every pixel gets the zone's coverage
    varying, // each pixel's coverage must be evaluated
};

struct Zone {
    ZoneKind kind = ZoneKind::varying;
    Coverage coverage; // for uniform zones
};

// The zone of pixels whose fill and stroke coverage is c, given whether each painted part is the
// same at every pixel of the zone. A stroke of exactly 1 is painted over the fill with full alpha
// at every depth, which leaves nothing of the fill, so the fill need not be the same under it.
inline Zone zoneOf(const Coverage& c, bool fillSame, bool strokeSame, bool paintsFill,
                   bool paintsStroke) {
    const bool fillHidden = paintsStroke && c.stroke == 1.0;
    if (!(strokeSame || !paintsStroke) || !(fillSame || !paintsFill || fillHidden)) {
        return {ZoneKind::varying, c};
    }
    const bool drawn = (paintsFill && c.fill > coverageThreshold) ||
                       (paintsStroke && c.stroke > coverageThreshold);
    return {drawn ? ZoneKind::uniform : ZoneKind::empty, c};
}

template <typename Out>
void emitRun(Out& out, int begin, int end, const Zone& zone) {
    if (begin >= end) {
        return;
    }
    if (zone.kind == ZoneKind::uniform) {
        out.uniform(begin, end, zone.coverage);
    } else if (zone.kind == ZoneKind::varying) {
        out.varying(begin, end);
    }
}

// Zones of a quantity f along a row that falls to a least value and rises again (a squared
// distance from a point, or the distance from a line): zone k holds the values above
// bounds[k - 1] up to bounds[k], the last zone everything above the last bound.
template <std::size_t N>
struct ValleyZones {
    std::array<double, N> bounds{};
    std::array<Zone, N + 1> zones{};
    std::size_t count = 0; // bounds in use; zones[count] is the outermost zone

    // Emits the row's runs over [left, right). The field gives f at pixel x exactly as the
    // coverage computes it (value), the pixel of [left, right) where f is least (lowest), and
    // estimates of the first and last x where f is at most b (guessBelow, a pair).
    template <typename Field, typename Out>
    void emitRow(const Field& field, int left, int right, Out& out) const {
        if (left >= right) {
            return;
        }
        const int lowest = field.lowest(left, right);
        const double least = field.value(lowest);
        std::array<int, N> first{};
        std::array<int, N> last{};
        std::size_t innermost = count; // the first bound whose interval holds a pixel
        for (std::size_t k = count; k-- > 0;) {
            const double bound = bounds[k];
            if (!(least <= bound)) {
                break;
            }
            innermost = k;
            const auto below = [&field, bound](int x) { return field.value(x) <= bound; };
            const auto [firstGuess, lastGuess] = field.guessBelow(bound);
            last[k] = lastHoldingPixel(below, lowest, right, lastGuess);
            first[k] = firstHoldingPixel(below, left - 1, lowest, firstGuess);
        }
        if (innermost == count) {
            emitRun(out, left, right, zones[count]);
            return;
        }
        int x = left;
        for (std::size_t k = count; k-- > innermost;) {
            emitRun(out, x, first[k], zones[k + 1]);
            x = first[k];
        }
        emitRun(out, x, last[innermost] + 1, zones[innermost]);
        for (std::size_t k = innermost + 1; k < count; ++k) {
            emitRun(out, last[k - 1] + 1, last[k] + 1, zones[k]);
        }
        emitRun(out, last[count - 1] + 1, right, zones[count]);
    }
};

} // namespace Ondrel
