#pragma once

// The four functions through which the host sends each effect its commands.

#include "AE_Effect.h"
#include "Shapes/OndrelExport.h"

ONDREL_EXPORT PF_Err EntryPointFuncCircle(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                          PF_ParamDef* params[], PF_LayerDef* output, void* extra);
ONDREL_EXPORT PF_Err EntryPointFuncLine(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                        PF_ParamDef* params[], PF_LayerDef* output, void* extra);
ONDREL_EXPORT PF_Err EntryPointFuncRectangle(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                             PF_ParamDef* params[], PF_LayerDef* output,
                                             void* extra);
ONDREL_EXPORT PF_Err EntryPointFuncTriangle(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                            PF_ParamDef* params[], PF_LayerDef* output,
                                            void* extra);
