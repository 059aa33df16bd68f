// Drawing is proven bit-identical to the straightforward evaluation: every pixel of the region,
// its coverage from the drawer's per-pixel definition (coverageAt), turned into a pixel on a
// cleared layer. Thousands of random shapes per depth, with every parameter varied: sizes from 0
// to beyond the layer, sub-pixel and whole-pixel positions, every rotation, negative and tiny
// scales, strokes under a pixel and wider than the shape, every mode, cap and "Controlled By",
// layers of odd sizes and origins that clip the region, padded rows and any number of bands.
// Each drawing code the build has and the processor runs draws every shape (each target forced in
// turn), against the one evaluation of the baseline code.
//
// ONDREL_EQUIVALENCE_CASES sets the number of shapes per drawer, depth and target (default 600),
// and ONDREL_EQUIVALENCE_SEED the first case's seed (default: a fresh one). Case i uses seed + i; a
// failure prints the seed that repeats it alone with ONDREL_EQUIVALENCE_CASES=1.

#include "FilterHost.h"

#include "Ondrel/Filter/OndrelCircleDrawer.h"
#include "Ondrel/Filter/OndrelDrawTarget.h"
#include "Ondrel/Filter/OndrelLineDrawer.h"
#include "Ondrel/Filter/OndrelRectangleDrawer.h"
#include "Ondrel/Filter/OndrelTriangleDrawer.h"
#include "tests/support/EquivalenceRuns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace FilterTests {
namespace {

using Ondrel::ColorFloat;
using Ondrel::Layer;
using Ondrel::Rect;
using Point = Ondrel::Vector<double>;

// Parameter values drawn to reach the edges of what the drawers handle, not just typical ones.
class RandomShape {
public:
    explicit RandomShape(std::uint64_t seed) : m_engine(seed) {}

    double uniform(double a, double b) {
        return std::uniform_real_distribution<double>(a, b)(m_engine);
    }
    int integer(int a, int b) { return std::uniform_int_distribution<int>(a, b)(m_engine); }
    bool chance(double p) { return uniform(0.0, 1.0) < p; }

    // A position around a layer of the given extent, often on whole, half or quarter pixels.
    double coordinate(double extent) {
        if (chance(0.01)) {
            return huge();
        }
        const double v = uniform(-0.15 * extent, 1.15 * extent);
        switch (integer(0, 5)) {
        case 0:
            return std::round(v);
        case 1:
            return std::round(v * 2.0) / 2.0;
        case 2:
            return std::round(v * 4.0) / 4.0;
        default:
            return v;
        }
    }
    // Far beyond any layer, up to where squares overflow.
    double huge() { return (chance(0.5) ? 1.0 : -1.0) * std::pow(10.0, uniform(6.0, 300.0)); }

    Point point(double width, double height) {
        return Point(coordinate(width), coordinate(height));
    }

    // From 0 and a millionth of a pixel to several times the layer.
    double length(double extent) {
        if (chance(0.01)) {
            return std::abs(huge());
        }
        switch (integer(0, 9)) {
        case 0:
            return 0.0;
        case 1:
            return uniform(1e-6, 1e-3);
        case 2:
        case 3:
            return uniform(0.0, 1.0);
        case 4:
            return uniform(extent, 3.0 * extent);
        case 5:
            return std::round(uniform(1.0, extent));
        default:
            return uniform(1.0, extent);
        }
    }

    double strokeWidth(double extent) {
        switch (integer(0, 9)) {
        case 0:
            return 0.0;
        case 1:
            return -uniform(0.0, 3.0);
        case 2:
        case 3:
            return uniform(0.0, 1.0);
        case 4:
            return uniform(extent / 2.0, 2.0 * extent);
        case 5:
            return std::round(uniform(1.0, 12.0));
        default:
            return uniform(1.0, 20.0);
        }
    }

    // Quarter turns, which leave edges on whole pixels up to rounding, and any angle.
    double rotation() {
        if (chance(0.3)) {
            return integer(-4, 4) * std::numbers::pi / 2.0;
        }
        return uniform(-2.0 * std::numbers::pi, 2.0 * std::numbers::pi);
    }

