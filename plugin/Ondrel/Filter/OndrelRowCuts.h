// Row runs by the general method: for a shape whose coverage terms are all linear along a row,
// the row is cut wherever one of them starts or stops being saturated (OndrelRowRuns.h).
#pragma once

#include "Ondrel/Filter/OndrelRowRuns.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace Ondrel {

// A term, or a quantity, linear along a row, formed exactly as the coverage forms it at pixel x:
// rising where slope is above 0, falling where it is below, the same at every pixel where it is
// 0. guessAt(v) estimates where it takes the value v.
template <typename Term>
concept LinearTerm = requires(const Term& term, int x, double v) {
    { term.value(x) } -> std::same_as<double>;
    { term.slope } -> std::convertible_to<double>;
    { term.guessAt(v) } -> std::same_as<double>;
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

} // namespace Ondrel
