// What the two speed-ups of the row runs share (OndrelRowRuns.h): the quantities many terms
// share along a row, a shape's terms listed once with the bounds they give such a quantity, and
// the pieces of a row that a quantity falling and rising along it makes of those bounds.
#pragma once

#include "Ondrel/Filter/OndrelRowRuns.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace Ondrel {

// ---------------------------------------------------------------------------------------------
// Quantities that many terms share, along a row

// The absolute value of a LinearRow, as the distance from a line is formed: least where the line
// crosses the row. A field for ValleyPieces, and the distance itself.
struct LineDistanceRow {
    LinearRow across;

    double value(int x) const { return std::abs(across.value(x)); }
    double distance(int x) const { return value(x); }
    // Rows are not taken to be symmetric about the line.
    std::optional<std::int64_t> mirrorSum() const { return std::nullopt; }

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
// (dx * dx + dy * dy): least at the pixels around the point. A field for ValleyPieces, its root
// the distance.
class PointDistanceRow {
public:
    PointDistanceRow(const Vector<double>& point, double y)
        : m_x(point.x), m_dy2((y - point.y) * (y - point.y)) {}

    // Both operands of the sum are rounded alike, so the order of sums follows that of |dx|.
    double value(int x) const {
        const double dx = static_cast<double>(x) - m_x;
        return dx * dx + m_dy2;
    }
    // As Vector::length forms it.
    double distance(int x) const { return std::sqrt(value(x)); }

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
        const int first = firstPixelWhere(within, left, lowest, m_x - reach);
        if (const auto sum = mirrorSum(); sum && first > left) {
            // The pixels within the bound lie from first to its mirror image.
            return {first, static_cast<int>(std::min<std::int64_t>(*sum - first + 1, right))};
        }
        return {first, firstPixelWhere([&within](int x) { return !within(x); }, lowest + 1, right,
                                       m_x + reach)};
    }

    // For a point on a whole or half pixel, small enough that every pixel's offset from it is
    // exact, twice its x: pixels x and sum - x then lie at offsets of the same size, and so at the
    // same distance.
    std::optional<std::int64_t> mirrorSum() const {
        if (std::abs(m_x) < 0x1p28 && std::floor(2.0 * m_x) == 2.0 * m_x) {
            return static_cast<std::int64_t>(2.0 * m_x);
        }
        return std::nullopt;
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
// Pieces of a row by the zones of a quantity that falls and rises along it

// The pieces of [left, right) in which a quantity f that falls to a least value and rises again
// along the row (a squared distance from a point, the distance from a line) lies in each zone of
// bounds. The field gives f at pixel x exactly as the coverage computes it (value) and the pixels
// of a range where f is at most a bound (below, as [first, end)).
template <std::size_t N>
class ValleyPieces {
public:
    template <typename Field>
    ValleyPieces(const ZoneBounds<N>& bounds, const Field& field, int left, int right)
        : m_left(left), m_right(right), m_count(bounds.count()), m_innermost(m_count) {
        // Each zone's pixels lie within the next one's: search from the outside in.
        int from = left;
        int to = right;
        for (std::size_t k = m_count; left < right && k-- > 0;) {
            const auto [begin, stop] = field.below(bounds[k], from, to);
            if (begin >= stop) {
                break;
            }
            m_first[k] = from = begin;
            m_end[k] = to = stop;
            m_innermost = k;
        }
    }

    // The pixels in zone k or any zone inside it, which lie together.
    std::pair<int, int> upTo(std::size_t k) const {
        if (k >= m_count) {
            return {m_left, m_right};
        }
        return k < m_innermost ? std::pair{m_left, m_left} : std::pair{m_first[k], m_end[k]};
    }

    // Calls visit(begin, end, k) for each piece, left to right.
    template <typename Visit>
    void forEach(Visit&& visit) const {
        const auto piece = [&visit](int begin, int stop, std::size_t k) {
            if (begin < stop) {
                visit(begin, stop, k);
            }
        };
        if (m_innermost == m_count) {
            piece(m_left, m_right, m_count);
            return;
        }
        int x = m_left;
        for (std::size_t k = m_count; k-- > m_innermost;) {
            piece(x, m_first[k], k + 1);
            x = m_first[k];
        }
        piece(x, m_end[m_innermost], m_innermost);
        for (std::size_t k = m_innermost + 1; k < m_count; ++k) {
            piece(m_end[k - 1], m_end[k], k);
        }
        piece(m_end[m_count - 1], m_right, m_count);
    }

private:
    int m_left;
    int m_right;
    std::size_t m_count;
    std::size_t m_innermost; // the innermost zone with pixels, when not the outermost
    std::array<int, N> m_first{};
    std::array<int, N> m_end{};
};

} // namespace Ondrel
