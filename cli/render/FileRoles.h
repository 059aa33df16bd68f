#pragma once

// One file, one role: a render never writes over a file it reads (its input frames, its recipe,
// its module), and no two of its output frames are one file, however the names are spelt
// (FileIdentity.h): hard links, symbolic links, "..", sequences whose patterns overlap.

#include "cli/shot/Shot.h"

namespace OndrelCli {

// Throws CliError naming both files when an output frame of the shot is a file it reads, or
// another of its output frames. Call it before anything is written.
void checkFileRoles(const Shot& shot);

} // namespace OndrelCli
