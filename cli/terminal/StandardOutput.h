#pragma once

// Standard output checked like any file written: what a command prints there is its result
// (a recipe, a list), and a write that failed (a full disk, /dev/full) is a failed command. A
// reader that went away (`ondrel list | head`) ends the command quietly, as SIGPIPE ends other
// tools (Signals.h has the signal ignored, so that the write says so).

namespace OndrelCli {

// Sends what is buffered. Throws CliError when a write failed; ends the process by SIGPIPE
// when the reader has gone.
void flushStandardOutput();

// Sends what is buffered and closes standard output, at the end of a command that succeeded,
// with the same outcomes as flushStandardOutput.
void closeStandardOutput();

} // namespace OndrelCli
