/* Suites about parameters over time. */
#ifndef ONDREL_SDK_AE_EFFECTSUITES_H
#define ONDREL_SDK_AE_EFFECTSUITES_H

#include "AE_Effect.h"
#include "SPBasic.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long PF_KeyIndex;
typedef A_long PF_TimeDir;

/* "PF Param Utils Suite", version 2. The slots left as plain pointers (the obsolete state
 * queries) are never called here. */
typedef struct PF_ParamUtilsSuite1 {
    SPAPI PF_Err (*PF_UpdateParamUI)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                                     const PF_ParamDef* defP);
    void* PF_GetCurrentStateObsolete;
    void* PF_HasParamChangedObsolete;
    void* PF_HaveInputsChangedOverTimeSpanObsolete;
    SPAPI PF_Err (*PF_IsIdenticalCheckout)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                                           A_long what_time1, A_long time_step1,
                                           A_u_long time_scale1, A_long what_time2,
                                           A_long time_step2, A_u_long time_scale2,
                                           PF_Boolean* identicalPB);
    SPAPI PF_Err (*PF_FindKeyframeTime)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                                        A_long what_time, A_u_long time_scale, PF_TimeDir time_dir,
                                        PF_Boolean* foundPB, PF_KeyIndex* key_indexP0,
                                        A_long* key_timeP0, A_u_long* key_timescaleP0);
    SPAPI PF_Err (*PF_GetKeyframeCount)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                                        PF_KeyIndex* key_countP);
    SPAPI PF_Err (*PF_CheckoutKeyframe)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                                        PF_KeyIndex key_index, A_long* key_timeP0,
                                        A_u_long* key_timescaleP0, PF_ParamDef* paramP0);
    SPAPI PF_Err (*PF_CheckinKeyframe)(PF_ProgPtr effect_ref, PF_ParamDef* paramP);
    SPAPI PF_Err (*PF_KeyIndexToTime)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                                      PF_KeyIndex key_indexP, A_long* key_timeP,
                                      A_u_long* key_timescaleP);
} PF_ParamUtilsSuite1;

#ifdef __cplusplus
}
#endif

#endif
