#pragma once

// The array jobs `ondrel submit` sends to Slurm. A record of each is kept in the user's state
// folder ($ONDREL_STATE_DIR, else $XDG_STATE_HOME/ondrel, else ~/.local/state/ondrel), so that
// a job's status and its failed chunks can be found from its id alone. A job's status comes
// from Slurm's queue and from the frames that are there: a chunk that has left the queue with
// frames missing has failed.

#include <filesystem>
#include <string>
#include <vector>

namespace OndrelCli {

struct JobRecord {
    std::string job;                 // Slurm's job id
    std::filesystem::path output;    // the frames' file-name pattern
    std::filesystem::path logFolder; // the tasks' logs
    std::vector<std::string> chunks; // the sequence's chunks; array task n renders chunks[n - 1]
    std::vector<int> tasks;          // the tasks of this job: all, or those sent again
    std::string script;
    // The recipe every task renders, which gives each frame's size and depth, so that a frame
    // counts as done only when it is whole; records of older versions have none, and count
    // the frames that are there.
    std::string recipe;
};

// Sends the batch script as an array job of these tasks with sbatch, once it is checked as sbatch
// reads it (ScriptText.h); returns the job's id. Throws CliError, with sbatch's own reason when
// it refuses.
std::string sendJob(const std::string& script, const std::vector<int>& tasks);

// Throws CliError, saying that nothing was sent, unless a record can be kept: the state
// folder names a folder that is there or can be made, and a file can be created in it. Asked
// before sendJob, so that no job runs that --status and --resubmit cannot follow.
void checkRecordsKept();
// Throws CliError "cannot keep a record of job JOB in FOLDER: why".
void saveRecord(const JobRecord& record);
// Throws CliError when there is no record of the job.
JobRecord loadRecord(const std::string& job);

enum class ChunkState { Done, Waiting, Rendering, Failed };

struct ChunkStatus {
    int task = 0;
    ChunkState state = ChunkState::Waiting;
    std::vector<int> frames;
    int written = 0; // frames that are there and whole
};

// Each task's chunk as it stands. Throws CliError when Slurm cannot be asked.
std::vector<ChunkStatus> jobStatus(const JobRecord& record);

} // namespace OndrelCli
