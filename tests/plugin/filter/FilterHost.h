// What the filter tests compute their expected pixels from: the values a coverage and a colour
// become at each depth, the pixel a fill and a stroke coverage must make; and a fixture that
// renders a drawer over a source world of any size and origin and compares every pixel of its
// scratch layer with an expectation.
#pragma once

#include "Ondrel/Filter/OndrelIterateFilter.h"
#include "Ondrel/Filter/OndrelPaintMode.h"
#include "Ondrel/OndrelBlend.h"
#include "Ondrel/OndrelLayer.h"
#include "host/pixels/World.h"
#include "tests/support/HostFixture.h"
#include "tests/support/PixelDepths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>

namespace FilterTests {

using OfflineHost::PixelDepth;

using TestSupport::Depth;
using TestSupport::HostFixture;
using TestSupport::PixelTypes;
using TestSupport::samePixel;

// Coverage a and colour channel c as the drawers must write them: a * M + 0.5 in double, c * M +
// 0.5 in float, each clamped to 0..M and truncated (M the depth's white); float pixels take both
// as they are.
inline double clampM(double v, double m) {
    return v < 0 ? 0 : (v > m ? m : std::trunc(v));
}

template <typename Pixel>
decltype(Pixel::alpha) drawnAlpha(double a) {
    if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
        return static_cast<float>(a);
    } else {
        constexpr double m = Depth<Pixel>::white;
        return static_cast<decltype(Pixel::alpha)>(clampM(a * m + 0.5, m));
    }
}

template <typename Pixel>
decltype(Pixel::alpha) drawnChannel(float c) {
    if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
        return c;
    } else {
        constexpr double m = Depth<Pixel>::white;
        return static_cast<decltype(Pixel::alpha)>(
            clampM(static_cast<double>(c * static_cast<float>(m) + 0.5f), m));
    }
}

// A pixel of colour (red, green, blue) with the given coverage as alpha.
template <typename Pixel>
Pixel coveredPixel(double coverage, float red, float green, float blue) {
    Pixel p{};
    p.alpha = drawnAlpha<Pixel>(coverage);
    p.red = drawnChannel<Pixel>(red);
    p.green = drawnChannel<Pixel>(green);
    p.blue = drawnChannel<Pixel>(blue);
    return p;
}

// A drawer's parameters at scale 1 and full opacity, in the colours every drawer test expects;
// the fill's alpha is 0, which must not matter. mode is the "Mode" popup's number.
template <typename Parameter>
Parameter shapeParameter(int mode, double strokeWidth) {
    Parameter p{};
    p.scale = 1.0;
    p.mode = static_cast<Ondrel::PaintMode>(mode);
    p.strokeWidth = strokeWidth;
    p.fillColor = Ondrel::ColorFloat<float>(0.0f, 0.8f, 0.4f, 0.1f);
    p.strokeColor = Ondrel::ColorFloat<float>(1.0f, 0.1f, 0.3f, 0.9f);
    p.opacity = 1.0;
    return p;
}

