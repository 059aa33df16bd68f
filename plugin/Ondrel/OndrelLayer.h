// A host pixel world with its depth code: either a world the host owns (borrowed, never released
// here) or a cleared world the layer creates and disposes of when its last copy goes. Copies share
// one world and one error state. The first host error is kept and every later host operation is
// skipped, so callers check getError() once per step.
//
// A world without pixels (a null world, or a world whose pixel pointer is null, as a checkout may
// deliver) is never handed to the host or touched: the first of fill, copyTo and blendTo that
// would need it records PF_Err_BAD_CALLBACK_PARAM instead, and the pixel accessors return null.
#pragma once

#include "AE_Effect.h"
#include "Ondrel/OndrelGeneral.h"
#include "Ondrel/OndrelPixelTraits.h"

#include <cstddef>
#include <memory>

namespace Ondrel {

// Pixel (x, y) lies at base + y * rowPixels + x; rowPixels may exceed width (padded rows).
template <typename Pixel>
struct PixelView {
    Pixel* base = nullptr;
    int width = 0;
    int height = 0;
    int rowPixels = 0;

    Pixel* row(int y) const { return base + static_cast<std::ptrdiff_t>(y) * rowPixels; }
};

class Layer {
public:
    // Wraps a world the host owns; makes no host call.
    Layer(PF_InData* inData, PF_OutData* outData, PF_LayerDef* world, int bpc);
    // Creates a cleared world of width x height at the given depth. A suite the suite handler
    // cannot supply escapes as the integer exception PF_Err_BAD_CALLBACK_PARAM.
    Layer(PF_InData* inData, PF_OutData* outData, int width, int height, int bpc);

    PF_EffectWorld* getWorld() const;
    PF_Err getError() const;
    int getBPC() const;
    // Without a world these report an empty world at the origin.
    int getWidth() const;
    int getHeight() const;
    Rect getSize() const;
    Vector<int> getOrigin() const;

    // The pixel memory for drawing, as cached when the layer was made. Empty (null base, zero
    // size) unless the world has pixels and Pixel is the pixel type of the layer's depth code.
    template <typename Pixel>
    PixelView<Pixel> getPixels() const;

    void fill(const ColorFloat<float>& color);
    void copyTo(Layer& destination);
    // Composites the source rectangle of this layer onto destination with its top-left corner at
    // position. An opacity not above 0 returns before anything else; above 1 counts as 1.
    void blendTo(Layer& destination, const Rect& source, const Vector<int>& position,
                 double opacity, int blendMode, bool rgbOnly);

private:
    class Impl;
    std::shared_ptr<Impl> m_impl;
};

template <>
PixelView<PF_Pixel> Layer::getPixels<PF_Pixel>() const;
template <>
PixelView<PF_Pixel16> Layer::getPixels<PF_Pixel16>() const;
template <>
PixelView<PF_PixelFloat> Layer::getPixels<PF_PixelFloat>() const;

} // namespace Ondrel
