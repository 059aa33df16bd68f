#include "Ondrel/OndrelGeneral.h"
#include "tests/support/PixelDepths.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstddef>
#include <limits>
#include <type_traits>

namespace {

using Ondrel::ColorFloat;
using Ondrel::Rect;
using Ondrel::Vector;
using TestSupport::makePixel;

// Used per pixel and copied into host-owned memory: they must stay plain values.
static_assert(std::is_trivially_copyable_v<Rect>);
static_assert(std::is_trivially_copyable_v<Vector<double>>);
static_assert(std::is_trivially_copyable_v<Vector<int>>);
static_assert(std::is_trivially_copyable_v<ColorFloat<float>>);
static_assert(std::is_trivially_copyable_v<ColorFloat<double>>);
static_assert(sizeof(ColorFloat<float>) == sizeof(PF_PixelFloat));
static_assert(offsetof(ColorFloat<float>, alpha) == offsetof(PF_PixelFloat, alpha));
static_assert(offsetof(ColorFloat<float>, red) == offsetof(PF_PixelFloat, red));
static_assert(offsetof(ColorFloat<float>, green) == offsetof(PF_PixelFloat, green));
static_assert(offsetof(ColorFloat<float>, blue) == offsetof(PF_PixelFloat, blue));
static_assert(sizeof(Rect) == sizeof(PF_LRect));

template <typename P>
void expectPixel(const P& p, int a, int r, int g, int b) {
    EXPECT_EQ(p.alpha, a);
    EXPECT_EQ(p.red, r);
    EXPECT_EQ(p.green, g);
    EXPECT_EQ(p.blue, b);
}

template <typename T>
class ColorRoundTrip : public testing::Test {};
using Precisions = testing::Types<float, double>;
TYPED_TEST_SUITE(ColorRoundTrip, Precisions);

// Different values in each channel, so a swapped channel shows up.
TYPED_TEST(ColorRoundTrip, Every8BitValueSurvives) {
    for (int p = 0; p <= 255; ++p) {
        const PF_Pixel in = makePixel<PF_Pixel>(p, 255 - p, (p + 85) % 256, (p * 7) % 256);
        const ColorFloat<TypeParam> c(in);
        const PF_Pixel viaMember = c;
        const PF_Pixel viaFree = Ondrel::aePixel8(c);
        expectPixel(viaMember, in.alpha, in.red, in.green, in.blue);
        expectPixel(viaFree, in.alpha, in.red, in.green, in.blue);
    }
}

TYPED_TEST(ColorRoundTrip, Every16BitValueSurvives) {
    for (int p = 0; p <= 32768; ++p) {
        const PF_Pixel16 in =
            makePixel<PF_Pixel16>(p, 32768 - p, (p + 1000) % 32769, (p * 7) % 32769);
        const ColorFloat<TypeParam> c(in);
        const PF_Pixel16 viaMember = c;
        const PF_Pixel16 viaFree = Ondrel::aePixel16(c);
        expectPixel(viaMember, in.alpha, in.red, in.green, in.blue);
        expectPixel(viaFree, in.alpha, in.red, in.green, in.blue);
    }
}

// Reading divides by 255 (a reciprocal product differs for some values) and scales 16 bits by
// an exact power of two.
TYPED_TEST(ColorRoundTrip, ReadingScalesByDivision) {
    using T = TypeParam;
    for (int p = 0; p <= 255; ++p) {
        const ColorFloat<T> c(makePixel<PF_Pixel>(0, p, 0, 0));
        EXPECT_EQ(c.red, static_cast<T>(p) / T(255)) << p;
        const ColorFloat<T> raw(makePixel<PF_Pixel>(0, p, 0, 0), false);
        EXPECT_EQ(raw.red, static_cast<T>(p));
    }
    for (int p = 0; p <= 32768; p += 7) {
        const ColorFloat<T> c(makePixel<PF_Pixel16>(0, 0, p, 0));
        EXPECT_EQ(c.green, static_cast<T>(p) / T(32768)) << p;
        const ColorFloat<T> raw(makePixel<PF_Pixel16>(0, 0, p, 0), false);
        EXPECT_EQ(raw.green, static_cast<T>(p));
    }
}

TEST(ColorFloat, Constructors) {
    const ColorFloat<double> zero;
    EXPECT_EQ(zero.alpha, 0.0);
    EXPECT_EQ(zero.red, 0.0);
    EXPECT_EQ(zero.green, 0.0);
    EXPECT_EQ(zero.blue, 0.0);

    const ColorFloat<float> rgb(0.2f, 0.4f, 0.6f);
    EXPECT_EQ(rgb.alpha, 1.0f);
    EXPECT_EQ(rgb.red, 0.2f);
    EXPECT_EQ(rgb.green, 0.4f);
    EXPECT_EQ(rgb.blue, 0.6f);

    const ColorFloat<double> argb(0.1, 0.2, 0.3, 0.4);
    EXPECT_EQ(argb.alpha, 0.1);
    EXPECT_EQ(argb.blue, 0.4);

    PF_PixelFloat f{};
    f.alpha = 1.5f;
    f.red = 0.1f;
    f.green = -2.0f;
    f.blue = 7.25f;
    const ColorFloat<double> wide(f);
    EXPECT_EQ(wide.alpha, 1.5);
    EXPECT_EQ(wide.red, static_cast<double>(0.1f));
    EXPECT_EQ(wide.green, -2.0);
    EXPECT_EQ(wide.blue, 7.25);
}

struct ScaledCase {
    float value;
    int bits8;
    int bits16;
};

// round half up after scaling, then clamp to [0, M]; 16-bit white is 32768
TEST(ColorFloat, ScaledConversionRoundsAndClamps) {
    const ScaledCase cases[] = {
        {0.5f, 128, 16384},
        {1.0f, 255, 32768},
        {0.999f, 255, 32735},
        {0.998f, 254, 32702},
        {0.001f, 0, 33},
        {-0.2f, 0, 0},
        {7.0f, 255, 32768},
        {1.5f, 255, 32768},
        {0.0f, 0, 0},
        {-1e30f, 0, 0},
        {std::numeric_limits<float>::infinity(), 255, 32768},
    };
    for (const ScaledCase& tc : cases) {
        SCOPED_TRACE(tc.value);
        const ColorFloat<float> c(tc.value, tc.value, 0.0f, 1.0f);
        const PF_Pixel member8 = c;
        const PF_Pixel16 member16 = c;
        expectPixel(member8, tc.bits8, tc.bits8, 0, 255);
        expectPixel(Ondrel::aePixel8(c), tc.bits8, tc.bits8, 0, 255);
        expectPixel(member16, tc.bits16, tc.bits16, 0, 32768);
        expectPixel(Ondrel::aePixel16(c), tc.bits16, tc.bits16, 0, 32768);
        const ColorFloat<double> d(tc.value, tc.value, 0.0, 1.0);
        expectPixel(Ondrel::aePixel8(d), tc.bits8, tc.bits8, 0, 255);
        expectPixel(Ondrel::aePixel16(d), tc.bits16, tc.bits16, 0, 32768);
    }
}

// A NaN channel has no meaningful value; it must come out as 0 rather than as an undefined
// float-to-integer conversion.
TEST(ColorFloat, NanConvertsToZero) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const ColorFloat<float> c(1.0f, nan, 1.0f, nan);
    const PF_Pixel p8 = c;
    const PF_Pixel16 p16 = c;
    expectPixel(p8, 255, 0, 255, 0);
    expectPixel(p16, 32768, 0, 32768, 0);
    expectPixel(Ondrel::aePixel8(c), 255, 0, 255, 0);
    expectPixel(Ondrel::aePixel16(c, false), 1, 0, 1, 0);
}

