// The part of every shape drawer that is not geometry: the "draw" pass over one band of the
// scratch layer, the per-depth pixel loop, the colour and coverage conversions and the blending.
//
// A drawer's Impl plugs in by deriving from ShapeDrawerBase<Impl> and providing (publicly):
//   int mode;                                  1 fill, 2 stroke, anything else both
//   ColorFloat<float> fillColor, strokeColor;  only red, green and blue are used
//   static constexpr FillBlend fillBlend;      store the fill pixel or composite it
//   Coverage coverageAt(double x, double y) const;
// coverageAt receives the sample point of pixel (x, y) of the scratch layer (no half-pixel
// offset) and returns its fill and stroke coverage. The stroke is always composited over the fill
// with Blend::normal.
#pragma once

#include "AE_Effect.h"
#include "Ondrel/Filter/OndrelIterateFilter.h"
#include "Ondrel/Filter/OndrelShapeGeometry.h"
#include "Ondrel/OndrelBlend.h"
#include "Ondrel/OndrelGeneral.h"
#include "Ondrel/OndrelLayer.h"
#include "Ondrel/OndrelPixelTraits.h"

#include <algorithm>
#include <concepts>
#include <string>

namespace Ondrel {

enum class FillBlend {
    store,     // the fill pixel replaces the scratch pixel
    composite, // the fill pixel is laid over the scratch pixel with Blend::normal
};

template <typename Shape>
concept ShapeGeometry = requires(const Shape& shape, double x, double y) {
    { shape.coverageAt(x, y) } -> std::same_as<Coverage>;
    { shape.mode } -> std::convertible_to<int>;
    { shape.fillColor } -> std::convertible_to<ColorFloat<float>>;
    { shape.strokeColor } -> std::convertible_to<ColorFloat<float>>;
    { Shape::fillBlend } -> std::convertible_to<FillBlend>;
};

template <typename Shape>
class ShapeDrawerBase {
public:
    // Draws band index of count of the destination when name is "draw", at the source's depth.
    // The source's pixels are never read. Any other name or depth code draws nothing.
    void execute(const std::string& name, Layer& source, Layer& destination, int index,
                 int count) const {
        if (name != "draw") {
            return;
        }
        const Rect band = getSegmentedRegion(destination.getSize(), index, count, 0);
        switch (source.getBPC()) {
        case bpc8:
            _draw8(destination, band);
            break;
        case bpc16:
            _draw16(destination, band);
            break;
        case bpc32:
            _draw32(destination, band);
            break;
        default:
            break;
        }
    }

private:
    void _draw8(Layer& destination, const Rect& band) const { _draw<PF_Pixel>(destination, band); }
    void _draw16(Layer& destination, const Rect& band) const {
        _draw<PF_Pixel16>(destination, band);
    }
    void _draw32(Layer& destination, const Rect& band) const {
        _draw<PF_PixelFloat>(destination, band);
    }

    // Writes only the band's pixels, clipped to the destination's memory. A destination without
    // pixels, or of another depth than the source, is left alone.
    template <typename Pixel>
    void _draw(Layer& destination, const Rect& band) const {
        static_assert(ShapeGeometry<Shape>, "a drawer's Impl must provide the shape interface");
        using Traits = PixelTraits<Pixel>;
        const Shape& shape = static_cast<const Shape&>(*this);

        const PixelView<Pixel> view = destination.getPixels<Pixel>();
        if (view.base == nullptr) {
            return;
        }
        const int left = std::max(band.left, 0);
        const int top = std::max(band.top, 0);
        const int right = std::min(band.right, view.width);
        const int bottom = std::min(band.bottom, view.height);

        const bool drawFill = shape.mode != 2;
        const bool drawStroke = shape.mode != 1;
        // Colours convert once, rounded in single precision; alpha is the coverage's.
        const Pixel fillPixel = static_cast<Pixel>(shape.fillColor);
        const Pixel strokePixel = static_cast<Pixel>(shape.strokeColor);

        for (int y = top; y < bottom; ++y) {
            Pixel* const row = view.row(y);
            for (int x = left; x < right; ++x) {
                const Coverage coverage =
                    shape.coverageAt(static_cast<double>(x), static_cast<double>(y));
                Pixel& pixel = row[x];
                if (drawFill && coverage.fill > coverageThreshold) {
                    Pixel fill = fillPixel;
                    fill.alpha = Traits::fromUnit(coverage.fill);
                    pixel = Shape::fillBlend == FillBlend::composite ? Blend::normal(pixel, fill)
                                                                     : fill;
                }
                if (drawStroke && coverage.stroke > coverageThreshold) {
                    Pixel stroke = strokePixel;
                    stroke.alpha = Traits::fromUnit(std::min(coverage.stroke, 1.0));
                    pixel = Blend::normal(pixel, stroke);
                }
            }
        }
    }
};

} // namespace Ondrel
