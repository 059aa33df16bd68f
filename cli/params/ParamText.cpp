#include "cli/params/ParamText.h"

#include "cli/core/Text.h"
#include "cli/params/PopupItems.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace OndrelCli {
namespace {

std::string hexColor(const PF_Pixel& c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.red, c.green, c.blue);
    return text;
}

std::string popupItem(const PF_PopupDef& popup) {
    const auto items = popupItems(popup);
    const auto item = static_cast<std::size_t>(popup.value - 1);
    return item < items.size() && items[item] != popupSeparator ? items[item]
                                                                : std::to_string(popup.value);
}

} // namespace

std::string fixedText(PF_Fixed value) {
    // Five decimals always suffice: they are finer than half of 1/65536.
    constexpr int mostDecimals = 5;
    char text[32];
    for (int decimals = 0;; ++decimals) {
        const auto written = std::to_chars(text, text + sizeof text, fromFixed(value),
                                           std::chars_format::fixed, decimals);
        const double candidate = *number(std::string_view(text, written.ptr - text));
        if (decimals == mostDecimals || std::llround(candidate * 65536.0) == value) {
            return numberText(candidate);
        }
    }
}

std::string deliveredText(const PF_ParamDef& delivered) {
    const PF_ParamDefUnion& u = delivered.u;
    switch (delivered.param_type) {
    case PF_Param_SLIDER:
        return std::to_string(u.sd.value);
    case PF_Param_FIX_SLIDER:
        return fixedText(u.fd.value);
    case PF_Param_FLOAT_SLIDER:
        return numberText(u.fs_d.value);
    case PF_Param_ANGLE:
        return fixedText(u.ad.value);
    case PF_Param_POINT:
        return fixedText(u.td.x_value) + "," + fixedText(u.td.y_value);
    case PF_Param_COLOR:
        return hexColor(u.cd.value);
    case PF_Param_POPUP:
        return popupItem(u.pd);
    case PF_Param_CHECKBOX:
        return u.bd.value != 0 ? "on" : "off";
    default:
        return "";
    }
}

} // namespace OndrelCli
