#include "AE_EffectCB.h"
#include "Ondrel/OndrelBlend.h"
#include "Ondrel/OndrelLayer.h"
#include "host/pixels/World.h"
#include "tests/support/CallLog.h"
#include "tests/support/HostFixture.h"
#include "tests/support/PixelDepths.h"
#include "tests/support/ThrownCode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <type_traits>

namespace {

using OfflineHost::PixelDepth;
using OfflineHost::World;
using Ondrel::ColorFloat;
using Ondrel::Layer;
using Ondrel::Rect;
using Ondrel::Vector;
using TestSupport::callCount;
using TestSupport::Depth;
using TestSupport::HostFixture;
using TestSupport::makePixel;
using TestSupport::PixelTypes;
using TestSupport::samePixel;
using TestSupport::thrownCode;

// Fill colour (alpha 0.5, red 1, green 0.25, blue 2) at each depth, by the conversion rules:
// v * M + 0.5 clamped to 0..M and truncated at 8 and 16 bits, copied unclamped in float.
template <typename Pixel>
Pixel filledPixel() {
    if constexpr (std::is_same_v<Pixel, PF_Pixel>) {
        return {128, 255, 64, 255};
    } else if constexpr (std::is_same_v<Pixel, PF_Pixel16>) {
        return {16384, 32768, 8192, 32768};
    } else {
        return {0.5f, 1.0f, 0.25f, 2.0f};
    }
}

template <typename Pixel>
Pixel patternPixel(int x, int y) {
    return makePixel<Pixel>(1 + x, 10 + y, x * y, 7);
}

template <typename Pixel>
class LayerDepthTest : public ::testing::Test, protected HostFixture {
protected:
    using D = Depth<Pixel>;
};

TYPED_TEST_SUITE(LayerDepthTest, PixelTypes);

// Padded rows: the stride comes from the row bytes, not the width, and pixel (x, y) of the
// layer's view is pixel (x, y) of the host's world.
TYPED_TEST(LayerDepthTest, WrapsHostWorldWithPaddedRows) {
    using Pixel = TypeParam;
    const A_long extraBytes = static_cast<A_long>(3 * sizeof(Pixel));
    World world(5, 3, TestFixture::D::host, extraBytes, 7, -2);
    this->m_host.diagnostics().clearCalls();

    const Layer layer(this->in(), this->out(), &world.effectWorld(), TestFixture::D::bpc);

    EXPECT_EQ(layer.getError(), PF_Err_NONE);
    EXPECT_EQ(layer.getWorld(), &world.effectWorld());
    EXPECT_EQ(layer.getBPC(), TestFixture::D::bpc);
    EXPECT_EQ(layer.getWidth(), 5);
    EXPECT_EQ(layer.getHeight(), 3);
    EXPECT_EQ(layer.getSize(), Rect(0, 0, 5, 3));
    EXPECT_EQ(layer.getOrigin().x, 7);
    EXPECT_EQ(layer.getOrigin().y, -2);

    const Ondrel::PixelView<Pixel> view = layer.getPixels<Pixel>();
    EXPECT_EQ(view.rowPixels, 8);
    EXPECT_EQ(view.width, 5);
    EXPECT_EQ(view.height, 3);
    EXPECT_EQ(view.row(0), &world.at<Pixel>(0, 0));
    EXPECT_EQ(view.row(2) + 4, &world.at<Pixel>(4, 2));
    EXPECT_TRUE(this->m_host.diagnostics().calls().empty());
}

TYPED_TEST(LayerDepthTest, CreatesClearedWorldAndDisposesOfItWithTheLastCopy) {
    using Pixel = TypeParam;
    this->m_host.diagnostics().clearCalls();
    std::optional<Layer> layer;
    layer.emplace(this->in(), this->out(), 4, 3, TestFixture::D::bpc);
    ASSERT_EQ(layer->getError(), PF_Err_NONE);
    EXPECT_EQ(layer->getSize(), Rect(0, 0, 4, 3));

    const auto live = this->m_host.diagnostics().account().liveWorlds;
    ASSERT_EQ(live.size(), 1u);
    EXPECT_EQ(live[0].width, 4);
    EXPECT_EQ(live[0].height, 3);
    EXPECT_EQ(live[0].depth, TestFixture::D::host);
    const bool floatWorld = TestFixture::D::bpc == Ondrel::bpc32;
    EXPECT_EQ(callCount(this->m_host, "new_world"), floatWorld ? 0 : 1);
    EXPECT_EQ(callCount(this->m_host, "PF_NewWorld"), floatWorld ? 1 : 0);

    const Ondrel::PixelView<Pixel> view = layer->getPixels<Pixel>();
    ASSERT_NE(view.base, nullptr);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_TRUE(samePixel(view.row(y)[x], Pixel{})) << x << "," << y;
        }
    }

    std::optional<Layer> copy(*layer);
    layer.reset();
    EXPECT_EQ(this->m_host.diagnostics().account().liveWorlds.size(), 1u)
        << "a copy still holds the world";
    copy.reset();
    EXPECT_TRUE(this->m_host.diagnostics().account().liveWorlds.empty());
    EXPECT_TRUE(this->m_host.diagnostics().account().unreleasedSuites.empty());
    EXPECT_EQ(callCount(this->m_host, floatWorld ? "PF_DisposeWorld" : "dispose_world"), 1);
}

