#pragma once

// Ending on a signal without leaving files behind. A thread of its own takes the signals that
// end a process (HUP, INT, TERM, QUIT, ALRM, USR1, USR2, VTALRM, PROF, XCPU), removes every file
// registered with RemovedOnSignal at that moment, and ends the process by the same signal, so
// that the shell still sees how it ended. SIGPIPE and SIGXFSZ are ignored instead, so that the
// write that met a reader gone away or the file size limit fails with EPIPE or EFBIG and is
// reported as that write's error. Faults (SEGV, BUS, FPE, ABRT) are left as they are: a render
// removes the temporaries a process that ended so left (TemporaryFile.h).
//
// Call handleTerminationSignals() at the start of main, before any other thread starts: the
// signals are blocked in every thread started afterwards (the signal thread waits for them), and
// in the processes those threads start, which must unblock them and take SIGPIPE and SIGXFSZ
// back (posix_spawnattr_setsigmask, posix_spawnattr_setsigdefault).

#include <filesystem>
#include <functional>

namespace OndrelCli {

// Once per process; later calls do nothing. A signal the process was started with ignored
// (a background job's SIGINT) stays ignored.
void handleTerminationSignals();

// Removes the files held at this moment and ends the process by `signal`, as the signal thread
// does but without last words (SaidOnSignal): for a failure that ends the command as the signal
// would, a reader gone away (SIGPIPE).
[[noreturn]] void endBySignal(int signal);

// A file removed if a signal ends the process while this object holds it.
class RemovedOnSignal {
public:
    // Runs `create`, which makes the file and returns its path, and holds that file, with no
    // signal taken in between. When `create` throws, nothing is held.
    explicit RemovedOnSignal(const std::function<std::filesystem::path()>& create);
    ~RemovedOnSignal();
    RemovedOnSignal(const RemovedOnSignal&) = delete;
    RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

    const std::filesystem::path& file() const { return m_file; }

    // Runs `open`, which opens the held file by its name again (creating it anew should a signal
    // have removed it), with no signal taken in between: a signal either removes the file after
    // `open` has it, or ends the process before `open` runs, so no file is left behind.
    void reopen(const std::function<void()>& open);

    // Runs `settle` (renaming the file into place, say) and then lets the file go, with no
    // signal taken in between: a signal either removes the file before `settle` runs, or finds
    // it settled. When `settle` throws, the file stays held.
    void release(const std::function<void()>& settle);

private:
    std::filesystem::path m_file;
    bool m_held = true;
};

// Last words if a signal sent to the process ends it while this object lives: `say` runs on the
// signal thread once the held files are removed (to tell how far a sequence got). A lock it takes
// may be held by a thread that waits to make, reopen or release a RemovedOnSignal, which never
// comes: `say` gives up on a lock it cannot have at once. Standard error may be held by then
// (QuietLibraries.h): `say` writes where it knows to.
class SaidOnSignal {
public:
    explicit SaidOnSignal(std::function<void()> say);
    ~SaidOnSignal();
    SaidOnSignal(const SaidOnSignal&) = delete;
    SaidOnSignal& operator=(const SaidOnSignal&) = delete;

private:
    std::function<void()> m_say;
};

} // namespace OndrelCli
