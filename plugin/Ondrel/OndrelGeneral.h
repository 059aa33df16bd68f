// Value types shared by the effects, the layer wrapper and the drawers: integer pixel rectangles,
// 2-D vectors and straight-alpha colours in unit range, with their exact conversions to and from
// the host's pixel and rectangle records. Everything here is used per pixel, so it stays
// trivially copyable, allocation-free and inline.
#pragma once

#include "AE_Effect.h"
#include "Ondrel/OndrelPixelTraits.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace Ondrel {

namespace Detail {

// Truncation toward zero that stays defined for every input: NaN gives 0 and values beyond the
// range of int saturate, so a degenerate shape yields a harmless rectangle instead of undefined
// behaviour.
constexpr int truncateToInt(double v) {
    if (!(v == v)) {
        return 0;
    }
    if (v <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    if (v >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(v);
}

// Integer products of Vector<int> are formed in 64 bits so that large offsets wrap instead of
// overflowing; floating types keep their own precision.
template <typename T>
using WideT = std::conditional_t<std::is_integral_v<T>, std::int64_t, T>;

} // namespace Detail

// ---------------------------------------------------------------------------------------------
// Vector

template <typename T>
struct Vector {
    T x{};
    T y{};

    constexpr Vector() = default;
    constexpr Vector(T xv, T yv) : x(xv), y(yv) {}
    constexpr explicit Vector(T v) : x(v), y(v) {}

    constexpr Vector operator+() const { return *this; }
    constexpr Vector operator-() const { return Vector(static_cast<T>(-x), static_cast<T>(-y)); }

    constexpr Vector& operator+=(const Vector& v) {
        x += v.x;
        y += v.y;
        return *this;
    }
    constexpr Vector& operator-=(const Vector& v) {
        x -= v.x;
        y -= v.y;
        return *this;
    }
    constexpr Vector& operator*=(const Vector& v) {
        x *= v.x;
        y *= v.y;
        return *this;
    }
    constexpr Vector& operator/=(const Vector& v) {
        x /= v.x;
        y /= v.y;
        return *this;
    }
    constexpr Vector& operator*=(T s) {
        x *= s;
        y *= s;
        return *this;
    }
    constexpr Vector& operator/=(T s) {
        x /= s;
        y /= s;
        return *this;
    }

    double length() const {
        using W = Detail::WideT<T>;
        const W sq = static_cast<W>(x) * static_cast<W>(x) + static_cast<W>(y) * static_cast<W>(y);
        return std::sqrt(static_cast<double>(sq));
    }

    // A zero-length vector has no direction and is left as it is.
    void normalize() {
        const double len = length();
        if (len > 0.0) {
            // |x| <= len, so the narrowing (truncation toward zero for int) stays in range.
            x = static_cast<T>(static_cast<double>(x) / len);
            y = static_cast<T>(static_cast<double>(y) / len);
        }
    }

    constexpr T dot(const Vector& v) const {
        using W = Detail::WideT<T>;
        return static_cast<T>(static_cast<W>(x) * static_cast<W>(v.x) +
                              static_cast<W>(y) * static_cast<W>(v.y));
    }

    constexpr T cross(const Vector& v) const {
        using W = Detail::WideT<T>;
        return static_cast<T>(static_cast<W>(x) * static_cast<W>(v.y) -
                              static_cast<W>(y) * static_cast<W>(v.x));
    }
};

// ---------------------------------------------------------------------------------------------
// Rect: right and bottom are exclusive; the fields never reorder themselves except when the
// rectangle is built from two corner points.

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr Rect() = default;
    constexpr Rect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}
    constexpr Rect(const PF_LRect& r)
        : left(r.left), top(r.top), right(r.right), bottom(r.bottom) {}
    constexpr Rect(const Vector<int>& a, const Vector<int>& b) { setRect(a, b); }
    constexpr Rect(const Vector<double>& a, const Vector<double>& b) { setRect(a, b); }

