// A signal while the output is being written: the command ends by the signal, and leaves
// neither its temporary file nor a partial output; an earlier file of the name stays. A reader
// that goes away ends the command quietly, as SIGPIPE ends other tools. A process killed where
// nothing runs (SIGKILL, a crash) leaves its temporary to the next render of the frame, which
// removes it, and only those of this host's processes that are gone.

#include "tests/cli/CliTestSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>

#include <chrono>
#include <regex>
#include <thread>

extern char** environ;

namespace {

using namespace CliTest;

using Signals = RenderCommand;

// Every signal that ends the command after it removes its temporaries.
constexpr int endingSignals[] = {SIGHUP,  SIGINT,  SIGTERM,   SIGQUIT, SIGALRM,
                                 SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU};

// Starts `ondrel COMMAND` with the arguments and returns at once; its output goes to `output`
// (a descriptor, or /dev/null) and its errors to `errors`. The signals the test sends have
// their default action in it; those that dump a core dump none.
pid_t start(const std::vector<std::string>& arguments, int output = -1,
            const std::string& errors = "/dev/null") {
    std::vector<std::string> words{ONDREL_CLI_PATH, "--module", ONDREL_MODULE_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output >= 0) {
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : endingSignals) {
        sigaddset(&signals, signal);
    }
    sigaddset(&signals, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    const int err = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return err == 0 ? pid : -1;
}

// `ondrel render` with the arguments, started.
pid_t startRender(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "render");
    return start(arguments);
}

// Sends the signal once `ready` holds (or after two minutes), and expects the command to end by
// it rather than finish first. The command is stopped while `ready` is asked again, so that the
// signal meets it in the state the test saw, not some milliseconds later on a busy machine.
// Returns false, with the command reaped, when that state had passed by then (the test may start
// the command again).
template <typename Ready>
bool interruptWhen(pid_t pid, int signal, Ready ready) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!ready() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    int status = 0;
    ::kill(pid, SIGSTOP);
    EXPECT_EQ(::waitpid(pid, &status, WUNTRACED), pid);
    const bool stillReady = WIFSTOPPED(status) && ready();
    ::kill(pid, stillReady ? signal : SIGKILL);
    ::kill(pid, SIGCONT);
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    if (!stillReady) {
        return false;
    }
    EXPECT_TRUE(WIFSIGNALED(status)) << "the command finished before the signal arrived";
    EXPECT_EQ(WTERMSIG(status), signal);
    return true;
}

TEST_F(Signals, AnInterruptedWriteLeavesNoFileBehind) {
    for (const int signal : endingSignals) {
        SCOPED_TRACE(signal);
        std::ofstream(folder / "keep.exr") << "an earlier result";
        // Large enough that writing takes a while: the signal arrives while the temporary grows.
        const auto temporaryExists = [&] {
            const auto names = files();
            return std::any_of(names.begin(), names.end(), [](const std::string& name) {
                return name.rfind(".keep.exr.ondrel-", 0) == 0;
            });
        };
        // A few tries, in case the write ends between two looks at the folder.
        bool interrupted = false;
        for (int attempt = 0; attempt < 3 && !interrupted; ++attempt) {
            const pid_t pid = startRender({"OndrelCircle", "--size", "3000x3000", "--depth", "32",
                                           "-o", (folder / "keep.exr").string()});
            ASSERT_GT(pid, 0);
            interrupted = interruptWhen(pid, signal, temporaryExists);
            if (!interrupted) {
                std::ofstream(folder / "keep.exr") << "an earlier result";
            }
        }
        ASSERT_TRUE(interrupted) << "the write never stayed long enough to be interrupted";
        EXPECT_EQ(files(), std::set<std::string>{"keep.exr"});
        std::ifstream kept(folder / "keep.exr");
        std::string text;
        std::getline(kept, text);
        EXPECT_EQ(text, "an earlier result");
    }
}

