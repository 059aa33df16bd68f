#pragma once

// What one render may ask of the machine, checked before any work is done: each refusal is a
// CliError that names the request.

#include "host/instance/EffectInstance.h"

#include <string>

namespace OndrelCli {

// The largest layer side the command accepts, as the host application's own limit.
constexpr A_long maxLayerSide = 30000;

// Throws unless both sides are 1 to maxLayerSide; `what` names the layer ("input \"x.png\"").
void checkLayerSize(A_long width, A_long height, const std::string& what);

// Throws when the pixels `renders` renders at once hold at their peak would not fit in the
// memory this process may use (OfflineHost::usableMemory): for each, the full-resolution layer,
// and at the frame's size the input the host scales down to, the output and the layer the shape
// is drawn into; and `written` finished frames that wait for their writers. `what` names the
// layer ("--size 30000x30000"); the message says how much it needs and how much there is.
void checkMemory(const OfflineHost::Frame& frame, const std::string& what, int renders = 1,
                 int written = 0);

// A time in seconds in the host's units of 1/timeScale: throws unless it is finite and the
// frame (time plus one time step) fits the host's 32-bit time.
A_long frameTime(double seconds, A_u_long timeScale, A_long timeStep);

// Sets the worker threads for drawing (0: one per processor the process may use). Throws for a
// negative count and for more than the machine can start.
void setThreads(OfflineHost::EffectInstance& effect, int threads);

} // namespace OndrelCli
