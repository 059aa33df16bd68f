#pragma once

// "NAME=VALUE" from the command line, set on an effect instance by the parameter's own name and
// checked against its definition as the host has it.
//
// Values by parameter type: sliders and angles take a number (angles in degrees, percentages as
// the number shown, e.g. "Opacity=50"); points take "X,Y" in full-resolution layer pixels;
// colours "#rrggbb", "#rrggbbaa" or "R,G,B[,A]" with channels 0 to 255; popups an item's text
// or its number counted from 1 (a separator is counted but is no item); checkboxes on/off,
// true/false or 1/0. Names and items may be given in any case.

#include "host/EffectInstance.h"

#include <string>

namespace OndrelCli {

// Throws CliError naming what is wrong: no "=", an unknown parameter (listing the effect's
// parameters), a value that does not parse, lies outside the valid range, or is not an item.
void assignParam(OfflineHost::EffectInstance& effect, const std::string& effectName,
                 const std::string& assignment);

} // namespace OndrelCli
