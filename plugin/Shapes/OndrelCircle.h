#pragma once

// Parameter indices of the Circle effect, as the host numbers them (0 is the input layer).

#include "Shapes/OndrelSharedParams.h"

namespace Ondrel::Circle {

enum Param : int { Input, Radius, Center, ONDREL_SHARED_PARAMS };

} // namespace Ondrel::Circle
