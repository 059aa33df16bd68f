// ondrel params EFFECT: the effect's parameters with their defaults and ranges, as the host
// stores them after parameter set-up.

#include "cli/commands/Commands.h"
#include "cli/core/Text.h"
#include "cli/params/ParamText.h"
#include "cli/params/PopupItems.h"

#include <cstdio>

namespace OndrelCli {
namespace {

std::string range(const std::string& value, const std::string& validMin,
                  const std::string& validMax, const std::string& sliderMin,
                  const std::string& sliderMax, PF_ValueDisplayFlags flags) {
    return value + " (valid " + validMin + " to " + validMax + ", slider " + sliderMin + " to " +
           sliderMax + ")" + ((flags & PF_ValueDisplayFlag_PERCENT) ? " %" : "");
}

// The items as the module lists them, after the spellings users may type besides: 3 of 33 (also
// "Exclusion" for "Exclution"): None|(-|Normal|...
std::string popupText(const PF_PopupDef& popup) {
    std::string also;
    for (const auto& item : popupItems(popup)) {
        if (const auto usual = usualSpelling(item)) {
            also += (also.empty() ? " (also " : ", ") + inQuotes(*usual) + " for " + inQuotes(item);
        }
    }
    return std::to_string(popup.value) + " of " + std::to_string(popup.num_choices) +
           (also.empty() ? "" : also + ")") + ": " +
           (popup.u.namesptr != nullptr ? popup.u.namesptr : "");
}

struct Description {
    const char* type;
    std::string value; // default, range and choices
};

Description describe(const PF_ParamDef& def) {
    const PF_ParamDefUnion& u = def.u;
    switch (def.param_type) {
    case PF_Param_FLOAT_SLIDER:
        return {"float slider", range(numberText(u.fs_d.value), numberText(u.fs_d.valid_min),
                                      numberText(u.fs_d.valid_max), numberText(u.fs_d.slider_min),
                                      numberText(u.fs_d.slider_max), u.fs_d.display_flags)};
    case PF_Param_FIX_SLIDER:
        return {"fixed slider",
                range(fixedText(u.fd.value), fixedText(u.fd.valid_min), fixedText(u.fd.valid_max),
                      fixedText(u.fd.slider_min), fixedText(u.fd.slider_max), u.fd.display_flags)};
    case PF_Param_POINT:
        return {"point", "(" + fixedText(u.td.x_value) + " %, " + fixedText(u.td.y_value) +
                             " %) of the layer"};
    case PF_Param_ANGLE:
        return {"angle", fixedText(u.ad.value) + " degrees"};
    case PF_Param_COLOR:
        return {"color", "red " + std::to_string(u.cd.value.red) + ", green " +
                             std::to_string(u.cd.value.green) + ", blue " +
                             std::to_string(u.cd.value.blue)};
    case PF_Param_POPUP:
        return {"popup", popupText(u.pd)};
    case PF_Param_GROUP_START:
        return {"group", ""};
    case PF_Param_GROUP_END:
        return {"group end", ""};
    case PF_Param_LAYER:
        return {"layer", "the input"};
    default:
        return {"other", "type " + std::to_string(def.param_type)};
    }
}

void params(const GlobalOptions& options, const std::string& effect) {
    const auto instance = applyEffect(options, effect, true);
    for (int i = 0; i < instance->paramCount(); ++i) {
        const PF_ParamDef& def = instance->paramDef(i);
        const Description d = describe(def);
        char head[80];
        std::snprintf(head, sizeof head, "%3d  %-16s %-13s ", i, i == 0 ? "(input)" : def.name,
                      d.type);
        std::string line = head + d.value;
        line.erase(line.find_last_not_of(' ') + 1); // groups have no value
        std::printf("%s\n", line.c_str());
    }
}

} // namespace

void addParamsCommand(CLI::App& app, const GlobalOptions& options) {
    auto* cmd = app.add_subcommand("params", "Show an effect's parameters");
    auto effect = std::make_shared<std::string>();
    cmd->add_option("EFFECT", *effect, "Effect name or match name")->required();
    cmd->callback([&options, effect] { params(options, *effect); });
}

} // namespace OndrelCli
