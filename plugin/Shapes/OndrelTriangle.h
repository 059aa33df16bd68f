#pragma once

// Parameter indices of the Triangle effect, as the host numbers them (0 is the input layer).

#include "Shapes/OndrelSharedParams.h"

namespace Ondrel::Triangle {

enum Param : int { Input, Point1, Point2, Point3, ONDREL_SHARED_PARAMS };

} // namespace Ondrel::Triangle
