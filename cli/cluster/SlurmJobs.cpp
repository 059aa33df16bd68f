#include "cli/cluster/SlurmJobs.h"

#include "cli/cluster/ScriptText.h"
#include "cli/cluster/Subprocess.h"
#include "cli/core/CliError.h"
#include "cli/core/Frames.h"
#include "cli/core/PlainText.h"
#include "cli/core/Text.h"
#include "cli/render/ExistingFrames.h"
#include "cli/shot/FramePattern.h"
#include "cli/shot/JsonDocument.h"
#include "cli/shot/Recipe.h"
#include "cli/shot/Shot.h"
#include "cli/terminal/TemporaryFile.h"
#include "host/system/SystemLimits.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string_view>

namespace OndrelCli {

namespace fs = std::filesystem;

namespace {

fs::path stateFolder() {
    for (const auto& [variable, below] :
         {std::pair{"ONDREL_STATE_DIR", ""}, std::pair{"XDG_STATE_HOME", "ondrel"},
          std::pair{"HOME", ".local/state/ondrel"}}) {
        if (const char* folder = std::getenv(variable); folder != nullptr && *folder) {
            checkPlainText(folder, std::string("the environment variable ") + variable);
            return fs::path(folder) / below;
        }
    }
    throw CliError("no folder for the records of jobs: HOME is not set (set ONDREL_STATE_DIR)");
}

fs::path recordFolder() {
    return stateFolder() / "jobs";
}

// The job's record, in the state folder whatever the id says: only Slurm's own ids, which are
// numbers, name a record.
fs::path recordFile(const std::string& job) {
    constexpr std::size_t longestId = 20;
    if (job.empty() || job.size() > longestId ||
        job.find_first_not_of("0123456789") != std::string::npos) {
        throw CliError("a job id is the number Slurm gave the job, such as 4242");
    }
    return recordFolder() / (job + ".json");
}

std::string firstLine(const std::string& text) {
    const std::string line = trim(text.substr(0, text.find('\n')));
    return line.empty() ? "no reason given" : line;
}

// The tasks of the job that Slurm still has queued or running, by task.
std::map<int, ChunkState> queuedTasks(const std::string& job) {
    const ProgramResult queue =
        runProgram({"squeue", "--noheader", "--array", "--jobs", job, "--format", "%K %t"});
    std::map<int, ChunkState> tasks;
    if (queue.status != 0) {
        // A job that has left the controller's memory is no longer known: nothing is queued.
        if (queue.errors.find("Invalid job id") != std::string::npos) {
            return tasks;
        }
        throw CliError("cannot ask Slurm about job " + job + ": squeue says " +
                       firstLine(queue.errors));
    }
    std::istringstream lines(queue.output);
    std::string task;
    std::string state;
    while (lines >> task >> state) {
        if (const auto n = wholeNumber(task)) {
            tasks[static_cast<int>(*n)] =
                state == "PD" ? ChunkState::Waiting : ChunkState::Rendering;
        }
    }
    return tasks;
}

// Whether each of the chunks' frames, in order, is there and whole, read as --skip-existing
// reads it (ExistingFrames.h) at the size and depth the job's recipe gives it. A record without
// its recipe counts the files that are there.
std::vector<bool> wholeFrames(const JobRecord& record, const std::vector<ChunkStatus>& chunks) {
    std::vector<int> frames;
    for (const ChunkStatus& chunk : chunks) {
        frames.insert(frames.end(), chunk.frames.begin(), chunk.frames.end());
    }
    std::vector<bool> whole;
    if (record.recipe.empty()) {
        const FramePattern output(record.output);
        for (const int n : frames) {
            std::error_code error;
            whole.push_back(fs::exists(output.frame(n), error));
        }
        return whole;
    }
    const std::string where = "the recipe of job " + record.job;
    Shot shot = resolveShot(parseRecipe(record.recipe, where, "/"), {});
    shot.output.emplace(record.output);
    shot.frames = std::move(frames);
    for (const ExistingFrame& frame : existingFrames(shot, OfflineHost::usableProcessors())) {
        whole.push_back(frame.state == ExistingFrame::State::Whole);
    }
    return whole;
}

} // namespace

std::string sendJob(const std::string& script, const std::vector<int>& tasks) {
    checkBatchScript(script);
    const ProgramResult sent =
        runProgram({"sbatch", "--parsable", "--array=" + framesText(tasks)}, script);
    const std::string job = trim(sent.output.substr(0, sent.output.find_first_of(";\n")));
    if (sent.status != 0 || !wholeNumber(job)) {
        throw CliError("Slurm did not take the job: sbatch says " + firstLine(sent.errors));
    }
    return job;
}

void checkRecordsKept() {
    const auto refused = [](const std::string& why) {
        return CliError("cannot keep a record of the job, so nothing was sent: " + why);
    };
    fs::path folder;
    try {
        folder = recordFolder();
        std::error_code error;
        fs::create_directories(folder, error);
        if (error) {
            throw CliError(quoted(folder) + ": " + error.message());
        }
        // A record is written as saveRecord writes it: a new file in the folder.
        const TemporaryFile probe(folder / "0.json");
    } catch (const CliError& e) {
        throw refused(e.what());
    }
}

void saveRecord(const JobRecord& record) {
    Json json;
    json["job"] = record.job;
    json["output"] = record.output.string();
    json["logFolder"] = record.logFolder.string();
    json["chunks"] = record.chunks;
    json["tasks"] = record.tasks;
    json["script"] = record.script;
    json["recipe"] = record.recipe;
    const fs::path file = recordFile(record.job);
    const auto failed = [&](const std::string& why) {
        return CliError("cannot keep a record of job " + record.job + " in " +
                        quoted(file.parent_path()) + ": " + why);
    };
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    try {
        // Under a new name of its own, never through a file or link already there
        // (TemporaryFile.h).
        TemporaryFile temporary(file);
        bool written = false;
        temporary.open([&] {
            std::ofstream out(temporary.path(), std::ios::binary | std::ios::trunc);
            out << json.dump(2) << "\n";
            written = static_cast<bool>(out.flush()) && (out.close(), !out.fail());
        });
        if (!written) {
            throw failed("it cannot be written");
        }
        temporary.commit();
    } catch (const CliError& e) {
        if (std::string_view(e.what()).starts_with("cannot keep a record")) {
            throw;
        }
        throw failed(e.what());
    }
}

JobRecord loadRecord(const std::string& job) {
    const fs::path file = recordFile(job);
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw CliError("no record of job " + inQuotes(job) + " in " +
                       inQuotes(file.parent_path().string()) +
                       ": only jobs sent by ondrel submit as this user are known");
    }
    const std::string where = "the record of job " + job + ", " + inQuotes(file.string());
    const auto damaged = [&](const std::string& what) {
        return CliError(where + ", is damaged: " + what);
    };
    std::unique_ptr<JsonDocument> document;
    try {
        document = std::make_unique<JsonDocument>(readLimited(in, maxJsonBytes, where));
    } catch (const JsonSyntaxError& e) {
        throw damaged("line " + std::to_string(e.line) + ": " + e.what());
    }
    const Json& json = document->root().json();
    const auto field = [&](const char* name, bool (Json::*is)() const noexcept) -> const Json& {
        const auto found = json.is_object() ? json.find(name) : json.end();
        if (found == json.end() || !((*found).*is)()) {
            throw damaged(std::string("no \"") + name + "\" of the right kind");
        }
        return *found;
    };
    const auto texts = [&](const char* name) {
        std::vector<std::string> list;
        for (const Json& item : field(name, &Json::is_array)) {
            if (!item.is_string()) {
                throw damaged(std::string("\"") + name + "\" holds something that is not text");
            }
            list.push_back(item.get<std::string>());
        }
        return list;
    };
    JobRecord record;
    record.job = field("job", &Json::is_string).get<std::string>();
    record.output = field("output", &Json::is_string).get<std::string>();
    record.logFolder = field("logFolder", &Json::is_string).get<std::string>();
    record.chunks = texts("chunks");
    for (const Json& task : field("tasks", &Json::is_array)) {
        if (!task.is_number_integer() || task.get<long long>() < 1 ||
            task.get<long long>() > static_cast<long long>(record.chunks.size())) {
            throw damaged("\"tasks\" holds something that is not a chunk's number");
        }
        record.tasks.push_back(task.get<int>());
    }
    record.script = field("script", &Json::is_string).get<std::string>();
    if (json.contains("recipe")) {
        record.recipe = field("recipe", &Json::is_string).get<std::string>();
    }
    if (record.job != job) {
        throw damaged("it is the record of job " + inQuotes(record.job));
    }
    return record;
}

std::vector<ChunkStatus> jobStatus(const JobRecord& record) {
    const auto queued = queuedTasks(record.job);
    std::vector<ChunkStatus> chunks;
    for (const int task : record.tasks) {
        ChunkStatus& chunk = chunks.emplace_back();
        chunk.task = task;
        if (task >= 1 && static_cast<std::size_t>(task) <= record.chunks.size()) {
            chunk.frames = parseFrames(record.chunks[static_cast<std::size_t>(task) - 1]);
        }
    }
    const std::vector<bool> whole = wholeFrames(record, chunks);
    std::size_t next = 0;
    for (ChunkStatus& chunk : chunks) {
        for (std::size_t i = 0; i < chunk.frames.size(); ++i) {
            chunk.written += whole[next++] ? 1 : 0;
        }
        const auto inQueue = queued.find(chunk.task);
        chunk.state = inQueue != queued.end()                                  ? inQueue->second
                      : chunk.written == static_cast<int>(chunk.frames.size()) ? ChunkState::Done
                                                                               : ChunkState::Failed;
    }
    return chunks;
}

} // namespace OndrelCli
