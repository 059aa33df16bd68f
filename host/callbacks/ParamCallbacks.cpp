// The interaction callbacks of in_data (parameters, abort, progress) and the parameter-UI
// update of the param utils suite.

#include "host/callbacks/CallbackSupport.h"

#include <algorithm>
#include <cstring>

namespace OfflineHost {
namespace {

PF_Err addParam(Call& call, PF_ProgPtr, PF_ParamIndex index, PF_ParamDefPtr def) {
    if (def == nullptr) {
        return call.refuse("null definition", PF_Err_BAD_CALLBACK_PARAM);
    }
    const std::string name(def->name, strnlen(def->name, sizeof def->name));
    return call.perform(
        describe("index=", index, " type=", def->param_type, " name=\"", name, "\""),
        [&](const std::string& detail) {
            std::string problem;
            const PF_Err err = call.state().instance.params.add(index, *def, problem);
            return err != PF_Err_NONE ? call.refuse(detail + ": " + problem, err) : err;
        });
}

PF_Err checkoutParam(Call& call, PF_ProgPtr, PF_ParamIndex index, A_long time, A_long timeStep,
                     A_u_long timeScale, PF_ParamDef* param) {
    State& s = call.state();
    std::string detail =
        describe("index=", index, " time=", time, "/", timeScale, " step=", timeStep);
    if (param == nullptr) {
        return call.refuse(detail + ": null definition", PF_Err_BAD_CALLBACK_PARAM);
    }
    if (index < 0 || index >= s.instance.params.count()) {
        return call.refuse(detail + ": no such parameter", PF_Err_INVALID_INDEX);
    }
    if (timeScale == 0) {
        return call.refuse(detail + ": time scale 0", PF_Err_BAD_CALLBACK_PARAM);
    }
    return call.perform(std::move(detail), [&] {
        *param = s.instance.params.valueAt(index, static_cast<double>(time) / timeScale,
                                           s.checkoutScale());
        if (index == 0 && s.input != nullptr) {
            param->u.ld = s.input->effectWorld();
        }
        s.paramCheckouts.emplace_back(param, index);
        return PF_Err_NONE;
    });
}

PF_Err checkinParam(Call& call, PF_ProgPtr, PF_ParamDef* param) {
    auto& checkouts = call.state().paramCheckouts;
    auto it = std::find_if(checkouts.begin(), checkouts.end(),
                           [&](const auto& c) { return c.first == param; });
    if (it == checkouts.end()) {
        return call.refuse("a definition that is not checked out", PF_Err_BAD_CALLBACK_PARAM);
    }
    return call.perform(describe("index=", it->second), [&] {
        checkouts.erase(it);
        return PF_Err_NONE;
    });
}

PF_Err abortCheck(Call& call, PF_ProgPtr) {
    return call.perform("", [&] {
        const auto& interrupted = call.state().instance.interrupted;
        return interrupted && interrupted() ? PF_Interrupt_CANCEL : PF_Err_NONE;
    });
}

PF_Err progress(Call& call, PF_ProgPtr, A_long current, A_long total) {
    return call.perform(describe(current, "/", total), [] { return PF_Err_NONE; });
}

} // namespace

PF_InteractCallbacks makeInteractCallbacks() {
    PF_InteractCallbacks inter{};
    inter.checkout_param = faultable<"checkout_param", &checkoutParam>;
    inter.checkin_param = faultable<"checkin_param", &checkinParam>;
    inter.add_param = faultable<"add_param", &addParam>;
    inter.abort = faultable<"abort", &abortCheck>;
    inter.progress = faultable<"progress", &progress>;
    return inter;
}

PF_Err Callbacks::updateParamUI(Call& call, PF_ProgPtr, PF_ParamIndex index,
                                const PF_ParamDef* def) {
    const auto& params = call.state().instance.params;
    if (def == nullptr) {
        return call.refuse(describe("index=", index, ": null definition"),
                           PF_Err_BAD_CALLBACK_PARAM);
    }
    std::string detail = describe("index=", index, " ui_flags=0x", hexText(def->ui_flags));
    if (index < 0 || index >= params.count()) {
        return call.refuse(detail + ": no such parameter", PF_Err_INVALID_INDEX);
    }
    if (def->param_type != params.definition(index).param_type) {
        return call.refuse(detail + ": the definition's type is not the parameter's",
                           PF_Err_BAD_CALLBACK_PARAM);
    }
    return call.perform(std::move(detail), [&] {
        call.state().instance.params.setUIFlags(index, def->ui_flags);
        return PF_Err_NONE;
    });
}

} // namespace OfflineHost
