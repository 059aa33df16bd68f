// A libFuzzer target: a parameter's values as --set and recipes take them (one value, or
// keyframes VALUE@TIME[:INTERPOLATION],...), set on a parameter of one of the four effects through
// the offline host. It stops (and libFuzzer keeps the input) on a sanitizer report, on any failure
// but the reader's own refusal (a CliError: the host refusing a value that passed the checks is a
// failure), when a track does not write back as text that reads back the same, and
// when the text the host's value is shown as (what `ondrel recipe` and the page show) is not a
// value the parameter takes.
//
// The bytes are read in this order: the effect, the parameter (counted from 1; a group or the
// input layer is refused by name), then the text.

#include "FuzzEffects.h"
#include "FuzzInput.h"

#include "cli/core/CliError.h"
#include "cli/params/Keyframes.h"
#include "cli/params/ParamAssignment.h"
#include "cli/params/ParamText.h"
#include "cli/shot/Shot.h"

#include "host/instance/EffectInstance.h"
#include "host/system/HostError.h"

#include <cstdint>
#include <string>

using namespace OndrelCli;
using namespace OndrelFuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const Ondrel::EffectEntry& chosen = pickEffect(in);
    OfflineHost::EffectInstance& effect = keptInstance(chosen);
    const int index = 1 + static_cast<int>(in.pick(static_cast<unsigned>(effect.paramCount() - 1)));
    const std::string name = effect.paramDef(index).name;
    const std::string text(in.rest());

    ParamTrack track;
    try {
        track = parseTrack(text);
    } catch (const CliError&) {
        return 0;
    }
    const std::string written = trackText(track);
    try {
        if (trackText(parseTrack(written)) != written) {
            stop("\"" + written + "\" does not read back the same");
        }
    } catch (const CliError& e) {
        stop("\"" + written + "\", written from \"" + text + "\", does not read: " + e.what());
    }

    Shot shot;
    shot.effect = chosen.registration->name;
    shot.params = {RecipeParam{name, track, "--set", {}}};
    try {
        applyParams(effect, shot);
    } catch (const CliError&) {
        return 0;
    } catch (const OfflineHost::HostError& e) {
        stop("the host refused a value ondrel took, \"" + text + "\": " + e.what());
    }
    // One value, shown as the host delivers it, is a value the parameter takes again.
    if (track.keys.size() == 1 && !track.keys[0].time) {
        const std::string shown = deliveredText(effect.valueAt(index, OfflineHost::Frame{}));
        try {
            assignValue(effect, index, shown, 0.0, std::nullopt);
        } catch (const CliError& e) {
            stop("\"" + name + "\" set to \"" + text + "\" shows as \"" + shown +
                 "\", which it refuses: " + e.what());
        }
    }
    return 0;
}
