#pragma once

// The frames of a sequence that --skip-existing leaves alone: those whose file is there and
// whole, of the size and channel depth the shot renders it at (from its input frame's size). A
// frame that ondrel finished and recorded (FrameRecord.h) is known so from the record; any other
// is read to its last pixel, on several threads at once.

#include "cli/shot/Shot.h"

#include <string>
#include <vector>

namespace OndrelCli {

struct ExistingFrame {
    enum class State {
        Missing, // no file, or no input frame to know its size by: rendered
        Whole,   // left alone
        Broken,  // rendered again, since `why`
    };
    State state = State::Missing;
    std::string why;
};

// For each of the shot's frames, in order, read on `threads` threads. Throws CliError when the
// shot's single input cannot be read.
std::vector<ExistingFrame> existingFrames(const Shot& shot, int threads);

} // namespace OndrelCli