// The member conversion adds 0.5 in the colour's own precision, the free functions in double.
// For this float, c * 255 is 0.5 - 2^-25 in float: 0.5f more rounds to 1.0f, while in double the
// sum stays below 1.
TEST(ColorFloat, MemberRoundsInFloatFreeFunctionInDouble) {
    const float c8 = 0x1.0101p-9f;
    ASSERT_EQ(c8 * 255.0f, 0.5f - 0x1p-25f);
    const ColorFloat<float> color8(c8, c8, c8, c8);
    const PF_Pixel member8 = color8;
    EXPECT_EQ(member8.red, 1);
    EXPECT_EQ(Ondrel::aePixel8(color8).red, 0);

    const float c16 = (0.5f - 0x1p-25f) / 32768.0f;
    const ColorFloat<float> color16(c16, c16, c16, c16);
    const PF_Pixel16 member16 = color16;
    EXPECT_EQ(member16.green, 1);
    EXPECT_EQ(Ondrel::aePixel16(color16).green, 0);
}

// Unscaled: the colour holds pixel units, which are clamped and truncated without adding 0.5.
TEST(ColorFloat, UnscaledConversionTruncates) {
    const ColorFloat<double> c(254.9, 300.0, -3.0, 0.99);
    expectPixel(Ondrel::aePixel8(c, false), 254, 255, 0, 0);
    const ColorFloat<double> c16(32767.9, 40000.0, -0.5, 1.0);
    expectPixel(Ondrel::aePixel16(c16, false), 32767, 32768, 0, 1);
    // The form without the flag scales, as with true.
    expectPixel(Ondrel::aePixel8(ColorFloat<double>(0.5, 0.5, 0.5, 0.5), true), 128, 128, 128, 128);
}

