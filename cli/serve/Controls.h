#pragma once

// An effect's controls as the host builds them from the module's parameter definitions, in the
// JSON form the page reads: for each parameter its index, name, kind, twirly state and what its
// kind needs (ranges, precision and percent display for sliders, items with separators for
// popups). Values and graying change with every edit and come apart (see PreviewService).

#include "cli/shot/JsonDocument.h"

#include "host/instance/EffectInstance.h"

namespace OndrelCli {

Json controlsJson(const OfflineHost::EffectInstance& effect);

} // namespace OndrelCli
