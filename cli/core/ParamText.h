#pragma once

// A parameter's value, as checkout_param delivers it at full resolution, written as --set and
// recipes take it: the way back from host units to the units users see.

#include "AE_Effect.h"

#include <string>

namespace OndrelCli {

inline double fromFixed(PF_Fixed value) {
    return value / 65536.0;
}

// Sliders and angles as numbers (angles in degrees, fixed sliders as shown), points "X,Y" in
// layer pixels, colours "#rrggbb" ("#rrggbbaa" unless opaque), popups their item's text,
// checkboxes on or off.
std::string deliveredText(const PF_ParamDef& delivered);

} // namespace OndrelCli
