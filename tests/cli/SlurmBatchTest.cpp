// The batch script of `ondrel submit`: frames in chunks, sbatch options passed through, and
// what an array task runs, checked by running the script with bash and a stand-in for ondrel.

#include "cli/cluster/SlurmBatch.h"
#include "cli/core/CliError.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;
using namespace OndrelCli;

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
    const BatchJob job =
        makeBatchJob("OndrelLine", recipe, {1, 2, 3, 4, 9}, "/shared/f.####.exr", stand, settings);
    EXPECT_EQ(job.chunks, (std::vector<std::string>{"1-2", "3-4", "9"}));
    EXPECT_EQ(job.logFolder, "/shared");
    for (const char* line :
         {"#SBATCH --array=1-3\n", "#SBATCH --cpus-per-task=3\n", "#SBATCH --partition=render\n",
          "#SBATCH --time=1:00:00\n", "#SBATCH --mem=2G\n", "#SBATCH \"--comment=a b\"\n",
          "#SBATCH --output=/shared/ondrel-%A_%a.out\n",
          "#SBATCH --error=/shared/ondrel-%A_%a.err\n"}) {
        EXPECT_NE(job.script.find(line), std::string::npos) << line << job.script;
    }

    std::ofstream(folder / "job.sh") << job.script;
    const std::string run =
        "cd '" + folder.string() +
        "' && SLURM_ARRAY_TASK_ID=2 SLURM_CPUS_PER_TASK=3 bash job.sh > ran.txt";
    ASSERT_EQ(std::system(run.c_str()), 0);
    std::ifstream ran(folder / "ran.txt");
    const std::string text(std::istreambuf_iterator<char>(ran), {});
    EXPECT_EQ(text, "render|--recipe|-|--frames|3-4|--threads|3|\n" + recipe);
    fs::remove_all(folder);

    settings.sbatchArguments = {"--mem=2G\n#SBATCH --partition=other"};
    EXPECT_THROW(makeBatchJob("OndrelLine", recipe, {1}, "/shared/f.####.exr", stand, settings),
                 CliError);
}

} // namespace
