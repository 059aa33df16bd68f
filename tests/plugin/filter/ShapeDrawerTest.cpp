#include "FilterHost.h"

#include "Ondrel/Filter/OndrelShapeDrawer.h"
#include "Ondrel/Filter/OndrelShapeGeometry.h"
#include "Ondrel/OndrelBlend.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <type_traits>
#include <vector>

namespace {

using FilterTests::coveredPixel;
using FilterTests::Depth;
using FilterTests::PixelTypes;
using FilterTests::samePixel;
using Ondrel::ColorFloat;
using Ondrel::Coverage;
using Ondrel::Layer;
using Ondrel::Rect;
using Ondrel::Vector;

// A shape whose coverage is a table, one entry per scratch pixel; it remembers the points it was
// asked about (tests run it on one thread).
class TableShape : public Ondrel::ShapeDrawerBase<TableShape> {
public:
    Ondrel::PaintMode mode = Ondrel::PaintMode::fillAndStroke;
    ColorFloat<float> fillColor{0.0f, 0.5f, 1.5f, -0.25f}; // alpha is not used
    ColorFloat<float> strokeColor{0.0f, 1.0f, 0.2f, 0.0f};
    int width = 1;
    std::vector<Coverage> table;
    mutable std::vector<Vector<double>> asked;

    Coverage coverageAt(double x, double y) const {
        asked.emplace_back(x, y);
        return table.at(
            static_cast<std::size_t>(static_cast<int>(y) * width + static_cast<int>(x)));
    }

    // A table says nothing about runs: every pixel is evaluated.
    template <typename Out>
    void rowRuns(int /*y*/, int left, int right, Out& out) const {
        out.varying(left, right);
    }
};

template <typename Pixel>
class ShapeDrawerTest : public ::testing::Test, protected FilterTests::HostFixture {
protected:
    using D = Depth<Pixel>;

    OfflineHost::World m_sourceWorld{1, 1, D::host};
    Layer m_source{in(), out(), &m_sourceWorld.effectWorld(), D::bpc};

