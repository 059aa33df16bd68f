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

} // namespace
