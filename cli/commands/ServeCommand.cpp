// ondrel serve: a page on the loopback interface that shows an effect's controls as the host
// builds them from the module's answers, and renders a live preview as they move; a page new to
// the work starts from --recipe.

#include "cli/commands/Commands.h"
#include "cli/commands/OptionChecks.h"
#include "cli/serve/PreviewServer.h"
#include "cli/serve/PreviewService.h"
#include "cli/shot/Recipe.h"

#include <cstdio>

namespace OndrelCli {
namespace {

struct ServeOptions {
    int port = 8000;
    std::optional<std::filesystem::path> input;
    std::optional<std::filesystem::path> recipe;
};

void serve(const GlobalOptions& global, const ServeOptions& options) {
    std::optional<Recipe> start;
    if (options.recipe) {
        start = readRecipe(*options.recipe);
    }
    PreviewService service(global, options.input, start);
    // Said once here as well as on the page: the recipe renders otherwise than the page shows it.
    if (const Json work = service.startingRecipe()["recipe"];
        work.is_object() && work["note"].is_string()) {
        std::fprintf(stderr, "ondrel serve: %s\n", work["note"].get<std::string>().c_str());
    }
    PreviewServer server(service);
    const int port = server.bind(options.port);
    std::printf("Serving the effects of %s at http://127.0.0.1:%d/ (Ctrl-C stops)\n",
                global.module.filename().string().c_str(), port);
    std::fflush(stdout);
    server.listen();
}

} // namespace

void addServeCommand(CLI::App& app, const GlobalOptions& global) {
    auto options = std::make_shared<ServeOptions>();
    auto* cmd = app.add_subcommand(
        "serve",
        "Show the effects' controls and a live preview in a browser, on this machine only");
    takesWholeNumber(
        cmd->add_option("--port", options->port, "Port on 127.0.0.1; 0 takes any free one")
            ->capture_default_str(),
        0, "expected 0 (any free port) to 65535", 65535);
    cmd->add_option("-i,--input", options->input,
                    "Image file to preview over (default: the built-in layer only)");
    cmd->add_option("--recipe", options->recipe,
                    "Recipe a new page starts from: its effect, settings, keyframes and frames "
                    "(the module and the input stay the server's)");
    cmd->callback([&global, options] { serve(global, *options); });
}

} // namespace OndrelCli
