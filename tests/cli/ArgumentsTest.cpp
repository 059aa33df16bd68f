// Mistakes on the command line: each is refused on one line naming it, with a non-zero status,
// before anything is written.

#include "CliTestSupport.h"

namespace {

using namespace CliTest;

using Arguments = RenderCommand;

TEST_F(Arguments, EffectsAndParametersAreCheckedByName) {
    expectRefused("NoSuchEffect -o out.png",
                  "unknown effect \"NoSuchEffect\"; the module holds OndrelCircle, OndrelLine, "
                  "OndrelRectangle, OndrelTriangle");
    expectRefused("OndrelCircle -o out.png --set \"Colour=#ff0000\"",
                  "OndrelCircle has no parameter \"Colour\"; its parameters are \"Radius\", "
                  "\"Center\"");
    expectRefused("OndrelCircle -o out.png --set Transform=1", "has no parameter \"Transform\"");
    expectRefused("OndrelCircle -o out.png --set Radius", "expected NAME=VALUE");
}

TEST_F(Arguments, ValuesAreCheckedAgainstTheirParameters) {
    expectRefused("OndrelCircle -o out.png --set Radius=3000.5",
                  "outside the valid range of \"Radius\", 0 to 3000");
    expectRefused("OndrelCircle -o out.png --set Opacity=-1",
                  "outside the valid range of \"Opacity\", 0 to 100");
    expectRefused("OndrelCircle -o out.png --set Radius=big", "\"Radius\" takes a number");
    expectRefused("OndrelCircle -o out.png --set \"Mode=Outline\"",
                  "no such item of \"Mode\"; its items are Fill, Stroke, Fill and Stroke");
    expectRefused("OndrelCircle -o out.png --set \"Blending Mode=(-\"",
                  "no such item of \"Blending Mode\"");
    expectRefused("OndrelCircle -o out.png --set \"Center=10\"", "takes a point X,Y");
    expectRefused("OndrelCircle -o out.png --set \"Fill Color=#12345\"", "takes a colour");
}

TEST_F(Arguments, RenderOptionsAreChecked) {
    expectRefused("OndrelCircle -o out.png --depth 12", "--depth");
    expectRefused("OndrelCircle -o out.png --downsample 0", "--downsample \"0\"");
    expectRefused("OndrelCircle -o out.png --size 0x10", "--size \"0x10\"");
    write<unsigned char>("in.png", 1, 1, 4, OIIO::TypeDesc::UINT8, {1, 2, 3, 4});
    expectRefused("OndrelCircle -i in.png --size 10x10 -o out.png", "excludes");
}

TEST_F(Arguments, ARefusalLeavesAnEarlierOutputAsItWas) {
    std::ofstream(folder / "keep.png") << "an earlier result";
    expectRefused("OndrelCircle -o keep.png --set Radius=-5", "outside the valid range");
    std::ifstream kept(folder / "keep.png");
    std::string text;
    std::getline(kept, text);
    EXPECT_EQ(text, "an earlier result");
}

} // namespace
