// ondrel params EFFECT: the effect's parameters with their defaults and ranges, as the host
// stores them after parameter set-up.

#include "cli/commands/Commands.h"
#include "cli/core/ParamText.h"

#include <cstdio>

namespace OndrelCli {
namespace {

std::string format(const char* fmt, double a, double b = 0, double c = 0, double d = 0,
                   double e = 0) {
    char text[160];
    std::snprintf(text, sizeof text, fmt, a, b, c, d, e);
    return text;
}

std::string percentSuffix(PF_ValueDisplayFlags flags) {
    return (flags & PF_ValueDisplayFlag_PERCENT) ? " %" : "";
}

struct Description {
    const char* type;
    std::string value; // default, range and choices
};

Description describe(const PF_ParamDef& def) {
    const PF_ParamDefUnion& u = def.u;
    switch (def.param_type) {
    case PF_Param_FLOAT_SLIDER:
        return {"float slider",
                format("%.10g (valid %.10g to %.10g, slider %.10g to %.10g)", u.fs_d.value,
                       u.fs_d.valid_min, u.fs_d.valid_max, u.fs_d.slider_min, u.fs_d.slider_max) +
                    percentSuffix(u.fs_d.display_flags)};
    case PF_Param_FIX_SLIDER:
        return {"fixed slider",
                format("%.10g (valid %.10g to %.10g, slider %.10g to %.10g)", fromFixed(u.fd.value),
                       fromFixed(u.fd.valid_min), fromFixed(u.fd.valid_max),
                       fromFixed(u.fd.slider_min), fromFixed(u.fd.slider_max)) +
                    percentSuffix(u.fd.display_flags)};
    case PF_Param_POINT:
        return {"point", format("(%g %%, %g %%) of the layer", fromFixed(u.td.x_value),
                                fromFixed(u.td.y_value))};
    case PF_Param_ANGLE:
        return {"angle", format("%g degrees", fromFixed(u.ad.value))};
    case PF_Param_COLOR:
        return {"color", format("red %g, green %g, blue %g, alpha %g", u.cd.value.red,
                                u.cd.value.green, u.cd.value.blue, u.cd.value.alpha)};
    case PF_Param_POPUP:
        return {"popup", format("%g of %g: ", u.pd.value, u.pd.num_choices) +
                             (u.pd.u.namesptr ? u.pd.u.namesptr : "")};
    case PF_Param_GROUP_START:
        return {"group", ""};
    case PF_Param_GROUP_END:
        return {"group end", ""};
    case PF_Param_LAYER:
        return {"layer", "the input"};
    default:
        return {"other", format("type %g", def.param_type)};
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
