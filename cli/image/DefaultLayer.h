#pragma once

// The layer `ondrel render` draws on when no input is given: opaque, with a colour gradient
// under a soft checker, so that every blending mode and every edge shows against it.

#include "host/instance/EffectInstance.h"
#include "host/pixels/World.h"

namespace OndrelCli {

OfflineHost::World defaultLayer(A_long width, A_long height, OfflineHost::PixelDepth depth);

// The frame's built-in layer (its layer size, at its depth) as the host hands it at the frame's
// downsample: every pixel the one OfflineHost::scaleDown takes from the full layer, made without
// the full layer, so that a large layer seen small costs only the small one.
OfflineHost::World defaultLayer(const OfflineHost::Frame& frame);

} // namespace OndrelCli
