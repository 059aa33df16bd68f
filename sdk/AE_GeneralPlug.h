/* General host services: plug-in registration, utilities and threaded iteration. */
#ifndef ONDREL_SDK_AE_GENERALPLUG_H
#define ONDREL_SDK_AE_GENERALPLUG_H

#include "A.h"
#include "AE_Effect.h"
#include "SPBasic.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long AEGP_PluginID;
typedef struct _AEGP_GlobalRefcon* AEGP_GlobalRefcon;

typedef struct {
    A_FpLong alphaF, redF, greenF, blueF;
} AEGP_ColorVal;

/* "AEGP Utility Suite", version 7. The slots left as plain pointers (quiet-error state) are
 * never called here. */
typedef struct AEGP_UtilitySuite3 {
    SPAPI A_Err (*AEGP_ReportInfo)(AEGP_PluginID aegp_plugin_id, const A_char* info_string);
    SPAPI A_Err (*AEGP_GetDriverPluginInitFuncVersion)(A_short* major_versionPS,
                                                       A_short* minor_versionPS);
    SPAPI A_Err (*AEGP_GetDriverImplementationVersion)(A_short* major_versionPS,
                                                       A_short* minor_versionPS);
    void* AEGP_StartQuietErrors;
    void* AEGP_EndQuietErrors;
    SPAPI A_Err (*AEGP_StartUndoGroup)(const A_char* undo_name);
    SPAPI A_Err (*AEGP_EndUndoGroup)(void);
    SPAPI A_Err (*AEGP_RegisterWithAEGP)(AEGP_GlobalRefcon global_refcon, const A_char* plugin_name,
                                         AEGP_PluginID* plugin_id);
    SPAPI A_Err (*AEGP_GetMainHWND)(void* main_hwnd);
    SPAPI A_Err (*AEGP_ShowHideAllFloaters)(A_Boolean include_tool_palB);
    SPAPI A_Err (*AEGP_PaintPalGetForeColor)(AEGP_ColorVal* fore_color);
    SPAPI A_Err (*AEGP_PaintPalGetBackColor)(AEGP_ColorVal* back_color);
    SPAPI A_Err (*AEGP_PaintPalSetForeColor)(const AEGP_ColorVal* fore_color);
    SPAPI A_Err (*AEGP_PaintPalSetBackColor)(const AEGP_ColorVal* back_color);
    SPAPI A_Err (*AEGP_CharPalGetFillColor)(A_Boolean* is_defined, AEGP_ColorVal* fill_color);
    SPAPI A_Err (*AEGP_CharPalGetStrokeColor)(A_Boolean* is_defined, AEGP_ColorVal* stroke_color);
    SPAPI A_Err (*AEGP_CharPalSetFillColor)(const AEGP_ColorVal* fill_color);
    SPAPI A_Err (*AEGP_CharPalSetStrokeColor)(const AEGP_ColorVal* stroke_color);
    SPAPI A_Err (*AEGP_CharPalIsFillColorUIFrontmost)(A_Boolean* is_fill_color_selected);
    SPAPI A_Err (*AEGP_ConvertFpLongToHSFRatio)(A_FpLong numberF, A_Ratio* ratioP);
    SPAPI A_Err (*AEGP_ConvertHSFRatioToFpLong)(A_Ratio ratioR, A_FpLong* numberPF);
    SPAPI A_Err (*AEGP_CauseIdleRoutinesToBeCalled)(void);
    SPAPI A_Err (*AEGP_GetSuppressInteractiveUI)(A_Boolean* ui_is_suppressedPB);
    SPAPI A_Err (*AEGP_WriteToOSConsole)(const A_char* text);
    SPAPI A_Err (*AEGP_WriteToDebugLog)(const A_char* subsystem, const A_char* event_type,
                                        const A_char* info);
} AEGP_UtilitySuite3;

/* "AEGP Iterate Suite", version 1. */
typedef struct AEGP_IterateSuite1 {
    SPAPI A_Err (*AEGP_GetNumThreads)(A_long* num_threadsPL);
    SPAPI A_Err (*AEGP_IterateGeneric)(A_long iterationsL, void* refconPV,
                                       A_Err (*fn_func)(void* refconPV, A_long thread_indexL,
                                                        A_long i, A_long iterationsL));
} AEGP_IterateSuite1;

#ifdef __cplusplus
}
#endif

#endif
