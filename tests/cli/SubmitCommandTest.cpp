// `ondrel submit` without a cluster: what it refuses before sending anything. Sending, status and
// resubmission run against a real Slurm cluster in tests/cluster.

#include "CliTestSupport.h"

namespace {

using namespace CliTest;

using Submit = RenderCommand;

TEST_F(Submit, RefusalsComeBeforeAnythingIsSent) {
    // No cluster is reachable: sbatch is not on the path.
    limits = "export ONDREL_STATE_DIR=records PATH=/nonexistent &&";
    const struct {
        const char* arguments;
        const char* message;
    } cases[] = {
        {"submit OndrelCircle -o out.png", "ondrel submit renders a sequence: give --frames"},
        {"submit OndrelCircle --frames 1-4 -o out.####.png --set Radius=-1",
         "--set \"Radius=-1\": outside the valid range of \"Radius\""},
        {"submit OndrelCircle --frames 1-4 -o nowhere/out.####.png", "does not exist"},
        {"submit OndrelCircle --frames 1-4 -o out.####.png --chunk 0",
         "--chunk 0: expected 1 or more frames per task"},
        {"submit OndrelCircle --frames 1-4 -o out.####.png", "cannot run sbatch"},
        {"submit --status 42", "no record of job \"42\" in \"records/jobs\""},
        {"submit --resubmit 42", "no record of job \"42\""},
        {"submit --status 42 --resubmit 42", "excludes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const Outcome outcome = command(c.arguments);
        EXPECT_NE(outcome.status, 0);
        EXPECT_NE(outcome.errors.find(c.message), std::string::npos) << outcome.errors;
        EXPECT_EQ(lines(outcome.errors), 1) << outcome.errors;
        EXPECT_EQ(files(), std::set<std::string>{});
    }
}

// A job's record is read from the state folder only, by an id as Slurm gives them, and checked
// before anything in it is used or sent again.
TEST_F(Submit, RecordsAreReadByPlainIdsAndCheckedBeforeUse) {
    limits = "export ONDREL_STATE_DIR=records PATH=/nonexistent &&";
    fs::create_directories(folder / "records" / "jobs");
    const auto record = [](const std::string& job, const std::string& script) {
        return "{\"job\": \"" + job +
               "\", \"output\": \"/shared/f.####.png\", \"logFolder\": \"/shared\", "
               "\"chunks\": [\"1-2\"], \"tasks\": [1], \"script\": \"" +
               script + "\"}";
    };
    // A record planted outside the state folder, and damaged ones inside it.
    std::ofstream(folder / "x.json") << record("x", "#!/bin/bash\\nexec true\\n");
    std::ofstream(folder / "records" / "jobs" / "41.json") << "{\"job\": \"41\"}";
    std::ofstream(folder / "records" / "jobs" / "42.json") << record("43", "#!/bin/bash\\n");
    std::ofstream(folder / "records" / "jobs" / "44.json")
        << record("44", "#!/bin/bash\\nset -eu\\n#SBATCH --partition=other\\n");
    std::ofstream(folder / "records" / "jobs" / "45.json") << "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[";
    const std::set<std::string> before = files();
    const struct {
        std::string arguments;
        std::string message;
    } cases[] = {
        {"submit --status ../x", "--status \"../x\": a job id is the number Slurm gave the job"},
        {"submit --status ../../x", "--status \"../../x\": a job id is the number"},
        {"submit --resubmit 12a", "--resubmit \"12a\": a job id is the number"},
        {"submit --resubmit " + shellWord("4\n2"), "--resubmit \"4\\n2\": a job id is the number"},
        {"submit --status 41",
         "--status \"41\": the record of job 41, \"records/jobs/41.json\", is damaged: no "
         "\"output\" of the right kind"},
        {"submit --status 42", "is damaged: it is the record of job \"43\""},
        {"submit --status 45", "is damaged: line 1: objects and arrays nest more than 32 deep"},
        // Checked before it is sent again: sbatch would ignore a directive after a command.
        {"submit --resubmit 44 --chunks 1",
         "line 3 of the batch script is a directive after its first command"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const Outcome outcome = command(c.arguments);
        EXPECT_NE(outcome.status, 0);
        EXPECT_EQ(outcome.errors.rfind("ondrel: ", 0), 0u) << outcome.errors;
        EXPECT_NE(outcome.errors.find(c.message), std::string::npos) << outcome.errors;
        EXPECT_EQ(lines(outcome.errors), 1) << outcome.errors;
        EXPECT_EQ(files(), before);
    }
}

} // namespace
