#pragma once

// The four effects' parameter lists and graying rules as the documentation states them,
// transcribed here independently of the module's own tables.

#include "AE_Effect.h"

#include <string>
#include <variant>
#include <vector>

namespace Documented {

struct Slider { // float or fixed slider, by the row's type
    double dflt;
    double validMin;
    double validMax;
    double sliderMin;
    double sliderMax;
    int precision;
    int display;
};
struct Point {
    double xPercent;
    double yPercent;
};
struct Angle {
    double degrees;
};
struct Color {
    PF_Pixel value;
};
struct Popup {
    std::string items;
    int count;
    int dflt;
};
struct Group {};

struct Param {
    int index;
    PF_ParamType type;
    std::string name;
    PF_ParamFlags flags;
    std::variant<Slider, Point, Angle, Color, Popup, Group> value;
};

// One popup's rule: for each value (1-based), the dependents grayed; the others are enabled.
struct GrayRule {
    int popup;
    std::vector<int> dependents; // in the order the module updates them
    std::vector<std::vector<int>> grayedByValue;
};

struct Effect {
    std::string name;
    int paramCount; // including the input layer
    std::vector<Param> params;
    std::vector<GrayRule> graying;
};

// The documented lists of the module's effects, in the order of its registration table. Throws
// std::runtime_error naming an effect the module has and the documentation does not, or the other
// way round, so that every test that goes through them fails for it.
const std::vector<Effect>& effects();

} // namespace Documented
