#pragma once

// The layer `ondrel render` draws on when no input is given: opaque, with a colour gradient
// under a soft checker, so that every blending mode and every edge shows against it.

#include "host/pixels/World.h"

namespace OndrelCli {

OfflineHost::World defaultLayer(A_long width, A_long height, OfflineHost::PixelDepth depth);

} // namespace OndrelCli
