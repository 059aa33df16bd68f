// Row runs for a shape whose terms share one quantity that falls and rises along the row: the
// distance from the circle's centre, and from a round-capped line (OndrelRowRuns.h).
#pragma once

#include "Ondrel/Filter/OndrelZoneBounds.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace Ondrel {

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
        ValleyPieces(m_bounds, field, left, right)
            .forEach([this, &out](int begin, int end, std::size_t k) {
                emitRun(out, begin, end, m_zones[k]);
            });
    }

private:
    ZoneBounds<N> m_bounds;
    std::array<Zone, N + 1> m_zones{};
};

} // namespace Ondrel
