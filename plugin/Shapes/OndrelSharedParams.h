#pragma once

// The parameter indices every effect shares: they follow the effect's own parameters, in the order
// of transformParams and styleParams (OndrelCommonParams.h), and end each effect's Param
// enumeration, so that every effect names its shared indices alike and code written for one
// effect's Param serves them all.
#define ONDREL_SHARED_PARAMS                                                                       \
    Transform, AnchorPoint, Position, Rotation, Scale, TransformEnd, Mode, StrokeWidth, FillColor, \
        StrokeColor, Opacity, BlendingMode, ParamCount
