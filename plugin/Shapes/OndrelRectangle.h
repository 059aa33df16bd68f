#pragma once

// Parameter indices of the Rectangle effect, as the host numbers them (0 is the input layer).

namespace Ondrel::Rectangle {

enum Param : int {
    Input,
    ControlledBy,
    Point1,
    Point2,
    Center,
    Width,
    Height,
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

} // namespace Ondrel::Rectangle