    double scale() {
        switch (integer(0, 9)) {
        case 0:
        case 1:
        case 2:
            return 1.0;
        case 3:
            return -1.0;
        case 4:
            return 0.0;
        case 5:
            return (chance(0.5) ? 1.0 : -1.0) * uniform(1e-4, 0.1);
        default:
            return (chance(0.5) ? 1.0 : -1.0) * uniform(0.1, 3.0);
        }
    }

    // Mostly the three modes, sometimes a number outside them (drawn as fill and stroke).
    Ondrel::PaintMode mode() {
        return static_cast<Ondrel::PaintMode>(chance(0.9) ? integer(1, 3) : integer(-1, 5));
    }
    // 1 and 2 are the documented values; anything else behaves as one of them.
    int choice12() { return chance(0.9) ? integer(1, 2) : integer(-1, 4); }

    // Overbright and negative channels too, which float layers keep.
    ColorFloat<float> color() {
        const auto channel = [this] { return static_cast<float>(uniform(-0.25, 1.5)); };
        return ColorFloat<float>(static_cast<float>(uniform(0.0, 1.0)), channel(), channel(),
                                 channel());
    }

    // Placement, style and colours shared by all four records.
    template <typename Parameter>
    void placeAndStyle(Parameter& p, double width, double height) {
        const double extent = std::max(width, height);
        // Mostly turned and scaled about a point of the layer, so that most shapes stay in view.
        p.anchorPoint = chance(0.9) ? Point(uniform(0.0, width), uniform(0.0, height)) : Point();
        const double shift = extent / 3.0;
        p.position = chance(0.3) ? Point(uniform(-shift, shift), uniform(-shift, shift)) : Point();
        p.rotation = chance(0.5) ? rotation() : 0.0;
        p.scale = scale();
        p.mode = mode();
        p.strokeWidth = strokeWidth(extent);
        p.fillColor = color();
        p.strokeColor = color();
        p.opacity = 1.0;
    }

private:
    std::mt19937_64 m_engine;
};

// Each drawer's random record and its description for failure messages.
struct CircleCase {
    using Drawer = Ondrel::CircleDrawer;
    static const char* name() { return "circle"; }
    static Drawer::Parameter make(RandomShape& r, double w, double h) {
        Drawer::Parameter p{};
        p.center = r.point(w, h);
        p.radius = r.length(std::max(w, h) / 2.0);
        r.placeAndStyle(p, w, h);
        return p;
    }
    static void describe(std::ostream& out, const Drawer::Parameter& p) {
        out << "center " << p.center.x << "," << p.center.y << " radius " << p.radius;
    }
};

struct LineCase {
    using Drawer = Ondrel::LineDrawer;
    static const char* name() { return "line"; }
    static Drawer::Parameter make(RandomShape& r, double w, double h) {
        Drawer::Parameter p{};
        p.cap = r.choice12();
        p.thickness = r.length(std::min(w, h) / 2.0);
        p.point1 = r.point(w, h);
        // Level, upright and coincident ends too.
        switch (r.integer(0, 5)) {
        case 0:
            p.point2 = Point(r.coordinate(w), p.point1.y);
            break;
        case 1:
            p.point2 = Point(p.point1.x, r.coordinate(h));
            break;
        case 2:
            p.point2 = p.point1;
            break;
        default:
            p.point2 = r.point(w, h);
        }
        r.placeAndStyle(p, w, h);
        return p;
    }
    static void describe(std::ostream& out, const Drawer::Parameter& p) {
        out << "cap " << p.cap << " thickness " << p.thickness << " point1 " << p.point1.x << ","
            << p.point1.y << " point2 " << p.point2.x << "," << p.point2.y;
    }
};

struct RectangleCase {
    using Drawer = Ondrel::RectangleDrawer;
    static const char* name() { return "rectangle"; }
    static Drawer::Parameter make(RandomShape& r, double w, double h) {
        Drawer::Parameter p{};
        p.controlledBy = r.choice12();
        p.point1 = r.point(w, h);
        p.point2 = r.chance(0.05) ? p.point1 : r.point(w, h);
        p.center = r.point(w, h);
        p.width = r.length(w);
        p.height = r.length(h);
        r.placeAndStyle(p, w, h);
        return p;
    }
    static void describe(std::ostream& out, const Drawer::Parameter& p) {
        out << "controlledBy " << p.controlledBy << " point1 " << p.point1.x << "," << p.point1.y
            << " point2 " << p.point2.x << "," << p.point2.y << " center " << p.center.x << ","
            << p.center.y << " width " << p.width << " height " << p.height;
    }
};

struct TriangleCase {
    using Drawer = Ondrel::TriangleDrawer;
    static const char* name() { return "triangle"; }
    static Drawer::Parameter make(RandomShape& r, double w, double h) {
        Drawer::Parameter p{};
        p.point1 = r.point(w, h);
        p.point2 = r.point(w, h);
        switch (r.integer(0, 9)) {
        case 0: { // collinear
            const double k = r.uniform(-1.0, 2.0);
            p.point3 = Point(p.point1.x + (p.point2.x - p.point1.x) * k,
                             p.point1.y + (p.point2.y - p.point1.y) * k);
            break;
        }
        case 1: // a sliver
            p.point3 = Point((p.point1.x + p.point2.x) / 2.0,
                             (p.point1.y + p.point2.y) / 2.0 + r.uniform(-0.5, 0.5));
            break;
        case 2: // a level edge
            p.point3 = Point(r.coordinate(w), p.point2.y);
            break;
        default:
            p.point3 = r.point(w, h);
        }
        r.placeAndStyle(p, w, h);
        return p;
    }
    static void describe(std::ostream& out, const Drawer::Parameter& p) {
        out << "points " << p.point1.x << "," << p.point1.y << " " << p.point2.x << ","
            << p.point2.y << " " << p.point3.x << "," << p.point3.y;
    }
};

template <typename Parameter>
void describePlacement(std::ostream& out, const Parameter& p) {
    out << " anchor " << p.anchorPoint.x << "," << p.anchorPoint.y << " position " << p.position.x
        << "," << p.position.y << " rotation " << p.rotation << " scale " << p.scale << " mode "
        << static_cast<int>(p.mode) << " strokeWidth " << p.strokeWidth;
}

template <typename Pixel, typename Shape>
class DrawingEquivalence : protected HostFixture {
public:
    using Drawer = typename Shape::Drawer;

