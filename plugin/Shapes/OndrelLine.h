#pragma once

// Parameter indices of the Line effect, as the host numbers them (0 is the input layer).

#include "Shapes/OndrelSharedParams.h"

namespace Ondrel::Line {

enum Param : int { Input, Cap, Thickness, Point1, Point2, ONDREL_SHARED_PARAMS };

} // namespace Ondrel::Line