TYPED_TEST(LayerDepthTest, FillsTheWholeWorldWithTheConvertedColour) {
    using Pixel = TypeParam;
    World world(3, 2, TestFixture::D::host, static_cast<A_long>(sizeof(Pixel)));
    Layer layer(this->in(), this->out(), &world.effectWorld(), TestFixture::D::bpc);

    layer.fill(ColorFloat<float>(0.5f, 1.0f, 0.25f, 2.0f));

    EXPECT_EQ(layer.getError(), PF_Err_NONE);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_TRUE(samePixel(world.at<Pixel>(x, y), filledPixel<Pixel>())) << x << "," << y;
        }
    }
    EXPECT_TRUE(this->m_host.diagnostics().account().unreleasedSuites.empty());
}

TYPED_TEST(LayerDepthTest, CopiesAndCompositesThroughTheHost) {
    using Pixel = TypeParam;
    World source(2, 2, TestFixture::D::host);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) {
            source.at<Pixel>(x, y) = patternPixel<Pixel>(x, y);
        }
    }
    World copy(2, 2, TestFixture::D::host, static_cast<A_long>(2 * sizeof(Pixel)));
    Layer sourceLayer(this->in(), this->out(), &source.effectWorld(), TestFixture::D::bpc);
    Layer copyLayer(this->in(), this->out(), &copy.effectWorld(), TestFixture::D::bpc);

    sourceLayer.copyTo(copyLayer);
    ASSERT_EQ(sourceLayer.getError(), PF_Err_NONE);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) {
            EXPECT_TRUE(samePixel(copy.at<Pixel>(x, y), patternPixel<Pixel>(x, y)));
        }
    }

    // An opaque source composited normally at full opacity replaces what it covers.
    Layer solid(this->in(), this->out(), 2, 1, TestFixture::D::bpc);
    solid.fill(ColorFloat<float>(1.0f, 1.0f, 0.0f, 0.0f));
    solid.blendTo(copyLayer, solid.getSize(), Vector<int>(1, 1), 1.0, 0, false);
    ASSERT_EQ(solid.getError(), PF_Err_NONE);
    Pixel red{};
    red.alpha = filledPixel<Pixel>().red; // full scale at this depth
    red.red = filledPixel<Pixel>().red;
    EXPECT_TRUE(samePixel(copy.at<Pixel>(1, 1), red));
    EXPECT_TRUE(samePixel(copy.at<Pixel>(0, 1), patternPixel<Pixel>(0, 1)));
    EXPECT_TRUE(samePixel(copy.at<Pixel>(1, 0), patternPixel<Pixel>(1, 0)));
}

// ---------------------------------------------------------------------------------------------
// blendTo's composite mode, seen by a transfer_rect that records its arguments.

