#include "Util/AEFX_SuiteHelper.h"

#include "AE_EffectCB.h"

namespace {

PF_Err reportSuiteError(const PF_InData* in_data, PF_OutData* out_data, const char* message) {
    out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    // The message is passed as an argument, never as the format, and the precision keeps it
    // inside return_msg whatever its length.
    static_assert(sizeof(out_data->return_msg) == 256);
    if (in_data->utils && in_data->utils->ansi.sprintf) {
        in_data->utils->ansi.sprintf(out_data->return_msg, "%.255s", message);
    }
    return PF_Err_BAD_CALLBACK_PARAM;
}

} // namespace

PF_Err AEFX_AcquireSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32 version,
                         const char* errorMessage, void** suite) {
    const SPBasicSuite* basic = in_data->pica_basicP;
    const void* acquired = nullptr;
    if (basic) {
        // The returned pointer, not the code, decides success.
        basic->AcquireSuite(name, version, &acquired);
    }
    *suite = const_cast<void*>(acquired);
    if (acquired) {
        return PF_Err_NONE;
    }
    return reportSuiteError(in_data, out_data,
                            errorMessage ? errorMessage : "Not able to acquire AEFX Suite.");
}

PF_Err AEFX_ReleaseSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32 version,
                         const char* errorMessage) {
    const SPBasicSuite* basic = in_data->pica_basicP;
    if (basic) {
        basic->ReleaseSuite(name, version);
        return PF_Err_NONE;
    }
    return reportSuiteError(in_data, out_data,
                            errorMessage ? errorMessage : "Not able to release AEFX Suite.");
}
