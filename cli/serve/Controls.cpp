#include "cli/serve/Controls.h"

#include "cli/core/Text.h"
#include "cli/params/ParamText.h"

#include <cstring>

namespace OndrelCli {
namespace {

Json range(double validMin, double validMax, double sliderMin, double sliderMax, int precision,
           PF_ValueDisplayFlags display) {
    return Json{
        {"validMin", validMin},   {"validMax", validMax},
        {"sliderMin", sliderMin}, {"sliderMax", sliderMax},
        {"precision", precision}, {"percent", (display & PF_ValueDisplayFlag_PERCENT) != 0}};
}

// "(-" items are separator lines: numbered like items, never chosen.
Json popupItems(const PF_PopupDef& popup) {
    Json items = Json::array();
    for (const auto& text : split(popup.u.namesptr != nullptr ? popup.u.namesptr : "", '|')) {
        items.push_back(Json{{"text", text == "(-" ? "" : text}, {"separator", text == "(-"}});
    }
    return items;
}

Json control(const PF_ParamDef& def, int index) {
    const PF_ParamDefUnion& u = def.u;
    Json c{{"index", index},
           {"name", std::string(def.name, strnlen(def.name, sizeof def.name))},
           // Groups start closed with this flag; other controls start with their twirly up.
           {"collapsed", (def.flags & PF_ParamFlag_COLLAPSE_TWIRLY) != 0},
           {"animates", OfflineHost::interpolates(def)}};
    switch (def.param_type) {
    case PF_Param_LAYER:
        c["kind"] = "layer";
        break;
    case PF_Param_SLIDER:
        c["kind"] = "slider";
        c.update(range(u.sd.valid_min, u.sd.valid_max, u.sd.slider_min, u.sd.slider_max, 0, 0));
        break;
    case PF_Param_FIX_SLIDER:
        c["kind"] = "slider";
        c.update(range(fromFixed(u.fd.valid_min), fromFixed(u.fd.valid_max),
                       fromFixed(u.fd.slider_min), fromFixed(u.fd.slider_max), u.fd.precision,
                       u.fd.display_flags));
        break;
    case PF_Param_FLOAT_SLIDER:
        c["kind"] = "slider";
        c.update(range(u.fs_d.valid_min, u.fs_d.valid_max, u.fs_d.slider_min, u.fs_d.slider_max,
                       u.fs_d.precision, u.fs_d.display_flags));
        break;
    case PF_Param_ANGLE:
        c["kind"] = "angle";
        break;
    case PF_Param_POINT:
        c["kind"] = "point";
        break;
    case PF_Param_COLOR:
        c["kind"] = "color";
        break;
    case PF_Param_POPUP:
        c["kind"] = "popup";
        c["items"] = popupItems(u.pd);
        break;
    case PF_Param_CHECKBOX:
        c["kind"] = "checkbox";
        c["label"] = u.bd.u.nameptr != nullptr ? u.bd.u.nameptr : "";
        break;
    case PF_Param_GROUP_START:
        c["kind"] = "group";
        break;
    case PF_Param_GROUP_END:
        c["kind"] = "group end";
        break;
    default:
        c["kind"] = "unsupported";
        break;
    }
    return c;
}

} // namespace

Json controlsJson(const OfflineHost::EffectInstance& effect) {
    Json controls = Json::array();
    for (int i = 0; i < effect.paramCount(); ++i) {
        controls.push_back(control(effect.paramDef(i), i));
    }
    return controls;
}

} // namespace OndrelCli
