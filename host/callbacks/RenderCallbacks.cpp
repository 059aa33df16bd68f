// The pre-render and smart-render callbacks: layer checkouts by id, then the checked-out pixels
// and the output world.

#include "host/callbacks/CallbackSupport.h"

#include <algorithm>

namespace OfflineHost {
namespace {

PF_LRect intersect(const PF_LRect& a, const PF_LRect& b) {
    PF_LRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
    if (r.left >= r.right || r.top >= r.bottom) {
        return PF_LRect{};
    }
    return r;
}

PF_Err checkoutLayer(PF_ProgPtr effectRef, PF_ParamIndex index, A_long id,
                     const PF_RenderRequest* request, A_long time, A_long timeStep,
                     A_u_long timeScale, PF_CheckoutResult* result) {
    return withInstance("checkout_layer", effectRef, [&](State& s) -> PF_Err {
        std::string detail = describe("index=", index, " id=", id, " time=", time, "/", timeScale,
                                      " step=", timeStep);
        if (request == nullptr || result == nullptr) {
            return s.misuse("checkout_layer", detail + ": null request or result",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        const PF_LRect& r = request->rect;
        detail += describe(" rect=(", r.left, ",", r.top, ",", r.right, ",", r.bottom, ")");
        if (index != 0) {
            return s.misuse("checkout_layer", detail + ": only parameter 0 is a layer",
                            PF_Err_INVALID_INDEX);
        }
        if (auto code = s.fault("checkout_layer", detail)) {
            return *code;
        }
        const PF_LRect layer = s.layerRect();
        *result = PF_CheckoutResult{};
        result->result_rect = intersect(request->rect, layer);
        result->max_result_rect = layer;
        result->par = {1, 1};
        result->ref_width = s.frame.layerWidth;
        result->ref_height = s.frame.layerHeight;
        s.layerCheckouts[id] = false;
        s.record("checkout_layer", detail, PF_Err_NONE);
        return PF_Err_NONE;
    });
}

PF_Err guidMixIn(PF_ProgPtr effectRef, A_u_long size, const void*) {
    return withInstance("GuidMixInPtr", effectRef, [&](State& s) -> PF_Err {
        const std::string detail = describe("size=", size);
        if (auto code = s.fault("GuidMixInPtr", detail)) {
            return *code;
        }
        s.record("GuidMixInPtr", detail, PF_Err_NONE);
        return PF_Err_NONE;
    });
}

PF_Err checkoutLayerPixels(PF_ProgPtr effectRef, A_long id, PF_EffectWorld** pixels) {
    return withInstance("checkout_layer_pixels", effectRef, [&](State& s) -> PF_Err {
        const std::string detail = describe("id=", id);
        if (pixels == nullptr) {
            return s.misuse("checkout_layer_pixels", detail + ": null result",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        *pixels = nullptr;
        auto it = s.layerCheckouts.find(id);
        if (it == s.layerCheckouts.end()) {
            return s.misuse("checkout_layer_pixels", detail + ": id not checked out at pre-render",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        if (s.input == nullptr) {
            return s.misuse("checkout_layer_pixels", detail + ": no input layer in this command",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        if (auto code = s.fault("checkout_layer_pixels", detail)) {
            return *code;
        }
        it->second = false;
        *pixels = &s.input->effectWorld();
        s.record("checkout_layer_pixels", detail, PF_Err_NONE);
        return PF_Err_NONE;
    });
}

PF_Err checkinLayerPixels(PF_ProgPtr effectRef, A_long id) {
    return withInstance("checkin_layer_pixels", effectRef, [&](State& s) -> PF_Err {
        const std::string detail = describe("id=", id);
        auto it = s.layerCheckouts.find(id);
        if (it == s.layerCheckouts.end() || it->second) {
            return s.misuse("checkin_layer_pixels",
                            detail + ": id not checked out, or checked in already",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        if (auto code = s.fault("checkin_layer_pixels", detail)) {
            return *code;
        }
        it->second = true;
        s.record("checkin_layer_pixels", detail, PF_Err_NONE);
        return PF_Err_NONE;
    });
}

PF_Err checkoutOutput(PF_ProgPtr effectRef, PF_EffectWorld** output) {
    return withInstance("checkout_output", effectRef, [&](State& s) -> PF_Err {
        if (output == nullptr) {
            return s.misuse("checkout_output", "null result", PF_Err_BAD_CALLBACK_PARAM);
        }
        *output = nullptr;
        if (s.output == nullptr) {
            return s.misuse("checkout_output", "no output in this command",
                            PF_Err_BAD_CALLBACK_PARAM);
        }
        if (auto code = s.fault("checkout_output", "")) {
            return *code;
        }
        *output = &s.output->effectWorld();
        s.record("checkout_output", "", PF_Err_NONE);
        return PF_Err_NONE;
    });
}

} // namespace

PF_PreRenderCallbacks makePreRenderCallbacks() {
    return {checkoutLayer, guidMixIn};
}

PF_SmartRenderCallbacks makeSmartRenderCallbacks() {
    return {checkoutLayerPixels, checkinLayerPixels, checkoutOutput};
}

} // namespace OfflineHost
