// ondrel submit: a sequence sent to a Slurm cluster as one array job, a task per chunk of frames;
// --status JOB tells how far a job is, and --resubmit JOB sends its failed chunks again.

#include "cli/cluster/SlurmBatch.h"
#include "cli/cluster/SlurmJobs.h"
#include "cli/commands/Commands.h"
#include "cli/commands/OptionChecks.h"
#include "cli/commands/ShotOptions.h"
#include "cli/core/CliError.h"
#include "cli/core/Text.h"
#include "cli/image/ImageFiles.h"
#include "cli/render/FileRoles.h"
#include "cli/shot/Shot.h"

#include <cstdio>

namespace OndrelCli {
namespace {

namespace fs = std::filesystem;

struct SubmitOptions {
    ShotOptions shot;
    BatchSettings batch;
    bool dryRun = false;
    std::string status;
    std::string resubmit;
    std::string chunks; // of the job to send again
};

// The recipe every task reads: the settings as checked here, with whole paths, since the tasks
// run elsewhere. The module goes on the task's command line instead, where a recipe cannot name
// one.
Recipe taskRecipe(Recipe recipe, const Shot& shot) {
    writeDefaults(recipe, shot);
    recipe.settings.erase("module");
    recipe.makePathsWhole();
    return recipe;
}

// Sends the job's tasks once its record is known to be keepable. A record that fails even so
// leaves a job that runs unfollowed: the message says how to cancel it.
JobRecord sendRecorded(JobRecord record, const std::vector<int>& tasks) {
    checkRecordsKept();
    record.job = sendJob(record.script, tasks);
    record.tasks = tasks;
    try {
        saveRecord(record);
    } catch (const CliError& e) {
        throw CliError("job " + record.job + " was sent, but " + e.what() +
                       "; --status and --resubmit cannot follow it (cancel it with: scancel " +
                       record.job + ")");
    }
    return record;
}

void send(const GlobalOptions& global, const SubmitOptions& options) {
    const Recipe recipe = commandLineRecipe(options.shot, global);
    const Shot shot = resolveShot(recipe, global.module);
    if (!shot.isSequence() || !shot.output) {
        throw CliError("ondrel submit renders a sequence: give --frames and an output such as "
                       "-o out.####.exr");
    }
    // Everything is checked here, so that the tasks fail only for reasons of their own.
    checkFileRoles(shot);
    applyParams(*shot.applyEffect(global), shot);
    checkWritable(shot.output->frame(shot.frames.front()), shot.depth);

    const BatchTask what{shot.effect, recipeText(taskRecipe(recipe, shot)),
                         fs::absolute(shot.output->path()).lexically_normal(),
                         fs::read_symlink("/proc/self/exe"),
                         fs::absolute(shot.module).lexically_normal()};
    const BatchJob job = makeBatchJob(what, shot.frames, options.batch);
    if (options.dryRun) {
        std::fputs(job.script.c_str(), stdout);
        return;
    }
    std::vector<int> tasks;
    for (int task = 1; task <= static_cast<int>(job.chunks.size()); ++task) {
        tasks.push_back(task);
    }
    const JobRecord record = sendRecorded(
        {{}, what.output, job.logFolder, job.chunks, {}, job.script, what.recipe}, tasks);
    std::printf("submitted job %s: %zu frames in %zu chunks, logs in %s\n", record.job.c_str(),
                shot.frames.size(), job.chunks.size(), job.logFolder.c_str());
}

const char* stateName(ChunkState state) {
    switch (state) {
    case ChunkState::Done:
        return "done";
    case ChunkState::Waiting:
        return "waiting";
    case ChunkState::Rendering:
        return "rendering";
    case ChunkState::Failed:
        break;
    }
    return "failed";
}

void printStatus(const std::string& job) {
    const JobRecord record =
        inContext("--status " + inQuotes(job), [&] { return loadRecord(job); });
    std::size_t done = 0;
    std::size_t failed = 0;
    std::size_t pending = 0;
    std::string failures;
    for (const ChunkStatus& chunk : jobStatus(record)) {
        const std::size_t missing = chunk.frames.size() - static_cast<std::size_t>(chunk.written);
        done += static_cast<std::size_t>(chunk.written);
        (chunk.state == ChunkState::Failed ? failed : pending) += missing;
        if (chunk.state != ChunkState::Done) {
            failures += "chunk " + std::to_string(chunk.task) + " (frames " +
                        framesText(chunk.frames) + "): " + stateName(chunk.state) + ", " +
                        std::to_string(chunk.written) + " of " +
                        std::to_string(chunk.frames.size()) + " frames written";
            if (chunk.state == ChunkState::Failed) {
                failures += "; see " + taskLog(record.logFolder, job, chunk.task, "err").string();
            }
            failures += "\n";
        }
    }
    std::printf("job %s: %zu frames done, %zu failed, %zu pending (%s)\n%s", job.c_str(), done,
                failed, pending, record.output.c_str(), failures.c_str());
    if (failed > 0) {
        std::printf("send the failed chunks again with: ondrel submit --resubmit %s\n",
                    job.c_str());
    }
}

void resubmit(const std::string& job, const std::string& chunks) {
    JobRecord record = inContext("--resubmit " + inQuotes(job), [&] { return loadRecord(job); });
    std::vector<int> tasks;
    if (!chunks.empty()) {
        tasks = inContext("--chunks " + inQuotes(chunks), [&] {
            auto listed = parseFrames(chunks);
            if (listed.front() < 1 || listed.back() > static_cast<int>(record.chunks.size())) {
                throw CliError("job " + job + " has chunks 1 to " +
                               std::to_string(record.chunks.size()));
            }
            return listed;
        });
    } else {
        for (const ChunkStatus& chunk : jobStatus(record)) {
            if (chunk.state == ChunkState::Failed) {
                tasks.push_back(chunk.task);
            }
        }
    }
    if (tasks.empty()) {
        std::printf("job %s has no failed chunks to send again\n", job.c_str());
        return;
    }
    record = sendRecorded(std::move(record), tasks);
    std::printf("submitted job %s: chunks %s of job %s\n", record.job.c_str(),
                framesText(tasks).c_str(), job.c_str());
}

} // namespace

void addSubmitCommand(CLI::App& app, const GlobalOptions& global) {
    auto options = std::make_shared<SubmitOptions>();
    auto* cmd = app.add_subcommand(
        "submit", "Render a sequence on a Slurm cluster: one array job, a task per chunk of "
                  "frames, each an ondrel render; the logs go beside the frames");
    addShotOptions(*cmd, options->shot, true);
    BatchSettings& batch = options->batch;
    takesWholeNumber(
        cmd->add_option("--chunk", batch.chunk, "Frames per task")->capture_default_str(), 1,
        "expected 1 or more frames per task");
    takesWholeNumber(cmd->add_option("--cpus-per-task", batch.cpusPerTask,
                                     "Processors per task, all drawing its frames")
                         ->capture_default_str(),
                     1, "expected 1 or more processors per task");
    cmd->add_option("--partition", batch.partition, "The partition to run in");
    cmd->add_option("--time-limit", batch.timeLimit,
                    "Each task's time limit, as sbatch --time takes it (30, 1:00:00, ...)");
    cmd->add_option("--sbatch-arg", batch.sbatchArguments,
                    "Another sbatch option for the job, such as --mem=4G; may be repeated")
        ->allow_extra_args(false);
    cmd->add_flag("--skip-existing", batch.skipExisting,
                  "Tasks leave frames whose file is there alone");
    cmd->add_flag("--dry-run", options->dryRun, "Print the batch script instead of sending it");
    auto* statusOption = cmd->add_option(
        "--status", options->status, "JOB: how many of a job's frames are done, failed or pending");
    auto* again = cmd->add_option("--resubmit", options->resubmit,
                                  "JOB: send the job's failed chunks (or --chunks) again");
    cmd->add_option("--chunks", options->chunks, "With --resubmit: the chunks to send, such as 2,5")
        ->needs(again);
    statusOption->excludes(again);
    cmd->callback([&global, options] {
        if (!options->status.empty()) {
            printStatus(options->status);
        } else if (!options->resubmit.empty()) {
            resubmit(options->resubmit, options->chunks);
        } else {
            send(global, *options);
        }
    });
}

} // namespace OndrelCli
