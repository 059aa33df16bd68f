#include "Shapes/OndrelPlugin.h"

#include "Shapes/OndrelCommands.h"

#include <vector>

namespace Ondrel {

PF_Err GrayOutParameter(int index, bool gray, PF_ParamDef* params, PF_InData* in_data,
                        AEGP_SuiteHandler& suites) {
    PF_ParamDef& def = params[index];
    if (gray) {
        def.ui_flags |= PF_PUI_DISABLED;
    } else {
        def.ui_flags &= ~PF_PUI_DISABLED;
    }
    return suites.ParamUtilsSuite1()->PF_UpdateParamUI(in_data->effect_ref, index, &def);
}

PF_Err updateParamsUI(const EffectDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                      PF_ParamDef* params[]) {
    AEGP_SuiteHandler suites(in_data->pica_basicP);
    out_data->out_flags |= PF_OutFlag_REFRESH_UI;

    // The host wants our own copies of the definitions we change, not its entries.
    std::vector<PF_ParamDef> local(static_cast<std::size_t>(effect.paramCount()));
    IndexSet grayable;
    for (const GrayingRule& rule : effect.graying) {
        grayable = grayable | rule.dependents;
    }
    grayable.forEach([&](int i) { local[static_cast<std::size_t>(i)] = *params[i]; });

    for (const GrayingRule& rule : effect.graying) {
        const A_long choice = params[rule.popup]->u.pd.value;
        if (choice < 1 || choice > rule.choiceCount) {
            continue;
        }
        const IndexSet grayed = rule.grayedWhen[static_cast<std::size_t>(choice - 1)];
        PF_Err err = PF_Err_NONE;
        rule.dependents.forEach([&](int i) {
            if (!err) {
                err = GrayOutParameter(i, grayed.contains(i), local.data(), in_data, suites);
            }
        });
        if (err) {
            return err;
        }
    }
    return PF_Err_NONE;
}

} // namespace Ondrel