TEST(ColorFloat, FloatConversionClampsOnlyMemberAlpha) {
    const ColorFloat<double> c(1.5, 2.0, -0.5, 0.25);
    const PF_PixelFloat member = c;
    EXPECT_EQ(member.alpha, 1.0f);
    EXPECT_EQ(member.red, 2.0f);
    EXPECT_EQ(member.green, -0.5f);
    EXPECT_EQ(member.blue, 0.25f);
    const PF_PixelFloat unclamped = Ondrel::aePixel32(c);
    EXPECT_EQ(unclamped.alpha, 1.5f);
    EXPECT_EQ(unclamped.red, 2.0f);
    EXPECT_EQ(unclamped.green, -0.5f);
    EXPECT_EQ(unclamped.blue, 0.25f);

    const PF_PixelFloat negative = ColorFloat<float>(-0.25f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(negative.alpha, 0.0f);
}

template <typename T>
void expectColor(const ColorFloat<T>& c, T a, T r, T g, T b) {
    EXPECT_EQ(c.alpha, a);
    EXPECT_EQ(c.red, r);
    EXPECT_EQ(c.green, g);
    EXPECT_EQ(c.blue, b);
}

TEST(ColorFloat, Arithmetic) {
    const ColorFloat<double> c(0.8, 1.0, 1.0, 1.0);
    expectColor(c.mult(0.5), 0.8, 0.5, 0.5, 0.5);
    expectColor(c * 0.5, 0.4, 0.5, 0.5, 0.5);
    expectColor(c.div(4.0), 0.8, 0.25, 0.25, 0.25);
    expectColor(c / 4.0, 0.2, 0.25, 0.25, 0.25);
    expectColor(c * 2, 1.6, 2.0, 2.0, 2.0);
    expectColor(c / 2, 0.4, 0.5, 0.5, 0.5);
    expectColor(c, 0.8, 1.0, 1.0, 1.0); // none of the above changes the operand

    const ColorFloat<double> d(0.25, 0.5, 0.75, 1.0);
    expectColor(c + d, 0.8 + 0.25, 1.5, 1.75, 2.0);
    expectColor(c - d, 0.8 - 0.25, 0.5, 0.25, 0.0);
    EXPECT_EQ(c.dot(d), 0.5 + 0.75 + 1.0); // alpha takes no part

    ColorFloat<float> e(0.5f, 0.5f, 0.5f, 0.5f);
    (e += ColorFloat<float>(0.5f, 0.25f, 0.0f, -0.5f)) *= 2;
    expectColor(e, 2.0f, 1.5f, 1.0f, 0.0f);
    e /= 4;
    expectColor(e, 0.5f, 0.375f, 0.25f, 0.0f);
    e -= ColorFloat<float>(0.5f, 0.375f, 0.25f, 0.0f);
    e *= 3.0f;
    e /= 2.0f;
    expectColor(e, 0.0f, 0.0f, 0.0f, 0.0f);

    expectColor(ColorFloat<double>(3.0, 1.2, -0.1, 0.5).clamp(1.0), 3.0, 1.0, 0.0, 0.5);
    expectColor(ColorFloat<float>(-1.0f, 0.7f, 0.3f, 2.0f).clamp(0.5f), -1.0f, 0.5f, 0.3f, 0.5f);
}

// ---------------------------------------------------------------------------------------------

void expectRect(const Rect& r, int left, int top, int right, int bottom) {
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

TEST(Rect, ConstructionKeepsOrNormalisesFields) {
    expectRect(Rect(), 0, 0, 0, 0);
    // From double corners: sorted per axis, then truncated toward zero (-0.5 gives 0, not -1).
    expectRect(Rect(Vector<double>(-0.5, 2.7), Vector<double>(3.9, -1.2)), 0, -1, 3, 2);
    expectRect(Rect(Vector<double>(-2.9, -7.1), Vector<double>(-0.1, -6.5)), -2, -7, 0, -6);
    expectRect(Rect(Vector<int>(5, 1), Vector<int>(2, 7)), 2, 1, 5, 7);
    expectRect(Rect(Vector<int>(2, 7), Vector<int>(5, 1)), 2, 1, 5, 7);

    const Rect inverted(10, 0, 4, 5);
    expectRect(inverted, 10, 0, 4, 5);
    EXPECT_EQ(inverted.getWidth(), -6);
    EXPECT_EQ(inverted.getHeight(), 5);
    EXPECT_TRUE(inverted.isEmpty());

    PF_LRect host{};
    host.left = -3;
    host.top = 4;
    host.right = 1;
    host.bottom = 2;
    expectRect(Rect(host), -3, 4, 1, 2);

    Rect r;
    r.setRect(host);
    expectRect(r, -3, 4, 1, 2);
    r.setRect(7, 8, 9, 10);
    expectRect(r, 7, 8, 9, 10);
    r.setRect(Vector<int>(3, 3), Vector<int>(-1, 0));
    expectRect(r, -1, 0, 3, 3);
    r.setRect(Vector<double>(0.99, 5.5), Vector<double>(-0.99, 1.01));
    expectRect(r, 0, 1, 0, 5);
}

// Regions come from arbitrary user geometry: out-of-range or NaN corners give a defined rectangle.
TEST(Rect, DoubleCornersBeyondIntSaturate) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    expectRect(Rect(Vector<double>(-1e300, nan), Vector<double>(1e300, 3.0)), INT_MIN, 0, INT_MAX,
               0);
}

TEST(Rect, AccessorsAndComparison) {
    const Rect r(2, 3, 7, 11);
    EXPECT_EQ(r.getWidth(), 5);
    EXPECT_EQ(r.getHeight(), 8);
    EXPECT_EQ(r.getLeftTop().x, 2);
    EXPECT_EQ(r.getLeftTop().y, 3);
    EXPECT_EQ(r.getRightBottom().x, 7);
    EXPECT_EQ(r.getRightBottom().y, 11);

    EXPECT_TRUE(Rect(0, 0, 0, 5).isEmpty());
    EXPECT_TRUE(Rect(0, 5, 3, 5).isEmpty());
    EXPECT_TRUE(Rect(0, 6, 3, 5).isEmpty());
    EXPECT_FALSE(Rect(0, 0, 1, 1).isEmpty());

    EXPECT_TRUE(r == Rect(2, 3, 7, 11));
    EXPECT_FALSE(r != Rect(2, 3, 7, 11));
    for (const Rect& other :
         {Rect(9, 3, 7, 11), Rect(2, 9, 7, 11), Rect(2, 3, 9, 11), Rect(2, 3, 7, 9)}) {
        EXPECT_TRUE(r != other);
        EXPECT_FALSE(r == other);
    }

    const PF_LRect host = Ondrel::aeRect(Rect(-4, 5, -1, 9));
    EXPECT_EQ(host.left, -4);
    EXPECT_EQ(host.top, 5);
    EXPECT_EQ(host.right, -1);
    EXPECT_EQ(host.bottom, 9);
}

// ---------------------------------------------------------------------------------------------

template <typename T>
void expectVector(const Vector<T>& v, T x, T y) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
}

