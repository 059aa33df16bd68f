#include "Shapes/OndrelCommands.h"
#include "Shapes/OndrelParamTable.h"

#include "AE_EffectCB.h"

#include <cmath>
#include <cstring>

namespace Ondrel {
namespace {

PF_Fixed aeFixed(double value) {
    return static_cast<PF_Fixed>(std::lround(value * 65536.0));
}

PF_FpShort aeFloat(double value) {
    return static_cast<PF_FpShort>(value);
}

} // namespace

PF_ParamDef aeParamDef(const ParamSpec& p, int index) {
    PF_ParamDef def;
    std::memset(&def, 0, sizeof def);
    def.param_type = p.type;
    def.uu.id = index;
    def.flags = p.flags;
    switch (p.type) {
    case PF_Param_FLOAT_SLIDER: {
        PF_FloatSliderDef& fs = def.u.fs_d;
        fs.value = p.value;
        fs.dephault = aeFloat(p.value);
        fs.valid_min = aeFloat(p.valid.min);
        fs.valid_max = aeFloat(p.valid.max);
        fs.slider_min = aeFloat(p.slider.min);
        fs.slider_max = aeFloat(p.slider.max);
        fs.precision = p.display.precision;
        fs.display_flags = p.display.flags;
        fs.curve_tolerance = 0.05f;
        break;
    }
    case PF_Param_FIX_SLIDER: {
        PF_FixedSliderDef& fd = def.u.fd;
        fd.value = fd.dephault = aeFixed(p.value);
        fd.valid_min = aeFixed(p.valid.min);
        fd.valid_max = aeFixed(p.valid.max);
        fd.slider_min = aeFixed(p.slider.min);
        fd.slider_max = aeFixed(p.slider.max);
        fd.precision = p.display.precision;
        fd.display_flags = p.display.flags;
        break;
    }
    case PF_Param_POINT:
        def.u.td.x_value = def.u.td.x_dephault = aeFixed(p.x);
        def.u.td.y_value = def.u.td.y_dephault = aeFixed(p.y);
        break;
    case PF_Param_ANGLE:
        def.u.ad.value = def.u.ad.dephault = aeFixed(p.value);
        break;
    case PF_Param_COLOR:
        def.u.cd.value = def.u.cd.dephault = p.color;
        break;
    case PF_Param_POPUP:
        def.u.pd.value = static_cast<A_long>(p.value);
        def.u.pd.dephault = static_cast<A_short>(p.value);
        def.u.pd.num_choices = p.itemCount;
        def.u.pd.u.namesptr = p.items;
        break;
    default: // group start and end carry nothing but their type and name
        break;
    }
    return def;
}

PF_Err paramsSetup(const EffectDescription& effect, PF_InData* in_data, PF_OutData* out_data) {
    int index = 0;
    for (const ParamSpec& p : effect.params) {
        PF_ParamDef def = aeParamDef(p, ++index);
        in_data->utils->ansi.strcpy(def.name, p.name);
        if (PF_Err err = in_data->inter.add_param(in_data->effect_ref, -1, &def)) {
            return err;
        }
    }
    out_data->num_params = effect.paramCount();
    return PF_Err_NONE;
}

} // namespace Ondrel
