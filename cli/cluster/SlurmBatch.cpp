#include "cli/cluster/SlurmBatch.h"

#include "cli/core/CliError.h"
#include "cli/core/Frames.h"

namespace OndrelCli {

namespace fs = std::filesystem;

namespace {

// Quoted for the shell: 'text', with each ' as '\''.
std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The recipe goes to the task as a here-document ending at this line, which JSON text never
// holds on a line of its own.
constexpr const char* recipeEnd = "ONDREL_RECIPE";

} // namespace

std::vector<std::string> chunkFrames(const std::vector<int>& frames, int chunk) {
    std::vector<std::string> chunks;
    for (std::size_t i = 0; i < frames.size(); i += static_cast<std::size_t>(chunk)) {
        const auto end = std::min(frames.size(), i + static_cast<std::size_t>(chunk));
        chunks.push_back(framesText(std::vector<int>(frames.begin() + i, frames.begin() + end)));
    }
    return chunks;
}

fs::path taskLog(const fs::path& folder, const std::string& job, int task, const char* extension) {
    return folder / ("ondrel-" + job + "_" + std::to_string(task) + "." + extension);
}

BatchJob makeBatchJob(const std::string& effect, const std::string& recipe,
                      const std::vector<int>& frames, const fs::path& output,
                      const fs::path& ondrel, const BatchSettings& settings) {
    BatchJob job;
    job.name = "ondrel-" + effect;
    job.chunks = chunkFrames(frames, settings.chunk);
    job.logFolder = output.parent_path();
    const std::string logs = (job.logFolder / "ondrel-%A_%a").string();

    std::string s = "#!/bin/bash\n";
    s += "# " + effect + ", frames " + framesText(frames) + " in " +
         std::to_string(job.chunks.size()) + " chunks, to " + output.string() +
         "; sent by ondrel submit.\n";
    // sbatch splits a directive at spaces outside double quotes, and drops the quotes.
    const auto directive = [&](const std::string& option) {
        if (option.find_first_of("\n\r\"") != std::string::npos) {
            throw CliError("the sbatch option " + option +
                           " holds a line break or a double quote, which a batch script cannot "
                           "pass on");
        }
        const bool spaced = option.find_first_of(" \t") != std::string::npos;
        s += "#SBATCH " + (spaced ? "\"" + option + "\"" : option) + "\n";
    };
    directive("--job-name=" + job.name);
    directive("--array=1-" + std::to_string(job.chunks.size()));
    directive("--cpus-per-task=" + std::to_string(settings.cpusPerTask));
    directive("--output=" + logs + ".out");
    directive("--error=" + logs + ".err");
    if (!settings.partition.empty()) {
        directive("--partition=" + settings.partition);
    }
    if (!settings.timeLimit.empty()) {
        directive("--time=" + settings.timeLimit);
    }
    for (const auto& argument : settings.sbatchArguments) {
        directive(argument);
    }
    s += "set -eu\n";
    s += "chunks=(''";
    for (const auto& chunk : job.chunks) {
        s += "\n  " + shellQuoted(chunk);
    }
    s += "\n)\n";
    s += "exec " + shellQuoted(ondrel.string()) + " render --recipe - --frames \"${chunks[" +
         "$SLURM_ARRAY_TASK_ID]}\" --threads \"${SLURM_CPUS_PER_TASK:-1}\"" +
         (settings.skipExisting ? " --skip-existing" : "") + " <<'" + recipeEnd + "'\n";
    s += recipe;
    s += recipeEnd + std::string("\n");
    job.script = std::move(s);
    return job;
}

} // namespace OndrelCli
