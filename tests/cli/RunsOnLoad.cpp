// A shared library that is no module: loading it runs its constructor, which leaves a file named
// "library-ran" in the current folder. The tests hand it to ondrel and check that the file never
// appears.

#include <cstdio>

namespace {

__attribute__((constructor)) void leaveAMark() {
    if (std::FILE* mark = std::fopen("library-ran", "w")) {
        std::fclose(mark);
    }
}

} // namespace
