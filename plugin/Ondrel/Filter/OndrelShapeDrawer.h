// The part of every shape drawer that is not geometry: the "draw" pass over one band of the
// scratch layer, the per-depth pixel loop, the colour and coverage conversions and the blending.
//
// A drawer's Impl plugs in by deriving from ShapeDrawerBase<Impl> and providing (publicly):
//   PaintMode mode;
//   ColorFloat<float> fillColor, strokeColor;  only red, green and blue are used
//   Coverage coverageAt(double x, double y) const;
//   template <typename Out> void rowRuns(int y, int left, int right, Out& out) const;
// coverageAt receives the sample point of pixel (x, y) of the scratch layer (no half-pixel
// offset) and returns its fill and stroke coverage: it defines the shape. rowRuns tells which
// pixels of row y, from left to right (exclusive), need it evaluated and which share a coverage
// already known (OndrelRowRuns.h); drawing by the runs is the same as evaluating every pixel.
// The stroke is always composited over the fill with Blend::normal.
//
// The scratch layer starts cleared and each pixel is painted once, so drawing never reads what
// was there: a pixel is painted from transparent black, which is also what compositing the fill
// over the cleared pixel would give. It reads back only pixels of its own band that it has
// already passed, painted or still cleared: the row above, which a repeated row copies, and the
// left half of a symmetric row, which its right half copies in mirror image.
#pragma once

#include "AE_Effect.h"
#include "Ondrel/Filter/OndrelDrawTarget.h"
#include "Ondrel/Filter/OndrelIterateFilter.h"
#include "Ondrel/Filter/OndrelPaintMode.h"
#include "Ondrel/Filter/OndrelRowRuns.h"
#include "Ondrel/Filter/OndrelShapeGeometry.h"
#include "Ondrel/OndrelBlend.h"
#include "Ondrel/OndrelGeneral.h"
#include "Ondrel/OndrelLayer.h"
#include "Ondrel/OndrelPixelTraits.h"

#include <algorithm>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <type_traits>

namespace Ondrel {

// Paints the runs of one row of a band at one depth, on a scratch layer that starts cleared.
template <typename Shape, typename Pixel>
class RowPainter {
public:
    RowPainter(const Shape& shape, Pixel* row, int y)
        : m_shape(shape), m_row(row), m_y(static_cast<double>(y)),
          m_fillPixel(Detail::toPixel<Pixel, colourRounding>(shape.fillColor)),
          m_strokePixel(Detail::toPixel<Pixel, colourRounding>(shape.strokeColor)) {}

    // Each pixel's own coverage.
    void varying(int begin, int end) {
        varying(begin, end,
                [this](int x) { return m_shape.coverageAt(static_cast<double>(x), m_y); });
    }

    // Each pixel's coverage from coverageOf(x), which the shape makes equal to coverageAt but
    // cheaper, knowing more of the run.
    template <typename CoverageOf>
    void varying(int begin, int end, CoverageOf&& coverageOf) {
        for (int x = begin; x < end; ++x) {
            Pixel pixel{};
            if (_paint(pixel, coverageOf(x))) {
                m_row[x] = pixel;
            }
        }
    }

    // One coverage for every pixel: painted once, as on a cleared pixel, and copied.
    void uniform(int begin, int end, const Coverage& coverage) {
        if (!(coverage.fill == m_known.fill && coverage.stroke == m_known.stroke)) {
            m_knownPixel = Pixel{};
            m_knownDrawn = _paint(m_knownPixel, coverage);
            m_known = coverage;
        }
        if (m_knownDrawn) {
            _fill(m_row + begin, end - begin, m_knownPixel);
        }
    }

    // Copies of pixels this row has painted, in mirror image: pixel x from pixel sum - x.
    void mirrored(int begin, int end, std::int64_t sum) {
        for (int x = begin; x < end; ++x) {
            m_row[x] = m_row[sum - x];
        }
    }

    // A row whose key equals the key of the row above it in this band is painted alike over the
    // same pixels: it is copied. Returns whether it was.
    bool repeatsRowAbove(const RowKey& key, int left, int right) {
        const bool repeats = m_rowAbove != nullptr && key == m_keyAbove && left == m_leftAbove &&
                             right == m_rightAbove;
        if (repeats) {
            std::memcpy(m_row + left, m_rowAbove + left,
                        static_cast<std::size_t>(right - left) * sizeof(Pixel));
        }
        m_key = key;
        m_left = left;
        m_right = right;
        return repeats;
    }

    void nextRow(Pixel* row) {
        m_rowAbove = m_row;
        m_keyAbove = m_key;
        m_leftAbove = m_left;
        m_rightAbove = m_right;
        m_key = RowKey();
        m_row = row;
        m_y += 1.0;
    }

private:
    using Traits = PixelTraits<Pixel>;

    // The two roundings pixels depend on: the float colours, converted once, round in single
    // precision, as ColorFloat<float>'s members round them; the coverages, which become alpha,
    // round in double.
    static constexpr Rounding colourRounding = Rounding::inValueType;
    static constexpr Rounding coverageRounding = Rounding::inDouble;

    // Paints a transparent pixel. Returns whether anything was painted.
    bool _paint(Pixel& pixel, const Coverage& coverage) const {
        bool drawn = false;
        if (paintsFill(m_shape.mode) && coverage.fill > coverageThreshold) {
            pixel = m_fillPixel;
            pixel.alpha = Traits::template fromValue<coverageRounding>(coverage.fill);
            drawn = true;
        }
        if (paintsStroke(m_shape.mode) && coverage.stroke > coverageThreshold) {
            Pixel stroke = m_strokePixel;
            stroke.alpha =
                Traits::template fromValue<coverageRounding>(std::min(coverage.stroke, 1.0));
            pixel = Blend::normal(pixel, stroke);
            drawn = true;
        }
        return drawn;
    }