struct TransferCall {
    int count = 0;
    PF_Quality quality = -1;
    PF_ModeFlags flags = -1;
    PF_Field field = -1;
    PF_LRect rect{};
    const PF_EffectWorld* source = nullptr;
    PF_CompositeMode mode{};
    const PF_MaskWorld* mask = nullptr;
    A_long x = 0;
    A_long y = 0;
    PF_EffectWorld* destination = nullptr;
    PF_Err result = PF_Err_NONE;
};

TransferCall lastTransfer;

PF_Err recordTransfer(PF_ProgPtr, PF_Quality quality, PF_ModeFlags flags, PF_Field field,
                      const PF_Rect* rect, const PF_EffectWorld* source,
                      const PF_CompositeMode* mode, const PF_MaskWorld* mask, A_long x, A_long y,
                      PF_EffectWorld* destination) {
    TransferCall& t = lastTransfer;
    ++t.count;
    t.quality = quality;
    t.flags = flags;
    t.field = field;
    t.rect = *rect;
    t.source = source;
    t.mode = *mode;
    t.mask = mask;
    t.x = x;
    t.y = y;
    t.destination = destination;
    return t.result;
}

class BlendToTest : public ::testing::Test, protected HostFixture {
protected:
    using Utils = std::remove_pointer_t<decltype(PF_InData::utils)>;

    void SetUp() override {
        lastTransfer = TransferCall{};
        m_hostUtils = in()->utils;
        m_utils = *m_hostUtils;
        m_utils.transfer_rect = &recordTransfer;
        in()->utils = &m_utils;
    }
    void TearDown() override { in()->utils = m_hostUtils; }

    World m_sourceWorld{4, 4, PixelDepth::Bits8};
    World m_destinationWorld{8, 8, PixelDepth::Bits8};
    Layer m_source{in(), out(), &m_sourceWorld.effectWorld(), Ondrel::bpc8};
    Layer m_destination{in(), out(), &m_destinationWorld.effectWorld(), Ondrel::bpc8};

private:
    Utils* m_hostUtils = nullptr;
    Utils m_utils{};
};

TEST_F(BlendToTest, PassesRectanglePositionWorldsAndTruncatedOpacity) {
    m_source.blendTo(m_destination, Rect(1, 0, 3, 2), Vector<int>(5, -1), 0.5, 3, true);

    ASSERT_EQ(lastTransfer.count, 1);
    EXPECT_EQ(lastTransfer.mode.opacity, 127);
    EXPECT_EQ(lastTransfer.mode.opacitySu, 16384);
    EXPECT_EQ(lastTransfer.mode.xfer, Ondrel::aeBlendMode(3));
    EXPECT_EQ(lastTransfer.mode.rand_seed, 0);
    EXPECT_TRUE(lastTransfer.mode.rgb_only);
    EXPECT_EQ(lastTransfer.quality, PF_Quality_HI);
    EXPECT_EQ(lastTransfer.flags, PF_MF_Alpha_STRAIGHT);
    EXPECT_EQ(lastTransfer.field, PF_Field_FRAME);
    EXPECT_EQ(Rect(lastTransfer.rect), Rect(1, 0, 3, 2));
    EXPECT_EQ(lastTransfer.source, &m_sourceWorld.effectWorld());
    EXPECT_EQ(lastTransfer.mask, nullptr);
    EXPECT_EQ(lastTransfer.x, 5);
    EXPECT_EQ(lastTransfer.y, -1);
    EXPECT_EQ(lastTransfer.destination, &m_destinationWorld.effectWorld());
}

TEST_F(BlendToTest, LimitsOpacityToOneAndTruncatesSmallOpacities) {
    m_source.blendTo(m_destination, m_source.getSize(), Vector<int>(), 2.5, 0, false);
    ASSERT_EQ(lastTransfer.count, 1);
    EXPECT_EQ(lastTransfer.mode.opacity, 255);
    EXPECT_EQ(lastTransfer.mode.opacitySu, 32768);
    EXPECT_FALSE(lastTransfer.mode.rgb_only);

    m_source.blendTo(m_destination, m_source.getSize(), Vector<int>(), 1e-9, 0, false);
    ASSERT_EQ(lastTransfer.count, 2);
    EXPECT_EQ(lastTransfer.mode.opacity, 0);
    EXPECT_EQ(lastTransfer.mode.opacitySu, 0);
}

