#pragma once

// Renders a shot: its single frame, or every frame of its sequence, each frame independent of
// the others so that it renders to the same bytes alone, in any chunk and in any order.

#include "cli/shot/Shot.h"

namespace OndrelCli {

struct RenderControl {
    int jobs = 1;    // frames rendered at once, through one effect instance
    int threads = 0; // per frame; 0 shares the processors this process may use among the jobs
    bool skipExisting = false;
    bool quiet = false;
    bool timings = false; // print the time spent reading, rendering and writing
};

// Writes every frame's file (through a temporary file, so a file is whole or missing). A failing
// frame stops the sequence once the frames in progress are written; throws CliError naming it.
void renderShot(const GlobalOptions& global, const Shot& shot, const RenderControl& control);

} // namespace OndrelCli
