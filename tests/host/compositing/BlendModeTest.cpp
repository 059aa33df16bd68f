// Every transfer mode at every depth, opaque source over opaque backdrop at full opacity, where
// the result is the blend function B(b, s) itself. Expected values are worked out by hand; each
// row packs three (b, s) pairs into red, green and blue.

#include "CompositeTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace CompositeTest;

// 8 bits: inputs on the grid 0, 51, 102, 153, 204, 255 (0, .2, .4, .6, .8, 1); results are
// round(unit * 255).
struct Case8 {
    const char* name;
    PF_TransferMode xfer;
    std::array<int, 3> backdrop, source, expected;
};

const Case8 cases8[] = {
    // s
    {"in front", PF_Xfer_IN_FRONT, {51, 153, 204}, {102, 204, 51}, {102, 204, 51}},
    // opaque source: every pixel kept, as in front
    {"dissolve", PF_Xfer_DISSOLVE, {51, 153, 204}, {102, 204, 51}, {102, 204, 51}},
    // opaque: colour as in front
    {"alpha add", PF_Xfer_ALPHA_ADD, {51, 153, 204}, {102, 204, 51}, {102, 204, 51}},
    // .2+.4=.6 -> 153; .6+.8=1.4 and .8+.2=1 -> 255
    {"add", PF_Xfer_ADD, {51, 153, 204}, {102, 204, 51}, {153, 255, 255}},
    // min(1, b + s): as add
    {"linear dodge", PF_Xfer_LINEAR_DODGE, {51, 153, 204}, {102, 204, 51}, {153, 255, 255}},
    // max(0, b+s-1): -.4 -> 0; .4 -> 102; 0 -> 0
    {"linear burn", PF_Xfer_LINEAR_BURN, {51, 153, 204}, {102, 204, 51}, {0, 102, 0}},
    // .08*255=20.4; .48*255=122.4; .16*255=40.8
    {"multiply", PF_Xfer_MULTIPLY, {51, 153, 204}, {102, 204, 51}, {20, 122, 41}},
    // .2+.4-.08=.52 (132.6); .6+.8-.48=.92 (234.6); .8+.2-.16=.84 (214.2)
    {"screen", PF_Xfer_SCREEN, {51, 153, 204}, {102, 204, 51}, {133, 235, 214}},
    // s<=.5: b*2s: .2*.8=.16 (40.8); screen(.6,.6)=.84 (214.2); .8*.4=.32 (81.6)
    {"hard light", PF_Xfer_HARD_LIGHT, {51, 153, 204}, {102, 204, 51}, {41, 214, 82}},
    // b<=.5: s*2b: .4*.4=.16 (40.8); screen(.8,.2)=.84 (214.2); screen(.2,.6)=.68 (173.4)
    {"overlay", PF_Xfer_OVERLAY, {51, 153, 204}, {102, 204, 51}, {41, 214, 173}},
    // .2-.2*.2*.8=.168 (42.84); .6+.6*(sqrt(.6)-.6)=.704758 (179.71); .8-.6*.8*.2=.704 (179.52)
    {"soft light", PF_Xfer_SOFT_LIGHT, {51, 153, 204}, {102, 204, 51}, {43, 180, 180}},
    // b=0 gives 0 even where s=1; .2/.8=.25 (63.75); min(1, .6/.4) = 1
    {"color dodge", PF_Xfer_COLOR_DODGE2, {0, 51, 153}, {255, 51, 153}, {0, 64, 255}},
    // classic: s=1 gives 1 even where b=0; others as above
    {"classic color dodge", PF_Xfer_COLOR_DODGE, {0, 51, 153}, {255, 51, 153}, {255, 64, 255}},
    // b=1 gives 1 even where s=0; 1-.2/.8=.75 (191.25); 1-min(1, .8/.4)=0
    {"color burn", PF_Xfer_COLOR_BURN2, {255, 204, 51}, {0, 204, 102}, {255, 191, 0}},
    // classic: s=0 gives 0 even where b=1; others as above
    {"classic color burn", PF_Xfer_COLOR_BURN, {255, 204, 51}, {0, 204, 102}, {0, 191, 0}},
    // min
    {"darken", PF_Xfer_DARKEN, {51, 153, 204}, {102, 204, 51}, {51, 153, 51}},
    // max
    {"lighten", PF_Xfer_LIGHTEN, {51, 153, 204}, {102, 204, 51}, {102, 204, 204}},
    // |b-s|: .2, .2, .6
    {"difference", PF_Xfer_DIFFERENCE2, {51, 153, 204}, {102, 204, 51}, {51, 51, 153}},
    {"classic difference", PF_Xfer_DIFFERENCE, {51, 153, 204}, {102, 204, 51}, {51, 51, 153}},
    // b+s-2bs: .6-.16=.44 (112.2); 1.4-.96=.44; 1-.32=.68 (173.4)
    {"exclusion", PF_Xfer_EXCLUSION, {51, 153, 204}, {102, 204, 51}, {112, 112, 173}},
    // clamp(b+2s-1): 0; 1.2 -> 1; .2
    {"linear light", PF_Xfer_LINEAR_LIGHT, {51, 153, 204}, {102, 204, 51}, {0, 255, 51}},
    // s>.5: dodge(.2,.2)=.25 (63.75); s<=.5: burn(.8,.8)=.75 (191.25); dodge(.6,.6)=1
    {"vivid light", PF_Xfer_VIVID_LIGHT, {51, 204, 153}, {153, 102, 204}, {64, 191, 255}},
    // min(.2,.8)=.2; max(.6,.6)=.6; min(.8,.4)=.4
    {"pin light", PF_Xfer_PIN_LIGHT, {51, 153, 204}, {102, 204, 51}, {51, 153, 102}},
    // b+s>=1: .6 -> 0; 1.4 -> 1; 1.2 -> 1
    {"hard mix", PF_Xfer_HARD_MIX, {51, 153, 204}, {102, 204, 102}, {0, 255, 255}},
    // b=(.2,.4,.6): sat .4, lum .06+.236+.066=.362; setSat(red, .4)=(.4,0,0), lum .12, +.242
    // -> (.642,.242,.242) = (163.71, 61.71, 61.71)
    {"hue", PF_Xfer_HUE, {51, 102, 153}, {255, 0, 0}, {164, 62, 62}},
    // s=(.8,.2,.2) sat .6: setSat(b, .6)=(0,.3,.6), lum .177+.066=.243, +.119
    // -> (.119,.419,.719) = (30.35, 106.85, 183.35)
    {"saturation", PF_Xfer_SATURATION, {51, 102, 153}, {204, 51, 51}, {30, 107, 183}},
    // lum(s)=.24+.118+.022=.38, shifted by .362-.38=-.018 -> (.782,.182,.182)
    {"color", PF_Xfer_COLOR, {51, 102, 153}, {204, 51, 51}, {199, 46, 46}},
    // b shifted by .38-.362=.018 -> (.218,.418,.618) = (55.59, 106.59, 157.59)
    {"luminosity", PF_Xfer_LUMINOSITY, {51, 102, 153}, {204, 51, 51}, {56, 107, 158}},
};

