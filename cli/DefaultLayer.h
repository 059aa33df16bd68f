#pragma once

// The layer `ondrel render` draws on when no input is given: opaque, with a colour gradient
// under a soft checker, so that every blending mode and every edge shows against it.

#include "Pixels.h"

namespace OndrelCli {

RgbaImage defaultLayer(A_long width, A_long height);

} // namespace OndrelCli
