#pragma once

// A parameter's value, as checkout_param delivers it at full resolution, written as --set and
// recipes take it: the way back from host units to the units users see.

#include "AE_Effect.h"

#include <string>

namespace OndrelCli {

inline double fromFixed(PF_Fixed value) {
    return value / 65536.0;
}

// A 16.16 value as the shortest decimal that the host rounds back to it: a point typed as 521.6
// is held as 521.600006..., and shown as 521.6 again.
std::string fixedText(PF_Fixed value);

// Sliders and angles as numbers (angles in degrees, fixed sliders as shown), points "X,Y" in
// layer pixels, colours "#rrggbb" (the host's colour controls have no alpha), popups their
// item's text, checkboxes on or off.
std::string deliveredText(const PF_ParamDef& delivered);

} // namespace OndrelCli
