// `ondrel submit` without a cluster: what it refuses before sending anything. Sending, status and
// resubmission run against a real Slurm cluster in tests/cluster.

#include "tests/cli/CliTestSupport.h"

namespace {

using namespace CliTest;

using Submit = RenderCommand;

TEST_F(Submit, RefusalsComeBeforeAnythingIsSent) {
    // No cluster is reachable: sbatch is not on the path. The state folder is there, as for a
    // user who has sent jobs before.
    limits = "export ONDREL_STATE_DIR=records PATH=/nonexistent &&";
    fs::create_directories(folder / "records" / "jobs");
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
        EXPECT_EQ(files(), std::set<std::string>{"records"});
        EXPECT_EQ(files("records/jobs"), std::set<std::string>{});
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

// A cluster of two commands in bin/: sbatch keeps the script it was sent and takes the job as
// 4242 (after running what FAKE_SBATCH_THEN says), and squeue has nothing queued.
class FakeCluster : public RenderCommand {
protected:
    void SetUp() override {
        RenderCommand::SetUp();
        fs::create_directories(folder / "bin");
        std::ofstream(folder / "bin" / "sbatch")
            << "#!/bin/sh\ncat > sent.sh\neval \"${FAKE_SBATCH_THEN:-true}\"\necho 4242\n";
        std::ofstream(folder / "bin" / "squeue") << "#!/bin/sh\nexit 0\n";
        for (const char* name : {"sbatch", "squeue"}) {
            fs::permissions(folder / "bin" / name, fs::perms::owner_all);
        }
        limits = "export PATH=\"$PWD/bin:$PATH\" &&";
    }
    bool sent() const { return fs::exists(folder / "sent.sh"); }
    static constexpr const char* job = "submit OndrelCircle --size 8x8 --frames 1-4 --chunk 2 "
                                       "-o out.####.png";
};

// A record that cannot be kept stops the job before sbatch sees it; one that fails after sbatch
// took the job says how to cancel it.
TEST_F(FakeCluster, NoJobIsSentWithoutAPlaceForItsRecord) {
    fs::create_directories(folder / "records");
    std::ofstream(folder / "plain") << "a file, not a folder";
    const struct {
        const char* environment;
        const char* message;
    } refusals[] = {
        {"env -u HOME -u XDG_STATE_HOME -u ONDREL_STATE_DIR",
         "cannot keep a record of the job, so nothing was sent: no folder for the records of "
         "jobs: HOME is not set"},
        {"env ONDREL_STATE_DIR=plain/state",
         "cannot keep a record of the job, so nothing was sent: \"plain/state/jobs\": "},
        {"env -u ONDREL_STATE_DIR XDG_STATE_HOME=plain", "so nothing was sent"},
    };
    for (const auto& c : refusals) {
        SCOPED_TRACE(c.environment);
        const Outcome outcome =
            shell(limits + " " + c.environment +
                  " '" ONDREL_CLI_PATH "' --module '" ONDREL_MODULE_PATH "' " + job);
        EXPECT_NE(outcome.status, 0);
        EXPECT_NE(outcome.errors.find(c.message), std::string::npos) << outcome.errors;
        EXPECT_EQ(lines(outcome.errors), 1) << outcome.errors;
        EXPECT_FALSE(sent());
    }

    // The folder is taken from under it while sbatch runs: the job is Slurm's by then.
    limits += " export ONDREL_STATE_DIR=records "
              "FAKE_SBATCH_THEN='rm -r records && echo a file > records' &&";
    const Outcome late = command(job);
    EXPECT_TRUE(sent());
    EXPECT_NE(late.status, 0);
    EXPECT_EQ(lines(late.errors), 1) << late.errors;
    EXPECT_NE(late.errors.find("job 4242 was sent, but cannot keep a record of job 4242 in"),
              std::string::npos)
        << late.errors;
    EXPECT_NE(late.errors.find("(cancel it with: scancel 4242)"), std::string::npos) << late.errors;
}

// --status counts a frame as done only when --skip-existing would keep it; a record written
// before records held the job's recipe still loads, and counts the files there.
TEST_F(FakeCluster, StatusCountsOnlyWholeFrames) {
    limits += " export ONDREL_STATE_DIR=records &&";
    const Outcome submitted = command(job);
    ASSERT_EQ(submitted.status, 0) << submitted.errors;
    EXPECT_EQ(submitted.output.rfind("submitted job 4242: 4 frames in 2 chunks", 0), 0u);
    // Chunk 1 rendered whole; chunk 2 left frame 3 cut short and frame 4 empty.
    ASSERT_EQ(ondrel("OndrelCircle --size 8x8 --frames 1-3 -o out.####.png -q").status, 0);
    const std::string third = bytes("out.0003.png");
    std::ofstream(folder / "out.0003.png", std::ios::binary) << third.substr(0, third.size() / 2);
    std::ofstream(folder / "out.0004.png", std::ios::binary);

    const Outcome status = command("submit --status 4242");
    ASSERT_EQ(status.status, 0) << status.errors;
    EXPECT_EQ(status.output.substr(0, status.output.find('\n')),
              "job 4242: 2 frames done, 2 failed, 0 pending (" +
                  (folder / "out.####.png").string() + ")");
    EXPECT_NE(status.output.find("chunk 2 (frames 3-4): failed, 0 of 2 frames written"),
              std::string::npos)
        << status.output;

    // The same record without its recipe, as older versions wrote it.
    const fs::path record = folder / "records" / "jobs" / "4242.json";
    const std::string text = readFile(record);
    const auto recipe = text.find(",\n  \"recipe\"");
    ASSERT_NE(recipe, std::string::npos) << text;
    std::ofstream(record, std::ios::binary | std::ios::trunc) << text.substr(0, recipe) << "\n}\n";
    const Outcome old = command("submit --status 4242");
    ASSERT_EQ(old.status, 0) << old.errors;
    EXPECT_EQ(old.output.rfind("job 4242: 4 frames done, 0 failed", 0), 0u) << old.output;
}

} // namespace