    constexpr void setRect(int l, int t, int r, int b) {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }
    constexpr void setRect(const PF_LRect& r) { setRect(r.left, r.top, r.right, r.bottom); }
    constexpr void setRect(const Vector<int>& a, const Vector<int>& b) {
        setRect(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y));
    }
    // Truncation toward zero (not floor): callers widen the region themselves where they need to.
    constexpr void setRect(const Vector<double>& a, const Vector<double>& b) {
        setRect(
            Detail::truncateToInt(std::min(a.x, b.x)), Detail::truncateToInt(std::min(a.y, b.y)),
            Detail::truncateToInt(std::max(a.x, b.x)), Detail::truncateToInt(std::max(a.y, b.y)));
    }

    constexpr int getWidth() const { return right - left; }
    constexpr int getHeight() const { return bottom - top; }
    constexpr Vector<int> getLeftTop() const { return {left, top}; }
    constexpr Vector<int> getRightBottom() const { return {right, bottom}; }
    constexpr bool isEmpty() const { return left >= right || top >= bottom; }

    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

constexpr PF_LRect aeRect(const Rect& r) {
    PF_LRect out{};
    out.left = r.left;
    out.top = r.top;
    out.right = r.right;
    out.bottom = r.bottom;
    return out;
}

// ---------------------------------------------------------------------------------------------
// ColorFloat: straight alpha, fields in the host's channel order (alpha, red, green, blue), so
// ColorFloat<float> has the layout of PF_PixelFloat. Nothing clamps except the conversions to
// host pixels and clamp(), so overbright float colours survive until they are written out.

template <typename T>
struct ColorFloat {
    static_assert(std::is_floating_point_v<T>, "ColorFloat holds float or double channels");

    T alpha{};
    T red{};
    T green{};
    T blue{};

    constexpr ColorFloat() = default;
    constexpr ColorFloat(T r, T g, T b) : alpha(T(1)), red(r), green(g), blue(b) {}
    constexpr ColorFloat(T a, T r, T g, T b) : alpha(a), red(r), green(g), blue(b) {}

    // Channels are divided by the full scale in T (not multiplied by a reciprocal) so that every
    // 8-bit value comes back unchanged through the 8-bit conversion; 16 bits divide exactly.
    constexpr ColorFloat(const PF_Pixel& p, bool normalized = true)
        : alpha(_from<PF_Pixel>(p.alpha, normalized)), red(_from<PF_Pixel>(p.red, normalized)),
          green(_from<PF_Pixel>(p.green, normalized)), blue(_from<PF_Pixel>(p.blue, normalized)) {}

    constexpr ColorFloat(const PF_Pixel16& p, bool normalized = true)
        : alpha(_from<PF_Pixel16>(p.alpha, normalized)), red(_from<PF_Pixel16>(p.red, normalized)),
          green(_from<PF_Pixel16>(p.green, normalized)),
          blue(_from<PF_Pixel16>(p.blue, normalized)) {}

    constexpr ColorFloat(const PF_PixelFloat& p)
        : alpha(static_cast<T>(p.alpha)), red(static_cast<T>(p.red)),
          green(static_cast<T>(p.green)), blue(static_cast<T>(p.blue)) {}

    // The member conversions round in T; the free aePixel8/aePixel16 round in double.
    constexpr operator PF_Pixel() const { return _to<PF_Pixel>(); }
    constexpr operator PF_Pixel16() const { return _to<PF_Pixel16>(); }

    // Float worlds keep overbright colours, but an alpha outside [0, 1] means nothing.
    constexpr operator PF_PixelFloat() const {
        PF_PixelFloat p{};
        p.alpha = static_cast<PF_FpShort>(alpha < T(0) ? T(0) : (alpha > T(1) ? T(1) : alpha));
        p.red = static_cast<PF_FpShort>(red);
        p.green = static_cast<PF_FpShort>(green);
        p.blue = static_cast<PF_FpShort>(blue);
        return p;
    }

