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
struct ColorFloat;

namespace Detail {

// The pixel of colour c, each channel through its depth's traits with the given rounding.
template <typename Pixel, Rounding R, typename T>
constexpr Pixel toPixel(const ColorFloat<T>& c);

} // namespace Detail

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

    // With normalized false the colour takes the raw channel values.
    constexpr ColorFloat(const PF_Pixel& p, bool normalized = true)
        : ColorFloat(_fromPixel(p, normalized)) {}
    constexpr ColorFloat(const PF_Pixel16& p, bool normalized = true)
        : ColorFloat(_fromPixel(p, normalized)) {}
    constexpr ColorFloat(const PF_PixelFloat& p) : ColorFloat(_fromPixel(p, true)) {}

    // The members round in T; the free aePixel8/aePixel16 add the 0.5 in double.
    constexpr operator PF_Pixel() const {
        return Detail::toPixel<PF_Pixel, Rounding::inValueType>(*this);
    }
    constexpr operator PF_Pixel16() const {
        return Detail::toPixel<PF_Pixel16, Rounding::inValueType>(*this);
    }
    // Float worlds keep overbright colours, but an alpha outside [0, 1] means nothing.
    constexpr operator PF_PixelFloat() const {
        ColorFloat limited = *this;
        limited.alpha = alpha < T(0) ? T(0) : (alpha > T(1) ? T(1) : alpha);
        return Detail::toPixel<PF_PixelFloat, Rounding::inValueType>(limited);
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
    static constexpr ColorFloat _fromPixel(const Pixel& p, bool normalized) {
        const auto channel = [normalized](typename PixelTraits<Pixel>::ChannelType c) {
            return normalized ? PixelTraits<Pixel>::template toUnit<T>(c) : static_cast<T>(c);
        };
        return ColorFloat(channel(p.alpha), channel(p.red), channel(p.green), channel(p.blue));
    }
    static constexpr T _clampChannel(T c, T max) {
        if (c > max) {
            return max;
        }
        return c < T(0) ? T(0) : c;
    }
};

namespace Detail {

template <typename Pixel, Rounding R, typename T>
constexpr Pixel toPixel(const ColorFloat<T>& c) {
    using Traits = PixelTraits<Pixel>;
    Pixel p{};
    p.alpha = Traits::template fromValue<R>(c.alpha);
    p.red = Traits::template fromValue<R>(c.red);
    p.green = Traits::template fromValue<R>(c.green);
    p.blue = Traits::template fromValue<R>(c.blue);
    return p;
}

} // namespace Detail

// With normalized false the colour holds raw channel values, which are only limited and
// truncated.
template <typename T>
constexpr PF_Pixel aePixel8(const ColorFloat<T>& c, bool normalized = true) {
    return normalized ? Detail::toPixel<PF_Pixel, Rounding::inDouble>(c)
                      : Detail::toPixel<PF_Pixel, Rounding::none>(c);
}

template <typename T>
constexpr PF_Pixel16 aePixel16(const ColorFloat<T>& c, bool normalized = true) {
    return normalized ? Detail::toPixel<PF_Pixel16, Rounding::inDouble>(c)
                      : Detail::toPixel<PF_Pixel16, Rounding::none>(c);
}

// Unlike the member conversion, this copies alpha unlimited as well.
template <typename T>
constexpr PF_PixelFloat aePixel32(const ColorFloat<T>& c) {
    return Detail::toPixel<PF_PixelFloat, Rounding::inDouble>(c);
}

} // namespace Ondrel
