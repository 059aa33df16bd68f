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

// What each task runs: `ondrel --module MODULE render --recipe -` of its chunk, the recipe (whole,
// paths absolute) in the script, and the frames' file-name pattern (absolute).
struct BatchTask {
    std::string effect;
    std::string recipe;
    std::filesystem::path output;
    std::filesystem::path ondrel;
    std::filesystem::path module;
};

// The batch script for every chunk, checked as sbatch reads it (ScriptText.h). Throws CliError for
// a name or sbatch option that is not plain text, and for a log folder Slurm cannot name.
BatchJob makeBatchJob(const BatchTask& task, const std::vector<int>& frames,
                      const BatchSettings& settings);

// The task logs of an array job: FOLDER/ondrel-JOB_TASK.out and .err.
std::filesystem::path taskLog(const std::filesystem::path& folder, const std::string& job, int task,
                              const char* extension);

} // namespace OndrelCli
