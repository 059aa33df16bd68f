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

#include "Ondrel/Filter/OndrelPaintMode.h"
#include "Ondrel/Filter/OndrelShapeGeometry.h"
#include "Ondrel/OndrelGeneral.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <numeric>
#include <optional>
#include <type_traits>
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
// true after it; to when it holds nowhere. guess is where the change is expected: a right guess
// costs two evaluations, a wrong one a search widening from it.
template <typename Holds>
int firstPixelWhere(Holds&& holds, int from, int to, double guess) {
    if (from >= to) {
        return to;
    }
    const int start = Detail::clampedPixel(std::ceil(guess), from, to - 1);
    const bool holdsAtStart = holds(start);
    if (holdsAtStart ? start == from || !holds(start - 1) : start + 1 == to || holds(start + 1)) {
        return holdsAtStart ? start : start + 1;
    }
    return Detail::widenFrom(holds, from, to, start, holdsAtStart);
}

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
    // About where the value is v.
    double guessAt(double v) const { return origin + (v - offset) * inverseSlope; }
};

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
        : _x(point.x), _dy2((y - point.y) * (y - point.y)) {}

    // Both operands of the sum are rounded alike, so the order of sums follows that of |dx|.
    double value(int x) const {
        const double dx = static_cast<double>(x) - _x;
        return dx * dx + _dy2;
    }

    // The pixels of [left, right) whose value is at most bound: around the nearest pixels to the
    // point, the two about it, the values fall and then rise.
    std::pair<int, int> below(double bound, int left, int right) const {
        int lowest = Detail::clampedPixel(std::floor(_x), left, right - 1);
        if (lowest + 1 < right && value(lowest + 1) < value(lowest)) {
            ++lowest;
        }
        const auto within = [this, bound](int x) { return value(x) <= bound; };
        if (!within(lowest)) {
            return {left, left};
        }
        const double reach = std::sqrt(std::max(bound - _dy2, 0.0));
        return {firstPixelWhere(within, left, lowest, _x - reach),
                firstPixelWhere([&within](int x) { return !within(x); }, lowest + 1, right,
                                _x + reach)};
    }

private:
    double _x;
    double _dy2;
};

// A coverage value as far as a zone of pixels is concerned: known when it is the same at every
// pixel of the zone, because each term it is made of is saturated there or a factor of it is
// exactly 0, unknown otherwise. A coverage formula written for any Number, evaluated with these
// at one point of a zone, tells whether the zone can be painted as one; evaluated with doubles, it
// is the coverage itself.
class ZoneValue {
public:
    // Constants are the same everywhere.
    ZoneValue(double constant) : _known(true), _value(constant) {}
    static ZoneValue unknown() { return ZoneValue(); }

    bool known() const { return _known; }
    // Only a known value is below anything.
    friend bool operator<(const ZoneValue& a, double b) { return a._known && a._value < b; }

    friend ZoneValue operator*(const ZoneValue& a, const ZoneValue& b) {
        if (a._isZero() || b._isZero()) {
            return 0.0;
        }
        return a._known && b._known ? ZoneValue(a._value * b._value) : unknown();
    }
    ZoneValue& operator*=(const ZoneValue& b) { return *this = *this * b; }
    friend ZoneValue operator-(double a, const ZoneValue& b) {
        return b._known ? ZoneValue(a - b._value) : unknown();
    }

private:
    ZoneValue() = default;
    // Terms are finite for finite geometry, so 0 times any term is 0.
    bool _isZero() const { return _known && _value == 0.0; }

    bool _known = false;
    double _value = 0.0;
};

// The one-pixel ramp of a term: clamp01 for doubles, known for zone values where it saturates.
template <typename Number>
Number ramp(double term) {
    if constexpr (std::is_same_v<Number, ZoneValue>) {
        return saturation(term) == Saturation::partial ? ZoneValue::unknown()
                                                       : ZoneValue(clamp01(term));
    } else {
        return clamp01(term);
    }
}

