#pragma once

// Parameter indices of the Rectangle effect, as the host numbers them (0 is the input layer).

#include "Shapes/OndrelSharedParams.h"

namespace Ondrel::Rectangle {

enum Param : int {
    Input,
    ControlledBy,
    Point1,
    Point2,
    Center,
    Width,
    Height,
    ONDREL_SHARED_PARAMS
};

} // namespace Ondrel::Rectangle
