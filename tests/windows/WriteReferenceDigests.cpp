// Writes the digests of the reference renders of the Linux build, for the Windows build's test
// run to compare with.

#include "ReferenceRenders.h"

#include <cstdio>
#include <exception>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIGEST_FILE\n", argv[0]);
        return 2;
    }
    try {
        const std::string text = ReferenceRenders::format(ReferenceRenders::renderAll());
        std::ofstream out(argv[1], std::ios::binary);
        out << text;
        if (!out.flush()) {
            std::fprintf(stderr, "cannot write %s\n", argv[1]);
            return 1;
        }
        std::fputs(text.c_str(), stdout);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