    // Runs the cases; stops at the first one that differs and describes it.
    ::testing::AssertionResult run() {
        const std::uint64_t cases = TestSupport::equivalenceCases(600);
        const std::uint64_t seed = TestSupport::equivalenceSeed();
        const DrawTargetCeiling restore;
        for (const auto& [target, name] : drawTargets) {
            Ondrel::limitDrawTarget(target);
            if (Ondrel::drawTarget() != target) {
                // Not built, or beyond this processor.
                std::printf("%s code not run: %s\n", name,
                            Ondrel::drawTargetBuilt(target) ? "the processor lacks it"
                                                            : "not in this build");
                continue;
            }
            for (std::uint64_t i = 0; i < cases; ++i) {
                ::testing::AssertionResult result = _runCase(seed + i);
                if (!result) {
                    return result << "\n  drawn by the " << name << " code";
                }
            }
        }
        return ::testing::AssertionSuccess();
    }

private:
    static constexpr std::pair<Ondrel::DrawTarget, const char*> drawTargets[] = {
        {Ondrel::DrawTarget::baseline, "baseline"}, {Ondrel::DrawTarget::avx2, "AVX2"}};

    // Lifts the ceiling again however the cases end.
    struct DrawTargetCeiling {
        ~DrawTargetCeiling() { Ondrel::limitDrawTarget(Ondrel::DrawTarget::avx2); }
    };