TEST_F(BlendToTest, OpacityNotAboveZeroCallsNothing) {
    for (const double opacity : {0.0, -1.0, std::nan("")}) {
        m_source.blendTo(m_destination, m_source.getSize(), Vector<int>(), opacity, 0, false);
    }
    EXPECT_EQ(lastTransfer.count, 0);
    EXPECT_EQ(m_source.getError(), PF_Err_NONE);
}

TEST_F(BlendToTest, KeepsTheHostsErrorAndThenDoesNothing) {
    lastTransfer.result = 17;
    m_source.blendTo(m_destination, m_source.getSize(), Vector<int>(), 1.0, 0, false);
    m_source.blendTo(m_destination, m_source.getSize(), Vector<int>(), 1.0, 0, false);
    EXPECT_EQ(lastTransfer.count, 1);
    EXPECT_EQ(m_source.getError(), 17);
}

// ---------------------------------------------------------------------------------------------
// Errors

class LayerErrorTest : public ::testing::Test, protected HostFixture {};

TEST_F(LayerErrorTest, AFailedCopyStopsLaterOperations) {
    World a(2, 2, PixelDepth::Bits8);
    World b(2, 2, PixelDepth::Bits8);
    Layer first(in(), out(), &a.effectWorld(), Ondrel::bpc8);
    Layer second(in(), out(), &b.effectWorld(), Ondrel::bpc8);
    m_host.diagnostics().failCall("copy", 7);

    first.copyTo(second);
    ASSERT_EQ(first.getError(), 7);
    EXPECT_EQ(second.getError(), PF_Err_NONE);

    m_host.diagnostics().clearCalls();
    first.fill(ColorFloat<float>(1.0f, 1.0f, 1.0f));
    first.blendTo(second, first.getSize(), Vector<int>(), 1.0, 0, false);
    first.copyTo(second);
    EXPECT_TRUE(m_host.diagnostics().calls().empty());
    EXPECT_EQ(first.getError(), 7);
    EXPECT_TRUE(samePixel(a.at<PF_Pixel>(0, 0), PF_Pixel{}));

    // Copies share the error.
    const Layer shared = first;
    EXPECT_EQ(shared.getError(), 7);
}

TEST_F(LayerErrorTest, AFailedCreationKeepsItsCodeAndDisposesOfNothing) {
    m_host.diagnostics().failCall("new_world", 9);
    {
        Layer layer(in(), out(), 3, 3, Ondrel::bpc16);
        EXPECT_EQ(layer.getError(), 9);
        EXPECT_NE(layer.getWorld(), nullptr);
        EXPECT_TRUE(m_host.diagnostics().account().liveWorlds.empty());
        layer.fill(ColorFloat<float>());
        EXPECT_EQ(layer.getError(), 9);
    }
    EXPECT_EQ(callCount(m_host, "dispose_world"), 0);
    EXPECT_EQ(callCount(m_host, "fill16"), 0);
}

TEST_F(LayerErrorTest, SuitesTheHandlerCannotSupplyAreThrown) {
    World world(2, 2, PixelDepth::Bits8);
    Layer wrapped(in(), out(), &world.effectWorld(), Ondrel::bpc8);
    m_host.diagnostics().hideSuite("PF Fill Matte Suite", 2);
    EXPECT_EQ(thrownCode([&] { wrapped.fill(ColorFloat<float>()); }), PF_Err_BAD_CALLBACK_PARAM);

    m_host.diagnostics().hideSuite("PF World Suite", 1);
    for (const int bpc : {Ondrel::bpc8, Ondrel::bpc16}) {
        EXPECT_EQ(thrownCode([&] { Layer(in(), out(), 2, 2, bpc); }), PF_Err_BAD_CALLBACK_PARAM);
    }
    EXPECT_TRUE(m_host.diagnostics().account().unreleasedSuites.empty());
}

