#include "cli/cluster/ScriptText.h"

#include "cli/core/CliError.h"

namespace OndrelCli {

std::string shellQuoted(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string directiveQuoted(std::string_view option) {
    std::string quoted = "\"";
    for (const char c : option) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

std::string logFolderPattern(const std::filesystem::path& folder) {
    const std::string text = folder.string();
    if (text.find('\\') != std::string::npos) {
        throw CliError("the output folder " + quoted(folder) +
                       " holds a backslash, after which Slurm would not number the tasks' logs");
    }
    std::string pattern;
    for (const char c : text) {
        pattern += c == '%' ? std::string("%%") : std::string(1, c);
    }
    return pattern;
}

void checkBatchScript(std::string_view script) {
    if (!script.starts_with("#!")) {
        throw CliError("the batch script does not begin with its interpreter (#!)");
    }
    bool commands = false;
    std::size_t number = 1;
    for (std::size_t start = script.find('\n'); start != std::string_view::npos;) {
        ++number;
        const std::size_t end = script.find('\n', start + 1);
        const std::string_view line = script.substr(start + 1, end - start - 1);
        start = end;
        const bool blank = line.find_first_not_of(" \t") == std::string_view::npos;
        if (line.starts_with("#SBATCH") && commands) {
            throw CliError("line " + std::to_string(number) +
                           " of the batch script is a directive after its first command, which "
                           "sbatch would ignore");
        }
        commands = commands || (!blank && !line.starts_with('#'));
    }
}

} // namespace OndrelCli
