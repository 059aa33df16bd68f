#pragma once

// Checks whose CLI11 messages would not be in the command's words: numbers named with their
// option and the values it takes ("--chunk 0: expected 1 or more frames per task"), and an option
// given twice, named with both values. Each throws CliError while the arguments are parsed.

#include <CLI/CLI.hpp>

#include <climits>
#include <string>

namespace OndrelCli {

// The option takes a whole number from `least` to `most`; `expected` says what it takes.
void takesWholeNumber(CLI::Option* option, long least, const std::string& expected,
                      long most = INT_MAX);

// Every option of the app and its subcommands that takes one value refuses a second one.
void refuseRepeatedOptions(CLI::App& app);

// The one line that names a mistake CLI11 found in the command line, with the nearest command or
// option where a word was mistyped ("unknown command "rendr"; did you mean render?").
std::string usageMistake(const CLI::App& app, const CLI::Error& error);

} // namespace OndrelCli
