// What the line and rectangle drawer tests share: a fixture that renders a drawer over a source
// world of any size and origin, the pixel a fill and a stroke coverage must make, and a
// comparison of every pixel of a scratch layer with an expectation.
#pragma once

#include "FilterHost.h"

#include "Ondrel/OndrelBlend.h"
#include "host/World.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <sstream>

namespace FilterTests {

inline double ramp(double v) {
    return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

struct ExpectedCoverage {
    double fill = 0.0;
    double stroke = 0.0;
};

struct Colors {
    int mode;
    Ondrel::ColorFloat<float> fill;
    Ondrel::ColorFloat<float> stroke;
};

// Fill stored where it covers more than 1e-6 (unless mode 2), the stroke laid over it the same
// way (unless mode 1).
template <typename Pixel>
Pixel shapePixel(const Colors& colors, const ExpectedCoverage& c) {
    Pixel p{};
    if (colors.mode != 2 && c.fill > 1e-6) {
        p = coveredPixel<Pixel>(c.fill, colors.fill.red, colors.fill.green, colors.fill.blue);
    }
    if (colors.mode != 1 && c.stroke > 1e-6) {
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

// Renders drawers through the host's iterate suite on three threads, over a source world that
// lives until the next render.
template <typename Pixel>
class ShapeDrawerFixture : public ::testing::Test, protected HostFixture {
protected:
    using D = Depth<Pixel>;

    ShapeDrawerFixture() { host.setThreadCount(3); }

    template <typename Drawer>
    Ondrel::Layer draw(const typename Drawer::Parameter& p, Ondrel::Rect& region, A_long width = 64,
                       A_long height = 48, A_long originX = 0, A_long originY = 0) {
        // Padded rows: the drawer must step by the row bytes, not the width.
        m_world.emplace(width, height, D::host, 3 * static_cast<A_long>(sizeof(Pixel)), originX,
                        originY);
        Ondrel::Layer source(in(), out(), &m_world->effectWorld(), D::bpc);
        Drawer drawer(p);
        return render(drawer, source, region);
    }

    template <typename Drawer>
    Ondrel::Rect regionOnly(const typename Drawer::Parameter& p, A_long width = 64,
                            A_long height = 48) {
        OfflineHost::World world(width, height, D::host);
        Ondrel::Layer source(in(), out(), &world.effectWorld(), D::bpc);
        Drawer drawer(p);
        return drawer.calcRegion(source);
    }

    std::optional<OfflineHost::World> m_world;
};

using PixelTypes = ::testing::Types<PF_Pixel, PF_Pixel16, PF_PixelFloat>;

} // namespace FilterTests