    ::testing::AssertionResult _runCase(std::uint64_t seed) {
        RandomShape random(seed);
        // One layer in twenty is wide, for runs of uniform pixels over a thousand long.
        const A_long width = random.integer(1, random.chance(0.05) ? 1600 : 160);
        const A_long height = random.integer(1, 120);
        PF_LayerDef input{};
        input.width = width;
        input.height = height;
        // An origin moves the layer under the shape; a small one keeps it mostly in view.
        input.origin_x = random.chance(0.3) ? random.integer(-width / 4, width / 4) : 0;
        input.origin_y = random.chance(0.3) ? random.integer(-height / 4, height / 4) : 0;
        const typename Drawer::Parameter p = Shape::make(random, width, height);
        const int threads = random.integer(1, 4);
        const A_long padding = random.chance(0.5) ? random.integer(1, 3) : 0;

        Layer source(in(), out(), &input, Depth<Pixel>::bpc);
        Drawer drawer(p);
        const Rect region = drawer.calcRegion(source);
        if (region.isEmpty()) {
            return ::testing::AssertionSuccess();
        }
        OfflineHost::World drawn(region.getWidth(), region.getHeight(), Depth<Pixel>::host,
                                 padding * static_cast<A_long>(sizeof(Pixel)));
        Layer scratch(in(), out(), &drawn.effectWorld(), Depth<Pixel>::bpc);
        m_host.setThreadCount(threads);
        if (Ondrel::IterateFilter(in(), "draw", source, scratch, drawer) != PF_Err_NONE) {
            return ::testing::AssertionFailure() << "IterateFilter failed";
        }

        const Colors colors{p.mode, p.fillColor, p.strokeColor};
        const Ondrel::PixelView<Pixel> view = scratch.getPixels<Pixel>();
        for (int y = 0; y < view.height; ++y) {
            const Pixel* row = view.row(y);
            for (int x = 0; x < view.rowPixels; ++x) {
                // Padding stays cleared.
                const Pixel expected =
                    x < view.width ? shapePixel<Pixel>(colors, _coverage(drawer, x, y)) : Pixel{};
                if (std::memcmp(&row[x], &expected, sizeof(Pixel)) != 0) {
                    std::ostringstream message;
                    message << Shape::name() << " at " << 8 * sizeof(Pixel::alpha) << " bits, seed "
                            << seed << ": pixel (" << x << ", " << y << ") of region ("
                            << region.left << ", " << region.top << ", " << region.right << ", "
                            << region.bottom << ") " << samePixel(row[x], expected).message()
                            << "\n  layer " << width << "x" << height << " origin "
                            << input.origin_x << "," << input.origin_y << ", " << threads
                            << " bands, ";
                    Shape::describe(message, p);
                    describePlacement(message, p);
                    return ::testing::AssertionFailure() << message.str();
                }
            }
        }
        return ::testing::AssertionSuccess();
    }

    static ExpectedCoverage _coverage(const Drawer& drawer, int x, int y) {
        const Ondrel::Coverage c =
            drawer.coverageAt(static_cast<double>(x), static_cast<double>(y));
        return {c.fill, c.stroke};
    }
};

template <typename Pixel>
class DrawingEquivalenceTest : public ::testing::Test {};

TYPED_TEST_SUITE(DrawingEquivalenceTest, PixelTypes);

TYPED_TEST(DrawingEquivalenceTest, Circle) {
    EXPECT_TRUE((DrawingEquivalence<TypeParam, CircleCase>().run()));
}

TYPED_TEST(DrawingEquivalenceTest, Line) {
    EXPECT_TRUE((DrawingEquivalence<TypeParam, LineCase>().run()));
}

TYPED_TEST(DrawingEquivalenceTest, Rectangle) {
    EXPECT_TRUE((DrawingEquivalence<TypeParam, RectangleCase>().run()));
}

TYPED_TEST(DrawingEquivalenceTest, Triangle) {
    EXPECT_TRUE((DrawingEquivalence<TypeParam, TriangleCase>().run()));
}

} // namespace
} // namespace FilterTests
