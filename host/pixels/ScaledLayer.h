#pragma once

// The layer as the host hands it to an effect at a downsample: every pixel of the smaller world
// shows the layer pixel nearest to its centre.

#include "host/pixels/World.h"

namespace OfflineHost {

// Whether the factor is 1.
inline bool unscaled(const PF_RationalScale& scale) {
    return scale.num > 0 && static_cast<A_u_long>(scale.num) == scale.den;
}

// The pixel of a layer side `size` pixels long that pixel i of the scaled-down side shows: the
// one its centre, (i + 1/2) / factor, falls in, clamped to the side.
A_long scaledSource(A_long i, A_long size, const PF_RationalScale& scale);

// Fills `into` (of the layer's depth, any size) from the layer scaled by the factors: pixel
// (x, y) of `into` takes the layer pixel that (x + 1/2, y + 1/2) / factor falls in, clamped to
// the layer. Rows are copied whole where the horizontal factor is 1.
void scaleDown(const World& layer, const PF_RationalScale& scaleX, const PF_RationalScale& scaleY,
               World& into);

} // namespace OfflineHost
