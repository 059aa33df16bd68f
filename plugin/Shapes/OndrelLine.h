#pragma once

// Parameter indices of the Line effect, as the host numbers them (0 is the input layer).

namespace Ondrel::Line {

enum Param : int {
    Input,
    Cap,
    Thickness,
    Point1,
    Point2,
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

} // namespace Ondrel::Line
