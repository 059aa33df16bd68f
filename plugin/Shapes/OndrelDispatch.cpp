#include "Shapes/OndrelCommands.h"
#include "Shapes/OndrelEffect.h"

#include <new>
#include <type_traits>

namespace Ondrel {

// The suite handler throws its error code as an int; catching PF_Err catches it.
static_assert(std::is_same_v<PF_Err, int>);

PF_Err dispatchCommand(const EffectDescription& effect, PF_Cmd cmd, PF_InData* in_data,
                       PF_OutData* out_data, PF_ParamDef* params[], void* extra) noexcept {
    try {
        switch (cmd) {
        case PF_Cmd_ABOUT:
            return about(effect, in_data, out_data);
        case PF_Cmd_GLOBAL_SETUP:
            return globalSetup(in_data, out_data);
        case PF_Cmd_GLOBAL_SETDOWN:
            return globalSetdown(in_data);
        case PF_Cmd_PARAMS_SETUP:
            return paramsSetup(effect, in_data, out_data);
        case PF_Cmd_UPDATE_PARAMS_UI:
            return updateParamsUI(effect, in_data, out_data, params);
        case PF_Cmd_SMART_PRE_RENDER:
            return effect.smartRender.preRender
                       ? effect.smartRender.preRender(in_data, out_data,
                                                      static_cast<PF_PreRenderExtra*>(extra))
                       : PF_Err_NONE;
        case PF_Cmd_SMART_RENDER:
            return effect.smartRender.render
                       ? effect.smartRender.render(in_data, out_data,
                                                   static_cast<PF_SmartRenderExtra*>(extra))
                       : PF_Err_NONE;
        default:
            return PF_Err_NONE;
        }
    } catch (PF_Err err) {
        return err;
    } catch (const std::bad_alloc&) {
        return PF_Err_OUT_OF_MEMORY;
    } catch (...) {
        // Unwinding into the host would take the whole application down.
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
}

} // namespace Ondrel
