// How drawing avoids evaluating a shape's coverage at every pixel, without ever changing a pixel.
//
// A shape splits each row into runs: a varying run has each pixel's coverage evaluated, a uniform
// run has one coverage that every pixel in it would get, so it is painted once and copied, and
// pixels outside every run are left alone because nothing would be drawn there.
//
// The coverage is a formula of terms, each clamped into a one-pixel ramp (clamp01). Where no term
// changes between exactly 0, partial and exactly 1, what the formula gives is either the same at
// every pixel or must be evaluated pixel by pixel, and one evaluation over what is known of the
// terms there (ZoneValue) tells which (judgedZone). So the row is cut wherever a term starts or
// stops being saturated, and each piece between cuts is judged once. The cuts are found by
// evaluating the very expressions the coverage is made of at candidate pixels: every term is a
// monotone function of a quantity that is itself monotone along the row, or falls to a least
// value and rises again, and IEEE arithmetic preserves that order. Estimates from the geometry
// only pick the first candidates, so rounding can never move a cut.
//
// The general method (RowCuts) serves any shape whose terms are linear along a row: the triangle.
// Two speed-ups serve shapes whose terms share one or two quantities. Each shape lists its terms
// once (TermsOf, ConditionsOf); the values of a quantity at which any of them saturates are found
// once per shape (ZoneBounds), and so is the judgement of each zone between them. A row is then
// cut only where the quantity crosses a bound:
// - ValleyZones, for one quantity that falls and rises along the row: the distance from the
//   circle's centre, and from a round-capped line;
// - GridZones, for one quantity linear along the row and one that falls and rises: the position
//   along and the distance across a rectangle or a butt-capped line.
//
// The toolkit is one header per method beside this one, which holds what they share: searching
// for where a condition changes, what is known of a piece of a row, and the runs it makes.
// OndrelRowCuts.h is the general method; OndrelZoneBounds.h lists a shape's terms once and finds
// the bounds they give a quantity, for the two speed-ups OndrelValleyZones.h and OndrelGridZones.h.
#pragma once

#include "Ondrel/Filter/OndrelPaintMode.h"
#include "Ondrel/Filter/OndrelShapeGeometry.h"
#include "Ondrel/OndrelGeneral.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <numeric>
#include <optional>
#include <type_traits>
#include <utility>

