// Worlds: padded rows, typed access, the registry that tells the host a world's depth, and the
// world suites' formats.

#include "tests/host/HostTestSupport.h"

#include "AE_EffectCBSuites.h"
#include "AE_EffectPixelFormat.h"
#include "SPBasic.h"

#include <cstddef>

using namespace OfflineHost;

TEST(World, PadsRowsAndAddressesPixelsByRow) {
    World w(3, 4, PixelDepth::Bits16, 6, -2, 5);
    EXPECT_EQ(w.rowBytes(), 3 * 8 + 6);
    EXPECT_EQ(w.effectWorld().origin_x, -2);
    EXPECT_EQ(w.effectWorld().origin_y, 5);
    EXPECT_NE(w.effectWorld().world_flags & PF_WorldFlag_DEEP, 0);
    w.at<PF_Pixel16>(2, 3).green = 32768;
    const auto* bytes = reinterpret_cast<const std::byte*>(w.effectWorld().data);
    const auto* pixel = reinterpret_cast<const PF_Pixel16*>(bytes + 3 * w.rowBytes() + 2 * 8);
    EXPECT_EQ(pixel->green, 32768);
    EXPECT_THROW(w.at<PF_Pixel>(0, 0), HostError);
    EXPECT_THROW(w.at<PF_Pixel16>(3, 0), HostError);
    EXPECT_THROW(w.at<PF_Pixel16>(0, -1), HostError);
    EXPECT_THROW(World(2, 2, PixelDepth::Float32, 2), HostError); // half a channel
    EXPECT_THROW(World(-1, 2, PixelDepth::Bits8), HostError);
}

TEST(World, RegistryKnowsEveryLiveWorldAndItsParts) {
    auto w = std::make_unique<World>(4, 3, PixelDepth::Float32, 16);
    PF_EffectWorld copy = w->effectWorld();
    EXPECT_EQ(registeredDepth(&copy), PixelDepth::Float32);

    PF_EffectWorld part = copy; // pixels (1, 1) to (3, 3)
    part.data =
        reinterpret_cast<PF_PixelPtr>(reinterpret_cast<std::byte*>(copy.data) + copy.rowbytes + 16);
    part.width = 3;
    part.height = 2;
    EXPECT_EQ(registeredDepth(&part), PixelDepth::Float32);
    part.height = 3; // one row past the end
    EXPECT_EQ(registeredDepth(&part), std::nullopt);

    PF_EffectWorld wide = copy;
    wide.rowbytes = copy.rowbytes * 2;
    EXPECT_EQ(registeredDepth(&wide), std::nullopt);
    EXPECT_EQ(registeredDepth(nullptr), std::nullopt);

    World moved = std::move(*w);
    w.reset();
    EXPECT_EQ(registeredDepth(&copy), PixelDepth::Float32);
    EXPECT_EQ(registeredDepth(&moved.effectWorld()), PixelDepth::Float32);
    { World gone = std::move(moved); }
    EXPECT_EQ(registeredDepth(&copy), std::nullopt);
}

TEST(World, WorldSuitesCreateClearedWorldsOfEachFormat) {
    auto probe = HostTest::setUpProbe();
    auto context = probe->context();
    SPBasicSuite* basic = context.in()->pica_basicP;
    const void* suite1 = nullptr;
    const void* suite2 = nullptr;
    ASSERT_EQ(basic->AcquireSuite("PF World Suite", 1, &suite1), 0);
    ASSERT_EQ(basic->AcquireSuite("PF World Suite", 2, &suite2), 0);
    const auto* v1 = static_cast<const PF_WorldSuite1*>(suite1);
    const auto* v2 = static_cast<const PF_WorldSuite2*>(suite2);
    const auto ref = context.in()->effect_ref;

    const auto formatOf = [&](const PF_EffectWorld& world) {
        PF_PixelFormat format = PF_PixelFormat_INVALID;
        EXPECT_EQ(v2->PF_GetPixelFormat(&world, &format), PF_Err_NONE);
        return format;
    };
    PF_EffectWorld deep{};
    ASSERT_EQ(v1->new_world(ref, 7, 5, PF_NewWorldFlag_DEEP_PIXELS, &deep), PF_Err_NONE);
    EXPECT_EQ(formatOf(deep), PF_PixelFormat_ARGB64);
    const auto* pixels = reinterpret_cast<const PF_Pixel16*>(deep.data);
    EXPECT_EQ(pixels[7 * 5 - 1].alpha, 0);
    PF_EffectWorld flat{};
    ASSERT_EQ(v1->new_world(ref, 2, 2, PF_NewWorldFlag_NONE, &flat), PF_Err_NONE);
    EXPECT_EQ(formatOf(flat), PF_PixelFormat_ARGB32);
    PF_EffectWorld real{};
    ASSERT_EQ(v2->PF_NewWorld(ref, 3, 1, true, PF_PixelFormat_ARGB128, &real), PF_Err_NONE);
    EXPECT_EQ(formatOf(real), PF_PixelFormat_ARGB128);
    EXPECT_EQ(real.rowbytes, 3 * 16);
    EXPECT_EQ(v2->PF_NewWorld(ref, 3, 1, true, PF_PixelFormat_BGRA32, &real),
              PF_Err_BAD_CALLBACK_PARAM);

    EXPECT_EQ(probe->diagnostics().account().liveWorlds.size(), 3u);
    EXPECT_EQ(v1->dispose_world(ref, &deep), PF_Err_NONE);
    EXPECT_EQ(v1->dispose_world(ref, &deep), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(v1->dispose_world(ref, &flat), PF_Err_NONE);
    EXPECT_EQ(v2->PF_DisposeWorld(ref, &real), PF_Err_NONE);
    EXPECT_TRUE(probe->diagnostics().account().liveWorlds.empty());
    basic->ReleaseSuite("PF World Suite", 1);
    basic->ReleaseSuite("PF World Suite", 2);
}
