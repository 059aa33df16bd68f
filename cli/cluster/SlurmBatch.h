#pragma once

// A sequence as one Slurm array job: the frames split into chunks, one array task per chunk,
// each task an ordinary `ondrel render` of its chunk with the whole recipe written into the
// batch script, so that the job renders what was asked when it was sent, whatever happens to
// the recipe's file afterwards.

#include <filesystem>
#include <string>
#include <vector>

namespace OndrelCli {

struct BatchSettings {
    int chunk = 10;        // frames per task
    int cpusPerTask = 1;   // and the render's threads
    std::string partition; // empty: the cluster's default
    std::string timeLimit; // per task, as sbatch takes it ("30", "1:00:00"); empty: the default
    std::vector<std::string> sbatchArguments; // each one sbatch option, such as --mem=4G
    bool skipExisting = false;
};

// The frames in chunks of up to `chunk` frames, each as --frames takes it ("1-50").
std::vector<std::string> chunkFrames(const std::vector<int>& frames, int chunk);

struct BatchJob {
    std::string name;                // the job's name
    std::vector<std::string> chunks; // array task n renders chunks[n - 1]
    std::filesystem::path logFolder; // where the tasks' output and error logs go
    std::string script;
};

// The batch script for every chunk. `recipe` is the whole recipe (paths absolute) and `ondrel`
// the command the tasks run. Throws CliError for an sbatch argument that cannot be written.
BatchJob makeBatchJob(const std::string& effect, const std::string& recipe,
                      const std::vector<int>& frames, const std::filesystem::path& output,
                      const std::filesystem::path& ondrel, const BatchSettings& settings);

// The task logs of an array job: FOLDER/ondrel-JOB_TASK.out and .err.
std::filesystem::path taskLog(const std::filesystem::path& folder, const std::string& job, int task,
                              const char* extension);

} // namespace OndrelCli