TEST(BlendModes, EightBitsMatchHandComputedValues) {
    for (const Case8& c : cases8) {
        const PF_Pixel b = makePixel<PF_Pixel>(255, c.backdrop[0], c.backdrop[1], c.backdrop[2]);
        const PF_Pixel s = makePixel<PF_Pixel>(255, c.source[0], c.source[1], c.source[2]);
        const PF_Pixel out = compositeOne(b, s, compositeMode(c.xfer));
        EXPECT_EQ(argb(out), (std::array<double, 4>{255, static_cast<double>(c.expected[0]),
                                                    static_cast<double>(c.expected[1]),
                                                    static_cast<double>(c.expected[2])}))
            << c.name;
    }
}

// 16 bits and float: inputs are multiples of 1/8, exact at both depths. 16-bit results are
// round(unit * 32768) clamped to 0..32768; float results are the unit values, unclamped.
struct UnitCase {
    const char* name;
    PF_TransferMode xfer;
    std::array<double, 3> backdrop, source, expected;
};

const UnitCase unitCases[] = {
    {"in front", PF_Xfer_IN_FRONT, {.25, .75, .5}, {.5, .75, .25}, {.5, .75, .25}},
    {"dissolve", PF_Xfer_DISSOLVE, {.25, .75, .5}, {.5, .75, .25}, {.5, .75, .25}},
    {"alpha add", PF_Xfer_ALPHA_ADD, {.25, .75, .5}, {.5, .75, .25}, {.5, .75, .25}},
    // .75; 1.5 (float keeps it; 16 bits clamp to white); .75
    {"add", PF_Xfer_ADD, {.25, .75, .5}, {.5, .75, .25}, {.75, 1.5, .75}},
    // min(1, 1.5) = 1 even in float
    {"linear dodge", PF_Xfer_LINEAR_DODGE, {.25, .75, .5}, {.5, .75, .25}, {.75, 1, .75}},
    // max(0, b+s-1): 0; .5; 0
    {"linear burn", PF_Xfer_LINEAR_BURN, {.25, .75, .5}, {.5, .75, .25}, {0, .5, 0}},
    {"multiply", PF_Xfer_MULTIPLY, {.25, .75, .5}, {.5, .75, .25}, {.125, .5625, .125}},
    // .75-.125; 1.5-.5625; .75-.125
    {"screen", PF_Xfer_SCREEN, {.25, .75, .5}, {.5, .75, .25}, {.625, .9375, .625}},
    // .25*1; screen(.75,.5)=1.25-.375; .5*.5
    {"hard light", PF_Xfer_HARD_LIGHT, {.25, .75, .5}, {.5, .75, .25}, {.25, .875, .25}},
    // .5*.5; screen(.75,.5); .25*1
    {"overlay", PF_Xfer_OVERLAY, {.25, .75, .5}, {.5, .75, .25}, {.25, .875, .25}},
    // b<=.25: D=((4-12)*.25+4)*.25=.5, .25+.5*.25=.375; .75+.5*(sqrt(.75)-.75)=.8080127;
    // .5-.5*.5*.5=.375
    {"soft light", PF_Xfer_SOFT_LIGHT, {.25, .75, .5}, {.75, .75, .25}, {.375, .8080127, .375}},
    // 0 (b=0); .25/.5; .5/.75
    {"color dodge", PF_Xfer_COLOR_DODGE2, {0, .25, .5}, {1, .5, .25}, {0, .5, .6666667}},
    {"classic color dodge", PF_Xfer_COLOR_DODGE, {0, .25, .5}, {1, .5, .25}, {1, .5, .6666667}},
    // 1 (b=1); 1-.25/.5; 1-.5/.75
    {"color burn", PF_Xfer_COLOR_BURN2, {1, .75, .5}, {0, .5, .75}, {1, .5, .3333333}},
    {"classic color burn", PF_Xfer_COLOR_BURN, {1, .75, .5}, {0, .5, .75}, {0, .5, .3333333}},
    {"darken", PF_Xfer_DARKEN, {.25, .75, .5}, {.5, .75, .25}, {.25, .75, .25}},
    {"lighten", PF_Xfer_LIGHTEN, {.25, .75, .5}, {.5, .75, .25}, {.5, .75, .5}},
    {"difference", PF_Xfer_DIFFERENCE2, {.25, .75, .5}, {.5, .75, .25}, {.25, 0, .25}},
    {"classic difference", PF_Xfer_DIFFERENCE, {.25, .75, .5}, {.5, .75, .25}, {.25, 0, .25}},
    // .75-.25; 1.5-1.125; .75-.25
    {"exclusion", PF_Xfer_EXCLUSION, {.25, .75, .5}, {.5, .75, .25}, {.5, .375, .5}},
    // clamp(b+2s-1): .25; 1.25 -> 1; 0
    {"linear light", PF_Xfer_LINEAR_LIGHT, {.25, .75, .5}, {.5, .75, .25}, {.25, 1, 0}},
    // dodge(.5,.5)=1; burn(.75,.5)=1-.25/.5; dodge(.25,.25)=.25/.75
    {"vivid light", PF_Xfer_VIVID_LIGHT, {.5, .75, .25}, {.75, .25, .625}, {1, .5, .3333333}},
    // min(.75,.5); max(.25,.75); min(.5,1)
    {"pin light", PF_Xfer_PIN_LIGHT, {.75, .25, .5}, {.25, .875, .5}, {.5, .75, .5}},
    // .75 -> 0; 1.5 -> 1; exactly 1 -> 1
    {"hard mix", PF_Xfer_HARD_MIX, {.25, .75, .5}, {.5, .75, .5}, {0, 1, 1}},
    // sat(b)=.5, lum(b)=.075+.295+.0825=.4525; setSat(blue,.5)=(0,0,.5), lum .055, +.3975
    {"hue", PF_Xfer_HUE, {.25, .5, .75}, {0, 0, 1}, {.3975, .3975, .8975}},
    // setSat(b,1)=(0,.5,1), lum .405, +.0475 -> (.0475,.5475,1.0475); clipped towards l=.4525
    // with k=.5475/.595: l+(c-l)k -> (.0798319, .5399160, 1)
    {"saturation", PF_Xfer_SATURATION, {.25, .5, .75}, {1, 0, .5}, {.0798319, .5399160, 1}},
    // blue shifted to lum .5: (.39,.39,1.39); clipped with k=.5/.89 -> (.4382022, .4382022, 1)
    {"color", PF_Xfer_COLOR, {.5, .5, .5}, {0, 0, 1}, {.4382022, .4382022, 1}},
    // yellow (lum .89) shifted to .5: (.61,.61,-.39); clipped with k=.5/.89 -> (.5617978, ., 0)
    {"luminosity", PF_Xfer_LUMINOSITY, {1, 1, 0}, {.5, .5, .5}, {.5617978, .5617978, 0}},
};

