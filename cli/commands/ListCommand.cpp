// ondrel list: the effects a module registers.

#include "cli/commands/Commands.h"

#include <cstdio>

namespace OndrelCli {
namespace {

// The host's packed version word as "major.minor.bug".
std::string versionText(std::uint32_t word) {
    return std::to_string(word >> 19 & 0x7) + "." + std::to_string(word >> 15 & 0xF) + "." +
           std::to_string(word >> 11 & 0xF);
}

void list(const GlobalOptions& options) {
    const auto module = loadModule(options);
    std::printf("%-18s %-10s %-8s %s\n", "EFFECT", "CATEGORY", "VERSION", "ENTRY");
    for (const auto& effect : module->effects()) {
        const auto& r = effect.records();
        std::printf("%-18s %-10s %-8s %s\n", r.name.c_str(), r.category.c_str(),
                    versionText(r.effectVersion).c_str(), r.entryPoint.c_str());
    }
}

} // namespace

void addListCommand(CLI::App& app, const GlobalOptions& options) {
    app.add_subcommand("list", "List the module's effects")->callback([&options] {
        list(options);
    });
}

} // namespace OndrelCli