TEST_F(LayerErrorTest, AMissingFloatWorldSuiteIsReportedToTheUser) {
    m_host.diagnostics().hideSuite("PF World Suite", 2);
    const Layer layer(in(), out(), 2, 2, Ondrel::bpc32);
    EXPECT_EQ(layer.getError(), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_NE(out()->out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
    EXPECT_STREQ(out()->return_msg, "Couldn't load suite.");
    EXPECT_EQ(callCount(m_host, "PF_NewWorld"), 0);
    EXPECT_EQ(callCount(m_host, "ReleaseSuite"), 0);
}

// A world without pixels is never handed to the host: the operation that needs it reports
// PF_Err_BAD_CALLBACK_PARAM instead.
TEST_F(LayerErrorTest, WorldsWithoutPixelsAreNeverTouched) {
    World world(2, 2, PixelDepth::Bits8);
    PF_EffectWorld noPixels = world.effectWorld();
    noPixels.data = nullptr;

    Layer valid(in(), out(), &world.effectWorld(), Ondrel::bpc8);
    Layer nullWorld(in(), out(), nullptr, Ondrel::bpc8);
    Layer nullData(in(), out(), &noPixels, Ondrel::bpc8);
    m_host.diagnostics().failCall("new_world", PF_Err_NONE);
    Layer undelivered(in(), out(), 2, 2, Ondrel::bpc8);
    m_host.diagnostics().clearFaults();

    EXPECT_EQ(nullWorld.getSize(), Rect());
    EXPECT_EQ(nullWorld.getOrigin().x, 0);
    EXPECT_EQ(nullData.getPixels<PF_Pixel>().base, nullptr);
    EXPECT_EQ(undelivered.getPixels<PF_Pixel>().base, nullptr);
    for (const Layer* layer : {&nullWorld, &nullData, &undelivered}) {
        EXPECT_EQ(layer->getError(), PF_Err_NONE) << "nothing needed the world yet";
    }

    m_host.diagnostics().clearCalls();
    nullWorld.copyTo(valid);
    nullData.fill(ColorFloat<float>());
    undelivered.blendTo(valid, Rect(0, 0, 2, 2), Vector<int>(), 1.0, 0, false);
    for (const Layer* layer : {&nullWorld, &nullData, &undelivered}) {
        EXPECT_EQ(layer->getError(), PF_Err_BAD_CALLBACK_PARAM);
    }

    // A destination without pixels fails the source's operation.
    Layer toNull(in(), out(), &world.effectWorld(), Ondrel::bpc8);
    toNull.copyTo(nullData);
    EXPECT_EQ(toNull.getError(), PF_Err_BAD_CALLBACK_PARAM);
    Layer blendToNull(in(), out(), &world.effectWorld(), Ondrel::bpc8);
    blendToNull.blendTo(nullWorld, Rect(0, 0, 2, 2), Vector<int>(), 0.0, 0, false);
    EXPECT_EQ(blendToNull.getError(), PF_Err_NONE) << "opacity 0 returns before anything";
    blendToNull.blendTo(nullWorld, Rect(0, 0, 2, 2), Vector<int>(), 1.0, 0, false);
    EXPECT_EQ(blendToNull.getError(), PF_Err_BAD_CALLBACK_PARAM);

    EXPECT_TRUE(m_host.diagnostics().calls().empty());
    EXPECT_TRUE(m_host.diagnostics().misuses().empty());
}

TEST_F(LayerErrorTest, UnknownDepthCodesCreateAndFillNothing) {
    m_host.diagnostics().clearCalls();
    Layer layer(in(), out(), 2, 2, 7);
    layer.fill(ColorFloat<float>(1.0f, 1.0f, 1.0f));
    EXPECT_EQ(layer.getError(), PF_Err_NONE);
    EXPECT_EQ(layer.getPixels<PF_Pixel>().base, nullptr);
    EXPECT_TRUE(m_host.diagnostics().calls().empty());
}

} // namespace