TEST(Vector, ConstructionAndOperators) {
    expectVector(Vector<double>(), 0.0, 0.0);
    expectVector(Vector<int>(4), 4, 4);
    expectVector(+Vector<int>(3, -2), 3, -2);
    expectVector(-Vector<double>(3.5, -2.0), -3.5, 2.0);

    Vector<double> v(1.0, 2.0);
    v += Vector<double>(0.5, 0.25);
    expectVector(v, 1.5, 2.25);
    v -= Vector<double>(1.0, 2.0);
    expectVector(v, 0.5, 0.25);
    v *= Vector<double>(4.0, 8.0);
    expectVector(v, 2.0, 2.0);
    v /= Vector<double>(4.0, 0.5);
    expectVector(v, 0.5, 4.0);
    v *= 3.0;
    expectVector(v, 1.5, 12.0);
    v /= 2.0;
    expectVector(v, 0.75, 6.0);

    // Integer division truncates toward zero.
    Vector<int> i(-7, 7);
    i /= 2;
    expectVector(i, -3, 3);
    i /= Vector<int>(-2, 3);
    expectVector(i, 1, 1);
}

TEST(Vector, LengthDotCross) {
    static_assert(std::is_same_v<decltype(Vector<float>().length()), double>);
    static_assert(std::is_same_v<decltype(Vector<int>().length()), double>);
    EXPECT_EQ(Vector<float>(3.0f, 4.0f).length(), 5.0);
    EXPECT_EQ(Vector<int>(-5, 12).length(), 13.0);
    EXPECT_EQ(Vector<double>(1.0, 0.0).cross(Vector<double>(0.0, 1.0)), 1.0);
    EXPECT_EQ(Vector<double>(0.0, 1.0).cross(Vector<double>(1.0, 0.0)), -1.0);
    EXPECT_EQ(Vector<int>(2, 3).dot(Vector<int>(4, -5)), -7);
    EXPECT_EQ(Vector<int>(2, 3).cross(Vector<int>(4, -5)), -22);
    EXPECT_EQ(Vector<float>(0.5f, 2.0f).dot(Vector<float>(4.0f, 0.25f)), 2.5f);
}

TEST(Vector, Normalize) {
    // int components are truncated toward zero.
    const int ints[][4] = {
        {3, 4, 0, 0}, {5, 0, 1, 0}, {-7, 0, -1, 0}, {0, -2, 0, -1}, {0, 0, 0, 0}};
    for (const auto& tc : ints) {
        Vector<int> v(tc[0], tc[1]);
        v.normalize();
        expectVector(v, tc[2], tc[3]);
    }

    Vector<double> zero;
    zero.normalize();
    expectVector(zero, 0.0, 0.0);
    EXPECT_FALSE(std::isnan(zero.x));

    Vector<double> d(3.0, -4.0);
    d.normalize();
    expectVector(d, 0.6, -0.8);

    // The quotient is formed in double, then narrowed to float.
    Vector<float> f(1.0f, 2.0f);
    f.normalize();
    expectVector(f, static_cast<float>(1.0 / std::sqrt(5.0)),
                 static_cast<float>(2.0 / std::sqrt(5.0)));
}

} // namespace
