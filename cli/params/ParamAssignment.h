#pragma once

// Parameter values from the command line or a recipe, set on an effect instance by the
// parameter's own name and checked against its definition as the host has it.
//
// Values by parameter type: sliders and angles take a number (angles in degrees, percentages as
// the number shown, e.g. "Opacity=50"); points take "X,Y" in full-resolution layer pixels;
// colours "#rrggbb" or "R,G,B" with channels 0 to 255 (the host's colour controls have no alpha:
// one other than full is refused); popups an item's text, its usual spelling where the module
// spells it otherwise, or its number counted from 1 (a separator is counted but is no item);
// checkboxes on/off, true/false or 1/0. Names and items may be given in any case.

#include "host/instance/EffectInstance.h"

#include <optional>
#include <string>

namespace OndrelCli {

// The index of the parameter users know by that name. Throws CliError listing the effect's
// parameters when it has none of that name (groups and the input layer are not set by name).
int settableParam(const OfflineHost::EffectInstance& effect, const std::string& effectName,
                  const std::string& name);

// Sets the value as a keyframe at the time (see EffectInstance::setValue for the
// interpolation). Throws CliError saying what is wrong with the value, but not where it was
// written: it does not parse, lies outside the valid range, or is not an item.
void assignValue(OfflineHost::EffectInstance& effect, int index, const std::string& value,
                 double seconds, std::optional<OfflineHost::Interpolation> interpolation);

} // namespace OndrelCli
