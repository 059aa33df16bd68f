/* Pixel formats of effect worlds and the world suite that knows about them. */
#ifndef ONDREL_SDK_AE_EFFECTPIXELFORMAT_H
#define ONDREL_SDK_AE_EFFECTPIXELFORMAT_H

#include "AE_Effect.h"
#include "SPBasic.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Four-character codes with the first character in the lowest byte. */
enum {
    PF_PixelFormat_ARGB32 = 0x62677261,      /* "argb": PF_Pixel */
    PF_PixelFormat_ARGB64 = 0x36316561,      /* "ae16": PF_Pixel16 */
    PF_PixelFormat_ARGB128 = 0x32336561,     /* "ae32": PF_PixelFloat */
    PF_PixelFormat_GPU_BGRA128 = 0x41444340, /* "@CDA" */
    PF_PixelFormat_RESERVED = 0x61444340,    /* "@CDa" */
    PF_PixelFormat_BGRA32 = 0x61726762,      /* "bgra" */
    PF_PixelFormat_VUYA32 = 0x61797576,      /* "vuya" */
    PF_PixelFormat_NTSCDV25 = 0x326e7664,    /* "dvn2" */
    PF_PixelFormat_PALDV25 = 0x32707664,     /* "dvp2" */
    PF_PixelFormat_INVALID = 0x66646162,     /* "badf" */
    PF_PixelFormat_FORCE_LONG_INT = 0xFFFFFFFF
};
typedef A_long PF_PixelFormat;

/* "PF World Suite", version 2: worlds of any pixel format. */
typedef struct PF_WorldSuite2 {
    SPAPI PF_Err (*PF_NewWorld)(PF_ProgPtr effect_ref, A_long widthL, A_long heightL,
                                PF_Boolean clear_pixB, PF_PixelFormat pixel_format,
                                PF_EffectWorld* worldP);
    SPAPI PF_Err (*PF_DisposeWorld)(PF_ProgPtr effect_ref, PF_EffectWorld* worldP);
    SPAPI PF_Err (*PF_GetPixelFormat)(const PF_EffectWorld* worldP, PF_PixelFormat* pixel_formatP);
} PF_WorldSuite2;

#ifdef __cplusplus
}
#endif

#endif
