// Writes the module's registration records and export lists into the folder given as the only
// argument: <module>.rc, <module>.rsrc, <module>.pipl, <module>.map and <module>.exp.

#include "Containers.h"
#include "ExportList.h"
#include "PropertyList.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace OndrelPipl;

std::vector<Resource> resources(std::span<const std::uint32_t> entryKeys, ByteOrder order) {
    std::vector<Resource> out;
    for (const auto& effect : Ondrel::Registration::effects) {
        out.push_back(
            {effect.resourceId, encodePropertyList(effectProperties(effect, entryKeys), order)});
    }
    return out;
}

// Rewrites the file only when its contents change, so an unchanged table relinks nothing.
void write(const std::filesystem::path& path, const std::string& contents) {
    {
        std::ifstream in(path, std::ios::binary);
        const std::string old{std::istreambuf_iterator<char>(in), {}};
        if (in && old == contents) {
            return;
        }
    }
    std::ofstream out(path, std::ios::binary);
    out << contents;
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

void write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    write(path, std::string(bytes.begin(), bytes.end()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    try {
        const std::filesystem::path dir = argv[1];
        std::filesystem::create_directories(dir);
        const std::string base = Ondrel::Registration::moduleName;
        constexpr std::array windowsEntry{fourCC("8664")};
        constexpr std::array macEntries{fourCC("mi64"), fourCC("ma64")};
        const std::vector<Resource> little = resources(windowsEntry, ByteOrder::Little);
        write(dir / (base + ".rc"), resourceScript(little));
        write(dir / (base + ".pipl"), piplFile(little));
        write(dir / (base + ".rsrc"), resourceFork(resources(macEntries, ByteOrder::Big)));
        write(dir / (base + ".map"), versionScript());
        write(dir / (base + ".exp"), appleExportList());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ondrel_pipl_gen: %s\n", e.what());
        return 1;
    }
    return 0;
}
