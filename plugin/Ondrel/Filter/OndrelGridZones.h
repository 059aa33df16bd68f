// Row runs for a shape whose terms share one quantity linear along the row and one that falls
// and rises: the position along and the distance across a rectangle or a butt-capped line
// (OndrelRowRuns.h).
#pragma once

#include "Ondrel/Filter/OndrelZoneBounds.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace Ondrel {

// Zones of two quantities: one along the row, monotone (a LinearRow), and one across it that falls
// and rises; each cell of an along zone and an across zone with what its pixels get. The band
// gives the coverage at along value t and across value n as (fill, stroke) by
// evaluate<Number>(t, n), as doubles or as what is known of it over their cell, and by
// coverageAt(t, n).
template <std::size_t NA, std::size_t NC, typename Band>
class GridZones {
public:
    GridZones() = default;

    GridZones(const Band& band, const ZoneBounds<NA>& along, const ZoneBounds<NC>& across,
              PaintedParts painted)
        : m_band(band), m_along(along), m_across(across) {
        // Nothing changes within a cell, so one point of it tells what all its pixels get.
        for (std::size_t a = 0; a <= along.count(); ++a) {
            const double t = along.pointIn(a);
            for (std::size_t c = 0; c <= across.count(); ++c) {
                const double n = across.pointIn(c);
                m_cells[a][c] = judgedZone(
                    [&]<typename Number>() { return band.template evaluate<Number>(t, n); },
                    painted);
            }
        }
        for (std::size_t c = 0; c <= across.count(); ++c) {
            m_acrossEmpty[c] = true;
            for (std::size_t a = 0; a <= along.count(); ++a) {
                m_acrossEmpty[c] = m_acrossEmpty[c] && m_cells[a][c].kind == ZoneKind::empty;
            }
        }
        m_outermostDrawn = across.count();
        while (m_outermostDrawn > 0 && m_acrossEmpty[m_outermostDrawn]) {
            --m_outermostDrawn;
        }
    }

    template <typename Out>
    void emitRow(const BandRow& row, int left, int right, Out& out) const {
        if (_repeatsRowAbove(row.along, row.across, left, right, out)) {
            return;
        }
        const ValleyPieces pieces(m_across, row.across, left, right);
        // Every pixel drawn lies within the outermost across zone that draws anything, along
        // which the along quantity is monotone: its runs there are found once for every piece.
        const auto [begin, end] = pieces.upTo(m_outermostDrawn);
        if (begin >= end) {
            return;
        }
        const AlongRuns along = _alongRuns(row.along, begin, end);
        std::size_t j = 0;
        pieces.forEach([&](int from, int to, std::size_t c) {
            if (m_acrossEmpty[c]) {
                return;
            }
            while (from < to) {
                while (along.start[j + 1] <= from) {
                    ++j;
                }
                const int stop = std::min(to, along.start[j + 1]);
                _emitCell(row, from, stop, along.zone[j], c, out);
                from = stop;
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

    // A run of cell (a, c). Its pixels' coverage is evaluated from the row's own values of the
    // two quantities, which are those coverageAt forms; a quantity whose zone is settled takes
    // any value of it instead, since no term it enters changes there.
    template <typename Out>
    void _emitCell(const BandRow& row, int from, int to, std::size_t a, std::size_t c,
                   Out& out) const {
        const Zone& zone = m_cells[a][c];
        if (zone.kind != ZoneKind::varying) {
            emitRun(out, from, to, zone);
        } else if (m_along.settled(a)) {
            const double t = m_along.pointIn(a);
            out.varying(from, to, [&](int x) { return m_band.coverageAt(t, row.across.value(x)); });
        } else if (m_across.settled(c)) {
            const double n = m_across.pointIn(c);
            out.varying(from, to, [&](int x) { return m_band.coverageAt(row.along.value(x), n); });
        } else {
            out.varying(from, to, [&](int x) {
                return m_band.coverageAt(row.along.value(x), row.across.value(x));
            });
        }
    }

    // The along zones of [begin, end) in order: zone[i] from start[i] up to start[i + 1].
    struct AlongRuns {
        std::array<int, NA + 2> start;
        std::array<std::size_t, NA + 1> zone;
    };

    // Within [begin, end) the along quantity is monotone: its zone changes only at the bounds
    // between its zones at the two ends.
    AlongRuns _alongRuns(const LinearRow& row, int begin, int end) const {
        AlongRuns runs;
        std::size_t zone = m_along.zoneOf(row.value(begin));
        const std::size_t last = m_along.zoneOf(row.value(end - 1));
        std::size_t i = 0;
        int x = begin;
        while (zone != last) {
            const bool rising = zone < last;
            const double bound = m_along[rising ? zone : zone - 1];
            const auto crossed = [&row, bound, rising](int p) {
                return rising ? !(row.value(p) <= bound) : row.value(p) <= bound;
            };
            runs.start[i] = x;
            runs.zone[i++] = zone;
            x = firstPixelWhere(crossed, x, end, row.guessAt(bound));
            zone = rising ? zone + 1 : zone - 1;
        }
        runs.start[i] = x;
        runs.zone[i++] = last;
        runs.start[i] = end;
        return runs;
    }

    Band m_band;
    ZoneBounds<NA> m_along;
    ZoneBounds<NC> m_across;
    std::array<std::array<Zone, NC + 1>, NA + 1> m_cells{};
    // Across zones in which nothing is drawn whatever the along zone, and the outermost zone
    // outside which every zone is such.
    std::array<bool, NC + 1> m_acrossEmpty{};
    std::size_t m_outermostDrawn = 0;
};

} // namespace Ondrel
