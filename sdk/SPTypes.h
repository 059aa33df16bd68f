/* Scalar types of the host's suite broker. */
#ifndef ONDREL_SDK_SPTYPES_H
#define ONDREL_SDK_SPTYPES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Calling convention of suite functions; the 64-bit targets have only one. */
#ifndef SPAPI
#define SPAPI
#endif

typedef int32_t int32;
typedef int32 SPErr;
typedef int32 SPBoolean;

#define kSPNoError 0

#ifdef __cplusplus
}
#endif

#endif
