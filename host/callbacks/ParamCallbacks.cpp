// The interaction callbacks of in_data (parameters, abort, progress) and the parameter-UI
// update of the param utils suite.

#include "host/callbacks/CallbackSupport.h"

#include <algorithm>
#include <cstring>

namespace OfflineHost {
namespace {

PF_Err addParam(PF_ProgPtr effectRef, PF_ParamIndex index, PF_ParamDefPtr def) {
    return withInstance("add_param", effectRef, [&](State& s) -> PF_Err {
        if (def == nullptr) {
            return s.misuse("add_param", "null definition", PF_Err_BAD_CALLBACK_PARAM);
        }
        const std::string detail =
            describe("index=", index, " type=", def->param_type, " name=\"",
                     std::string(def->name, strnlen(def->name, sizeof def->name)), "\"");
        if (auto code = s.fault("add_param", detail)) {
            return *code;
        }
        std::string problem;
        const PF_Err err = s.instance.params.add(index, *def, problem);
        if (err != PF_Err_NONE) {
            return s.misuse("add_param", detail + ": " + problem, err);
        }
        s.record("add_param", detail, err);
        return err;
    });
}

PF_Err checkoutParam(PF_ProgPtr effectRef, PF_ParamIndex index, A_long time, A_long timeStep,
                     A_u_long timeScale, PF_ParamDef* param) {
    return withInstance("checkout_param", effectRef, [&](State& s) -> PF_Err {
        const std::string detail =
            describe("index=", index, " time=", time, "/", timeScale, " step=", timeStep);
        if (param == nullptr) {
            return s.misuse("checkout_param", detail + ": null definition",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        if (index < 0 || index >= s.instance.params.count()) {
            return s.misuse("checkout_param", detail + ": no such parameter", PF_Err_INVALID_INDEX);
        }
        if (timeScale == 0) {
            return s.misuse("checkout_param", detail + ": time scale 0", PF_Err_BAD_CALLBACK_PARAM);
        }
        if (auto code = s.fault("checkout_param", detail)) {
            return *code;
        }
        *param = s.instance.params.valueAt(index, static_cast<double>(time) / timeScale,
                                           s.checkoutScale());
        if (index == 0 && s.input != nullptr) {
            param->u.ld = s.input->effectWorld();
        }
        s.paramCheckouts.emplace_back(param, index);
        s.record("checkout_param", detail, PF_Err_NONE);
        return PF_Err_NONE;
    });
}

PF_Err checkinParam(PF_ProgPtr effectRef, PF_ParamDef* param) {
    return withInstance("checkin_param", effectRef, [&](State& s) -> PF_Err {
        auto& checkouts = s.paramCheckouts;
        auto it = std::find_if(checkouts.begin(), checkouts.end(),
                               [&](const auto& c) { return c.first == param; });
        if (it == checkouts.end()) {
            return s.misuse("checkin_param", "a definition that is not checked out",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        const std::string detail = describe("index=", it->second);
        if (auto code = s.fault("checkin_param", detail)) {
            return *code;
        }
        checkouts.erase(it);
        s.record("checkin_param", detail, PF_Err_NONE);
        return PF_Err_NONE;
    });
}

PF_Err abortCheck(PF_ProgPtr effectRef) {
    return withInstance("abort", effectRef, [&](State& s) -> PF_Err {
        if (auto code = s.fault("abort", "")) {
            return *code;
        }
        const PF_Err answer =
            s.instance.interrupted && s.instance.interrupted() ? PF_Interrupt_CANCEL : PF_Err_NONE;
        s.record("abort", "", answer);
        return answer;
    });
}

PF_Err progress(PF_ProgPtr effectRef, A_long current, A_long total) {
    return withInstance("progress", effectRef, [&](State& s) -> PF_Err {
        const std::string detail = describe(current, "/", total);
        if (auto code = s.fault("progress", detail)) {
            return *code;
        }
        s.record("progress", detail, PF_Err_NONE);
        return PF_Err_NONE;
    });
}

} // namespace

PF_InteractCallbacks makeInteractCallbacks() {
    PF_InteractCallbacks inter{};
    inter.checkout_param = checkoutParam;
    inter.checkin_param = checkinParam;
    inter.add_param = addParam;
    inter.abort = abortCheck;
    inter.progress = progress;
    return inter;
}

PF_Err Callbacks::updateParamUI(PF_ProgPtr effectRef, PF_ParamIndex index, const PF_ParamDef* def) {
    return withInstance("PF_UpdateParamUI", effectRef, [&](State& s) -> PF_Err {
        if (def == nullptr) {
            return s.misuse("PF_UpdateParamUI", describe("index=", index, ": null definition"),
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        const std::string detail =
            describe("index=", index, " ui_flags=0x", hexText(def->ui_flags));
        if (index < 0 || index >= s.instance.params.count()) {
            return s.misuse("PF_UpdateParamUI", detail + ": no such parameter",
                            PF_Err_INVALID_INDEX);
        }
        if (def->param_type != s.instance.params.definition(index).param_type) {
            return s.misuse("PF_UpdateParamUI",
                            detail + ": the definition's type is not the parameter's",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        if (auto code = s.fault("PF_UpdateParamUI", detail)) {
            return *code;
        }
        s.instance.params.setUIFlags(index, def->ui_flags);
        s.record("PF_UpdateParamUI", detail, PF_Err_NONE);
        return PF_Err_NONE;
    });
}

} // namespace OfflineHost
