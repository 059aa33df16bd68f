#include "cli/cluster/SlurmBatch.h"

#include "cli/cluster/ScriptText.h"
#include "cli/core/CliError.h"
#include "cli/core/Frames.h"
#include "cli/core/PlainText.h"
#include "cli/core/Text.h"

namespace OndrelCli {

namespace fs = std::filesystem;

namespace {

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

BatchJob makeBatchJob(const BatchTask& task, const std::vector<int>& frames,
                      const BatchSettings& settings) {
    checkPlainText(task.effect, "the effect " + inQuotes(task.effect));
    for (const fs::path* file : {&task.output, &task.ondrel, &task.module}) {
        checkPlainText(file->string(), quoted(*file));
    }
    // The recipe reaches the task as a here-document: a line of its own that ends it early would
    // make the rest commands. JSON text never holds one.
    if (("\n" + task.recipe + "\n").find("\n" + std::string(recipeEnd) + "\n") !=
        std::string::npos) {
        throw CliError("the recipe holds a line that would end it early in the batch script");
    }
    BatchJob job;
    job.name = "ondrel-" + task.effect;
    job.chunks = chunkFrames(frames, settings.chunk);
    job.logFolder = task.output.parent_path();
    const std::string logs = logFolderPattern(job.logFolder) + "/ondrel-%A_%a";

    std::string s = "#!/bin/bash\n";
    s += "# " + task.effect + ", frames " + framesText(frames) + " in " +
         std::to_string(job.chunks.size()) + " chunks, to " + task.output.string() +
         "; sent by ondrel submit.\n";
    const auto directive = [&](const std::string& option, const std::string& origin) {
        checkPlainText(option, origin);
        s += "#SBATCH " + directiveQuoted(option) + "\n";
    };
    directive("--job-name=" + job.name, "the effect " + inQuotes(task.effect));
    directive("--array=1-" + std::to_string(job.chunks.size()), "--chunk");
    directive("--cpus-per-task=" + std::to_string(settings.cpusPerTask), "--cpus-per-task");
    directive("--output=" + logs + ".out", "-o " + quoted(task.output));
    directive("--error=" + logs + ".err", "-o " + quoted(task.output));
    if (!settings.partition.empty()) {
        directive("--partition=" + settings.partition,
                  "--partition " + inQuotes(settings.partition));
    }
    if (!settings.timeLimit.empty()) {
        directive("--time=" + settings.timeLimit, "--time-limit " + inQuotes(settings.timeLimit));
    }
    for (const auto& argument : settings.sbatchArguments) {
        directive(argument, "--sbatch-arg " + inQuotes(argument));
    }
    s += "set -eu\n";
    s += "chunks=(''";
    for (const auto& chunk : job.chunks) {
        s += "\n  " + shellQuoted(chunk);
    }
    s += "\n)\n";
    s += "exec " + shellQuoted(task.ondrel.string()) + " --module " +
         shellQuoted(task.module.string()) + " render --recipe - --frames \"${chunks[" +
         "$SLURM_ARRAY_TASK_ID]}\" --threads \"${SLURM_CPUS_PER_TASK:-1}\"" +
         (settings.skipExisting ? " --skip-existing" : "") + " <<'" + recipeEnd + "'\n";
    s += task.recipe;
    s += task.recipe.ends_with('\n') ? "" : "\n";
    s += recipeEnd + std::string("\n");
    checkBatchScript(s);
    job.script = std::move(s);
    return job;
}

} // namespace OndrelCli
