#include "FilterHost.h"

#include "Ondrel/Filter/OndrelCircleDrawer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <type_traits>
#include <utility>

namespace FilterTests {
namespace {

using OfflineHost::World;
using Ondrel::CircleDrawer;
using Ondrel::Layer;
using Ondrel::Rect;
using Ondrel::Vector;

CircleDrawer::Parameter circle(double radius, Vector<double> center, int mode, double strokeWidth) {
    auto p = shapeParameter<CircleDrawer::Parameter>(mode, strokeWidth);
    p.radius = radius;
    p.center = center;
    return p;
}

// The circle as it must appear in the scratch layer, straight from the coverage formulas: fill
// clamp01(r - d); stroke clamp01(r + h - d) * clamp01(w) * (1 - clamp01(r - h - d)), laid over
// the fill; d the distance of (x, y) from the centre, h half the stroke width w.
struct ExpectedCircle {
    Vector<double> center;
    double radius;
    double strokeWidth;
    Colors colors;

    double fillCoverage(int x, int y) const { return ramp(radius - distance(x, y)); }
    double strokeCoverage(int x, int y) const {
        const double d = distance(x, y);
        const double h = strokeWidth / 2.0;
        return ramp(radius + h - d) * ramp(strokeWidth) * (1.0 - ramp(radius - h - d));
    }
    double distance(int x, int y) const {
        const double dx = static_cast<double>(x) - center.x;
        const double dy = static_cast<double>(y) - center.y;
        return std::sqrt(dx * dx + dy * dy);
    }
    ExpectedCoverage coverage(int x, int y) const {
        return {fillCoverage(x, y), strokeCoverage(x, y)};
    }
};

template <typename Pixel>
class CircleDrawerTest : public ShapeDrawerFixture<Pixel, CircleDrawer> {
protected:
    static ExpectedCircle expected(const CircleDrawer::Parameter& p, Vector<double> center,
                                   double radius, double strokeWidth) {
        return {center, radius, strokeWidth, {p.mode, p.fillColor, p.strokeColor}};
    }
};

TYPED_TEST_SUITE(CircleDrawerTest, PixelTypes);

TYPED_TEST(CircleDrawerTest, RegionExampleAndItsPixels) {
    CircleDrawer::Parameter p = circle(10.0, Vector<double>(100.3, 50.0), 1, 3.0);
    Rect region;
    const Layer scratch = this->draw(p, region, 1920, 1080);
    EXPECT_EQ(region, Rect(89, 39, 112, 61));
    EXPECT_EQ(scratch.getSize(), Rect(0, 0, 23, 22));
    EXPECT_TRUE(
        this->matches(scratch, this->expected(p, Vector<double>(100.3 - 89.0, 11.0), 10.0, 3.0)));
}

// Anchor, rotation, negative scale, position and the source's origin all place the circle.
TYPED_TEST(CircleDrawerTest, TransformedFillAndStroke) {
    CircleDrawer::Parameter p = circle(6.0, Vector<double>(40.0, 26.0), 3, 2.5);
    p.anchorPoint = Vector<double>(30.0, 20.0);
    p.position = Vector<double>(5.0, 17.0);
    p.rotation = 0.3;
    p.scale = -1.5;
    Rect region;
    const Layer scratch = this->draw(p, region, 64, 48, -4, 3);

    // (centre - anchor) turned by 0.3 rad, times -1.5, plus anchor and position, minus origin.
    const double dx = 10.0, dy = 6.0;
    const double cx = (dx * std::cos(0.3) - dy * std::sin(0.3)) * -1.5 + 30.0 + 5.0 + 4.0;
    const double cy = (dx * std::sin(0.3) + dy * std::cos(0.3)) * -1.5 + 20.0 + 17.0 - 3.0;
    const double radius = 9.0, stroke = 3.75, extent = radius + stroke;
    const Rect expectedRegion(static_cast<int>(std::floor(cx - extent - 1.0)),
                              static_cast<int>(std::floor(cy - extent - 1.0)),
                              static_cast<int>(std::ceil(cx + extent + 1.0)),
                              static_cast<int>(std::ceil(cy + extent + 1.0)));
    ASSERT_EQ(region, expectedRegion);
    EXPECT_TRUE(
        this->matches(scratch, this->expected(p, Vector<double>(cx - region.left, cy - region.top),
                                              radius, stroke)));
}

TYPED_TEST(CircleDrawerTest, APointAQuarterInsideGetsAQuarterCoverage) {
    const CircleDrawer::Parameter p = circle(3.25, Vector<double>(10.0, 10.0), 1, 0.0);
    Rect region;
    const Layer scratch = this->draw(p, region);
    ASSERT_EQ(region, Rect(5, 5, 15, 15));
    // Pixel (13, 10) of the source lies 3 from the centre.
    const TypeParam pixel = scratch.getPixels<TypeParam>().row(5)[8];
    EXPECT_EQ(pixel.alpha, drawnAlpha<TypeParam>(0.25));
    if constexpr (std::is_same_v<TypeParam, PF_Pixel>) {
        EXPECT_EQ(pixel.alpha, 64);
    }
    EXPECT_TRUE(this->matches(scratch, this->expected(p, Vector<double>(5.0, 5.0), 3.25, 0.0)));
}

// Radius 0: no fill, and the stroke is a disc of half the stroke width.
TYPED_TEST(CircleDrawerTest, RadiusZeroStrokesADisc) {
    CircleDrawer::Parameter p = circle(0.0, Vector<double>(20.0, 20.0), 3, 4.0);
    Rect region;
    const Layer scratch = this->draw(p, region);
    ASSERT_EQ(region, Rect(15, 15, 25, 25));
    EXPECT_TRUE(this->matches(scratch, this->expected(p, Vector<double>(5.0, 5.0), 0.0, 4.0)));
    const Ondrel::PixelView<TypeParam> view = scratch.getPixels<TypeParam>();
    EXPECT_TRUE(samePixel(view.row(5)[5], coveredPixel<TypeParam>(1.0, 0.1f, 0.3f, 0.9f)));
    EXPECT_TRUE(samePixel(view.row(5)[8], TypeParam{})) << "3 from the centre, beyond h = 2";

    p.mode = Ondrel::PaintMode::fill;
    const Layer fill = this->draw(p, region);
    EXPECT_TRUE(matchesEverywhere<TypeParam>(fill, [](int, int) { return TypeParam{}; }));
}

// Stroke width 0 draws no stroke at all; 0.5 halves every stroke coverage.
TYPED_TEST(CircleDrawerTest, ThinStrokesFade) {
    Rect region;
    const Layer none = this->draw(circle(5.0, Vector<double>(20.0, 20.0), 2, 0.0), region);
    const Ondrel::PixelView<TypeParam> view = none.getPixels<TypeParam>();
    ASSERT_FALSE(region.isEmpty());
    for (int y = 0; y < view.height; ++y) {
        for (int x = 0; x < view.width; ++x) {
            EXPECT_TRUE(samePixel(view.row(y)[x], TypeParam{}));
        }
    }

    const CircleDrawer::Parameter half = circle(5.0, Vector<double>(20.3, 20.6), 2, 0.5);
    const Layer scratch = this->draw(half, region);
    EXPECT_TRUE(this->matches(
        scratch,
        this->expected(half, Vector<double>(20.3 - region.left, 20.6 - region.top), 5.0, 0.5)));

    // Centred on a pixel, the band spans 4.75 to 5.25 from the centre. A pixel 5 away lies 0.25
    // inside its outer edge; one 4 away lies 0.75 short of its inner edge, where the inner ramp
    // leaves a quarter; both are then halved. Pixels 3 and 6 away are clear.
    const Layer centred = this->draw(circle(5.0, Vector<double>(20.0, 20.0), 2, 0.5), region);
    const auto at = [&](int x, int y) {
        return centred.getPixels<TypeParam>().row(y - region.top)[x - region.left];
    };
    const TypeParam eighth = coveredPixel<TypeParam>(0.125, 0.1f, 0.3f, 0.9f);
    for (const auto& [x, y] : {std::pair{25, 20}, std::pair{23, 24}, std::pair{16, 17},
                               std::pair{24, 20}, std::pair{20, 16}}) {
        EXPECT_TRUE(samePixel(at(x, y), eighth)) << x << ", " << y;
    }
    EXPECT_TRUE(samePixel(at(26, 20), TypeParam{}));
    EXPECT_TRUE(samePixel(at(23, 20), TypeParam{}));
}

// A negative scale mirrors the centre through the anchor and keeps the radius.
TYPED_TEST(CircleDrawerTest, NegativeScaleMirrorsThroughTheAnchor) {
    CircleDrawer::Parameter mirrored = circle(4.5, Vector<double>(33.25, 21.0), 3, 1.5);
    mirrored.anchorPoint = Vector<double>(25.0, 24.0);
    mirrored.scale = -1.0;
    Rect mirroredRegion;
    const Layer a = this->draw(mirrored, mirroredRegion);

    const CircleDrawer::Parameter direct = circle(4.5, Vector<double>(16.75, 27.0), 3, 1.5);
    Rect directRegion;
    const Layer b = this->draw(direct, directRegion);

    ASSERT_EQ(mirroredRegion, directRegion);
    const Vector<double> center(16.75 - directRegion.left, 27.0 - directRegion.top);
    EXPECT_TRUE(this->matches(a, this->expected(mirrored, center, 4.5, 1.5)));
    EXPECT_TRUE(this->matches(b, this->expected(direct, center, 4.5, 1.5)));
}

// Wholly outside the world on any side, margin included: an empty region. The stroke counts
// with its whole width unless the mode is fill only.
TYPED_TEST(CircleDrawerTest, CirclesOutsideTheWorldHaveEmptyRegions) {
    using Drawer = CircleDrawer;
    for (const Vector<double> c : {Vector<double>(-12.0, 20.0), Vector<double>(75.0, 20.0),
                                   Vector<double>(30.0, -12.0), Vector<double>(30.0, 59.0)}) {
        World world(64, 48, TestFixture::D::host);
        Layer source(this->in(), this->out(), &world.effectWorld(), TestFixture::D::bpc);
        Drawer fillOnly(circle(10.0, c, 1, 5.0));
        EXPECT_TRUE(fillOnly.calcRegion(source).isEmpty()) << c.x << "," << c.y;
        Drawer stroked(circle(10.0, c, 3, 5.0));
        EXPECT_FALSE(stroked.calcRegion(source).isEmpty()) << c.x << "," << c.y;
    }
}

} // namespace
} // namespace FilterTests
