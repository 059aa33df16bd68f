/* The suite broker: suites are acquired and released by name and version. */
#ifndef ONDREL_SDK_SPBASIC_H
#define ONDREL_SDK_SPBASIC_H

#include <stddef.h>

#include "SPTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SPBasicSuite {
    SPAPI SPErr (*AcquireSuite)(const char* name, int32 version, const void** suite);
    SPAPI SPErr (*ReleaseSuite)(const char* name, int32 version);
    SPAPI SPBoolean (*IsEqual)(const char* token1, const char* token2);
    SPAPI SPErr (*AllocateBlock)(size_t size, void** block);
    SPAPI SPErr (*FreeBlock)(void* block);
    SPAPI SPErr (*ReallocateBlock)(void* block, size_t newSize, void** newblock);
    SPAPI SPErr (*Undefined)(void);
} SPBasicSuite;

#ifdef __cplusplus
}
#endif

#endif