    Pixel fillOf(const TableShape& s, double a) {
        return coveredPixel<Pixel>(a, s.fillColor.red, s.fillColor.green, s.fillColor.blue);
    }
    Pixel strokeOf(const TableShape& s, double a) {
        return coveredPixel<Pixel>(a, s.strokeColor.red, s.strokeColor.green, s.strokeColor.blue);
    }
};

TYPED_TEST_SUITE(ShapeDrawerTest, PixelTypes);

// Fill coverages become alpha by the depth's conversion, colours by theirs; coverage exactly
// 1e-6 leaves the pixel alone, anything above draws even when its alpha rounds to 0.
TYPED_TEST(ShapeDrawerTest, ConvertsFillCoverageAndColourAtTheDepth) {
    using Pixel = TypeParam;
    TableShape shape;
    shape.mode = Ondrel::PaintMode::fill;
    const std::vector<double> fills = {1.0, 0.5, 0.25, 0.75, 1e-6, 1.5e-6, 0.0};
    shape.width = static_cast<int>(fills.size());
    for (const double a : fills) {
        shape.table.push_back({a, 1.0});
    }
    Layer scratch(this->in(), this->out(), shape.width, 1, TestFixture::D::bpc);

    shape.execute("draw", this->m_source, scratch, 0, 1);

    const Ondrel::PixelView<Pixel> view = scratch.getPixels<Pixel>();
    for (int x = 0; x < shape.width; ++x) {
        const double a = fills[static_cast<std::size_t>(x)];
        const Pixel expected = a > 1e-6 ? this->fillOf(shape, a) : Pixel{};
        EXPECT_TRUE(samePixel(view.row(0)[x], expected)) << "coverage " << a;
    }
    // The sample point of pixel (x, y) is (x, y) itself.
    ASSERT_EQ(shape.asked.size(), fills.size());
    for (int x = 0; x < shape.width; ++x) {
        EXPECT_EQ(shape.asked[static_cast<std::size_t>(x)].x, static_cast<double>(x));
        EXPECT_EQ(shape.asked[static_cast<std::size_t>(x)].y, 0.0);
    }
}

// The stroke lies over the fill with the normal blend; on a transparent pixel it is the stroke
// pixel itself. Mode 1 draws no stroke, mode 2 no fill.
TYPED_TEST(ShapeDrawerTest, CompositesTheStrokeOverTheFillAndHonoursTheMode) {
    using Pixel = TypeParam;
    TableShape shape;
    shape.width = 3;
    shape.table = {{1.0, 0.5}, {0.0, 0.5}, {0.6, 0.0}};

    for (const int mode : {1, 2, 3}) {
        shape.mode = static_cast<Ondrel::PaintMode>(mode);
        Layer scratch(this->in(), this->out(), 3, 1, TestFixture::D::bpc);
        shape.execute("draw", this->m_source, scratch, 0, 1);
        const Pixel* row = scratch.getPixels<Pixel>().row(0);

        const Pixel fill0 = mode != 2 ? this->fillOf(shape, 1.0) : Pixel{};
        const Pixel expected0 =
            mode != 1 ? Ondrel::Blend::normal(fill0, this->strokeOf(shape, 0.5)) : fill0;
        EXPECT_TRUE(samePixel(row[0], expected0)) << "mode " << mode;
        EXPECT_TRUE(samePixel(row[1], mode != 1 ? this->strokeOf(shape, 0.5) : Pixel{}));
        EXPECT_TRUE(samePixel(row[2], mode != 2 ? this->fillOf(shape, 0.6) : Pixel{}));
        if constexpr (std::is_same_v<Pixel, PF_Pixel>) {
            // Worked out by hand: fill (255, 128, 255, 0), stroke (128, 255, 51, 0);
            // k = (255 - 128) * 255 / 255 = 127, colour = (b * 127 + s * 128) / 255.
            if (mode == 3) {
                EXPECT_TRUE(samePixel(row[0], PF_Pixel{255, (128 * 127 + 255 * 128) / 255,
                                                       (255 * 127 + 51 * 128) / 255, 0}));
            }
        }
    }
}

// Only the rows of the band are drawn.
TYPED_TEST(ShapeDrawerTest, DrawsOnlyItsBand) {
    using Pixel = TypeParam;
    TableShape shape;
    shape.mode = Ondrel::PaintMode::fill;
    shape.width = 2;
    shape.table.assign(2 * 6, Coverage{1.0, 0.0});
    Layer scratch(this->in(), this->out(), 2, 6, TestFixture::D::bpc);

    shape.execute("draw", this->m_source, scratch, 1, 3); // rows 2 and 3

    const Ondrel::PixelView<Pixel> view = scratch.getPixels<Pixel>();
    for (int y = 0; y < 6; ++y) {
        const Pixel expected = (y == 2 || y == 3) ? this->fillOf(shape, 1.0) : Pixel{};
        EXPECT_TRUE(samePixel(view.row(y)[1], expected)) << "row " << y;
    }
}

TYPED_TEST(ShapeDrawerTest, OtherPassesDepthsAndWorldsDrawNothing) {
    using Pixel = TypeParam;
    TableShape shape;
    shape.table = {{1.0, 1.0}};
    Layer scratch(this->in(), this->out(), 1, 1, TestFixture::D::bpc);

    shape.execute("Draw", this->m_source, scratch, 0, 1);
    shape.execute("draw ", this->m_source, scratch, 0, 1);
    OfflineHost::World otherWorld(1, 1, TestFixture::D::host);
    Layer unknownDepth(this->in(), this->out(), &otherWorld.effectWorld(), 3);
    shape.execute("draw", unknownDepth, scratch, 0, 1);
    EXPECT_TRUE(samePixel(scratch.getPixels<Pixel>().row(0)[0], Pixel{}));

    // A destination of another depth than the source, or without pixels, is left alone.
    const int otherBpc = (TestFixture::D::bpc + 1) % 3;
    Layer mismatched(this->in(), this->out(), 1, 1, otherBpc);
    Layer nullWorld(this->in(), this->out(), nullptr, TestFixture::D::bpc);
    shape.execute("draw", this->m_source, mismatched, 0, 1);
    shape.execute("draw", this->m_source, nullWorld, 0, 1);
    EXPECT_TRUE(shape.asked.empty());
    EXPECT_EQ(nullWorld.getError(), PF_Err_NONE);
}

// Float pixels take coverage as it is, except that a stroke's is limited to 1.
class FloatShapeDrawerTest : public ShapeDrawerTest<PF_PixelFloat> {};

TEST_F(FloatShapeDrawerTest, StrokeCoverageIsLimitedToOneButFillIsNot) {
    TableShape shape;
    shape.width = 2;
    shape.table = {{1.5, 0.0}, {0.0, 1.5}};
    Layer scratch(in(), out(), 2, 1, Ondrel::bpc32);

    shape.execute("draw", m_source, scratch, 0, 1);

    const PF_PixelFloat* row = scratch.getPixels<PF_PixelFloat>().row(0);
    EXPECT_TRUE(samePixel(row[0], fillOf(shape, 1.5)));
    EXPECT_EQ(row[0].alpha, 1.5f);
    EXPECT_TRUE(samePixel(row[1], strokeOf(shape, 1.0)));
}

// ---------------------------------------------------------------------------------------------
// Shared geometry

TEST(ShapeGeometry, Clamp01IsTheOnePixelRamp) {
    EXPECT_EQ(Ondrel::clamp01(-0.5), 0.0);
    EXPECT_EQ(Ondrel::clamp01(0.25), 0.25);
    EXPECT_EQ(Ondrel::clamp01(3.0), 1.0);
    EXPECT_FALSE(Ondrel::clamp01(std::nan("")) > Ondrel::coverageThreshold);
}

// About the anchor: a positive quarter turn takes "right" to "down" on screen, then the signed
// scale, then the position.
TEST(ShapeGeometry, TransformRotatesScalesAndMovesAboutTheAnchor) {
    Ondrel::ShapeTransform t;
    t.anchorPoint = Vector<double>(2.0, 1.0);
    t.position = Vector<double>(10.0, 20.0);
    t.rotation = std::acos(0.0);
    t.scale = 2.0;
    const Vector<double> p = t.apply(Vector<double>(3.0, 1.0));
    EXPECT_DOUBLE_EQ(p.x, 12.0);
    EXPECT_DOUBLE_EQ(p.y, 23.0);

    t.rotation = 0.0;
    t.scale = -1.0;
    t.position = Vector<double>();
    const Vector<double> mirrored = t.apply(Vector<double>(5.0, 3.0));
    EXPECT_EQ(mirrored.x, -1.0);
    EXPECT_EQ(mirrored.y, -1.0);
    EXPECT_EQ(t.scaleLength(3.0), 3.0);
}

class RegionTest : public ::testing::Test, protected FilterTests::HostFixture {
protected:
    OfflineHost::World m_world{40, 30, OfflineHost::PixelDepth::Bits8};
    Layer m_source{in(), out(), &m_world.effectWorld(), Ondrel::bpc8};
};

TEST_F(RegionTest, AddsTheMarginRoundsOutwardAndClampsToTheWorld) {
    using Ondrel::Extent;
    using Ondrel::regionOf;
    EXPECT_EQ(regionOf(Extent::around(Vector<double>(10.3, 15.0), 4.0), m_source),
              Rect(5, 10, 16, 20));
    EXPECT_EQ(regionOf(Extent::around(Vector<double>(1.0, 28.5), 4.0), m_source),
              Rect(0, 23, 6, 30));
    EXPECT_EQ(regionOf({-100.0, -100.0, 100.0, 100.0}, m_source), Rect(0, 0, 40, 30));

    // Wholly outside on each side, margin included.
    for (const Extent e :
         {Extent{-9.0, 5.0, -1.0, 9.0}, Extent{41.0, 5.0, 50.0, 9.0}, Extent{5.0, -9.0, 9.0, -1.0},
          Extent{5.0, 31.0, 9.0, 40.0}, Extent{1e300, 5.0, 1e301, 9.0}}) {
        EXPECT_TRUE(regionOf(e, m_source).isEmpty());
    }
    EXPECT_FALSE(regionOf(Extent{-9.0, 5.0, -0.5, 9.0}, m_source).isEmpty())
        << "the margin reaches into the world";
    const double nan = std::nan("");
    EXPECT_EQ(regionOf(Extent{nan, 5.0, 9.0, 9.0}, m_source), Rect());
}

TEST_F(RegionTest, TheMarginCanBeAddedBeforeOrAfterRounding) {
    using Ondrel::Extent;
    using Ondrel::MarginRounding;
    const Extent tiny{2.5, 2.5, 1e-17, 3.5};
    // 1e-17 + 1 rounds to 1 before the ceiling; ceil(1e-17) + 1 is 2.
    EXPECT_EQ(Ondrel::regionOf(tiny, m_source, MarginRounding::beforeRounding).right, 1);
    EXPECT_EQ(Ondrel::regionOf(tiny, m_source, MarginRounding::afterRounding).right, 2);
    EXPECT_EQ(Ondrel::regionOf(tiny, m_source, MarginRounding::afterRounding).left, 1);
}

} // namespace
