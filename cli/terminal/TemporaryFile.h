#pragma once

// A file written under a temporary name in its target's folder and renamed onto the target once
// complete, so that no partial file is ever left under either name: the temporary is removed
// when its owner gives up, and when a signal ends the process (Signals.h). Its name tells the
// host and the process that made it, so that a later render can remove the temporaries of a
// process that ended without removing them (killed with SIGKILL, or crashed), and only those:
// cluster nodes write the same folders at once.

#include "cli/terminal/Signals.h"

#include <filesystem>
#include <vector>

namespace OndrelCli {

// The folder a file lies in: "." for a bare name.
std::filesystem::path folderOf(const std::filesystem::path& file);

// The file that writing to `file` changes: the end of its chain of symbolic links (which need
// not exist yet), else the name itself.
std::filesystem::path linkedFile(const std::filesystem::path& file);

class TemporaryFile {
public:
    // Creates the temporary, empty and new (never an existing file or link), under a hidden name
    // that shows the target's and fits the file system's limit on names, beside the file the
    // target's links lead to. Throws CliError.
    explicit TemporaryFile(const std::filesystem::path& target);
    // Removes the temporary unless it was committed.
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::filesystem::path& path() const { return m_removed.file(); }
    // The temporary, open for reading and writing, until the object goes.
    int descriptor() const { return m_descriptor; }

    // Runs `open`, which opens the temporary by its name for writing; a signal meanwhile cannot
    // remove the file just before `open` creates it again.
    void open(const std::function<void()>& open) { m_removed.reopen(open); }

    // Makes the temporary's bytes durable, gives it the mode, and where the process may the
    // owner and group, of the file it replaces, renames it onto that file (a link to it stays a
    // link) and makes the rename durable. Throws CliError naming what failed.
    void commit();

private:
    std::filesystem::path m_name;   // as the user gave it, for messages
    std::filesystem::path m_target; // what it names, once links are followed
    int m_descriptor = -1;
    RemovedOnSignal m_removed;
    bool m_committed = false;
};

// Removes the temporaries made for any of `targets` by processes of this host that have ended,
// and says so in one line on standard error. Those of live processes, and every one another
// host made, stay.
void removeLeftoverTemporaries(const std::vector<std::filesystem::path>& targets);

} // namespace OndrelCli
