#pragma once

// Apple's text stubs (.tbd): YAML documents that list what a system library exports for each
// target, which linkers read in place of the library itself.

#include <filesystem>
#include <set>
#include <string>

namespace MachOTest {

// Every symbol that the stub's documents (the library and the libraries it re-exports) export
// for the target, e.g. "arm64-macos": plain, weak and thread-local symbols alike.
std::set<std::string> stubExports(const std::filesystem::path& stub, const std::string& target);

} // namespace MachOTest
