// ondrel about EFFECT: the effect's about text.

#include "cli/commands/Commands.h"

#include <algorithm>
#include <cstdio>

namespace OndrelCli {

void addAboutCommand(CLI::App& app, const GlobalOptions& options) {
    auto* cmd = app.add_subcommand("about", "Show an effect's about text");
    auto effect = std::make_shared<std::string>();
    cmd->add_option("EFFECT", *effect, "Effect name or match name")->required();
    cmd->callback([&options, effect] {
        std::string text = applyEffect(options, *effect, false)->about();
        std::replace(text.begin(), text.end(), '\r', '\n'); // the host's line break
        std::printf("%s\n", text.c_str());
    });
}

} // namespace OndrelCli
