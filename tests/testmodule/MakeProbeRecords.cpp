// Writes the probe module's records file: two effects, the second of which writes other values
// at global set-up than its records give.

#include "PiplWriter.h"
#include "ProbeRecords.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <records file>\n", argv[0]);
        return 2;
    }
    PiplWriter::Effect probe{16000,
                             "HostProbe",
                             "Ondrel Tests",
                             "HostProbeEntry",
                             "HostProbe",
                             Probe::version,
                             std::uint32_t(Probe::outFlags),
                             std::uint32_t(Probe::outFlags2)};
    PiplWriter::Effect mismatch = probe;
    mismatch.resourceId = 16001;
    mismatch.name = mismatch.matchName = "HostProbeMismatch";
    mismatch.entryPoint = "HostProbeMismatchEntry";
    try {
        PiplWriter::write(argv[1], PiplWriter::recordsFile({probe, mismatch}));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