    constexpr ColorFloat& operator+=(const ColorFloat& c) {
        alpha += c.alpha;
        red += c.red;
        green += c.green;
        blue += c.blue;
        return *this;
    }
    constexpr ColorFloat& operator-=(const ColorFloat& c) {
        alpha -= c.alpha;
        red -= c.red;
        green -= c.green;
        blue -= c.blue;
        return *this;
    }
    constexpr ColorFloat& operator*=(T s) {
        alpha *= s;
        red *= s;
        green *= s;
        blue *= s;
        return *this;
    }
    constexpr ColorFloat& operator/=(T s) {
        alpha /= s;
        red /= s;
        green /= s;
        blue /= s;
        return *this;
    }
    constexpr ColorFloat& operator*=(int s) { return *this *= static_cast<T>(s); }
    constexpr ColorFloat& operator/=(int s) { return *this /= static_cast<T>(s); }

    constexpr ColorFloat operator+(const ColorFloat& c) const { return ColorFloat(*this) += c; }
    constexpr ColorFloat operator-(const ColorFloat& c) const { return ColorFloat(*this) -= c; }
    constexpr ColorFloat operator*(T s) const { return ColorFloat(*this) *= s; }
    constexpr ColorFloat operator/(T s) const { return ColorFloat(*this) /= s; }
    constexpr ColorFloat operator*(int s) const { return ColorFloat(*this) *= s; }
    constexpr ColorFloat operator/(int s) const { return ColorFloat(*this) /= s; }

    // mult, div and clamp return a new colour and leave this one alone; [[nodiscard]] turns a
    // call that expects an in-place change into a compile error.
    [[nodiscard]] constexpr ColorFloat mult(T s) const {
        return ColorFloat(alpha, red * s, green * s, blue * s);
    }
    [[nodiscard]] constexpr ColorFloat div(T s) const {
        return ColorFloat(alpha, red / s, green / s, blue / s);
    }
    constexpr T dot(const ColorFloat& c) const {
        return red * c.red + green * c.green + blue * c.blue;
    }
    [[nodiscard]] constexpr ColorFloat clamp(T max) const {
        return ColorFloat(alpha, _clampChannel(red, max), _clampChannel(green, max),
                          _clampChannel(blue, max));
    }

private:
    template <typename Pixel>
    static constexpr T _from(typename PixelTraits<Pixel>::ChannelType v, bool normalized) {
        return normalized ? PixelTraits<Pixel>::template toUnit<T>(v) : static_cast<T>(v);
    }
    template <typename Pixel>
    constexpr Pixel _to() const {
        using Traits = PixelTraits<Pixel>;
        Pixel p{};
        p.alpha = Traits::fromUnit(alpha);
        p.red = Traits::fromUnit(red);
        p.green = Traits::fromUnit(green);
        p.blue = Traits::fromUnit(blue);
        return p;
    }
    static constexpr T _clampChannel(T c, T max) {
        if (c > max) {
            return max;
        }
        return c < T(0) ? T(0) : c;
    }
};

namespace Detail {

// The free conversions form c * M in T and add the 0.5 in double. With normalized false the colour
// holds raw pixel units, which are only clamped and truncated.
template <typename Pixel, typename T>
constexpr Pixel aePixel(const ColorFloat<T>& c, bool normalized) {
    using Traits = PixelTraits<Pixel>;
    const auto channel = [normalized](T v) {
        return normalized ? Traits::fromUnitHalfInDouble(v) : Traits::fromRaw(v);
    };
    Pixel p{};
    p.alpha = channel(c.alpha);
    p.red = channel(c.red);
    p.green = channel(c.green);
    p.blue = channel(c.blue);
    return p;
}

} // namespace Detail

template <typename T>
constexpr PF_Pixel aePixel8(const ColorFloat<T>& c, bool normalized = true) {
    return Detail::aePixel<PF_Pixel>(c, normalized);
}

template <typename T>
constexpr PF_Pixel16 aePixel16(const ColorFloat<T>& c, bool normalized = true) {
    return Detail::aePixel<PF_Pixel16>(c, normalized);
}

// Unlike the member conversion, this copies alpha unclamped as well.
template <typename T>
constexpr PF_PixelFloat aePixel32(const ColorFloat<T>& c) {
    PF_PixelFloat p{};
    p.alpha = static_cast<PF_FpShort>(c.alpha);
    p.red = static_cast<PF_FpShort>(c.red);
    p.green = static_cast<PF_FpShort>(c.green);
    p.blue = static_cast<PF_FpShort>(c.blue);
    return p;
}

} // namespace Ondrel
