#include "cli/params/ParamAssignment.h"

#include "cli/core/CliError.h"
#include "cli/core/Text.h"
#include "cli/params/ParamText.h"
#include "cli/params/PopupItems.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <optional>
#include <vector>

namespace OndrelCli {

using OfflineHost::EffectInstance;
using OfflineHost::Interpolation;

namespace {

// A point must fit the host's 16.16 fixed point.
constexpr double pointLimit = 32767.0;

// A value to set: what the user typed, and when it applies.
struct Request {
    std::string name;
    std::string value;
    double seconds = 0.0;
    std::optional<OfflineHost::Interpolation> interpolation;
};

[[noreturn]] void refuse(const Request&, const std::string& what) {
    throw UsageError(what);
}

// The rest of a refusal of a name, with the nearest of names quoted.
std::string meantThen(std::string_view typed, const std::vector<std::string>& names,
                      const std::string& then) {
    const auto nearest = nearestName(typed, names);
    return suggestingThen(nearest ? std::optional(inQuotes(*nearest)) : std::nullopt, then);
}

double numberIn(const Request& r, double min, double max) {
    const auto value = number(r.value);
    if (!value) {
        refuse(r, "\"" + r.name + "\" takes a number");
    }
    if (*value < min || *value > max) {
        refuse(r, "outside the valid range of \"" + r.name + "\", " + numberText(min) + " to " +
                      numberText(max));
    }
    return *value;
}

void setPoint(EffectInstance& effect, int index, const Request& r) {
    const auto parts = split(r.value, ',');
    std::optional<double> x;
    std::optional<double> y;
    if (parts.size() == 2) {
        x = number(parts[0]);
        y = number(parts[1]);
    }
    if (!x || !y) {
        refuse(r, "\"" + r.name + "\" takes a point X,Y in layer pixels");
    }
    if (std::abs(*x) > pointLimit || std::abs(*y) > pointLimit) {
        refuse(r, "a point lies within -32767 to 32767 pixels");
    }
    effect.setPoint(index, *x, *y, r.seconds, r.interpolation);
}

std::optional<PF_Pixel> hexColor(const std::string& text) {
    if (text.size() != 7 && text.size() != 9) {
        return std::nullopt;
    }
    unsigned channels[4] = {0, 0, 0, 255};
    for (std::size_t i = 0; 1 + 2 * i < text.size(); ++i) {
        const char* first = text.data() + 1 + 2 * i;
        const auto [ptr, ec] = std::from_chars(first, first + 2, channels[i], 16);
        if (ec != std::errc() || ptr != first + 2) {
            return std::nullopt;
        }
    }
    return PF_Pixel{static_cast<A_u_char>(channels[3]), static_cast<A_u_char>(channels[0]),
                    static_cast<A_u_char>(channels[1]), static_cast<A_u_char>(channels[2])};
}

std::optional<PF_Pixel> listColor(const std::string& text) {
    const auto parts = split(text, ',');
    if (parts.size() != 3 && parts.size() != 4) {
        return std::nullopt;
    }
    int channels[4] = {0, 0, 0, 255};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto v = number(parts[i]);
        if (!v || *v != std::floor(*v) || *v < 0 || *v > 255) {
            return std::nullopt;
        }
        channels[i] = static_cast<int>(*v);
    }
    return PF_Pixel{static_cast<A_u_char>(channels[3]), static_cast<A_u_char>(channels[0]),
                    static_cast<A_u_char>(channels[1]), static_cast<A_u_char>(channels[2])};
}

void setColor(EffectInstance& effect, int index, const Request& r) {
    const auto color = r.value.starts_with('#') ? hexColor(r.value) : listColor(r.value);
    if (!color) {
        refuse(r, "\"" + r.name + "\" takes a colour #rrggbb or R,G,B with channels 0 to 255");
    }
    // An alpha is read only to say so: opaque is the one value the host's controls can hold.
    if (color->alpha != 255) {
        refuse(r, "\"" + r.name +
                      "\" takes no alpha, as the host's colour controls have none: give #rrggbb "
                      "or R,G,B");
    }
    effect.setColor(index, *color, r.seconds, r.interpolation);
}

// Separators are numbered like items but are no choice, by name or by number.
void setPopup(EffectInstance& effect, int index, const PF_PopupDef& popup, const Request& r) {
    const auto items = popupItems(popup);
    if (const auto item = itemNamed(items, r.value)) {
        effect.setValue(index, *item, r.seconds, r.interpolation);
        return;
    }
    if (const auto item = number(r.value)) {
        if (*item == std::floor(*item) && *item >= 1 && *item <= popup.num_choices) {
            const auto i = static_cast<std::size_t>(*item) - 1;
            if (i < items.size() && items[i] == popupSeparator) {
                refuse(r, "item " + r.value + " of \"" + r.name +
                              "\" is a separator; its items are " + numberedChoices(items));
            }
            effect.setValue(index, *item, r.seconds, r.interpolation);
            return;
        }
    }
    std::vector<std::string> choices;
    std::copy_if(items.begin(), items.end(), std::back_inserter(choices),
                 [](const std::string& item) { return item != popupSeparator; });
    refuse(r, "no such item of \"" + r.name + "\"" +
                  meantThen(r.value, choices, "its items are " + numberedChoices(items)));
}

void setCheckbox(EffectInstance& effect, int index, const Request& r) {
    const std::string v = lower(r.value);
    if (v == "on" || v == "true" || v == "1") {
        effect.setValue(index, 1, r.seconds, r.interpolation);
    } else if (v == "off" || v == "false" || v == "0") {
        effect.setValue(index, 0, r.seconds, r.interpolation);
    } else {
        refuse(r, "\"" + r.name + "\" takes on or off");
    }
}

std::vector<std::string> settableNames(const EffectInstance& effect) {
    std::vector<std::string> names;
    for (int i = 1; i < effect.paramCount(); ++i) {
        const PF_ParamDef& def = effect.paramDef(i);
        if (def.param_type != PF_Param_GROUP_START && def.param_type != PF_Param_GROUP_END) {
            names.emplace_back(def.name);
        }
    }
    return names;
}

} // namespace

