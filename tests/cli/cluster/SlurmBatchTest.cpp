// The batch script of `ondrel submit`: frames in chunks, sbatch options passed through, and
// what an array task runs, checked by running the script with bash and a stand-in for ondrel; and
// names that try to leave their place in it, read back as sbatch and bash read them.

#include "cli/cluster/SlurmBatch.h"
#include "cli/cluster/ScriptText.h"
#include "cli/core/CliError.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace OndrelCli;

std::string readText(const fs::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The arguments of an #SBATCH line as sbatch reads them: a backslash takes the next character as
// it is, ' and " quote up to the same quote, an unquoted # ends the line and unquoted spaces end
// an argument.
std::vector<std::string> sbatchArguments(const std::string& line) {
    std::vector<std::string> arguments;
    std::size_t i = std::string("#SBATCH").size();
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        if (i == line.size() || line[i] == '#') {
            break;
        }
        std::string argument;
        char quote = 0;
        for (; i < line.size() && (quote != 0 || (line[i] != ' ' && line[i] != '\t')); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                argument += line[++i];
            } else if (quote != 0 && line[i] == quote) {
                quote = 0;
            } else if (quote == 0 && (line[i] == '"' || line[i] == '\'')) {
                quote = line[i];
            } else if (quote == 0 && line[i] == '#') {
                i = line.size();
                break;
            } else {
                argument += line[i];
            }
        }
        arguments.push_back(argument);
    }
    return arguments;
}

// A log name as Slurm fills it in for job 42, task `task`: %% is %, %A the job and %a the task.
std::string filledIn(const std::string& pattern, int task) {
    std::string name;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            const char code = pattern[++i];
            name += code == 'A' ? "42" : code == 'a' ? std::to_string(task) : std::string(1, code);
        } else {
            name += pattern[i];
        }
    }
    return name;
}

TEST(SlurmBatch, FramesGoInChunksInTheirOrder) {
    EXPECT_EQ(chunkFrames({1, 2, 3, 4, 5, 6, 7}, 3), (std::vector<std::string>{"1-3", "4-6", "7"}));
    EXPECT_EQ(chunkFrames({1, 2, 3, 10, 11}, 2), (std::vector<std::string>{"1-2", "3,10", "11"}));
    EXPECT_EQ(chunkFrames({5}, 50), std::vector<std::string>{"5"});
}

