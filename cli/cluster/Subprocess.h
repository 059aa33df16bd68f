#pragma once

// Runs another program, as the cluster commands need: no shell in between, its standard input
// given, its output and errors collected.

#include <string>
#include <vector>

namespace OndrelCli {

struct ProgramResult {
    int status = -1; // the exit status, or -1 when it did not exit normally
    std::string output;
    std::string errors;
};

// Runs `arguments` (the program is found on PATH) and waits for it. Throws CliError when it
// cannot be started.
ProgramResult runProgram(const std::vector<std::string>& arguments, const std::string& input = {});

} // namespace OndrelCli
