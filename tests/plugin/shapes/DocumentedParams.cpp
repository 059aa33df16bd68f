#include "DocumentedParams.h"

#include "Shapes/OndrelRegistration.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace Documented {
namespace {

constexpr PF_ParamFlags twirly = 0x20;
constexpr PF_ParamFlags none = 0;
constexpr int plain = 0;
constexpr int percent = 1;
const PF_Pixel red{255, 255, 0, 0}; // alpha first
const PF_Pixel white{255, 255, 255, 255};
const std::string modeItems = "Fill|Stroke|Fill and Stroke";
const std::string blendItems =
    "None|(-|Normal|(-|Darken|Multiply|Linear Burn|Color Burn|Classic Color Burn|(-|Add|"
    "Lighten|Screen|Linear Dodge|Color Dodge|Classic Color Dodge|(-|Overlay|Soft Light|Hard "
    "Light|Linear Light|Vivid Light|Pin Light|Hard Mix|(-|Difference|Classic Difference|"
    "Exclution|(-|Hue|Saturation|Color|Luminosity";

// "Transform" and everything from "Mode" on, which every effect has, starting at index first.
std::vector<Param> transformFrom(int first) {
    return {
        {first, PF_Param_GROUP_START, "Transform", none, Group{}},
        {first + 1, PF_Param_POINT, "Anchor Point", twirly, Point{50, 50}},
        {first + 2, PF_Param_POINT, "Position", twirly, Point{50, 50}},
        {first + 3, PF_Param_ANGLE, "Rotation", twirly, Angle{0}},
        {first + 4, PF_Param_FLOAT_SLIDER, "Scale", twirly,
         Slider{100, -1000000, 1000000, -100, 100, 1, percent}},
        {first + 5, PF_Param_GROUP_END, "", none, Group{}},
    };
}

std::vector<Param> styleFrom(int first, double strokeWidth) {
    return {
        {first, PF_Param_POPUP, "Mode", none, Popup{modeItems, 3, 1}},
        {first + 1, PF_Param_FLOAT_SLIDER, "Stroke Width", twirly,
         Slider{strokeWidth, 0, 3000, 0, 30, 1, plain}},
        {first + 2, PF_Param_COLOR, "Fill Color", twirly, Color{red}},
        {first + 3, PF_Param_COLOR, "Stroke Color", twirly, Color{white}},
        {first + 4, PF_Param_FIX_SLIDER, "Opacity", twirly,
         Slider{100, 0, 100, 0, 100, 1, percent}},
        {first + 5, PF_Param_POPUP, "Blending Mode", none, Popup{blendItems, 33, 3}},
    };
}

std::vector<Param> join(std::vector<Param> a, const std::vector<Param>& b,
                        const std::vector<Param>& c) {
    a.insert(a.end(), b.begin(), b.end());
    a.insert(a.end(), c.begin(), c.end());
    return a;
}

GrayRule modeRule(int mode, int strokeWidth, int fillColor, int strokeColor) {
    return {
        mode, {strokeWidth, fillColor, strokeColor}, {{strokeWidth, strokeColor}, {fillColor}, {}}};
}

const std::vector<Effect>& documented() {
    static const std::vector<Effect> all{
        {"OndrelCircle",
         15,
         join({{1, PF_Param_FLOAT_SLIDER, "Radius", twirly, Slider{100, 0, 3000, 0, 100, 1, plain}},
               {2, PF_Param_POINT, "Center", twirly, Point{50, 50}}},
              transformFrom(3), styleFrom(9, 20)),
         {modeRule(9, 10, 11, 12)}},
        {"OndrelLine",
         17,
         join(
             {{1, PF_Param_POPUP, "Cap", twirly, Popup{"Butt|Round", 2, 1}},
              {2, PF_Param_FLOAT_SLIDER, "Thickness", twirly, Slider{20, 0, 3000, 0, 30, 1, plain}},
              {3, PF_Param_POINT, "Point 1", twirly, Point{25, 50}},
              {4, PF_Param_POINT, "Point 2", twirly, Point{75, 50}}},
             transformFrom(5), styleFrom(11, 5)),
         {modeRule(11, 12, 13, 14)}},
        {"OndrelRectangle",
         19,
         join({{1, PF_Param_POPUP, "Controlled By", twirly,
                Popup{"Two Points|Width & Height", 2, 1}},
               {2, PF_Param_POINT, "Point 1", twirly, Point{25, 25}},
               {3, PF_Param_POINT, "Point 2", twirly, Point{75, 75}},
               {4, PF_Param_POINT, "Center", twirly, Point{50, 50}},
               {5, PF_Param_FLOAT_SLIDER, "Width", twirly, Slider{400, 0, 20000, 0, 500, 1, plain}},
               {6, PF_Param_FLOAT_SLIDER, "Height", twirly,
                Slider{300, 0, 20000, 0, 500, 1, plain}}},
              transformFrom(7), styleFrom(13, 20)),
         {{1, {2, 3, 4, 5, 6}, {{4, 5, 6}, {2, 3}}}, modeRule(13, 14, 15, 16)}},
        {"OndrelTriangle",
         16,
         join({{1, PF_Param_POINT, "Point 1", twirly, Point{50, 25}},
               {2, PF_Param_POINT, "Point 2", twirly, Point{25, 75}},
               {3, PF_Param_POINT, "Point 3", twirly, Point{75, 75}}},
              transformFrom(4), styleFrom(10, 10)),
         {modeRule(10, 11, 12, 13)}},
    };
    return all;
}

} // namespace

const std::vector<Effect>& effects() {
    static const std::vector<Effect> listed = [] {
        if (documented().size() != Ondrel::Registration::effects.size()) {
            throw std::runtime_error(
                "the documentation lists " + std::to_string(documented().size()) +
                " effects and the module " + std::to_string(Ondrel::Registration::effects.size()));
        }
        std::vector<Effect> inOrder;
        for (const Ondrel::EffectRegistration& effect : Ondrel::Registration::effects) {
            const auto found = std::find_if(documented().begin(), documented().end(),
                                            [&](const Effect& e) { return e.name == effect.name; });
            if (found == documented().end()) {
                throw std::runtime_error(std::string("no documented parameters for ") +
                                         effect.name);
            }
            inOrder.push_back(*found);
        }
        return inOrder;
    }();
    return listed;
}

} // namespace Documented