namespace Ondrel {

// ---------------------------------------------------------------------------------------------
// Searching for the exact value or pixel where a condition changes

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

// firstPixelWhere once the guess, start, has proved wrong: widens from it in doubling steps, then
// halves.
template <typename Holds>
int widenFrom(Holds&& holds, int from, int to, int start, bool holdsAtStart) {
    int yes = to;      // holds here, or lies beyond the range
    int no = from - 1; // fails here, or lies before the range
    if (holdsAtStart) {
        yes = start;
        for (std::int64_t step = 1; step < yes - no; step *= 2) {
            const int next = yes - static_cast<int>(step);
            if (!holds(next)) {
                no = next;
                break;
            }
            yes = next;
        }
    } else {
        no = start;
        for (std::int64_t step = 1; step < yes - no; step *= 2) {
            const int next = no + static_cast<int>(step);
            if (holds(next)) {
                yes = next;
                break;
            }
            no = next;
        }
    }
    while (yes - no > 1) {
        const int mid = no + (yes - no) / 2;
        (holds(mid) ? yes : no) = mid;
    }
    return yes;
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

// The last value in [lo, hi] at which a condition that changes once along it (a term reaching 0
// or 1, or a comparison) still has its value at lo: hi when it never changes.
template <typename Condition>
double lastUnchanged(Condition&& condition, double lo, double hi) {
    const bool atLo = condition(lo);
    return *lastHolding([&condition, atLo](double v) { return condition(v) == atLo; }, lo, hi);
}

// The first pixel x in [from, to) at which holds is true, for holds false up to some pixel and
// true after it; to when it holds nowhere. guess is where the change is expected: a right guess
// costs two evaluations, a wrong one a search widening from it.
template <typename Holds>
int firstPixelWhere(Holds&& holds, int from, int to, double guess) {
    if (from >= to) {
        return to;
    }
    // The pixel at or just after the guess, where the change lies when the guess is right. Any
    // start gives the same answer, so it is found by one conversion: the ceiling, except for a
    // guess within a millionth above a whole number, which starts one pixel before it.
    const int start = Detail::clampedPixel(guess + 0.999999, from, to - 1);
    const bool holdsAtStart = holds(start);
    if (holdsAtStart ? start == from || !holds(start - 1) : start + 1 == to || holds(start + 1)) {
        return holdsAtStart ? start : start + 1;
    }
    return Detail::widenFrom(holds, from, to, start, holdsAtStart);
}

// ---------------------------------------------------------------------------------------------
// What is known of a piece of a row, and the runs it makes

// What a coverage term (the argument of clamp01) makes of its ramp: exactly 0 at or below 0,
// exactly 1 at or above 1, anything else (NaN included) partial.
enum class Saturation { zero, partial, one };

inline Saturation saturation(double term) {
    if (term <= 0.0) {
        return Saturation::zero;
    }
    return term >= 1.0 ? Saturation::one : Saturation::partial;
}

// A coverage value as far as a piece of pixels is concerned: known when it is the same at every
// pixel of the piece, because each term it is made of is saturated there or a factor of it is
// exactly 0, unknown otherwise. A coverage formula written for any Number, evaluated with these
// at one point of a piece, tells whether the piece can be painted as one; evaluated with doubles,
// it is the coverage itself.
class ZoneValue {
public:
    // Constants are the same everywhere.
    ZoneValue(double constant) : m_known(true), m_value(constant) {}
    static ZoneValue unknown() { return ZoneValue(); }

    bool known() const { return m_known; }
    // Only a known value is below anything.
    friend bool operator<(const ZoneValue& a, double b) { return a.m_known && a.m_value < b; }

    friend ZoneValue operator*(const ZoneValue& a, const ZoneValue& b) {
        if (a._isZero() || b._isZero()) {
            return 0.0;
        }
        return a.m_known && b.m_known ? ZoneValue(a.m_value * b.m_value) : unknown();
    }
    ZoneValue& operator*=(const ZoneValue& b) { return *this = *this * b; }
    friend ZoneValue operator-(double a, const ZoneValue& b) {
        return b.m_known ? ZoneValue(a - b.m_value) : unknown();
    }

private:
    ZoneValue() = default;
    // Terms are finite for finite geometry, so 0 times any term is 0.
    bool _isZero() const { return m_known && m_value == 0.0; }

    bool m_known = false;
    double m_value = 0.0;
};

// The one-pixel ramp of a term: clamp01 for doubles, known for zone values where it saturates.
template <typename Number>
inline Number ramp(double term) {
    if constexpr (std::is_same_v<Number, ZoneValue>) {
        return saturation(term) == Saturation::partial ? ZoneValue::unknown()
                                                       : ZoneValue(clamp01(term));
    } else {
        return clamp01(term);
    }
}

// The two parts of a shape whose coverage a term can enter.
enum class Part { fill, stroke };

// Which parts of a shape can show: a stroke fading to nothing cannot.
struct PaintedParts {
    bool fill;
    bool stroke;

    bool paints(Part part) const { return part == Part::fill ? fill : stroke; }
};

inline PaintedParts partsPainted(PaintMode mode, double strokeWidth) {
    return {paintsFill(mode), paintsStroke(mode) && clamp01(strokeWidth) > coverageThreshold};
}

// What is known of the pixels of one piece of a row.
enum class ZoneKind {
    empty,   // nothing is drawn
    uniform, // every pixel gets the piece's coverage
    varying, // each pixel's coverage must be evaluated
};

struct Zone {
    ZoneKind kind = ZoneKind::varying;
    Coverage coverage; // for uniform pieces
};

// The piece whose fill and stroke coverage is c, given whether each painted part is the same at
// every pixel of it. A stroke of exactly 1 is painted over the fill with full alpha at every
// depth, which leaves nothing of the fill, so the fill need not be the same under it.
inline Zone zoneOf(const Coverage& c, bool fillSame, bool strokeSame, PaintedParts painted) {
    const bool fillHidden = painted.stroke && c.stroke == 1.0;
    if (!(strokeSame || !painted.stroke) || !(fillSame || !painted.fill || fillHidden)) {
        return {ZoneKind::varying, c};
    }
    const bool drawn = (painted.fill && c.fill > coverageThreshold) ||
                       (painted.stroke && c.stroke > coverageThreshold);
    return {drawn ? ZoneKind::uniform : ZoneKind::empty, c};
}

// The piece around one point, in which no term of the coverage changes its saturation, judged by
// the coverage at that point: evaluate<Number>() gives it as (fill, stroke), as doubles or as
// what is known of it over the piece.
template <typename Evaluate>
Zone judgedZone(Evaluate&& evaluate, PaintedParts painted) {
    const auto [fill, stroke] = evaluate.template operator()<double>();
    const auto [fillKnown, strokeKnown] = evaluate.template operator()<ZoneValue>();
    return zoneOf(Coverage{fill, stroke}, fillKnown.known(), strokeKnown.known(), painted);
}

// What makes a row's pixels what they are, for a shape whose rows can repeat: rows of equal keys
// are painted alike. The default key equals no other.
struct RowKey {
    std::array<double, 4> values{std::nan(""), 0.0, 0.0, 0.0};

    friend bool operator==(const RowKey&, const RowKey&) = default;
};

// Receives the runs of one row, left to right. Implemented by the drawing loop; listed here as
// the contract every shape's rowRuns writes to:
//   void varying(int begin, int end);                    evaluate each pixel
//   void varying(int begin, int end, coverageOf);        the same, by coverageOf(x)
//   void uniform(int begin, int end, const Coverage& c); every pixel's coverage is c
//   void mirrored(int begin, int end, std::int64_t sum); every pixel x painted as pixel sum - x,
//                                                        which this row has painted already
//   bool repeatsRowAbove(const RowKey& key, int left, int right);
//                                                        copies the row above when its key is key

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

// ---------------------------------------------------------------------------------------------
// A quantity linear along the row

// A quantity formed along a row as (x - origin) * slope + offset, the way a dot product with a
// fixed direction forms it: monotone in x, and the same at every pixel when slope is 0.
struct LinearRow {
    LinearRow(double o, double s, double c)
        : origin(o), slope(s), offset(c), inverseSlope(1.0 / s) {}

    double origin;
    double slope;
    double offset;
    double inverseSlope; // for guesses only

    double value(int x) const { return (static_cast<double>(x) - origin) * slope + offset; }
    double guessAt(double v) const { return origin + (v - offset) * inverseSlope; }
};

// The lists given one after another.
template <typename T, std::size_t... N>
std::array<T, (N + ...)> joined(const std::array<T, N>&... parts) {
    std::array<T, (N + ...)> all{};
    auto at = all.begin();
    ((at = std::copy(parts.begin(), parts.end(), at)), ...);
    return all;
}

} // namespace Ondrel
