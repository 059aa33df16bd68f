#include "BlendCompositing.h"
#include "BlendNonSeparable.h"
#include "Composite.h"

namespace OfflineHost {
namespace {

// Calls f with the compositing operator of the transfer mode; the mode is looked up once per
// call so that the pixel loop is compiled for each operator. Modes the host does not composite
// are a bad parameter.
template <typename F>
PF_Err withTransferMode(const PF_CompositeMode& mode, F&& f) {
    using namespace Blend;
    switch (mode.xfer) {
    case PF_Xfer_IN_FRONT:
        return f(Over<Normal>{});
    case PF_Xfer_DISSOLVE:
        return f(Dissolve{mode.rand_seed});
    case PF_Xfer_ADD:
        return f(Over<Add>{});
    case PF_Xfer_MULTIPLY:
        return f(Over<Multiply>{});
    case PF_Xfer_SCREEN:
        return f(Over<Screen>{});
    case PF_Xfer_OVERLAY:
        return f(Over<Overlay>{});
    case PF_Xfer_SOFT_LIGHT:
        return f(Over<SoftLight>{});
    case PF_Xfer_HARD_LIGHT:
        return f(Over<HardLight>{});
    case PF_Xfer_DARKEN:
        return f(Over<Darken>{});
    case PF_Xfer_LIGHTEN:
        return f(Over<Lighten>{});
    case PF_Xfer_DIFFERENCE:
        return f(Over<ClassicDifference>{});
    case PF_Xfer_HUE:
        return f(Over<Hue>{});
    case PF_Xfer_SATURATION:
        return f(Over<Saturation>{});
    case PF_Xfer_COLOR:
        return f(Over<Color>{});
    case PF_Xfer_LUMINOSITY:
        return f(Over<Luminosity>{});
    case PF_Xfer_ALPHA_ADD:
        return f(AlphaAdd{});
    case PF_Xfer_COLOR_DODGE:
        return f(Over<ClassicColorDodge>{});
    case PF_Xfer_COLOR_BURN:
        return f(Over<ClassicColorBurn>{});
    case PF_Xfer_EXCLUSION:
        return f(Over<Exclusion>{});
    case PF_Xfer_DIFFERENCE2:
        return f(Over<Difference>{});
    case PF_Xfer_COLOR_DODGE2:
        return f(Over<ColorDodge>{});
    case PF_Xfer_COLOR_BURN2:
        return f(Over<ColorBurn>{});
    case PF_Xfer_LINEAR_DODGE:
        return f(Over<LinearDodge>{});
    case PF_Xfer_LINEAR_BURN:
        return f(Over<LinearBurn>{});
    case PF_Xfer_LINEAR_LIGHT:
        return f(Over<LinearLight>{});
    case PF_Xfer_VIVID_LIGHT:
        return f(Over<VividLight>{});
    case PF_Xfer_PIN_LIGHT:
        return f(Over<PinLight>{});
    case PF_Xfer_HARD_MIX:
        return f(Over<HardMix>{});
    default:
        return PF_Err_BAD_CALLBACK_PARAM;
    }
}

} // namespace

PF_Err transferRect(const PF_EffectWorld& src, const PF_LRect* srcRect,
                    const PF_CompositeMode& mode, A_long dstX, A_long dstY, PF_EffectWorld& dst,
                    PixelDepth depth) {
    return withPixelType(depth, [&](auto pixel) -> PF_Err {
        using Pixel = decltype(pixel);
        if (!isUsable<Pixel>(src) || !isUsable<Pixel>(dst)) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        return withTransferMode(mode, [&](const auto& op) -> PF_Err {
            const Span span =
                clipSpan(srcRect ? *srcRect : worldRect(src), src, dstX, dstY, worldRect(dst));
            if (span.empty()) {
                return PF_Err_NONE;
            }
            std::vector<std::byte> staging;
            const PixelRows from = sourceRows(src, dst, span, sizeof(Pixel), staging);
            Blend::compositeRows<Pixel>(from, rowsAt(dst, span.dstX, span.dstY, sizeof(Pixel)),
                                        span, Blend::Depth<Pixel>::opacity(mode),
                                        mode.rgb_only != 0, op);
            return PF_Err_NONE;
        });
    });
}

} // namespace OfflineHost