// Ctrl-C while a finished frame is written on a thread of its own and the next one renders: the
// frame being written leaves nothing behind, and every frame written before it stays whole.
TEST_F(Signals, AFrameBeingWrittenWhileTheNextRendersLeavesNothingBehind) {
    const auto isTemporary = [](const std::string& name) { return name.rfind(".f.", 0) == 0; };
    const auto isFrame = [](const std::string& name) { return name.rfind("f.", 0) == 0; };
    // One frame written and the next being written, its temporary there.
    const auto writingTheSecond = [&] {
        const auto names = files();
        return std::any_of(names.begin(), names.end(), isTemporary) &&
               std::any_of(names.begin(), names.end(), isFrame);
    };
    bool interrupted = false;
    for (int attempt = 0; attempt < 3 && !interrupted; ++attempt) {
        for (const auto& name : files()) {
            fs::remove(folder / name);
        }
        // The smallest files OpenEXR makes take the longest to write.
        const pid_t pid = startRender({"OndrelCircle", "--size", "1200x1200", "--depth", "32",
                                       "--frames", "1-12", "--jobs", "1", "--compression", "small",
                                       "-o", (folder / "f.####.exr").string()});
        ASSERT_GT(pid, 0);
        interrupted = interruptWhen(pid, SIGINT, writingTheSecond);
    }
    ASSERT_TRUE(interrupted) << "no frame was ever written while another waited";
    const std::set<std::string> left = files();
    EXPECT_FALSE(left.empty());
    for (const auto& name : left) {
        EXPECT_TRUE(isFrame(name)) << "left behind: " << name;
        EXPECT_EQ(read(name).width, 1200) << name; // every pixel read
    }
}

// Ctrl-C in the middle of a sequence rendering two frames at once: the frames written stay
// whole, the frames in progress leave nothing behind, and --skip-existing renders the rest to
// the same bytes as a run that was never interrupted.
TEST_F(Signals, AnInterruptedSequenceKeepsItsFinishedFramesAndResumes) {
    // Each word of the shot's settings.
    const std::vector<std::string> shot = {"OndrelCircle", "--size", "480x270",          "--depth",
                                           "32",           "--set",  "Radius=0@1,240@30"};
    std::vector<std::string> arguments = shot;
    arguments.insert(arguments.end(),
                     {"--frames", "1-30", "--jobs", "2", "-o", (folder / "f.####.exr").string()});
    arguments.insert(arguments.begin(), "render");
    const std::string errors = folder.string() + ".errors";
    const pid_t pid = start(arguments, -1, errors);
    ASSERT_GT(pid, 0);
    // Three frames written, whichever they are: two frames render at once, so the third may
    // be done before the second.
    const auto threeWritten = [&] {
        const auto names = files();
        return std::count_if(names.begin(), names.end(),
                             [](const std::string& name) { return name.rfind("f.", 0) == 0; }) >= 3;
    };
    ASSERT_TRUE(interruptWhen(pid, SIGINT, threeWritten));

    const std::set<std::string> written = files();
    EXPECT_GE(written.size(), 3u);
    EXPECT_LT(written.size(), 30u);
    // One last line, counting the frames finished: those renamed into place, but for any whose
    // rename the signal met before the count (one a job).
    const std::string said = readFile(errors);
    fs::remove(errors);
    std::smatch counted;
    ASSERT_TRUE(std::regex_match(said, counted,
                                 std::regex("ondrel: interrupted: ([0-9]+) of 30 frames written; "
                                            "run again with --skip-existing to finish\n")))
        << said;
    const std::size_t whole = std::stoul(counted[1]);
    EXPECT_LE(whole, written.size());
    EXPECT_GE(whole + 2, written.size());
    for (const auto& name : written) {
        EXPECT_EQ(name.rfind("f.", 0), 0u) << "left behind: " << name;
        EXPECT_EQ(read(name).width, 480) << name; // whole
    }
    const auto name = [](const char* stem, int frame) {
        char text[32];
        std::snprintf(text, sizeof text, "%s.%04d.exr", stem, frame);
        return std::string(text);
    };
    int missing = 1;
    while (written.count(name("f", missing)) != 0) {
        ++missing;
    }

    std::string settings;
    for (const auto& word : shot) {
        settings += "\"" + word + "\" ";
    }
    const Outcome resumed = ondrel(settings + "--frames 1-30 --skip-existing -q -o f.####.exr");
    ASSERT_EQ(resumed.status, 0) << resumed.errors;
    EXPECT_EQ(files().size(), 30u);
    // The first frame, the first the resumed run rendered, and the last.
    ASSERT_EQ(
        ondrel(settings + "--frames 1," + std::to_string(missing) + ",30 -q -o whole.####.exr")
            .status,
        0);
    for (const int frame : {1, missing, 30}) {
        EXPECT_EQ(bytes(name("f", frame)), bytes(name("whole", frame))) << frame;
    }
}

