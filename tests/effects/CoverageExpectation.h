// Whole-output checks of a rendered effect against a coverage function evaluated by the test,
// for effects whose shape is drawn with one colour (fill only or stroke only).
#pragma once

#include "EffectsFixture.h"

#include "Shapes/OndrelSmartRender.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace EffectsTest {

inline double clamp01(double v) {
    return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

struct Rgb {
    int red;
    int green;
    int blue;
};

constexpr Rgb red{255, 0, 0};
constexpr Rgb white{255, 255, 255};

// A colour parameter's channel as the drawer writes it: c / 255 in float, then c * M + 0.5 in
// float, truncated (8 and 16 bits) or c itself (float).
inline double colorChannel(int value, PixelDepth depth) {
    const float c = static_cast<float>(value) / 255.0f;
    if (depth == PixelDepth::Float32) {
        return static_cast<double>(c);
    }
    return std::trunc(static_cast<double>(c * static_cast<float>(channelMax(depth)) + 0.5f));
}

// The pixel a coverage must make with "None": the coverage as alpha and the colour as it is where
// the shape reaches, transparent black elsewhere.
inline Channels shapeAlonePixel(double coverage, const Rgb& color, PixelDepth depth) {
    if (coverage <= 1e-6) {
        return {};
    }
    return {alphaOfCoverage(coverage, depth), colorChannel(color.red, depth),
            colorChannel(color.green, depth), colorChannel(color.blue, depth)};
}

// The pixel a coverage must make with "Normal" at full opacity over an opaque pixel: the straight
// mix of the two by the written alpha.
inline Channels overLayerPixel(const Channels& under, double coverage, const Rgb& color,
                               PixelDepth depth) {
    const double m = channelMax(depth);
    const double a = coverage > 1e-6 ? alphaOfCoverage(coverage, depth) / m : 0.0;
    return {m, under.red + (colorChannel(color.red, depth) - under.red) * a,
            under.green + (colorChannel(color.green, depth) - under.green) * a,
            under.blue + (colorChannel(color.blue, depth) - under.blue) * a};
}

inline ::testing::AssertionResult pixelFailure(A_long x, A_long y, double coverage,
                                               const Channels& got, const Channels& want) {
    std::ostringstream s;
    s << "pixel (" << x << ", " << y << ") coverage " << coverage << ": got (" << got.alpha << ", "
      << got.red << ", " << got.green << ", " << got.blue << "), want (" << want.alpha << ", "
      << want.red << ", " << want.green << ", " << want.blue << ")";
    return ::testing::AssertionFailure() << s.str();
}

// With "None" the output holds the shape alone: a covered pixel carries the coverage as alpha and
// the colour as it is, any other pixel is transparent black. The host's float composite onto
// transparent black may round the last bit.
template <typename Coverage>
::testing::AssertionResult holdsShapeAlone(const World& out, Coverage&& coverageAt,
                                           const Rgb& color) {
    const PixelDepth depth = out.depth();
    const double tolerance = depth == PixelDepth::Float32 ? 1e-6 : 0.0;
    for (A_long y = 0; y < out.height(); ++y) {
        for (A_long x = 0; x < out.width(); ++x) {
            const double coverage = coverageAt(x, y);
            const Channels got = pixelAt(out, x, y);
            const Channels want = shapeAlonePixel(coverage, color, depth);
            const bool transparent = want.alpha == 0.0;
            if (transparent ? got.alpha != 0.0 : difference(got, want) > tolerance) {
                return pixelFailure(x, y, coverage, got, want);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// Normal compositing at full opacity over an opaque layer: the layer's pixel where the shape does
// not reach, the colour where it covers fully, the straight mix by the written alpha in between
// (within the rounding of the host's composite).
template <typename Coverage>
::testing::AssertionResult coversLayer(const World& out, const World& layer, Coverage&& coverageAt,
                                       const Rgb& color) {
    const PixelDepth depth = out.depth();
    const double m = channelMax(depth);
    const double tolerance = depth == PixelDepth::Float32 ? 1e-5 : 1.0;
    for (A_long y = 0; y < out.height(); ++y) {
        for (A_long x = 0; x < out.width(); ++x) {
            const double coverage = coverageAt(x, y);
            const double a = coverage > 1e-6 ? alphaOfCoverage(coverage, depth) / m : 0.0;
            const Channels want = overLayerPixel(pixelAt(layer, x, y), coverage, color, depth);
            const Channels got = pixelAt(out, x, y);
            const double allowed = (a == 0.0 || a == 1.0) ? 0.0 : tolerance;
            if (difference(got, want) > allowed) {
                return pixelFailure(x, y, coverage, got, want);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// An effect applied through the built module, rendered over a painted layer, with the record its
// pre-render fills.
template <typename Record>
class ShapeEffectTest {
protected:
    explicit ShapeEffectTest(std::string_view name) : m_name(name), m_effect(appliedEffect(name)) {}

    void set(std::string_view name, double value) {
        m_effect->setValue(param(*m_effect, name), value);
    }
    void setPoint(std::string_view name, double x, double y) {
        m_effect->setPoint(param(*m_effect, name), x, y);
    }
    void setColor(std::string_view name, const Rgb& c) {
        m_effect->setColor(param(*m_effect, name),
                           PF_Pixel{255, static_cast<A_u_char>(c.red),
                                    static_cast<A_u_char>(c.green), static_cast<A_u_char>(c.blue)});
    }

    // Renders over a painted layer of the frame's full size.
    World render(const Frame& frame) {
        m_layer = World(frame.layerWidth, frame.layerHeight, frame.depth);
        paintBackground(m_layer);
        World out(1, 1, frame.depth);
        EXPECT_EQ(m_effect->renderFrame(frame, m_layer, out), PF_Err_NONE);
        return out;
    }

    // The record as one frame's pre-render leaves it in its handle.
    Record preRender(const Frame& frame) {
        auto context = m_effect->context(frame);
        PF_PreRenderExtra* extra = context.preRenderExtra();
        const auto entry = shapesModule()->effect(m_name).entry;
        EXPECT_EQ(entry(PF_Cmd_SMART_PRE_RENDER, context.in(), context.out(), context.params(),
                        nullptr, extra),
                  PF_Err_NONE);
        const auto handle = static_cast<PF_Handle>(extra->output->pre_render_data);
        Record record{};
        if (handle != nullptr) {
            record = static_cast<const Ondrel::PreRenderBlock<Record>*>(*handle)->record;
        }
        return record;
    }

    std::string m_name;
    std::unique_ptr<EffectInstance> m_effect;
    World m_layer{1, 1, PixelDepth::Bits8};
};

} // namespace EffectsTest
