/* Suites that carry the utility callbacks forward: handles, worlds, fills and iteration. */
#ifndef ONDREL_SDK_AE_EFFECTCBSUITES_H
#define ONDREL_SDK_AE_EFFECTCBSUITES_H

#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "SPBasic.h"

#ifdef __cplusplus
extern "C" {
#endif

/* "PF Handle Suite", version 2. */
typedef struct PF_HandleSuite1 {
    SPAPI PF_Handle (*host_new_handle)(A_HandleSize size);
    SPAPI void* (*host_lock_handle)(PF_Handle pf_handle);
    SPAPI void (*host_unlock_handle)(PF_Handle pf_handle);
    SPAPI void (*host_dispose_handle)(PF_Handle pf_handle);
    SPAPI A_HandleSize (*host_get_handle_size)(PF_Handle pf_handle);
    SPAPI PF_Err (*host_resize_handle)(A_HandleSize new_sizeL, PF_Handle* handleP);
} PF_HandleSuite1;

/* "PF World Suite", version 1: 8- and 16-bit worlds. */
typedef struct PF_WorldSuite1 {
    SPAPI PF_Err (*new_world)(PF_ProgPtr effect_ref, A_long width, A_long height,
                              PF_NewWorldFlags flags, PF_EffectWorld* world);
    SPAPI PF_Err (*dispose_world)(PF_ProgPtr effect_ref, PF_EffectWorld* world);
} PF_WorldSuite1;

/* "PF Fill Matte Suite", version 2. A null rectangle means the whole world. */
typedef struct PF_FillMatteSuite2 {
    SPAPI PF_Err (*fill)(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* dst_rect,
                         PF_EffectWorld* world);
    SPAPI PF_Err (*fill16)(PF_ProgPtr effect_ref, const PF_Pixel16* color, const PF_Rect* dst_rect,
                           PF_EffectWorld* world);
    SPAPI PF_Err (*fill_float)(PF_ProgPtr effect_ref, const PF_PixelFloat* color,
                               const PF_Rect* dst_rect, PF_EffectWorld* world);
    SPAPI PF_Err (*premultiply)(PF_ProgPtr effect_ref, A_long forward, PF_EffectWorld* dst);
    SPAPI PF_Err (*premultiply_color)(PF_ProgPtr effect_ref, PF_EffectWorld* src,
                                      const PF_Pixel* color, A_long forward, PF_EffectWorld* dst);
    SPAPI PF_Err (*premultiply_color16)(PF_ProgPtr effect_ref, PF_EffectWorld* src,
                                        const PF_Pixel16* color, A_long forward,
                                        PF_EffectWorld* dst);
    SPAPI PF_Err (*premultiply_color_float)(PF_ProgPtr effect_ref, PF_EffectWorld* src,
                                            const PF_PixelFloat* color, A_long forward,
                                            PF_EffectWorld* dst);
} PF_FillMatteSuite2;

/* "PF Iterate8 Suite", version 1. iterate_generic calls fn_func once per iteration, spread
 * over the host's worker threads, and returns when all are done. */
typedef struct PF_Iterate8Suite1 {
    SPAPI PF_Err (*iterate)(PF_InData* in_data, A_long progress_base, A_long progress_final,
                            PF_EffectWorld* src, const PF_Rect* area, void* refcon,
                            PF_Err (*pix_fn)(void* refcon, A_long x, A_long y, PF_Pixel* in,
                                             PF_Pixel* out),
                            PF_EffectWorld* dst);
    SPAPI PF_Err (*iterate_origin)(PF_InData* in_data, A_long progress_base, A_long progress_final,
                                   PF_EffectWorld* src, const PF_Rect* area, const PF_Point* origin,
                                   void* refcon,
                                   PF_Err (*pix_fn)(void* refcon, A_long x, A_long y, PF_Pixel* in,
                                                    PF_Pixel* out),
                                   PF_EffectWorld* dst);
    SPAPI PF_Err (*iterate_lut)(PF_InData* in_data, A_long progress_base, A_long progress_final,
                                PF_EffectWorld* src, const PF_Rect* area, A_u_char* a_lut0,
                                A_u_char* r_lut0, A_u_char* g_lut0, A_u_char* b_lut0,
                                PF_EffectWorld* dst);
    SPAPI PF_Err (*iterate_origin_non_clip_src)(
        PF_InData* in_data, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
        const PF_Rect* area, const PF_Point* origin, void* refcon,
        PF_Err (*pix_fn)(void* refcon, A_long x, A_long y, PF_Pixel* in, PF_Pixel* out),
        PF_EffectWorld* dst);
    SPAPI PF_Err (*iterate_generic)(A_long iterationsL, void* refconPV,
                                    PF_Err (*fn_func)(void* refconPV, A_long thread_indexL,
                                                      A_long i, A_long iterationsL));
} PF_Iterate8Suite1;

#ifdef __cplusplus
}
#endif

#endif
