// A module for testing the offline host (not a shape effect): it answers the host's commands in
// the simplest way that uses each service, and on PF_Cmd_COMPLETELY_GENERAL performs what a
// Probe::Request asks, misuse included.

#include "ProbeProtocol.h"
#include "ProbeRecords.h"

#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectPixelFormat.h"
#include "AE_EffectSuites.h"
#include "AE_GeneralPlug.h"
#include "SPBasic.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace {

// A suite held for one scope.
template <typename Suite>
class SuiteRef {
public:
    SuiteRef(const PF_InData* in, const char* name, int32 version) : m_basic(in->pica_basicP) {
        const void* suite = nullptr;
        err = m_basic->AcquireSuite(name, version, &suite);
        if (err == kSPNoError && suite != nullptr) {
            m_suite = static_cast<const Suite*>(suite);
            m_name = name;
            m_version = version;
        } else if (err == kSPNoError) {
            err = PF_Err_BAD_CALLBACK_PARAM;
        }
    }
    ~SuiteRef() {
        if (m_suite != nullptr) {
            m_basic->ReleaseSuite(m_name, m_version);
        }
    }
    SuiteRef(const SuiteRef&) = delete;
    SuiteRef& operator=(const SuiteRef&) = delete;

    const Suite* operator->() const { return m_suite; }
    SPErr err = kSPNoError;

private:
    SPBasicSuite* m_basic;
    const Suite* m_suite = nullptr;
    const char* m_name = nullptr;
    int32 m_version = 0;
};

// What pre-render hands to render.
struct FrameData {
    _PF_UtilCallbacks* utils;
    PF_Handle handle; // held only to show that the delete function runs
    PF_Fixed x, y;
    PF_Pixel colour;
    bool awaitInterrupt;
};

void deleteFrameData(void* data) {
    auto* frame = static_cast<FrameData*>(data);
    frame->utils->host_dispose_handle(frame->handle);
    delete frame;
}

PF_Err about(PF_InData* in, PF_OutData* out) {
    in->utils->ansi.sprintf(out->return_msg, "%s v%d.%d", "HostProbe", 1, 2);
    return PF_Err_NONE;
}

PF_Err globalSetup(PF_InData* in, PF_OutData* out, bool mismatch) {
    out->my_version = mismatch ? Probe::mismatchVersion : Probe::version;
    out->out_flags = Probe::outFlags;
    out->out_flags2 = mismatch ? Probe::mismatchOutFlags2 : Probe::outFlags2;
    SuiteRef<PF_HandleSuite1> handles(in, "PF Handle Suite", 2);
    SuiteRef<AEGP_UtilitySuite3> utility(in, "AEGP Utility Suite", 7);
    if (handles.err != kSPNoError || utility.err != kSPNoError) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    PF_Handle handle = handles->host_new_handle(sizeof(AEGP_PluginID));
    if (handle == nullptr) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    auto* id = static_cast<AEGP_PluginID*>(handles->host_lock_handle(handle));
    PF_Err err = utility->AEGP_RegisterWithAEGP(nullptr, "HostProbe", id);
    handles->host_unlock_handle(handle);
    if (err == PF_Err_NONE) {
        out->global_data = handle;
    } else {
        handles->host_dispose_handle(handle);
    }
    return err;
}

PF_Err globalSetdown(PF_InData* in) {
    if (in->global_data != nullptr) {
        in->utils->host_dispose_handle(in->global_data);
    }
    return PF_Err_NONE;
}