    // Copies of the pixel. Runs shorter than a kilobyte, the most a row of a small or thin shape
    // has, are stored by the plain loop: calling the C library costs more than storing them.
    // Longer ones go to the library, since the plain loop stores 8-byte pixels 8 bytes at a time
    // and every other size at most 16: pixels the size of a wide character are filled by wmemset,
    // which picks the widest stores the processor has; others have the first few pixels stored one
    // by one, and memcpy, which also picks the widest stores, copies them on in doubling steps.
    static void _fill(Pixel* destination, int count, const Pixel& pixel) {
        constexpr int shortRun = 1024 / static_cast<int>(sizeof(Pixel));
        if (count < shortRun) {
            _store(destination, count, pixel);
        } else if constexpr (sizeof(Pixel) == sizeof(wchar_t)) {
            wchar_t unit;
            std::memcpy(&unit, &pixel, sizeof unit);
            std::wmemset(reinterpret_cast<wchar_t*>(destination), unit,
                         static_cast<std::size_t>(count));
        } else {
            constexpr int seed = 256 / static_cast<int>(sizeof(Pixel));
            _store(destination, seed, pixel);
            for (int done = seed; done < count;) {
                const int n = std::min(done, count - done);
                std::memcpy(destination + done, destination,
                            static_cast<std::size_t>(n) * sizeof(Pixel));
                done += n;
            }
        }
    }

    // count copies of the pixel, each stored as one word of the pixel's size, which the compiler
    // turns into 16-byte vector stores.
    static void _store(Pixel* destination, int count, const Pixel& pixel) {
        if constexpr (sizeof(Pixel) == 16) {
            std::fill_n(destination, count, pixel);
        } else {
            using Word = std::conditional_t<sizeof(Pixel) == 4, std::uint32_t, std::uint64_t>;
            static_assert(sizeof(Word) == sizeof(Pixel));
            Word word;
            std::memcpy(&word, &pixel, sizeof word);
            auto* bytes = reinterpret_cast<unsigned char*>(destination);
            for (int i = 0; i < count; ++i) {
                std::memcpy(bytes + static_cast<std::size_t>(i) * sizeof word, &word, sizeof word);
            }
        }
    }

    const Shape& m_shape;
    Pixel* m_row;
    double m_y;
    const Pixel m_fillPixel;
    const Pixel m_strokePixel;
    // The last uniform coverage, its pixel, and whether that paints anything. NaN never matches.
    Coverage m_known{std::nan(""), std::nan("")};
    Pixel m_knownPixel{};
    bool m_knownDrawn = false;
    // The key of this row and the one above, and their extents.
    Pixel* m_rowAbove = nullptr;
    RowKey m_key;
    RowKey m_keyAbove;
    int m_left = 0;
    int m_right = 0;
    int m_leftAbove = 0;
    int m_rightAbove = 0;
};

// A receiver of runs that ignores them: states the shapes' interface in the concept below.
struct RunSink {
    void varying(int, int) {}
    void uniform(int, int, const Coverage&) {}
    void mirrored(int, int, std::int64_t) {}
    bool repeatsRowAbove(const RowKey&, int, int) { return false; }
};

template <typename Shape>
concept ShapeGeometry = requires(const Shape& shape, double x, double y, RunSink& sink) {
    { shape.coverageAt(x, y) } -> std::same_as<Coverage>;
    shape.rowRuns(0, 0, 0, sink);
    { shape.mode } -> std::convertible_to<PaintMode>;
    { shape.fillColor } -> std::convertible_to<ColorFloat<float>>;
    { shape.strokeColor } -> std::convertible_to<ColorFloat<float>>;
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
        const Shape& shape = static_cast<const Shape&>(*this);

        const PixelView<Pixel> view = destination.getPixels<Pixel>();
        if (view.base == nullptr) {
            return;
        }
        const int left = std::max(band.left, 0);
        const int top = std::max(band.top, 0);
        const int right = std::min(band.right, view.width);
        const int bottom = std::min(band.bottom, view.height);

        if (top >= bottom) {
            return;
        }
        const Rect rows{left, top, right, bottom};
#if ONDREL_AVX2_DISPATCH
        if (drawTarget() == DrawTarget::avx2) {
            _drawRowsAvx2(shape, view, rows);
            return;
        }
#endif
        _drawRows(shape, view, rows);
    }

#if ONDREL_AVX2_DISPATCH
    // The same loop compiled for AVX2 (which has no fused multiply-add, so every operation
    // rounds as in the baseline code), everything it calls inlined into it.
    template <typename Pixel>
    [[gnu::target("avx2"), gnu::flatten]] static void
    _drawRowsAvx2(const Shape& shape, const PixelView<Pixel>& view, const Rect& rows) {
        _drawRows(shape, view, rows);
    }
#endif

    template <typename Pixel>
    static void _drawRows(const Shape& shape, const PixelView<Pixel>& view, const Rect& rows) {
        RowPainter<Shape, Pixel> painter(shape, view.row(rows.top), rows.top);
        for (int y = rows.top; y < rows.bottom; ++y) {
            shape.rowRuns(y, rows.left, rows.right, painter);
            painter.nextRow(view.row(y + 1));
        }
    }
};

} // namespace Ondrel
