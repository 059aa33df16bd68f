#pragma once

// Parameter indices of the Circle effect, as the host numbers them (0 is the input layer).

namespace Ondrel::Circle {

enum Param : int {
    Input,
    Radius,
    Center,
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

} // namespace Ondrel::Circle