PF_Err paramsSetup(PF_InData* in, PF_OutData* out) {
    const auto add = [&](PF_ParamDef& def, PF_ParamType type, const char* name) {
        def.param_type = type;
        in->utils->ansi.strcpy(def.name, name);
        return in->inter.add_param(in->effect_ref, -1, &def);
    };
    PF_Err err = PF_Err_NONE;
    PF_ParamDef def{};
    def.u.fs_d.value = 5.0;
    def.u.fs_d.dephault = 5.0f;
    def.u.fs_d.valid_max = def.u.fs_d.slider_max = 100.0f;
    if ((err = add(def, PF_Param_FLOAT_SLIDER, "Amount")) != PF_Err_NONE) {
        return err;
    }
    def = PF_ParamDef{};
    def.u.fd.value = def.u.fd.dephault = 50 << 16;
    def.u.fd.valid_max = def.u.fd.slider_max = 100 << 16;
    if ((err = add(def, PF_Param_FIX_SLIDER, "Opacity")) != PF_Err_NONE) {
        return err;
    }
    def = PF_ParamDef{};
    def.u.td.x_value = def.u.td.x_dephault = 25 << 16;
    def.u.td.y_value = def.u.td.y_dephault = 75 << 16;
    if ((err = add(def, PF_Param_POINT, "Centre")) != PF_Err_NONE) {
        return err;
    }
    def = PF_ParamDef{};
    def.u.ad.value = def.u.ad.dephault = 30 << 16;
    if ((err = add(def, PF_Param_ANGLE, "Angle")) != PF_Err_NONE) {
        return err;
    }
    def = PF_ParamDef{};
    def.u.cd.value = def.u.cd.dephault = PF_Pixel{255, 10, 20, 30};
    if ((err = add(def, PF_Param_COLOR, "Colour")) != PF_Err_NONE) {
        return err;
    }
    // The items live only as long as this call: the host must keep its own copy.
    char items[32];
    std::strcpy(items, "One|Two|Three");
    def = PF_ParamDef{};
    def.u.pd.value = def.u.pd.dephault = 2;
    def.u.pd.num_choices = 3;
    def.u.pd.u.namesptr = items;
    err = add(def, PF_Param_POPUP, "Mode");
    std::memset(items, 'X', sizeof items - 1);
    if (err != PF_Err_NONE) {
        return err;
    }
    def = PF_ParamDef{};
    def.u.fs_d.value = 1.0;
    def.u.fs_d.valid_max = def.u.fs_d.slider_max = 10.0f;
    if ((err = add(def, PF_Param_FLOAT_SLIDER, "Depends")) != PF_Err_NONE) {
        return err;
    }
    out->num_params = Probe::Count;
    return PF_Err_NONE;
}

PF_Err updateParamsUI(PF_InData* in, PF_OutData* out, PF_ParamDef* params[]) {
    out->out_flags |= PF_OutFlag_REFRESH_UI;
    PF_ParamDef local = *params[Probe::Depends];
    if (params[Probe::Mode]->u.pd.value == 3) {
        local.ui_flags |= PF_PUI_DISABLED;
    } else {
        local.ui_flags &= ~PF_PUI_DISABLED;
    }
    SuiteRef<PF_ParamUtilsSuite1> paramUtils(in, "PF Param Utils Suite", 2);
    if (paramUtils.err != kSPNoError) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return paramUtils->PF_UpdateParamUI(in->effect_ref, Probe::Depends, &local);
}

PF_Err checkout(PF_InData* in, A_long index, PF_ParamDef& def) {
    PF_Err err = in->inter.checkout_param(in->effect_ref, index, in->current_time, in->time_step,
                                          in->time_scale, &def);
    if (err == PF_Err_NONE) {
        err = in->inter.checkin_param(in->effect_ref, &def);
    }
    return err;
}

PF_Err preRender(PF_InData* in, PF_OutData* out, PF_PreRenderExtra* extra) {
    PF_ParamDef amount{}, centre{}, colour{};
    PF_Err err = checkout(in, Probe::Amount, amount);
    if (err == PF_Err_NONE) {
        err = checkout(in, Probe::Centre, centre);
    }
    if (err == PF_Err_NONE) {
        err = checkout(in, Probe::Colour, colour);
    }
    if (err != PF_Err_NONE) {
        return err;
    }
    // A render that fails as a module's can: an error code and a message for the user.
    if (amount.u.fs_d.value >= Probe::failingAmount) {
        in->utils->ansi.sprintf(out->return_msg, "%s", Probe::failureMessage);
        return Probe::failure;
    }
    PF_Handle handle = in->utils->host_new_handle(16);
    if (handle == nullptr) {
        return PF_Err_OUT_OF_MEMORY;
    }
    extra->output->pre_render_data =
        new FrameData{in->utils,           handle,
                      centre.u.td.x_value, centre.u.td.y_value,
                      colour.u.cd.value,   amount.u.fs_d.value == Probe::interruptedAmount};
    extra->output->delete_pre_render_data_func = deleteFrameData;
    PF_RenderRequest request = extra->input->output_request;
    PF_CheckoutResult result{};
    err = extra->cb->checkout_layer(in->effect_ref, 0, 0, &request, in->current_time, in->time_step,
                                    in->time_scale, &result);
    if (err == PF_Err_NONE) {
        extra->output->result_rect = result.result_rect;
        extra->output->max_result_rect = result.max_result_rect;
    }
    return err;
}

Probe::RenderFault renderFault = Probe::RenderFault::None;

// The byte just below a world's last row.
A_u_char* belowLastRow(const PF_EffectWorld& world) {
    return static_cast<A_u_char*>(static_cast<void*>(world.data)) +
           static_cast<long>(world.height) * world.rowbytes;
}

