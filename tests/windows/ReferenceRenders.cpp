#include "ReferenceRenders.h"

#include "effects/EffectsFixture.h"

#include <cinttypes>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <variant>

namespace ReferenceRenders {
namespace {

using EffectsTest::param;
using OfflineHost::EffectInstance;
using OfflineHost::PixelDepth;
using OfflineHost::World;

struct Point {
    double x;
    double y;
};
using Value = std::variant<double, Point, PF_Pixel>;

struct Setting {
    std::string_view name;
    Value value;
};

struct Render {
    std::string_view effect;
    std::vector<Setting> settings;
    PF_RationalScale downsample{1, 1};
};

// Popups are 1-based and count the separators: "Multiply" is item 6, "Screen" 13, "Overlay" 18.
const std::vector<Render>& renders() {
    static const std::vector<Render> all{
        {"OndrelCircle",
         {{"Radius", 70.5},
          {"Center", Point{150.25, 110.75}},
          {"Anchor Point", Point{160, 120}},
          {"Position", Point{171.5, 117}},
          {"Rotation", 33.0},
          {"Scale", 80.0},
          {"Mode", 3.0},
          {"Stroke Width", 6.5},
          {"Fill Color", PF_Pixel{255, 30, 200, 90}},
          {"Stroke Color", PF_Pixel{255, 250, 240, 20}},
          {"Opacity", 85.0},
          {"Blending Mode", 6.0}}},
        {"OndrelLine",
         {{"Cap", 2.0},
          {"Thickness", 14.25},
          {"Point 1", Point{40.5, 60}},
          {"Point 2", Point{270, 190.75}},
          {"Rotation", -20.0},
          {"Scale", 120.0},
          {"Mode", 3.0},
          {"Stroke Width", 4.0},
          {"Opacity", 60.0},
          {"Blending Mode", 13.0}}},
        {"OndrelRectangle",
         {{"Controlled By", 2.0},
          {"Center", Point{165.5, 118.25}},
          {"Width", 180.0},
          {"Height", 95.5},
          {"Rotation", 15.0},
          {"Scale", -90.0},
          {"Mode", 2.0},
          {"Stroke Width", 9.0},
          {"Stroke Color", PF_Pixel{255, 20, 60, 230}},
          {"Blending Mode", 18.0}},
         {1, 2}},
        {"OndrelTriangle",
         {{"Point 1", Point{160.5, 30.25}},
          {"Point 2", Point{50, 200}},
          {"Point 3", Point{290.75, 170}},
          {"Anchor Point", Point{150, 130}},
          {"Rotation", 200.0},
          {"Scale", -75.0},
          {"Mode", 3.0},
          {"Stroke Width", 5.0},
          {"Opacity", 90.0},
          {"Blending Mode", 1.0}}},
    };
    return all;
}

void apply(EffectInstance& effect, const Setting& setting) {
    const int index = param(effect, setting.name);
    if (const auto* number = std::get_if<double>(&setting.value)) {
        effect.setValue(index, *number);
    } else if (const auto* point = std::get_if<Point>(&setting.value)) {
        effect.setPoint(index, point->x, point->y);
    } else {
        effect.setColor(index, std::get<PF_Pixel>(setting.value));
    }
}

std::uint64_t fnv1a(const World& world) {
    const std::size_t pixelBytes = world.depth() == PixelDepth::Bits8    ? sizeof(PF_Pixel)
                                   : world.depth() == PixelDepth::Bits16 ? sizeof(PF_Pixel16)
                                                                         : sizeof(PF_PixelFloat);
    const auto* base = reinterpret_cast<const unsigned char*>(world.effectWorld().data);
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (A_long y = 0; y < world.height(); ++y) {
        const unsigned char* row = base + static_cast<std::ptrdiff_t>(y) * world.rowBytes();
        for (std::size_t i = 0; i < pixelBytes * static_cast<std::size_t>(world.width()); ++i) {
            hash = (hash ^ row[i]) * 0x100000001B3ULL;
        }
    }
    return hash;
}

World renderFrame(EffectInstance& effect, const OfflineHost::Frame& frame, const World& layer) {
    World out(1, 1, frame.depth);
    if (effect.renderFrame(frame, layer, out) != PF_Err_NONE) {
        throw std::runtime_error(effect.records().name + " failed to render at " +
                                 EffectsTest::depthName(frame.depth) + " bits");
    }
    return out;
}

int differingPixels(const World& a, const World& b) {
    int count = 0;
    for (A_long y = 0; y < a.height(); ++y) {
        for (A_long x = 0; x < a.width(); ++x) {
            count += EffectsTest::difference(EffectsTest::pixelAt(a, x, y),
                                             EffectsTest::pixelAt(b, x, y)) != 0.0
                         ? 1
                         : 0;
        }
    }
    return count;
}

} // namespace

std::vector<Digest> renderAll() {
    std::vector<Digest> digests;
    for (const Render& render : renders()) {
        for (const PixelDepth depth :
             {PixelDepth::Bits8, PixelDepth::Bits16, PixelDepth::Float32}) {
            auto effect = EffectsTest::appliedEffect(render.effect);
            for (const Setting& setting : render.settings) {
                apply(*effect, setting);
            }
            OfflineHost::Frame frame = EffectsTest::frameAt(depth, 320, 240);
            frame.downsampleX = render.downsample;
            frame.downsampleY = render.downsample;
            World layer(frame.layerWidth, frame.layerHeight, depth);
            EffectsTest::paintBackground(layer);
            const World out = renderFrame(*effect, frame, layer);
            effect->setValue(param(*effect, "Opacity"), 0.0);
            const World blank = renderFrame(*effect, frame, layer);
            digests.push_back({std::string(render.effect) + "/" + EffectsTest::depthName(depth),
                               out.width(), out.height(), fnv1a(out), differingPixels(out, blank)});
        }
    }
    return digests;
}

std::string format(const std::vector<Digest>& digests) {
    std::string text;
    for (const Digest& d : digests) {
        char line[160];
        std::snprintf(line, sizeof line, "%s %dx%d %d %016" PRIx64 "\n", d.render.c_str(), d.width,
                      d.height, d.drawn, d.pixels);
        text += line;
    }
    return text;
}

std::vector<Digest> parse(const std::string& text) {
    std::vector<Digest> digests;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        Digest d;
        char render[100];
        if (std::sscanf(line.c_str(), "%99s %dx%d %d %" SCNx64, render, &d.width, &d.height,
                        &d.drawn, &d.pixels) != 5) {
            throw std::runtime_error("not a reference digest: '" + line + "'");
        }
        d.render = render;
        digests.push_back(d);
    }
    return digests;
}

} // namespace ReferenceRenders
