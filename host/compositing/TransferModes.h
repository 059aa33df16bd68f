#pragma once

// The compositing operator of each transfer mode the host composites.

#include "host/compositing/BlendCompositing.h"
#include "host/compositing/BlendNonSeparable.h"

namespace OfflineHost {

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

} // namespace OfflineHost