// The last value in [lo, hi] at which a condition that changes once along it (a term reaching 0
// or 1, or a comparison) still has its value at lo: hi when it never changes.
template <typename Condition>
double lastUnchanged(Condition&& condition, double lo, double hi) {
    const bool atLo = condition(lo);
    return *lastHolding([&condition, atLo](double v) { return condition(v) == atLo; }, lo, hi);
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

// Which parts of a shape can show: a stroke fading to nothing cannot.
struct PaintedParts {
    bool fill;
    bool stroke;
};

inline PaintedParts partsPainted(PaintMode mode, double strokeWidth) {
    return {paintsFill(mode), paintsStroke(mode) && clamp01(strokeWidth) > coverageThreshold};
}

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

// Where a quantity changes zone: zone k holds the values above values[k - 1] up to values[k], the
// last zone everything above the last value.
template <std::size_t N>
struct ZoneBounds {
    std::array<double, N> values{};
    std::size_t count = 0;

    // Where condition, which changes once over [lo, hi], last has its value at lo.
    template <typename Condition>
    void addChangeOf(Condition&& condition, double lo, double hi) {
        const double bound = lastUnchanged(condition, lo, hi);
        if (bound != hi) {
            values[count++] = bound;
        }
    }

    void sortAndMerge() {
        std::sort(values.begin(), values.begin() + count);
        count = static_cast<std::size_t>(std::unique(values.begin(), values.begin() + count) -
                                         values.begin());
    }

    std::size_t zoneOf(double v) const {
        std::size_t k = 0;
        while (k < count && !(v <= values[k])) {
            ++k;
        }
        return k;
    }

    // A value in zone k, for a quantity that is at least lo.
    double pointIn(std::size_t k, double lo) const {
        if (k < count) {
            return values[k];
        }
        return count > 0
                   ? std::nextafter(values[count - 1], std::numeric_limits<double>::infinity())
                   : lo;
    }
};

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
    const std::size_t count = bounds.count;
    // Each zone's pixels lie within the next one's: search from the outside in.
    std::array<int, N> first{};
    std::array<int, N> end{};
    std::size_t innermost = count;
    int from = left;
    int to = right;
    for (std::size_t k = count; k-- > 0;) {
        const auto [begin, stop] = field.below(bounds.values[k], from, to);
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
struct ValleyZones {
    ZoneBounds<N> bounds;
    std::array<Zone, N + 1> zones{};

    template <typename Field, typename Out>
    void emitRow(const Field& field, int left, int right, Out& out) const {
        forEachValleyPiece(bounds, field, left, right,
                           [this, &out](int begin, int end, std::size_t k) {
                               emitRun(out, begin, end, zones[k]);
                           });
    }
};

// Zones of two quantities: one along the row, monotone (a LinearRow), and one across it that falls
// and rises; each cell of an along zone and an across zone with what its pixels get. Made by a
// GridZonesBuilder.
template <std::size_t NA, std::size_t NC>
struct GridZones {
    ZoneBounds<NA> along;
    ZoneBounds<NC> across;
    std::array<std::array<Zone, NC + 1>, NA + 1> cells{};
    // Across zones in which nothing is drawn whatever the along zone.
    std::array<bool, NC + 1> acrossEmpty{};
    // Zones in which every term of the quantity is saturated: there, what a pixel gets does not
    // depend on the quantity's exact value.
    std::array<bool, NA + 1> alongSettled{};
    std::array<bool, NC + 1> acrossSettled{};

    template <typename Out>
    void emitRow(const BandRow& row, int left, int right, Out& out) const {
        if (_repeatsRowAbove(row.along, row.across, left, right, out)) {
            return;
        }
        forEachValleyPiece(across, row.across, left, right, [&](int begin, int end, std::size_t c) {
            if (!acrossEmpty[c]) {
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
            const std::size_t c = across.zoneOf(acrossRow.value(left));
            if (acrossEmpty[c]) {
                return true;
            }
            if (acrossSettled[c]) {
                const RowKey key{
                    {alongRow.origin, alongRow.slope, alongRow.offset, static_cast<double>(c)}};
                return out.repeatsRowAbove(key, left, right);
            }
        }
        if (alongRow.slope == 0.0) {
            const std::size_t a = along.zoneOf(alongRow.value(left));
            if (alongSettled[a]) {
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
        std::size_t zone = along.zoneOf(row.value(begin));
        const std::size_t last = along.zoneOf(row.value(end - 1));
        int x = begin;
        while (zone != last) {
            const bool rising = zone < last;
            const double bound = along.values[rising ? zone : zone - 1];
            const auto crossed = [&row, bound, rising](int p) {
                return rising ? !(row.value(p) <= bound) : row.value(p) <= bound;
            };
            const int next = firstPixelWhere(crossed, x, end, row.guessAt(bound));
            emitRun(out, x, next, cells[zone][c]);
            x = next;
            zone = rising ? zone + 1 : zone - 1;
        }
        emitRun(out, x, end, cells[last][c]);
    }
};

// Makes GridZones from a coverage's terms of t (along) and of n (across), each clamped into a
// ramp, the comparisons of t and of n that choose its formula, and the coverage itself.
template <std::size_t NA, std::size_t NC>
class GridZonesBuilder {
public:
    using Term = std::function<double(double)>;

    void alongTerm(Term term) {
        _addTerm(_grid.along, term, -std::numeric_limits<double>::infinity());
        _alongTerms[_alongTermCount++] = std::move(term);
    }
    void acrossTerm(Term term) {
        _addTerm(_grid.across, term, 0.0);
        _acrossTerms[_acrossTermCount++] = std::move(term);
    }
    template <typename Condition>
    void alongCondition(Condition&& condition) {
        constexpr double infinity = std::numeric_limits<double>::infinity();
        _grid.along.addChangeOf(condition, -infinity, infinity);
    }
    template <typename Condition>
    void acrossCondition(Condition&& condition) {
        _grid.across.addChangeOf(condition, 0.0, std::numeric_limits<double>::infinity());
    }

    // evaluate(t, n) gives the coverage at one point as (fill, stroke), as doubles or as what is
    // known of it over the point's cell.
    template <typename Evaluate>
    GridZones<NA, NC> build(Evaluate&& evaluate, bool paintsFill, bool paintsStroke) {
        GridZones<NA, NC>& grid = _grid;
        grid.along.sortAndMerge();
        grid.across.sortAndMerge();
        // Nothing changes within a cell, so one point of it tells what all its pixels get.
        for (std::size_t a = 0; a <= grid.along.count; ++a) {
            const double t = grid.along.pointIn(a, 0.0);
            grid.alongSettled[a] = _settled(_alongTerms, _alongTermCount, t);
            for (std::size_t c = 0; c <= grid.across.count; ++c) {
                const double n = grid.across.pointIn(c, 0.0);
                grid.acrossSettled[c] = _settled(_acrossTerms, _acrossTermCount, n);
                const auto [fill, stroke] = evaluate.template operator()<double>(t, n);
                const auto [fillKnown, strokeKnown] = evaluate.template operator()<ZoneValue>(t, n);
                grid.cells[a][c] = zoneOf(Coverage{fill, stroke}, fillKnown.known(),
                                          strokeKnown.known(), paintsFill, paintsStroke);
            }
        }
        for (std::size_t c = 0; c <= grid.across.count; ++c) {
            grid.acrossEmpty[c] = true;
            for (std::size_t a = 0; a <= grid.along.count; ++a) {
                grid.acrossEmpty[c] =
                    grid.acrossEmpty[c] && grid.cells[a][c].kind == ZoneKind::empty;
            }
        }
        return grid;
    }

private:
    // A term changes where it reaches 0 and where it reaches 1.
    template <std::size_t N>
    static void _addTerm(ZoneBounds<N>& bounds, const Term& term, double lo) {
        constexpr double infinity = std::numeric_limits<double>::infinity();
        bounds.addChangeOf([&term](double v) { return term(v) <= 0.0; }, lo, infinity);
        bounds.addChangeOf([&term](double v) { return term(v) >= 1.0; }, lo, infinity);
    }

    template <std::size_t N>
    static bool _settled(const std::array<Term, N>& terms, std::size_t count, double v) {
        for (std::size_t i = 0; i < count; ++i) {
            if (saturation(terms[i](v)) == Saturation::partial) {
                return false;
            }
        }
        return true;
    }

    GridZones<NA, NC> _grid;
    std::array<Term, NA / 2> _alongTerms;
    std::array<Term, NC / 2> _acrossTerms;
    std::size_t _alongTermCount = 0;
    std::size_t _acrossTermCount = 0;
};

} // namespace Ondrel
