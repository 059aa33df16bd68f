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

PF_Err checkoutLayer(Call& call, PF_ProgPtr, PF_ParamIndex index, A_long id,
                     const PF_RenderRequest* request, A_long time, A_long timeStep,
                     A_u_long timeScale, PF_CheckoutResult* result) {
    std::string detail =
        describe("index=", index, " id=", id, " time=", time, "/", timeScale, " step=", timeStep);
    if (request == nullptr || result == nullptr) {
        return call.refuse(detail + ": null request or result", PF_Err_BAD_CALLBACK_PARAM);
    }
    const PF_LRect& r = request->rect;
    detail += describe(" rect=(", r.left, ",", r.top, ",", r.right, ",", r.bottom, ")");
    if (index != 0) {
        return call.refuse(detail + ": only parameter 0 is a layer", PF_Err_INVALID_INDEX);
    }
    return call.perform(std::move(detail), [&] {
        State& s = call.state();
        const PF_LRect layer = s.layerRect();
        *result = PF_CheckoutResult{};
        result->result_rect = intersect(request->rect, layer);
        result->max_result_rect = layer;
        result->par = {1, 1};
        result->ref_width = s.frame.layerWidth;
        result->ref_height = s.frame.layerHeight;
        s.layerCheckouts[id] = false;
        return PF_Err_NONE;
    });
}

PF_Err guidMixIn(Call& call, PF_ProgPtr, A_u_long size, const void*) {
    return call.perform(describe("size=", size), [] { return PF_Err_NONE; });
}

PF_Err checkoutLayerPixels(Call& call, PF_ProgPtr, A_long id, PF_EffectWorld** pixels) {
    State& s = call.state();
    std::string detail = describe("id=", id);
    if (pixels == nullptr) {
        return call.refuse(detail + ": null result", PF_Err_BAD_CALLBACK_PARAM);
    }
    *pixels = nullptr;
    auto it = s.layerCheckouts.find(id);
    if (it == s.layerCheckouts.end()) {
        return call.refuse(detail + ": id not checked out at pre-render",
                           PF_Err_BAD_CALLBACK_PARAM);
    }
    if (s.input == nullptr) {
        return call.refuse(detail + ": no input layer in this command", PF_Err_BAD_CALLBACK_PARAM);
    }
    return call.perform(std::move(detail), [&] {
        it->second = false;
        *pixels = &s.input->effectWorld();
        return PF_Err_NONE;
    });
}

PF_Err checkinLayerPixels(Call& call, PF_ProgPtr, A_long id) {
    auto& checkouts = call.state().layerCheckouts;
    std::string detail = describe("id=", id);
    auto it = checkouts.find(id);
    if (it == checkouts.end() || it->second) {
        return call.refuse(detail + ": id not checked out, or checked in already",
                           PF_Err_BAD_CALLBACK_PARAM);
    }
    return call.perform(std::move(detail), [&] {
        it->second = true;
        return PF_Err_NONE;
    });
}

PF_Err checkoutOutput(Call& call, PF_ProgPtr, PF_EffectWorld** output) {
    State& s = call.state();
    if (output == nullptr) {
        return call.refuse("null result", PF_Err_BAD_CALLBACK_PARAM);
    }
    *output = nullptr;
    if (s.output == nullptr) {
        return call.refuse("no output in this command", PF_Err_BAD_CALLBACK_PARAM);
    }
    return call.perform("", [&] {
        *output = &s.output->effectWorld();
        return PF_Err_NONE;
    });
}

} // namespace

PF_PreRenderCallbacks makePreRenderCallbacks() {
    return {faultable<"checkout_layer", &checkoutLayer>, faultable<"GuidMixInPtr", &guidMixIn>};
}

PF_SmartRenderCallbacks makeSmartRenderCallbacks() {
    return {faultable<"checkout_layer_pixels", &checkoutLayerPixels>,
            faultable<"checkin_layer_pixels", &checkinLayerPixels>,
            faultable<"checkout_output", &checkoutOutput>};
}

} // namespace OfflineHost
