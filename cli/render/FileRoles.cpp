#include "cli/render/FileRoles.h"

#include "cli/core/CliError.h"
#include "cli/render/FileIdentity.h"

#include <algorithm>
#include <string>
#include <vector>

namespace OndrelCli {

namespace fs = std::filesystem;

namespace {

// A file the render reads or writes, with what it is to the render.
struct Role {
    FileIdentity identity;
    std::optional<int> frame; // of a sequence
    fs::path path;
};

std::string described(const Role& role, const char* what) {
    return (role.frame ? "frame " + std::to_string(*role.frame) + " of the " + what
                       : std::string("the ") + what) +
           ", " + quoted(role.path);
}

// The roles of a single file or of each frame of a sequence, sorted by identity.
std::vector<Role> roles(const fs::path& file) {
    std::vector<Role> found;
    if (auto identity = fileIdentity(file)) {
        found.push_back(Role{std::move(*identity), std::nullopt, file});
    }
    return found;
}

std::vector<Role> roles(const FramePattern& files, const std::vector<int>& frames) {
    if (!files.isSequence()) {
        return roles(files.path());
    }
    std::vector<Role> found;
    for (const int n : frames) {
        if (auto identity = fileIdentity(files.frame(n))) {
            found.push_back(Role{std::move(*identity), n, files.frame(n)});
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Role& a, const Role& b) { return a.identity < b.identity; });
    return found;
}

const Role* find(const std::vector<Role>& sorted, const FileIdentity& identity) {
    const auto at = std::lower_bound(
        sorted.begin(), sorted.end(), identity,
        [](const Role& role, const FileIdentity& wanted) { return role.identity < wanted; });
    return at != sorted.end() && at->identity == identity ? &*at : nullptr;
}

} // namespace

void checkFileRoles(const Shot& shot) {
    if (!shot.output) {
        return;
    }
    const std::vector<Role> outputs = roles(*shot.output, shot.frames);
    for (std::size_t i = 1; i < outputs.size(); ++i) {
        if (outputs[i].identity == outputs[i - 1].identity) {
            throw CliError(described(outputs[i - 1], "output") + ", and " +
                           described(outputs[i], "output") +
                           ", are one file; each frame needs a file of its own");
        }
    }
    std::vector<std::pair<std::vector<Role>, const char*>> inputs;
    if (shot.input) {
        inputs.emplace_back(roles(*shot.input, shot.frames), "input");
    }
    inputs.emplace_back(roles(shot.module), "module");
    if (shot.recipeFile) {
        inputs.emplace_back(roles(*shot.recipeFile), "recipe");
    }
    // In frame order, so that the first frame that clashes is named, whatever order the file
    // system gave the files' identities.
    std::vector<Role> inFrameOrder = outputs;
    std::stable_sort(inFrameOrder.begin(), inFrameOrder.end(),
                     [](const Role& a, const Role& b) { return a.frame < b.frame; });
    for (const Role& output : inFrameOrder) {
        for (const auto& [read, what] : inputs) {
            if (const Role* same = find(read, output.identity)) {
                throw CliError(described(output, "output") + ", is " + described(*same, what) +
                               ": the render would write over a file it reads");
            }
        }
    }
}

} // namespace OndrelCli
