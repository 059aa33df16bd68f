// Row runs for a shape whose terms share one quantity that falls and rises along the row: the
// distance from the circle's centre, and from a round-capped line (OndrelRowRuns.h).
#pragma once

#include "Ondrel/Filter/OndrelZoneBounds.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace Ondrel {

// Zones of one quantity that falls and rises along each row, each with what its pixels get. The
// shape gives the coverage at distance d as (fill, stroke) by evaluate<Number>(d), as doubles or
// as what is known of it over d's zone, and by at(d); the rows give each pixel's distance
// (distance(x)) as coverageAt forms it.
template <std::size_t N, typename Shape>
class ValleyZones {
public:
    ValleyZones() = default;

    ValleyZones(const Shape& shape, const ZoneBounds<N>& bounds, PaintedParts painted)
        : m_shape(shape), m_bounds(bounds) {
        // No term changes within a zone, so one value in it tells what all its pixels get.
        for (std::size_t k = 0; k <= bounds.count(); ++k) {
            const double v = bounds.pointIn(k);
            m_zones[k] = judgedZone(
                [&]<typename Number>() { return shape.template evaluate<Number>(v); }, painted);
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
            .forEach([this, &field, &out, left](int begin, int end, std::size_t k) {
                if (m_zones[k].kind != ZoneKind::varying) {
                    emitRun(out, begin, end, m_zones[k]);
                    return;
                }
                // Right of a row's axis of symmetry, a pixel whose mirror image lies in the
                // same range has that pixel's distance, and that pixel was painted first.
                if (const auto sum = field.mirrorSum();
                    sum && 2 * std::int64_t{begin} > *sum && *sum - (end - 1) >= left) {
                    out.mirrored(begin, end, *sum);
                    return;
                }
                out.varying(begin, end,
                            [this, &field](int x) { return m_shape.at(field.distance(x)); });
            });
    }

private:
    Shape m_shape;
    ZoneBounds<N> m_bounds;
    std::array<Zone, N + 1> m_zones{};
};

} // namespace Ondrel
