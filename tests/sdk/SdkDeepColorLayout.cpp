// A deep-colour-aware module sees the world's pixel base as bytes; the layout is unchanged. Facts
// of the declarations, so the build checks them.

#define PF_DEEP_COLOR_AWARE 1
#include "AE_Effect.h"

#include <cstddef>
#include <type_traits>

static_assert(std::is_same_v<PF_PixelPtr, char*>);
static_assert(std::is_same_v<decltype(PF_LayerDef::data), char*>);
static_assert(offsetof(PF_LayerDef, data) == 24);
static_assert(sizeof(PF_LayerDef) == 120);