TEST(SlurmBatch, ATaskRendersItsChunkWithTheRecipeItCarries) {
    const fs::path folder =
        fs::temp_directory_path() / ("ondrel-batch-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    // A stand-in for ondrel, in a folder whose name needs quoting: it shows its arguments and
    // what it reads.
    const fs::path stand = folder / "it's ondrel";
    std::ofstream(stand) << "#!/bin/sh\nprintf '%s|' \"$@\"\necho\ncat\n";
    fs::permissions(stand, fs::perms::owner_all);

    BatchSettings settings;
    settings.chunk = 2;
    settings.cpusPerTask = 3;
    settings.partition = "render";
    settings.timeLimit = "1:00:00";
    settings.sbatchArguments = {"--mem=2G", "--comment=a b"};
    const std::string recipe = "{\n  \"effect\": \"OndrelLine\"\n}\n";
    const BatchTask task{"OndrelLine", recipe, "/shared/f.####.exr", stand, "/opt/it's.so"};
    const BatchJob job = makeBatchJob(task, {1, 2, 3, 4, 9}, settings);
    EXPECT_EQ(job.chunks, (std::vector<std::string>{"1-2", "3-4", "9"}));
    EXPECT_EQ(job.logFolder, "/shared");
    for (const char* line : {"#SBATCH \"--array=1-3\"\n", "#SBATCH \"--cpus-per-task=3\"\n",
                             "#SBATCH \"--partition=render\"\n", "#SBATCH \"--time=1:00:00\"\n",
                             "#SBATCH \"--mem=2G\"\n", "#SBATCH \"--comment=a b\"\n",
                             "#SBATCH \"--output=/shared/ondrel-%A_%a.out\"\n",
                             "#SBATCH \"--error=/shared/ondrel-%A_%a.err\"\n"}) {
        EXPECT_NE(job.script.find(line), std::string::npos) << line << job.script;
    }

    std::ofstream(folder / "job.sh") << job.script;
    const std::string run =
        "cd '" + folder.string() +
        "' && SLURM_ARRAY_TASK_ID=2 SLURM_CPUS_PER_TASK=3 bash job.sh > ran.txt";
    ASSERT_EQ(std::system(run.c_str()), 0);
    std::ifstream ran(folder / "ran.txt");
    const std::string text(std::istreambuf_iterator<char>(ran), {});
    EXPECT_EQ(text, "--module|/opt/it's.so|render|--recipe|-|--frames|3-4|--threads|3|\n" + recipe);
    fs::remove_all(folder);
}

TEST(SlurmBatch, AHostileNameStaysWhereItIsWritten) {
    // Every character bash, sbatch or Slurm's log names would read as more than a character.
    const std::string hostile = "it's \"$(touch X)\" `touch Y`;touch Z #1 %j 100%% $HOME\\t";
    const fs::path top =
        fs::temp_directory_path() / ("ondrel-hostile-" + std::to_string(::getpid()));
    const fs::path folder = top / hostile;
    fs::create_directories(folder);
    const fs::path stand = folder / "ondrel";
    std::ofstream(stand) << "#!/bin/sh\nprintf '%s|' \"$@\"\necho\ncat\n";
    fs::permissions(stand, fs::perms::owner_all);
    const std::string recipe = "{\"output\": \"" + (folder / "f.####.png").string() + "\"}\n";

    BatchSettings settings;
    settings.partition = "render #2";
    settings.sbatchArguments = {"--comment=" + hostile};
    // A backslash is the one character Slurm's log names cannot carry.
    EXPECT_THROW(makeBatchJob({"OndrelLine", recipe, folder / "f.####.png", stand, folder / "m.so"},
                              {1, 2}, settings),
                 CliError);
    const fs::path named = top / hostile.substr(0, hostile.size() - 2);
    fs::create_directories(named);
    fs::copy_file(stand, named / "ondrel");
    const BatchJob job =
        makeBatchJob({"OndrelLine", recipe, named / "f.####.png", named / "ondrel", named / "m.so"},
                     {1, 2}, settings);
    EXPECT_NO_THROW(checkBatchScript(job.script));

    // sbatch reads each directive as the option that was meant.
    std::map<std::string, std::string> options;
    std::istringstream lines(job.script);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("#SBATCH")) {
            const auto arguments = sbatchArguments(line);
            ASSERT_EQ(arguments.size(), 1u) << line;
            const auto equals = arguments[0].find('=');
            options[arguments[0].substr(0, equals)] = arguments[0].substr(equals + 1);
        }
    }
    EXPECT_EQ(options["--comment"], hostile);
    EXPECT_EQ(options["--partition"], "render #2");
    EXPECT_EQ(filledIn(options["--output"], 2), taskLog(named, "42", 2, "out").string());
    EXPECT_EQ(filledIn(options["--error"], 1), taskLog(named, "42", 1, "err").string());

    // bash runs the stand-in with the module and the recipe as they are, and nothing else.
    std::ofstream(top / "job.sh") << job.script;
    const std::string run =
        "cd '" + top.string() + "' && SLURM_ARRAY_TASK_ID=1 bash job.sh > ran.txt";
    ASSERT_EQ(std::system(run.c_str()), 0);
    EXPECT_EQ(readText(top / "ran.txt"), "--module|" + (named / "m.so").string() +
                                             "|render|--recipe|-|--frames|1-2|--threads|1|\n" +
                                             recipe);
    for (const char* planted : {"X", "Y", "Z"}) {
        EXPECT_FALSE(fs::exists(top / planted)) << planted;
    }
    fs::remove_all(top);
}

TEST(SlurmBatch, AScriptSbatchWouldReadOtherwiseIsRefused) {
    EXPECT_NO_THROW(checkBatchScript("#!/bin/bash\n\n# a note\n#SBATCH \"--mem=1G\"\nexec x\n"));
    const struct {
        const char* script;
        const char* message;
    } cases[] = {
        {"#SBATCH \"--mem=1G\"\nexec x\n", "does not begin with its interpreter"},
        {"#!/bin/bash\nset -eu\n#SBATCH \"--mem=1G\"\n",
         "line 3 of the batch script is a directive after its first command"},
        {"#!/bin/bash\n  true\n#SBATCH \"--mem=1G\"\n", "line 3"},
    };
    for (const auto& c : cases) {
        try {
            checkBatchScript(c.script);
            ADD_FAILURE() << "accepted: " << c.script;
        } catch (const CliError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
    // A recipe that would end its here-document early, and a name on two lines.
    const BatchSettings settings;
    for (const BatchTask& task :
         {BatchTask{"OndrelLine", "{}\nONDREL_RECIPE\ntouch X\n", "/f.####.png", "/o", "/m.so"},
          BatchTask{"OndrelLine", "{}\nONDREL_RECIPE", "/f.####.png", "/o", "/m.so"},
          BatchTask{"OndrelLine", "{}\n", "/f\n#SBATCH --x/f.####.png", "/o", "/m.so"},
          BatchTask{"Ondrel\rLine", "{}\n", "/f.####.png", "/o", "/m.so"}}) {
        EXPECT_THROW(makeBatchJob(task, {1}, settings), CliError) << task.recipe;
    }
}

} // namespace