// A reader that goes away: `ondrel list` ends by SIGPIPE, saying nothing, and a sequence whose
// progress lines nobody reads any more stops so, its frames in progress removed and its written
// frames whole.
TEST_F(Signals, AReaderThatWentAwayEndsTheCommandQuietly) {
    const auto withClosedReader = [&](const std::vector<std::string>& arguments) {
        int ends[2];
        EXPECT_EQ(::pipe(ends), 0);
        ::close(ends[0]);
        const pid_t pid = start(arguments, ends[1], (folder / "errors.txt").string());
        ::close(ends[1]);
        int status = 0;
        EXPECT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << status;
        EXPECT_EQ(readFile(folder / "errors.txt"), "");
        fs::remove(folder / "errors.txt");
    };
    withClosedReader({"list"});
    withClosedReader({"render", "OndrelCircle", "--size", "320x240", "--frames", "1-30", "-o",
                      (folder / "f.####.png").string()});
    const std::set<std::string> left = files();
    EXPECT_GE(left.size(), 1u); // the first line is printed once its frame is written
    EXPECT_LT(left.size(), 30u);
    for (const auto& name : left) {
        EXPECT_EQ(name.rfind("f.", 0), 0u) << "left behind: " << name;
        EXPECT_EQ(read(name).width, 320) << name;
    }
}

// SIGKILL while a frame is written leaves its temporary; the next render of the frame removes
// it and says so. Temporaries of a live process (this test), of another host sharing the
// folder, and of frames the render does not write stay.
TEST_F(Signals, ARenderRemovesTheTemporariesOfItsFramesThatEndedProcessesLeft) {
    const auto temporaries = [&] {
        std::set<std::string> found;
        for (const auto& name : files()) {
            if (name.rfind(".f.", 0) == 0) {
                found.insert(name);
            }
        }
        return found;
    };
    bool killed = false;
    for (int attempt = 0; attempt < 3 && !killed; ++attempt) {
        const pid_t pid = startRender({"OndrelCircle", "--size", "3000x3000", "--depth", "32",
                                       "--frames", "1-2", "-o", (folder / "f.####.exr").string()});
        ASSERT_GT(pid, 0);
        killed = interruptWhen(pid, SIGKILL, [&] { return !temporaries().empty(); });
    }
    ASSERT_TRUE(killed) << "the write never stayed long enough to be killed";
    const std::set<std::string> abandoned = temporaries();
    ASSERT_EQ(abandoned.size(), 1u);

    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    // A process that has ended: one started and waited for.
    const pid_t ended = start({"--version"});
    ASSERT_GT(ended, 0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const std::string gone = std::to_string(ended);
    const std::set<std::string> kept = {
        ".f.0001.exr.ondrel-" + std::string(host) + "-" + std::to_string(::getpid()) + "-0",
        ".f.0002.exr.ondrel-another" + std::string(host) + "-" + gone + "-0",
        ".f.0003.exr.ondrel-" + std::string(host) + "-" + gone + "-0",
        ".g.0001.exr.ondrel-" + std::string(host) + "-" + gone + "-0",
    };
    for (const auto& name : kept) {
        std::ofstream(folder / name) << "a temporary";
    }
    const std::string left = ".f.0002.exr.ondrel-" + std::string(host) + "-" + gone + "-7";
    std::ofstream(folder / left) << "a temporary";

    const Outcome resumed = ondrel("OndrelCircle --size 16x16 --depth 32 --frames 1-2 -q "
                                   "--skip-existing -o f.####.exr");
    ASSERT_EQ(resumed.status, 0) << resumed.errors;
    EXPECT_EQ(lines(resumed.errors), 1) << resumed.errors;
    EXPECT_EQ(resumed.errors.rfind("ondrel: removed 2 temporary files ", 0), 0u) << resumed.errors;
    EXPECT_NE(resumed.errors.find(left), std::string::npos) << resumed.errors;
    EXPECT_NE(resumed.errors.find(*abandoned.begin()), std::string::npos) << resumed.errors;
    EXPECT_EQ(temporaries(), (std::set<std::string>{kept.begin(), std::prev(kept.end())}));
    EXPECT_EQ(files().count(*std::prev(kept.end())), 1u);
}

} // namespace
