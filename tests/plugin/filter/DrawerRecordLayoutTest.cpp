// The drawers' records field by field: each shape's own geometry first, then the placement and
// style fields every record shares, as direct members in one order. The offsets are worked out by
// hand for the 64-bit targets (8-byte doubles, 4-byte ints and floats, each aligned to its size),
// so a field moved, dropped or wrapped in a member of its own changes them.

#include "Ondrel/Filter/OndrelCircleDrawer.h"
#include "Ondrel/Filter/OndrelLineDrawer.h"
#include "Ondrel/Filter/OndrelRectangleDrawer.h"
#include "Ondrel/Filter/OndrelTriangleDrawer.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>

namespace {

using Ondrel::CircleDrawer;
using Ondrel::LineDrawer;
using Ondrel::RectangleDrawer;
using Ondrel::TriangleDrawer;

// The shared fields from `first`, the offset of anchorPoint: two points of 16 bytes, two doubles,
// the mode (an int, then 4 bytes of padding), a double, two colours of four floats, a double and
// the blend mode's int; the record then ends on a multiple of 8.
template <typename Record>
void expectSharedFieldsFrom(std::size_t first) {
    EXPECT_EQ(offsetof(Record, anchorPoint), first);
    EXPECT_EQ(offsetof(Record, position), first + 16);
    EXPECT_EQ(offsetof(Record, rotation), first + 32);
    EXPECT_EQ(offsetof(Record, scale), first + 40);
    EXPECT_EQ(offsetof(Record, mode), first + 48);
    EXPECT_EQ(offsetof(Record, strokeWidth), first + 56);
    EXPECT_EQ(offsetof(Record, fillColor), first + 64);
    EXPECT_EQ(offsetof(Record, strokeColor), first + 80);
    EXPECT_EQ(offsetof(Record, opacity), first + 96);
    EXPECT_EQ(offsetof(Record, blendMode), first + 104);
    EXPECT_EQ(sizeof(Record), first + 112);
    EXPECT_TRUE(std::is_standard_layout_v<Record>);
}

TEST(DrawerRecordLayout, EachShapesGeometryThenTheSharedFields) {
    using Circle = CircleDrawer::Parameter;
    EXPECT_EQ(offsetof(Circle, radius), 0u);
    EXPECT_EQ(offsetof(Circle, center), 8u);
    expectSharedFieldsFrom<Circle>(24);

    using Line = LineDrawer::Parameter;
    EXPECT_EQ(offsetof(Line, cap), 0u);
    EXPECT_EQ(offsetof(Line, thickness), 8u);
    EXPECT_EQ(offsetof(Line, point1), 16u);
    EXPECT_EQ(offsetof(Line, point2), 32u);
    expectSharedFieldsFrom<Line>(48);

    using Rectangle = RectangleDrawer::Parameter;
    EXPECT_EQ(offsetof(Rectangle, controlledBy), 0u);
    EXPECT_EQ(offsetof(Rectangle, point1), 8u);
    EXPECT_EQ(offsetof(Rectangle, point2), 24u);
    EXPECT_EQ(offsetof(Rectangle, center), 40u);
    EXPECT_EQ(offsetof(Rectangle, width), 56u);
    EXPECT_EQ(offsetof(Rectangle, height), 64u);
    expectSharedFieldsFrom<Rectangle>(72);

    using Triangle = TriangleDrawer::Parameter;
    EXPECT_EQ(offsetof(Triangle, point1), 0u);
    EXPECT_EQ(offsetof(Triangle, point2), 16u);
    EXPECT_EQ(offsetof(Triangle, point3), 32u);
    expectSharedFieldsFrom<Triangle>(48);
}

} // namespace