TEST(BlendModes, SixteenBitsMatchHandComputedValues) {
    const auto px = [](const std::array<double, 3>& c) {
        return makePixel<PF_Pixel16>(32768, c[0] * 32768, c[1] * 32768, c[2] * 32768);
    };
    for (const UnitCase& c : unitCases) {
        const PF_Pixel16 out = compositeOne(px(c.backdrop), px(c.source), compositeMode(c.xfer));
        EXPECT_EQ(argb(out), (std::array<double, 4>{32768, raw16(c.expected[0]),
                                                    raw16(c.expected[1]), raw16(c.expected[2])}))
            << c.name;
    }
}

TEST(BlendModes, FloatMatchesHandComputedValues) {
    const auto px = [](const std::array<double, 3>& c) {
        return makePixel<PF_PixelFloat>(1, c[0], c[1], c[2]);
    };
    for (const UnitCase& c : unitCases) {
        const PF_PixelFloat out = compositeOne(px(c.backdrop), px(c.source), compositeMode(c.xfer));
        EXPECT_EQ(out.alpha, 1.0f) << c.name;
        EXPECT_NEAR(out.red, c.expected[0], 1e-6) << c.name;
        EXPECT_NEAR(out.green, c.expected[1], 1e-6) << c.name;
        EXPECT_NEAR(out.blue, c.expected[2], 1e-6) << c.name;
    }
}

