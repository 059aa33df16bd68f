// Explicit acquisition and release of one host suite. Unlike AEGP_SuiteHandler, failure is soft:
// the caller gets PF_Err_BAD_CALLBACK_PARAM back and the host shows the message written into
// out_data->return_msg.
#pragma once

#include "AE_Effect.h"
#include "SPBasic.h"

// errorMessage may be null for the default text. On success *suite holds the suite; the caller
// must hand it back with AEFX_ReleaseSuite.
PF_Err AEFX_AcquireSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32 version,
                         const char* errorMessage, void** suite);

PF_Err AEFX_ReleaseSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32 version,
                         const char* errorMessage);
