// A deep-colour-aware module sees the world's pixel base as bytes; the layout is unchanged.

#define PF_DEEP_COLOR_AWARE 1
#include "AE_Effect.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>

TEST(SdkDeepColor, PixelBaseIsBytesAtTheSameOffset) {
    EXPECT_TRUE((std::is_same_v<PF_PixelPtr, char*>));
    EXPECT_TRUE((std::is_same_v<decltype(PF_LayerDef::data), char*>));
    EXPECT_EQ(offsetof(PF_LayerDef, data), 24u);
    EXPECT_EQ(sizeof(PF_LayerDef), 120u);
}