// Float worlds keep values outside 0..1 except where a formula clamps.
TEST(BlendModes, FloatKeepsOverbrightValuesUnlessTheFormulaClamps) {
    const UnitCase cases[] = {
        // 1.5+.25; -.25+.5; 3+.25
        {"add", PF_Xfer_ADD, {1.5, -.25, 3}, {.25, .5, .25}, {1.75, .25, 3.25}},
        {"multiply", PF_Xfer_MULTIPLY, {1.5, -.25, 3}, {.5, .5, .5}, {.75, -.125, 1.5}},
        // 2+.5-1; 1.5+.5-.75
        {"screen", PF_Xfer_SCREEN, {2, 1.5, 0}, {.5, .5, 0}, {1.5, 1.25, 0}},
        {"difference", PF_Xfer_DIFFERENCE2, {1.5, -.25, .5}, {.25, .5, 2}, {1.25, .75, 1.5}},
        // clamped first: |1-.25|; |0-.5|; |.5-1|
        {"classic difference", PF_Xfer_DIFFERENCE, {1.5, -.25, .5}, {.25, .5, 2}, {.75, .5, .5}},
        {"linear dodge", PF_Xfer_LINEAR_DODGE, {1.5, -.25, .5}, {.25, .5, .25}, {1, .25, .75}},
        // s>=1 gives 1 where b>0; b<=0 gives 0
        {"color dodge", PF_Xfer_COLOR_DODGE2, {.5, -.25, .25}, {1.5, .5, 2}, {1, 0, 1}},
    };
    for (const UnitCase& c : cases) {
        const PF_PixelFloat b =
            makePixel<PF_PixelFloat>(1, c.backdrop[0], c.backdrop[1], c.backdrop[2]);
        const PF_PixelFloat s = makePixel<PF_PixelFloat>(1, c.source[0], c.source[1], c.source[2]);
        const PF_PixelFloat out = compositeOne(b, s, compositeMode(c.xfer));
        EXPECT_NEAR(out.red, c.expected[0], 1e-6) << c.name;
        EXPECT_NEAR(out.green, c.expected[1], 1e-6) << c.name;
        EXPECT_NEAR(out.blue, c.expected[2], 1e-6) << c.name;
    }
}

} // namespace