// A render that lasts until the user interrupts it, with the layers checked out, asking the
// host's abort callback every millisecond; after 20 s without an interrupt it fails.
PF_Err awaitInterrupt(PF_InData* in) {
    for (int waited = 0; waited < 20000; ++waited) {
        if (const PF_Err err = in->inter.abort(in->effect_ref)) {
            return err;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
}

PF_Err render(PF_InData* in, PF_SmartRenderExtra* extra) {
    auto* frame = static_cast<FrameData*>(extra->input->pre_render_data);
    PF_EffectWorld* input = nullptr;
    PF_EffectWorld* output = nullptr;
    PF_Err err = extra->cb->checkout_layer_pixels(in->effect_ref, 0, &input);
    if (err == PF_Err_NONE) {
        err = extra->cb->checkout_output(in->effect_ref, &output);
    }
    if (err != PF_Err_NONE) {
        return err;
    }
    if (frame == nullptr || input == nullptr || output == nullptr) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    if (frame->awaitInterrupt) {
        return awaitInterrupt(in);
    }
    PF_Rect rows{0, 0, output->width, output->height};
    if (renderFault == Probe::RenderFault::LeaveLastRow) {
        rows.bottom -= 1;
    }
    if ((err = in->utils->copy(in->effect_ref, input, output, &rows, &rows)) != PF_Err_NONE) {
        return err;
    }
    if (renderFault == Probe::RenderFault::WriteBelowOutput) {
        *belowLastRow(*output) = 1;
    }
    if (renderFault == Probe::RenderFault::WriteToInput) {
        *static_cast<A_u_char*>(static_cast<void*>(input->data)) ^= 1;
    }
    const A_long x = (frame->x >> 16) - output->origin_x;
    const A_long y = (frame->y >> 16) - output->origin_y;
    const PF_Rect spot{x, y, x + 1, y + 1};
    SuiteRef<PF_WorldSuite2> worlds(in, "PF World Suite", 2);
    SuiteRef<PF_FillMatteSuite2> fills(in, "PF Fill Matte Suite", 2);
    if (worlds.err != kSPNoError || fills.err != kSPNoError) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    PF_PixelFormat format = PF_PixelFormat_INVALID;
    if ((err = worlds->PF_GetPixelFormat(output, &format)) != PF_Err_NONE) {
        return err;
    }
    const PF_Pixel& c = frame->colour;
    if (format == PF_PixelFormat_ARGB64) {
        const auto deep = [](A_u_char v) {
            return static_cast<A_u_short>((v * PF_MAX_CHAN16 + PF_MAX_CHAN8 / 2) / PF_MAX_CHAN8);
        };
        const PF_Pixel16 c16{deep(c.alpha), deep(c.red), deep(c.green), deep(c.blue)};
        return fills->fill16(in->effect_ref, &c16, &spot, output);
    }
    if (format == PF_PixelFormat_ARGB128) {
        const auto real = [](A_u_char v) { return static_cast<PF_FpShort>(v / 255.0); };
        const PF_PixelFloat c32{real(c.alpha), real(c.red), real(c.green), real(c.blue)};
        return fills->fill_float(in->effect_ref, &c32, &spot, output);
    }
    return fills->fill(in->effect_ref, &c, &spot, output);
}

PF_Err iterateBody(void* refcon, A_long thread, A_long i, A_long count) {
    auto* request = static_cast<Probe::Request*>(refcon);
    return request->observe(request->observeContext, thread, i, count);
}

PF_Err perform(PF_InData* in, PF_OutData* out, Probe::Request& r) {
    using Probe::Action;
    switch (r.action) {
    case Action::AcquireSuite: {
        const void* suite = nullptr;
        r.result = in->pica_basicP->AcquireSuite(r.suiteName, r.suiteVersion, &suite);
        if (r.result == kSPNoError && r.release) {
            r.result = in->pica_basicP->ReleaseSuite(r.suiteName, r.suiteVersion);
        }
        break;
    }
    case Action::DoubleDisposeHandle: {
        PF_Handle handle = in->utils->host_new_handle(8);
        in->utils->host_dispose_handle(handle);
        in->utils->host_dispose_handle(handle);
        break;
    }
    case Action::DisposeForeignHandle: {
        void* notMemoryOfTheHost = nullptr;
        in->utils->host_dispose_handle(&notMemoryOfTheHost);
        break;
    }
    case Action::NewHandle: {
        SuiteRef<PF_HandleSuite1> handles(in, "PF Handle Suite", 2);
        if ((r.result = handles.err) == kSPNoError) {
            r.handle = handles->host_new_handle(static_cast<A_HandleSize>(r.count));
        }
        break;
    }
    case Action::CheckoutParam:
        r.result =
            in->inter.checkout_param(in->effect_ref, r.index, r.time, 1, r.timeScale, &r.param);
        if (r.result == PF_Err_NONE && r.release) {
            r.result = in->inter.checkin_param(in->effect_ref, &r.param);
        }
        break;
    case Action::Iterate: {
        SuiteRef<PF_Iterate8Suite1> iterate(in, "PF Iterate8 Suite", 1);
        if ((r.result = iterate.err) == kSPNoError) {
            r.result = iterate->iterate_generic(r.count, &r, iterateBody);
        }
        break;
    }
    case Action::IterateAegp: {
        SuiteRef<AEGP_IterateSuite1> iterate(in, "AEGP Iterate Suite", 1);
        if ((r.result = iterate.err) == kSPNoError &&
            (r.result = iterate->AEGP_GetNumThreads(&r.threads)) == PF_Err_NONE) {
            r.result = iterate->AEGP_IterateGeneric(r.count, &r, iterateBody);
        }
        break;
    }
    case Action::NewWorld: {
        SuiteRef<PF_WorldSuite1> worlds(in, "PF World Suite", 1);
        static PF_EffectWorld kept;
        if ((r.result = worlds.err) == kSPNoError) {
            r.result = worlds->new_world(in->effect_ref, r.count, r.count,
                                         PF_NewWorldFlag_CLEAR_PIXELS, &kept);
        }
        break;
    }
    case Action::CopyForeignWorld: {
        PF_Pixel pixels[4]{};
        PF_EffectWorld foreign{};
        foreign.data = pixels;
        foreign.width = foreign.height = 2;
        foreign.rowbytes = 2 * sizeof(PF_Pixel);
        r.result = in->utils->copy(in->effect_ref, &foreign, &foreign, nullptr, nullptr);
        break;
    }
    case Action::CopyNullWorld: {
        PF_Pixel pixels[4]{};
        PF_EffectWorld foreign{};
        foreign.data = pixels;
        r.result = in->utils->copy(in->effect_ref, nullptr, &foreign, nullptr, nullptr);
        break;
    }
    case Action::Format:
        r.result = in->utils->ansi.sprintf(out->return_msg, "%s", r.text);
        break;
    case Action::WriteOutsideWorld: {
        SuiteRef<PF_WorldSuite1> worlds(in, "PF World Suite", 1);
        PF_EffectWorld world{};
        if ((r.result = worlds.err) == kSPNoError &&
            (r.result = worlds->new_world(in->effect_ref, r.count, r.count,
                                          PF_NewWorldFlag_CLEAR_PIXELS, &world)) == PF_Err_NONE) {
            *belowLastRow(world) = 1;
            r.result = worlds->dispose_world(in->effect_ref, &world);
        }
        break;
    }
    case Action::SetRenderFault:
        renderFault = static_cast<Probe::RenderFault>(r.count);
        break;
    case Action::Abort:
        r.result = in->inter.abort(in->effect_ref);
        break;
    }
    return PF_Err_NONE;
}

PF_Err dispatch(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[], void* extra,
                bool mismatch) {
    switch (cmd) {
    case PF_Cmd_ABOUT:
        return about(in, out);
    case PF_Cmd_GLOBAL_SETUP:
        return globalSetup(in, out, mismatch);
    case PF_Cmd_GLOBAL_SETDOWN:
        return globalSetdown(in);
    case PF_Cmd_PARAMS_SETUP:
        return paramsSetup(in, out);
    case PF_Cmd_UPDATE_PARAMS_UI:
        return updateParamsUI(in, out, params);
    case PF_Cmd_SMART_PRE_RENDER:
        return preRender(in, out, static_cast<PF_PreRenderExtra*>(extra));
    case PF_Cmd_SMART_RENDER:
        return render(in, static_cast<PF_SmartRenderExtra*>(extra));
    case PF_Cmd_COMPLETELY_GENERAL:
        return perform(in, out, *static_cast<Probe::Request*>(extra));
    default:
        return PF_Err_NONE;
    }
}

} // namespace

extern "C" DllExport PF_Err HostProbeEntry(PF_Cmd cmd, PF_InData* in, PF_OutData* out,
                                           PF_ParamDef* params[], PF_LayerDef*, void* extra) {
    return dispatch(cmd, in, out, params, extra, false);
}

extern "C" DllExport PF_Err HostProbeMismatchEntry(PF_Cmd cmd, PF_InData* in, PF_OutData* out,
                                                   PF_ParamDef* params[], PF_LayerDef*,
                                                   void* extra) {
    return dispatch(cmd, in, out, params, extra, true);
}