int settableParam(const EffectInstance& effect, const std::string& effectName,
                  const std::string& name) {
    const int index = name.empty() ? -1 : effect.findParam(name);
    if (index <= 0 || effect.paramDef(index).param_type == PF_Param_GROUP_START ||
        effect.paramDef(index).param_type == PF_Param_GROUP_END) {
        const std::vector<std::string> names = settableNames(effect);
        std::vector<std::string> quoted;
        std::transform(names.begin(), names.end(), std::back_inserter(quoted),
                       [](const std::string& n) { return inQuotes(n); });
        throw UsageError(effectName + " has no parameter \"" + name + "\"" +
                         meantThen(name, names, "its parameters are " + joined(quoted)));
    }
    return index;
}

void assignValue(EffectInstance& effect, int index, const std::string& value, double seconds,
                 std::optional<Interpolation> interpolation) {
    const PF_ParamDef& def = effect.paramDef(index);
    const Request r{def.name, trim(value), seconds, interpolation};
    const auto setNumber = [&](double min, double max) {
        effect.setValue(index, numberIn(r, min, max), seconds, interpolation);
    };
    switch (def.param_type) {
    case PF_Param_FLOAT_SLIDER:
        setNumber(def.u.fs_d.valid_min, def.u.fs_d.valid_max);
        break;
    case PF_Param_FIX_SLIDER:
        setNumber(fromFixed(def.u.fd.valid_min), fromFixed(def.u.fd.valid_max));
        break;
    case PF_Param_SLIDER:
        setNumber(def.u.sd.valid_min, def.u.sd.valid_max);
        break;
    case PF_Param_ANGLE:
        setNumber(-pointLimit, pointLimit);
        break;
    case PF_Param_POINT:
        setPoint(effect, index, r);
        break;
    case PF_Param_COLOR:
        setColor(effect, index, r);
        break;
    case PF_Param_POPUP:
        setPopup(effect, index, def.u.pd, r);
        break;
    case PF_Param_CHECKBOX:
        setCheckbox(effect, index, r);
        break;
    default:
        refuse(r, "\"" + r.name + "\" cannot be set from the command line");
    }
}

} // namespace OndrelCli
