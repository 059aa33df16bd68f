#include "Shapes/OndrelCommands.h"
#include "Util/AEGP_SuiteHandler.h"

#include "AE_EffectCB.h"
#include "AE_EffectCBSuites.h"
#include "AE_GeneralPlug.h"

namespace Ondrel {
namespace {

// The same values as the registration records, in the host's own names.
static_assert(Registration::outFlags ==
              (PF_OutFlag_DEEP_COLOR_AWARE | PF_OutFlag_SEND_UPDATE_PARAMS_UI));
static_assert(Registration::outFlags2 ==
              (PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE));

const char* const notice = "Copyright 2026 OndrelShapes.";

// A host handle that is disposed of unless it is handed over to the host.
class ScopedHandle {
public:
    ScopedHandle(const PF_HandleSuite1* suite, PF_Handle handle)
        : m_suite(suite), m_handle(handle) {}
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ~ScopedHandle() {
        if (m_handle) {
            m_suite->host_dispose_handle(m_handle);
        }
    }

    PF_Handle get() const { return m_handle; }
    PF_Handle release() {
        PF_Handle handle = m_handle;
        m_handle = nullptr;
        return handle;
    }

private:
    const PF_HandleSuite1* m_suite;
    PF_Handle m_handle;
};

} // namespace

PF_Err about(const EffectDescription& effect, PF_InData* in_data, PF_OutData* out_data) {
    const EffectVersion& v = Registration::version;
    in_data->utils->ansi.sprintf(out_data->return_msg, "%s, v%d.%d.%d\r%s",
                                 effect.registration.name, v.major, v.minor, v.bug, notice);
    return PF_Err_NONE;
}

PF_Err globalSetup(PF_InData* in_data, PF_OutData* out_data) {
    // Written before anything can fail: the host reads them whatever the result.
    out_data->my_version = Registration::versionWord;
    out_data->out_flags = Registration::outFlags;
    out_data->out_flags2 = Registration::outFlags2;

    AEGP_SuiteHandler suites(in_data->pica_basicP);
    // Both suites are acquired before the handle exists, so a missing one cannot strand it.
    const auto* handles = suites.HandleSuite1();
    const auto* utility = suites.UtilitySuite3();

    ScopedHandle handle(handles, handles->host_new_handle(sizeof(AEGP_PluginID)));
    if (!handle.get()) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    auto* pluginId = static_cast<AEGP_PluginID*>(handles->host_lock_handle(handle.get()));
    if (!pluginId) {
        return PF_Err_NONE; // the effect runs without global data; nothing reads it
    }
    const PF_Err err = utility->AEGP_RegisterWithAEGP(nullptr, "Error!", pluginId);
    // Only a handle that was locked is unlocked: the host counts locks.
    handles->host_unlock_handle(handle.get());
    if (!err) {
        out_data->global_data = handle.release();
    }
    return err;
}

// Through the utility callbacks, which need no suite: a suite the host could not supply would
// leave the handle behind.
PF_Err globalSetdown(PF_InData* in_data) {
    if (in_data->global_data) {
        in_data->utils->host_dispose_handle(in_data->global_data);
    }
    return PF_Err_NONE;
}

} // namespace Ondrel
