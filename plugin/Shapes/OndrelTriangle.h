#pragma once

// Parameter indices of the Triangle effect, as the host numbers them (0 is the input layer).

namespace Ondrel::Triangle {

enum Param : int {
    Input,
    Point1,
    Point2,
    Point3,
    Transform,
    AnchorPoint,
    Position,
    Rotation,
    Scale,
    TransformEnd,
    Mode,
    StrokeWidth,
    FillColor,
    StrokeColor,
    Opacity,
    BlendingMode,
    ParamCount
};

} // namespace Ondrel::Triangle
