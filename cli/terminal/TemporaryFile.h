#pragma once

// A file written under a temporary name in its target's folder and renamed onto the target once
// complete, so that no partial file is ever left under either name: the temporary is removed
// when its owner gives up, and when a signal ends the process (Signals.h).

#include "cli/terminal/Signals.h"

#include <filesystem>

namespace OndrelCli {

// The folder a file lies in: "." for a bare name.
std::filesystem::path folderOf(const std::filesystem::path& file);

class TemporaryFile {
public:
    // Creates the temporary, empty and new (never an existing file or link), under a hidden name
    // that shows the target's and fits the file system's limit on names. Throws CliError.
    explicit TemporaryFile(const std::filesystem::path& target);
    // Removes the temporary unless it was committed.
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::filesystem::path& path() const { return m_removed.file(); }

    // Runs `open`, which opens the temporary by its name for writing; a signal meanwhile cannot
    // remove the file just before `open` creates it again.
    void open(const std::function<void()>& open) { m_removed.reopen(open); }

    // Renames the temporary onto the target. Throws CliError.
    void commit();

private:
    std::filesystem::path m_target;
    RemovedOnSignal m_removed;
    bool m_committed = false;
};

} // namespace OndrelCli
