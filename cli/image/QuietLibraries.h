#pragma once

// libpng prints lines of its own on stderr ("libpng error: ...") beside the one line in which
// the command reports the failure. While a QuietLibraries lives, on any thread, stderr goes to a
// temporary file; when the last one ends, the file's lines are passed on to stderr, libpng's
// left out. Output of other threads in the meantime arrives late but whole.

namespace OndrelCli {

class QuietLibraries {
public:
    QuietLibraries();
    ~QuietLibraries();
    QuietLibraries(const QuietLibraries&) = delete;
    QuietLibraries& operator=(const QuietLibraries&) = delete;
};

} // namespace OndrelCli
