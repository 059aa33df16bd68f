#pragma once

// Names and values written into a Slurm batch script, each quoted for the reader it meets: bash
// for the commands, sbatch for the #SBATCH directives, and Slurm's file-name patterns for the
// logs. Control characters are refused before any of these (PlainText.h); what is left cannot
// leave the place it is written into.

#include <filesystem>
#include <string>
#include <string_view>

namespace OndrelCli {

// For bash: 'text', each ' as '\''.
std::string shellQuoted(std::string_view text);

// For sbatch, one #SBATCH argument: "text", each " and \ after a backslash. sbatch would split
// the text at spaces, end it at a # and drop its quotes and backslashes otherwise.
std::string directiveQuoted(std::string_view option);

// A folder in a log name that Slurm fills in (%A, %a): each % as %%. Throws CliError for a
// backslash, after which Slurm fills in nothing.
std::string logFolderPattern(const std::filesystem::path& folder);

// Throws CliError unless the script reads as sbatch reads it: an interpreter line first, then
// every #SBATCH directive before the first command (sbatch ignores the ones after).
void checkBatchScript(std::string_view script);

} // namespace OndrelCli
