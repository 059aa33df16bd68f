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

// clampedPixel(std::ceil(x), lo, hi) without the library call: within (lo, hi) the conversion
// truncates toward zero, which is the ceiling unless it lies below x.
inline int clampedCeiling(double x, int lo, int hi) {
    if (!(x > lo)) {
        return lo;
    }
    if (x >= hi) {
        return hi;
    }
    const int truncated = static_cast<int>(x);
    return truncated < x ? truncated + 1 : truncated;
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
    const int start = Detail::clampedCeiling(guess, from, to - 1);
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
// The general method: every term linear along the row

// A term, or a quantity, linear along a row, formed exactly as the coverage forms it at pixel x:
// rising where slope is above 0, falling where it is below, the same at every pixel where it is
// 0. guessAt(v) estimates where it takes the value v.
template <typename Term>
concept LinearTerm = requires(const Term& term, int x, double v) {
    { term.value(x) } -> std::same_as<double>;
    { term.slope } -> std::convertible_to<double>;
    { term.guessAt(v) } -> std::same_as<double>;
};

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

// Where the ramp of a linear term is saturated within [left, right): above 0 on [positiveFrom,
// positiveUntil), exactly 1 on [oneFrom, oneUntil). A rising term's ranges run on to right, a
// falling term's start at left, and a level term's hold everywhere or nowhere (from right until
// left).
struct RampAlongRow {
    int positiveFrom;
    int positiveUntil;
    int oneFrom;
    int oneUntil;
    bool falling;

    // The ramp at 1 all along [left, right), as a term that takes no part in a product.
    static RampAlongRow one(int left, int right) { return {left, right, left, right, false}; }

    // The two pixels where the ramp changes state, as it leaves 0 and reaches 1, or the reverse.
    // A level ramp changes nowhere: its pixels lie at the ends of the row.
    std::array<int, 2> changes() const {
        return falling ? std::array{oneUntil, positiveUntil} : std::array{positiveFrom, oneFrom};
    }
};

template <LinearTerm Term>
inline RampAlongRow rampAlong(const Term& term, int left, int right) {
    const auto positive = [&term](int x) { return term.value(x) > 0.0; };
    const auto one = [&term](int x) { return term.value(x) >= 1.0; };
    if (term.slope > 0.0) {
        return {firstPixelWhere(positive, left, right, term.guessAt(0.0)), right,
                firstPixelWhere(one, left, right, term.guessAt(1.0)), right, false};
    }
    if (term.slope < 0.0) {
        return {left,
                firstPixelWhere([&positive](int x) { return !positive(x); }, left, right,
                                term.guessAt(0.0)),
                left,
                firstPixelWhere([&one](int x) { return !one(x); }, left, right, term.guessAt(1.0)),
                true};
    }
    const bool isPositive = positive(left);
    const bool isOne = one(left);
    return {isPositive ? left : right, isPositive ? right : left, isOne ? left : right,
            isOne ? right : left, false};
}

// Where a product of N ramps is above 0 along a row, [first, last), and where it is exactly 1,
// [full, fullEnd): the ranges all its ramps share. The ramps come from rampAt(i), once each, or
// from an array.
template <std::size_t N>
struct ProductAlongRow {
    int first;
    int last;
    int full;
    int fullEnd;
    // Where each ramp is 1.
    std::array<int, N> oneFrom;
    std::array<int, N> oneUntil;

    template <std::invocable<std::size_t> RampAt>
    ProductAlongRow(RampAt&& rampAt, int left, int right)
        : first(left), last(right), full(left), fullEnd(right) {
        for (std::size_t i = 0; i < N; ++i) {
            const RampAlongRow r = rampAt(i);
            first = std::max(first, r.positiveFrom);
            last = std::min(last, r.positiveUntil);
            full = std::max(full, r.oneFrom);
            fullEnd = std::min(fullEnd, r.oneUntil);
            oneFrom[i] = r.oneFrom;
            oneUntil[i] = r.oneUntil;
        }
        full = std::max(full, first);
        fullEnd = std::min(fullEnd, last);
    }
    ProductAlongRow(const std::array<RampAlongRow, N>& ramps, int left, int right)
        : ProductAlongRow([&ramps](std::size_t i) { return ramps[i]; }, left, right) {}

    // The one ramp that is not 1 all along [begin, end), if only one is: there the product is that
    // ramp exactly. N when none or several are.
    std::size_t soleRamp(int begin, int end) const {
        std::size_t sole = N;
        for (std::size_t i = 0; i < N; ++i) {
            if (oneFrom[i] > begin || oneUntil[i] < end) {
                if (sole != N) {
                    return N;
                }
                sole = i;
            }
        }
        return sole;
    }
};

// The pixels of [first, last) where any of N ramps changes state, with both ends, in order: no
// ramp changes within a piece between two of them. Each ramp has its own two places, so the
// capacity follows from N.
template <std::size_t N>
class RowCuts {
public:
    RowCuts(int first, int last, const std::array<RampAlongRow, N>& ramps) {
        m_cuts[0] = first;
        m_cuts[1] = last;
        for (std::size_t i = 0; i < N; ++i) {
            const auto [a, b] = ramps[i].changes();
            m_cuts[2 + 2 * i] = std::clamp(a, first, last);
            m_cuts[3 + 2 * i] = std::clamp(b, first, last);
        }
        std::sort(m_cuts.begin(), m_cuts.end());
    }

    // Each piece between cuts as a run, judged by judge(x) at its first pixel x.
    template <typename Judge, typename Out>
    void emit(Judge&& judge, Out& out) const {
        for (std::size_t k = 0; k + 1 < m_cuts.size(); ++k) {
            if (m_cuts[k] < m_cuts[k + 1]) {
                emitRun(out, m_cuts[k], m_cuts[k + 1], judge(m_cuts[k]));
            }
        }
    }

private:
    std::array<int, 2 + 2 * N> m_cuts;
};

// The lists given one after another.
template <typename T, std::size_t... N>
std::array<T, (N + ...)> joined(const std::array<T, N>&... parts) {
    std::array<T, (N + ...)> all{};
    auto at = all.begin();
    ((at = std::copy(parts.begin(), parts.end(), at)), ...);
    return all;
}

// ---------------------------------------------------------------------------------------------
// Quantities that many terms share, along a row

// The absolute value of a LinearRow, as the distance from a line is formed: least where the line
// crosses the row. A field for forEachValleyPiece.
struct LineDistanceRow {
    LinearRow across;

    double value(int x) const { return std::abs(across.value(x)); }

    // The pixels of [left, right) at most bound from the line, bound being at least 0: those
    // where the signed distance lies between -bound and bound.
    std::pair<int, int> below(double bound, int left, int right) const {
        if (across.slope > 0.0) {
            const int first = firstPixelWhere([&](int x) { return across.value(x) >= -bound; },
                                              left, right, across.guessAt(-bound));
            return {first, firstPixelWhere([&](int x) { return across.value(x) > bound; }, first,
                                           right, across.guessAt(bound))};
        }
        if (across.slope < 0.0) {
            const int first = firstPixelWhere([&](int x) { return across.value(x) <= bound; }, left,
                                              right, across.guessAt(bound));
            return {first, firstPixelWhere([&](int x) { return across.value(x) < -bound; }, first,
                                           right, across.guessAt(-bound))};
        }
        return value(left) <= bound ? std::pair{left, right} : std::pair{left, left};
    }
};

// A band's two quantities along row y, formed as coverageAt forms them from the sample point's
// offset q from the band's origin: t = q . along, and the distance |q . across| from the centre
// line.
struct BandRow {
    BandRow(const Vector<double>& origin, const Vector<double>& alongDirection,
            const Vector<double>& acrossDirection, int y)
        : along(origin.x, alongDirection.x, (static_cast<double>(y) - origin.y) * alongDirection.y),
          across{LinearRow(origin.x, acrossDirection.x,
                           (static_cast<double>(y) - origin.y) * acrossDirection.y)} {}

    LinearRow along;
    LineDistanceRow across;
};

// The squared distances of the pixels of one row from a point, formed as Vector::length forms them
// (dx * dx + dy * dy): least at the pixels around the point. A field for forEachValleyPiece.
class PointDistanceRow {
public:
    PointDistanceRow(const Vector<double>& point, double y)
        : m_x(point.x), m_dy2((y - point.y) * (y - point.y)) {}

    // Both operands of the sum are rounded alike, so the order of sums follows that of |dx|.
    double value(int x) const {
        const double dx = static_cast<double>(x) - m_x;
        return dx * dx + m_dy2;
    }

    // The pixels of [left, right) whose value is at most bound: around the nearest pixels to the
    // point, the two about it, the values fall and then rise.
    std::pair<int, int> below(double bound, int left, int right) const {
        int lowest = Detail::clampedPixel(std::floor(m_x), left, right - 1);
        if (lowest + 1 < right && value(lowest + 1) < value(lowest)) {
            ++lowest;
        }
        const auto within = [this, bound](int x) { return value(x) <= bound; };
        if (!within(lowest)) {
            return {left, left};
        }
        const double reach = std::sqrt(std::max(bound - m_dy2, 0.0));
        return {firstPixelWhere(within, left, lowest, m_x - reach),
                firstPixelWhere([&within](int x) { return !within(x); }, lowest + 1, right,
                                m_x + reach)};
    }

private:
    double m_x;
    double m_dy2;
};

// ---------------------------------------------------------------------------------------------
// A shape's terms, listed once, and the bounds they give a quantity

// Terms of one object over one quantity, all entering the coverage of one part: each the value
// its ramp clamps. An object lists its terms once, as a constant array of its member functions;
// its formula calls the same functions.
template <typename Object, std::size_t N>
struct TermsOf {
    const Object& object;
    Part part;
    const std::array<double (Object::*)(double) const, N>& terms;

    // Where each ramp reaches 0 and 1.
    static constexpr std::size_t boundCount = 2 * N;

    // Where each term changes saturation over [lo, infinity), NaN for none or for a part that is
    // not painted.
    std::array<double, boundCount> candidateBounds(double lo, PaintedParts painted) const;
    bool saturatedAt(double v, PaintedParts painted) const {
        return !painted.paints(part) ||
               std::none_of(terms.begin(), terms.end(), [this, v](const auto term) {
                   return saturation((object.*term)(v)) == Saturation::partial;
               });
    }
};

// Spelt out for compilers without deduction for aggregates (clang before 17).
template <typename Object, std::size_t N>
TermsOf(const Object&, Part, const std::array<double (Object::*)(double) const, N>&)
    -> TermsOf<Object, N>;

// Comparisons of one quantity that choose the formula of one part's coverage.
template <typename Object, std::size_t N>
struct ConditionsOf {
    const Object& object;
    Part part;
    const std::array<bool (Object::*)(double) const, N>& conditions;

    static constexpr std::size_t boundCount = N;

    std::array<double, boundCount> candidateBounds(double lo, PaintedParts painted) const;
    bool saturatedAt(double, PaintedParts) const { return true; }
};

template <typename Object, std::size_t N>
ConditionsOf(const Object&, Part, const std::array<bool (Object::*)(double) const, N>&)
    -> ConditionsOf<Object, N>;

namespace Detail {

// The last value of [lo, infinity) at which condition keeps its value at lo, or NaN when it never
// changes.
template <typename Condition>
double changeOf(Condition&& condition, double lo) {
    constexpr double infinity = std::numeric_limits<double>::infinity();
    const double bound = lastUnchanged(condition, lo, infinity);
    return bound == infinity ? std::nan("") : bound;
}

} // namespace Detail

template <typename Object, std::size_t N>
std::array<double, TermsOf<Object, N>::boundCount>
TermsOf<Object, N>::candidateBounds(double lo, PaintedParts painted) const {
    std::array<double, boundCount> bounds;
    bounds.fill(std::nan(""));
    if (!painted.paints(part)) {
        return bounds;
    }
    for (std::size_t i = 0; i < N; ++i) {
        const auto term = [this, i](double v) { return (object.*terms[i])(v); };
        bounds[2 * i] = Detail::changeOf([&term](double v) { return term(v) <= 0.0; }, lo);
        bounds[2 * i + 1] = Detail::changeOf([&term](double v) { return term(v) >= 1.0; }, lo);
    }
    return bounds;
}

template <typename Object, std::size_t N>
std::array<double, ConditionsOf<Object, N>::boundCount>
ConditionsOf<Object, N>::candidateBounds(double lo, PaintedParts painted) const {
    std::array<double, boundCount> bounds;
    bounds.fill(std::nan(""));
    if (!painted.paints(part)) {
        return bounds;
    }
    for (std::size_t i = 0; i < N; ++i) {
        bounds[i] =
            Detail::changeOf([this, i](double v) { return (object.*conditions[i])(v); }, lo);
    }
    return bounds;
}

// Where a quantity changes zone: zone k holds the values above bound k - 1 up to bound k, the last
// zone everything above the last bound. At most N bounds, N being the number of places where the
// listed terms and conditions can change.
template <std::size_t N>
class ZoneBounds {
public:
    ZoneBounds() = default;

    // From candidate bounds, NaN standing for none: each value once, in order.
    explicit ZoneBounds(const std::array<double, N>& candidates) {
        const auto end = std::copy_if(candidates.begin(), candidates.end(), m_values.begin(),
                                      [](double v) { return !std::isnan(v); });
        // Sorted by insertion, stably, which is what std::sort does with so few values (at most
        // 16): GCC 14 reports out-of-bounds subscripts on the paths it takes only for longer
        // ranges.
        static_assert(N <= 16);
        for (auto i = m_values.begin(); i != end; ++i) {
            for (auto j = i; j != m_values.begin() && *j < *(j - 1); --j) {
                std::iter_swap(j, j - 1);
            }
        }
        m_count = static_cast<std::size_t>(std::unique(m_values.begin(), end) - m_values.begin());
    }

    // The bounds of the listed terms and conditions of the parts painted, over [lo, infinity):
    // where a term's ramp starts or stops being saturated, and where a comparison changes. Each
    // zone records whether every term is saturated in it.
    template <typename... Lists>
    requires(N == (Lists::boundCount + ... + 0))
        ZoneBounds(double lo, PaintedParts painted, const Lists&... lists)
        : ZoneBounds(joined(lists.candidateBounds(lo, painted)...)) {
        for (std::size_t k = 0; k <= m_count; ++k) {
            m_settled[k] = (lists.saturatedAt(pointIn(k), painted) && ...);
        }
    }

    std::size_t count() const { return m_count; }
    double operator[](std::size_t k) const { return m_values[k]; }

    std::size_t zoneOf(double v) const {
        std::size_t k = 0;
        while (k < m_count && !(v <= m_values[k])) {
            ++k;
        }
        return k;
    }

    // A value in zone k, for a quantity that is at least 0.
    double pointIn(std::size_t k) const {
        if (k < m_count) {
            return m_values[k];
        }
        return m_count > 0
                   ? std::nextafter(m_values[m_count - 1], std::numeric_limits<double>::infinity())
                   : 0.0;
    }

    // Whether every term is saturated in zone k: there, what a pixel gets does not depend on the
    // quantity's exact value.
    bool settled(std::size_t k) const { return m_settled[k]; }

    // The same zones of another quantity, bound k becoming to(bound k); to must keep the order.
    template <typename To>
    ZoneBounds mapped(To&& to) const {
        ZoneBounds result = *this;
        std::transform(m_values.begin(), m_values.begin() + static_cast<std::ptrdiff_t>(m_count),
                       result.m_values.begin(), to);
        return result;
    }

private:
    std::array<double, N> m_values{};
    std::size_t m_count = 0;
    std::array<bool, N + 1> m_settled{};
};

template <typename... Lists>
ZoneBounds(double, PaintedParts, const Lists&...) -> ZoneBounds<(Lists::boundCount + ... + 0)>;

// ---------------------------------------------------------------------------------------------
// Speed-up for one quantity that falls and rises along the row

// Calls visit(begin, end, k) for the pieces of [left, right) in which a quantity f that falls to a
// least value and rises again along the row (a squared distance from a point, the distance from a
// line) lies in zone k of bounds, left to right. The field gives f at pixel x exactly as the
// coverage computes it (value) and the pixels of a range where f is at most a bound (below, as
// [first, end)).
template <std::size_t N, typename Field, typename Visit>
void forEachValleyPiece(const ZoneBounds<N>& bounds, const Field& field, int left, int right,
                        Visit&& visit) {
    if (left >= right) {
        return;
    }
    const std::size_t count = bounds.count();
    // Each zone's pixels lie within the next one's: search from the outside in.
    std::array<int, N> first{};
    std::array<int, N> end{};
    std::size_t innermost = count;
    int from = left;
    int to = right;
    for (std::size_t k = count; k-- > 0;) {
        const auto [begin, stop] = field.below(bounds[k], from, to);
        if (begin >= stop) {
            break;
        }
        first[k] = from = begin;
        end[k] = to = stop;
        innermost = k;
    }
    const auto piece = [&visit](int begin, int stop, std::size_t k) {
        if (begin < stop) {
            visit(begin, stop, k);
        }
    };
    if (innermost == count) {
        piece(left, right, count);
        return;
    }
    int x = left;
    for (std::size_t k = count; k-- > innermost;) {
        piece(x, first[k], k + 1);
        x = first[k];
    }
    piece(x, end[innermost], innermost);
    for (std::size_t k = innermost + 1; k < count; ++k) {
        piece(end[k - 1], end[k], k);
    }
    piece(end[count - 1], right, count);
}

// Zones of one quantity that falls and rises along each row, each with what its pixels get.
template <std::size_t N>
class ValleyZones {
public:
    ValleyZones() = default;

    // evaluate<Number>(v) gives the coverage at the value v of the quantity as (fill, stroke), as
    // doubles or as what is known of it over v's zone.
    template <typename Evaluate>
    ValleyZones(const ZoneBounds<N>& bounds, Evaluate&& evaluate, PaintedParts painted)
        : m_bounds(bounds) {
        // No term changes within a zone, so one value in it tells what all its pixels get.
        for (std::size_t k = 0; k <= bounds.count(); ++k) {
            const double v = bounds.pointIn(k);
            m_zones[k] = judgedZone(
                [&]<typename Number>() { return evaluate.template operator()<Number>(v); },
                painted);
        }
    }

    // The same zones judged by another quantity, bound k becoming to(bound k).
    template <typename To>
    ValleyZones mapped(To&& to) const {
        ValleyZones result = *this;
        result.m_bounds = m_bounds.mapped(to);
        return result;
    }

    template <typename Field, typename Out>
    void emitRow(const Field& field, int left, int right, Out& out) const {
        forEachValleyPiece(m_bounds, field, left, right,
                           [this, &out](int begin, int end, std::size_t k) {
                               emitRun(out, begin, end, m_zones[k]);
                           });
    }

private:
    ZoneBounds<N> m_bounds;
    std::array<Zone, N + 1> m_zones{};
};

// ---------------------------------------------------------------------------------------------
// Speed-up for one quantity linear along the row and one that falls and rises

// Zones of two quantities: one along the row, monotone (a LinearRow), and one across it that falls
// and rises; each cell of an along zone and an across zone with what its pixels get.
template <std::size_t NA, std::size_t NC>
class GridZones {
public:
    GridZones() = default;

    // evaluate<Number>(t, n) gives the coverage at along value t and across value n as (fill,
    // stroke), as doubles or as what is known of it over their cell.
    template <typename Evaluate>
    GridZones(const ZoneBounds<NA>& along, const ZoneBounds<NC>& across, Evaluate&& evaluate,
              PaintedParts painted)
        : m_along(along), m_across(across) {
        // Nothing changes within a cell, so one point of it tells what all its pixels get.
        for (std::size_t a = 0; a <= along.count(); ++a) {
            const double t = along.pointIn(a);
            for (std::size_t c = 0; c <= across.count(); ++c) {
                const double n = across.pointIn(c);
                m_cells[a][c] = judgedZone(
                    [&]<typename Number>() { return evaluate.template operator()<Number>(t, n); },
                    painted);
            }
        }
        for (std::size_t c = 0; c <= across.count(); ++c) {
            m_acrossEmpty[c] = true;
            for (std::size_t a = 0; a <= along.count(); ++a) {
                m_acrossEmpty[c] = m_acrossEmpty[c] && m_cells[a][c].kind == ZoneKind::empty;
            }
        }
    }

    template <typename Out>
    void emitRow(const BandRow& row, int left, int right, Out& out) const {
        if (_repeatsRowAbove(row.along, row.across, left, right, out)) {
            return;
        }
        forEachValleyPiece(m_across, row.across, left, right,
                           [&](int begin, int end, std::size_t c) {
                               if (!m_acrossEmpty[c]) {
                                   _emitAlong(row.along, begin, end, c, out);
                               }
                           });
    }

private:
    // A row along which one quantity stays in one settled zone is painted by the other alone:
    // rows where that one runs alike repeat. Returns whether the row is done.
    template <typename Out>
    bool _repeatsRowAbove(const LinearRow& alongRow, const LineDistanceRow& acrossRow, int left,
                          int right, Out& out) const {
        const LinearRow& acrossLine = acrossRow.across;
        if (acrossLine.slope == 0.0) {
            const std::size_t c = m_across.zoneOf(acrossRow.value(left));
            if (m_acrossEmpty[c]) {
                return true;
            }
            if (m_across.settled(c)) {
                const RowKey key{
                    {alongRow.origin, alongRow.slope, alongRow.offset, static_cast<double>(c)}};
                return out.repeatsRowAbove(key, left, right);
            }
        }
        if (alongRow.slope == 0.0) {
            const std::size_t a = m_along.zoneOf(alongRow.value(left));
            if (m_along.settled(a)) {
                const RowKey key{{acrossLine.origin, acrossLine.slope, acrossLine.offset,
                                  -1.0 - static_cast<double>(a)}};
                return out.repeatsRowAbove(key, left, right);
            }
        }
        return false;
    }

    // Within [begin, end) the along quantity is monotone: its zone changes only at the bounds
    // between its zones at the two ends.
    template <typename Out>
    void _emitAlong(const LinearRow& row, int begin, int end, std::size_t c, Out& out) const {
        std::size_t zone = m_along.zoneOf(row.value(begin));
        const std::size_t last = m_along.zoneOf(row.value(end - 1));
        int x = begin;
        while (zone != last) {
            const bool rising = zone < last;
            const double bound = m_along[rising ? zone : zone - 1];
            const auto crossed = [&row, bound, rising](int p) {
                return rising ? !(row.value(p) <= bound) : row.value(p) <= bound;
            };
            const int next = firstPixelWhere(crossed, x, end, row.guessAt(bound));
            emitRun(out, x, next, m_cells[zone][c]);
            x = next;
            zone = rising ? zone + 1 : zone - 1;
        }
        emitRun(out, x, end, m_cells[last][c]);
    }

    ZoneBounds<NA> m_along;
    ZoneBounds<NC> m_across;
    std::array<std::array<Zone, NC + 1>, NA + 1> m_cells{};
    // Across zones in which nothing is drawn whatever the along zone.
    std::array<bool, NC + 1> m_acrossEmpty{};
};

} // namespace Ondrel
