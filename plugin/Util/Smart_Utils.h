// Rectangle helpers on the host's PF_LRect (right and bottom exclusive).
#pragma once

#include "AE_Effect.h"

// True when the rectangle covers no pixel: left >= right or top >= bottom.
bool IsEmptyRect(const PF_LRect* r);

// Grows dst to the bounding box of dst and src. An empty dst takes src as it is; an empty src
// leaves dst alone.
void UnionLRect(const PF_LRect* src, PF_LRect* dst);
