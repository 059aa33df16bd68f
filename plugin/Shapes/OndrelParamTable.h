#pragma once

// One effect parameter as data: each effect's parameter list is a constant table of these, and
// parameter set-up turns every entry into the host's definition (aeParamDef). Only the fields
// of the entry's type are meaningful; the builders below set exactly those.

#include "AE_Effect.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace Ondrel {

struct ParamRange {
    double min = 0;
    double max = 0;
};

struct ParamDisplay {
    A_short precision = 0; // decimal places
    PF_ValueDisplayFlags flags = PF_ValueDisplayFlag_NONE;
};

struct ParamSpec {
    PF_ParamType type = PF_Param_GROUP_END;
    const char* name = "";
    PF_ParamFlags flags = 0;
    double value = 0; // default of sliders and angles; 1-based item of popups
    ParamRange valid;
    ParamRange slider;
    ParamDisplay display;
    double x = 0; // default of points, in percent of the layer's width
    double y = 0; // and height
    PF_Pixel color{};
    const char* items = nullptr; // popup items, separated by '|'
    A_short itemCount = 0;
};

inline constexpr PF_ParamFlags twirly = PF_ParamFlag_COLLAPSE_TWIRLY;
inline constexpr PF_ParamFlags noFlags = 0;
inline constexpr ParamDisplay oneDecimal{1, PF_ValueDisplayFlag_NONE};
inline constexpr ParamDisplay oneDecimalPercent{1, PF_ValueDisplayFlag_PERCENT};

constexpr ParamSpec floatSlider(const char* name, double dflt, ParamRange valid, ParamRange slider,
                                ParamDisplay display, PF_ParamFlags flags) {
    ParamSpec p;
    p.type = PF_Param_FLOAT_SLIDER;
    p.name = name;
    p.flags = flags;
    p.value = dflt;
    p.valid = valid;
    p.slider = slider;
    p.display = display;
    return p;
}

constexpr ParamSpec fixSlider(const char* name, double dflt, ParamRange valid, ParamRange slider,
                              ParamDisplay display, PF_ParamFlags flags) {
    ParamSpec p = floatSlider(name, dflt, valid, slider, display, flags);
    p.type = PF_Param_FIX_SLIDER;
    return p;
}

constexpr ParamSpec point(const char* name, double xPercent, double yPercent, PF_ParamFlags flags) {
    ParamSpec p;
    p.type = PF_Param_POINT;
    p.name = name;
    p.flags = flags;
    p.x = xPercent;
    p.y = yPercent;
    return p;
}

constexpr ParamSpec angle(const char* name, double degrees, PF_ParamFlags flags) {
    ParamSpec p;
    p.type = PF_Param_ANGLE;
    p.name = name;
    p.flags = flags;
    p.value = degrees;
    return p;
}

constexpr ParamSpec color(const char* name, PF_Pixel dflt, PF_ParamFlags flags) {
    ParamSpec p;
    p.type = PF_Param_COLOR;
    p.name = name;
    p.flags = flags;
    p.color = dflt;
    return p;
}

// The item count is taken from the item string, so the two cannot disagree.
constexpr ParamSpec popup(const char* name, const char* items, int dfltItem, PF_ParamFlags flags) {
    const std::string_view text(items);
    ParamSpec p;
    p.type = PF_Param_POPUP;
    p.name = name;
    p.flags = flags;
    p.value = dfltItem;
    p.items = items;
    p.itemCount = static_cast<A_short>(std::count(text.begin(), text.end(), '|') + 1);
    return p;
}

constexpr ParamSpec groupStart(const char* name) {
    ParamSpec p;
    p.type = PF_Param_GROUP_START;
    p.name = name;
    return p;
}

constexpr ParamSpec groupEnd() {
    return ParamSpec{};
}

// Joins parts of a parameter list into one table, refusing at compile time a name that would
// not fit the host's name field.
template <std::size_t... N>
consteval auto paramTable(const std::array<ParamSpec, N>&... parts) {
    std::array<ParamSpec, (N + ...)> table{};
    std::size_t next = 0;
    ((next = static_cast<std::size_t>(std::copy(parts.begin(), parts.end(), table.begin() + next) -
                                      table.begin())),
     ...);
    for (const ParamSpec& p : table) {
        if (std::string_view(p.name).size() >= sizeof(PF_ParamDef::name)) {
            throw "parameter name too long for the host";
        }
    }
    return table;
}

// Whether the parameter at index (1-based, like the host's) of table carries name; lets each
// effect check at compile time that its index names agree with its table.
template <std::size_t N>
constexpr bool isNamed(const std::array<ParamSpec, N>& table, int index, std::string_view name) {
    return index >= 1 && static_cast<std::size_t>(index) <= N &&
           std::string_view(table[static_cast<std::size_t>(index) - 1].name) == name;
}

// The host's definition of p at the given index, every field p does not set left zero; the name
// is left for the caller to copy with the host's own string function.
PF_ParamDef aeParamDef(const ParamSpec& p, int index);

} // namespace Ondrel
