#include "Ondrel/OndrelBlend.h"

#include "AE_EffectCB.h"

#include <array>

namespace Ondrel {

namespace {

// Indexed by popup item - 1, in the order of blendModePopupString.
constexpr std::array<int, blendModePopupCount> popupItemModes = {
    blendModeNone, // None
    blendModeNone, // (-
    0,             // Normal
    0,             // (-
    10,            // Darken
    3,             // Multiply
    18,            // Linear Burn
    9,             // Color Burn
    19,            // Classic Color Burn
    19,            // (-
    2,             // Add
    11,            // Lighten
    4,             // Screen
    20,            // Linear Dodge
    8,             // Color Dodge
    21,            // Classic Color Dodge
    21,            // (-
    5,             // Overlay
    6,             // Soft Light
    7,             // Hard Light
    22,            // Linear Light
    23,            // Vivid Light
    24,            // Pin Light
    25,            // Hard Mix
    25,            // (-
    12,            // Difference
    26,            // Classic Difference
    13,            // Exclution
    13,            // (-
    14,            // Hue
    15,            // Saturation
    27,            // Color
    16,            // Luminosity
};

// Indexed by blend-mode number. "Color Dodge", "Color Burn" and "Difference" use the host's newer
// modes; their "Classic" items keep the older ones.
constexpr std::array<int, 28> transferModes = {
    PF_Xfer_IN_FRONT,     // 0
    PF_Xfer_DISSOLVE,     // 1
    PF_Xfer_ADD,          // 2
    PF_Xfer_MULTIPLY,     // 3
    PF_Xfer_SCREEN,       // 4
    PF_Xfer_OVERLAY,      // 5
    PF_Xfer_SOFT_LIGHT,   // 6
    PF_Xfer_HARD_LIGHT,   // 7
    PF_Xfer_COLOR_DODGE2, // 8
    PF_Xfer_COLOR_BURN2,  // 9
    PF_Xfer_DARKEN,       // 10
    PF_Xfer_LIGHTEN,      // 11
    PF_Xfer_DIFFERENCE2,  // 12
    PF_Xfer_EXCLUSION,    // 13
    PF_Xfer_HUE,          // 14
    PF_Xfer_SATURATION,   // 15
    PF_Xfer_LUMINOSITY,   // 16
    PF_Xfer_ALPHA_ADD,    // 17
    PF_Xfer_LINEAR_BURN,  // 18
    PF_Xfer_COLOR_BURN,   // 19
    PF_Xfer_LINEAR_DODGE, // 20
    PF_Xfer_COLOR_DODGE,  // 21
    PF_Xfer_LINEAR_LIGHT, // 22
    PF_Xfer_VIVID_LIGHT,  // 23
    PF_Xfer_PIN_LIGHT,    // 24
    PF_Xfer_HARD_MIX,     // 25
    PF_Xfer_DIFFERENCE,   // 26
    PF_Xfer_COLOR,        // 27
};

} // namespace

int blendModeOfPopupItem(int item) {
    if (item < 1 || item > blendModePopupCount) {
        return blendModeNone;
    }
    return popupItemModes[static_cast<std::size_t>(item - 1)];
}

int aeBlendMode(int blendMode) {
    if (blendMode < 0 || blendMode >= static_cast<int>(transferModes.size())) {
        return PF_Xfer_IN_FRONT;
    }
    return transferModes[static_cast<std::size_t>(blendMode)];
}

} // namespace Ondrel