inline double ramp(double v) {
    return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

struct ExpectedCoverage {
    double fill = 0.0;
    double stroke = 0.0;
};

struct Colors {
    Ondrel::PaintMode mode;
    Ondrel::ColorFloat<float> fill;
    Ondrel::ColorFloat<float> stroke;
};

// Fill stored where it covers more than 1e-6 (unless only the stroke is painted), the stroke laid
// over it the same way (unless only the fill is).
template <typename Pixel>
Pixel shapePixel(const Colors& colors, const ExpectedCoverage& c) {
    Pixel p{};
    if (colors.mode != Ondrel::PaintMode::stroke && c.fill > 1e-6) {
        p = coveredPixel<Pixel>(c.fill, colors.fill.red, colors.fill.green, colors.fill.blue);
    }
    if (colors.mode != Ondrel::PaintMode::fill && c.stroke > 1e-6) {
        p = Ondrel::Blend::normal(p, coveredPixel<Pixel>(c.stroke, colors.stroke.red,
                                                         colors.stroke.green, colors.stroke.blue));
    }
    return p;
}

// expected(x, y) gives the pixel that scratch pixel (x, y) must hold.
template <typename Pixel, typename Expected>
::testing::AssertionResult matchesEverywhere(const Ondrel::Layer& scratch, Expected&& expected) {
    const Ondrel::PixelView<Pixel> view = scratch.getPixels<Pixel>();
    if (view.base == nullptr) {
        return ::testing::AssertionFailure() << "the scratch layer has no pixels";
    }
    int mismatches = 0;
    std::ostringstream first;
    for (int y = 0; y < view.height; ++y) {
        for (int x = 0; x < view.width; ++x) {
            const auto same = samePixel(view.row(y)[x], expected(x, y));
            if (!same && mismatches++ == 0) {
                first << "(" << x << ", " << y << "): " << same.message();
            }
        }
    }
    if (mismatches > 0) {
        return ::testing::AssertionFailure()
               << mismatches << " pixels differ, first " << first.str();
    }
    return ::testing::AssertionSuccess();
}

template <typename Pixel>
::testing::AssertionResult sameLayers(const Ondrel::Layer& a, const Ondrel::Layer& b) {
    const Ondrel::PixelView<Pixel> other = b.getPixels<Pixel>();
    if (a.getSize() != b.getSize()) {
        return ::testing::AssertionFailure() << "sizes differ";
    }
    return matchesEverywhere<Pixel>(a, [&other](int x, int y) { return other.row(y)[x]; });
}

// Renders a drawer through the host's iterate suite on three threads, over a source world that
// lives until the next render.
template <typename Pixel, typename Drawer>
class ShapeDrawerFixture : public ::testing::Test, protected HostFixture {
protected:
    using D = Depth<Pixel>;

    ShapeDrawerFixture() { m_host.setThreadCount(3); }

    Ondrel::Layer draw(const typename Drawer::Parameter& p, Ondrel::Rect& region, A_long width = 64,
                       A_long height = 48, A_long originX = 0, A_long originY = 0) {
        // Padded rows: the drawer must step by the row bytes, not the width.
        m_world.emplace(width, height, D::host, 3 * static_cast<A_long>(sizeof(Pixel)), originX,
                        originY);
        Ondrel::Layer source(in(), out(), &m_world->effectWorld(), D::bpc);
        Drawer drawer(p);
        // Region, then a cleared scratch layer of its size at the source's depth, then the
        // drawer's "draw" pass through the host's iterate suite.
        region = drawer.calcRegion(source);
        Ondrel::Layer scratch(in(), out(), region.getWidth(), region.getHeight(), source.getBPC());
        EXPECT_EQ(scratch.getError(), PF_Err_NONE);
        EXPECT_EQ(Ondrel::IterateFilter(in(), "draw", source, scratch, drawer), PF_Err_NONE);
        return scratch;
    }

    Ondrel::Rect regionOnly(const typename Drawer::Parameter& p, A_long width = 64,
                            A_long height = 48) {
        OfflineHost::World world(width, height, D::host);
        Ondrel::Layer source(in(), out(), &world.effectWorld(), D::bpc);
        Drawer drawer(p);
        return drawer.calcRegion(source);
    }

    // The drawer finds nothing to draw in a 64 x 48 world: its region is empty, and drawing
    // anyway, over a scratch layer the size of the world, leaves every pixel transparent.
    ::testing::AssertionResult drawsNothing(const typename Drawer::Parameter& p) {
        OfflineHost::World world(64, 48, D::host);
        Ondrel::Layer source(in(), out(), &world.effectWorld(), D::bpc);
        Drawer drawer(p);
        const Ondrel::Rect region = drawer.calcRegion(source);
        if (!region.isEmpty()) {
            return ::testing::AssertionFailure()
                   << "region (" << region.left << ", " << region.top << ", " << region.right
                   << ", " << region.bottom << ") is not empty";
        }
        Ondrel::Layer scratch(in(), out(), 64, 48, D::bpc);
        drawer.execute("draw", source, scratch, 0, 1);
        return matchesEverywhere<Pixel>(scratch, [](int, int) { return Pixel{}; });
    }

    // Every pixel of the scratch layer against an expectation's coverage at (x, y) and colours.
    template <typename Expected>
    static ::testing::AssertionResult matches(const Ondrel::Layer& scratch, const Expected& e) {
        return matchesEverywhere<Pixel>(
            scratch, [&e](int x, int y) { return shapePixel<Pixel>(e.colors, e.coverage(x, y)); });
    }

    std::optional<OfflineHost::World> m_world;
};

} // namespace FilterTests
