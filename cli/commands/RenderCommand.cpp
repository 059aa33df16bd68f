// ondrel render [EFFECT] -o OUTPUT: renders one frame, or a sequence of frames, of an effect over
// an image file (or a sequence of them) or the built-in layer, with the settings of a recipe and
// the command line.

#include "cli/commands/Commands.h"
#include "cli/commands/OptionChecks.h"
#include "cli/commands/ShotOptions.h"
#include "cli/render/SequenceRender.h"

namespace OndrelCli {
namespace {

struct RenderOptions {
    ShotOptions shot;
    std::string time;
    RenderControl control;
};

void render(const GlobalOptions& global, const RenderOptions& options) {
    Recipe recipe = commandLineRecipe(options.shot, global);
    if (!options.time.empty()) {
        recipe.settings["time"] = {options.time, "--time \"" + options.time + "\"", true};
    }
    renderShot(global, resolveShot(recipe, global.module), options.control);
}

} // namespace

void addRenderCommand(CLI::App& app, const GlobalOptions& global) {
    auto options = std::make_shared<RenderOptions>();
    auto* cmd = app.add_subcommand(
        "render", "Render one frame, or a sequence of frames, of an effect to image files");
    addShotOptions(*cmd, options->shot, true);
    cmd->add_option("--time", options->time,
                    "Time of a single frame in seconds (default 0), in place of --frames")
        ->excludes("--frames");
    takesWholeNumber(
        cmd->add_option("--threads", options->control.threads,
                        "Worker threads drawing each frame; 0 shares the processors among the jobs")
            ->capture_default_str(),
        0, "expected 0 (one per processor) or a number of threads");
    takesWholeNumber(cmd->add_option("--jobs", options->control.jobs, "Frames rendered at once")
                         ->capture_default_str(),
                     1, "expected 1 or more frames at once");
    cmd->add_flag("--skip-existing", options->control.skipExisting,
                  "Leave frames whose file is there alone, to resume an interrupted sequence");
    cmd->add_flag("-q,--quiet", options->control.quiet, "Show no progress and no summary");
    cmd->add_flag("--timings", options->control.timings,
                  "Print the time spent reading, rendering and writing, summed over the frames");
    cmd->callback([&global, options] { render(global, *options); });
}

} // namespace OndrelCli
