#pragma once

// The module's export lists, so the linker exports the entry functions named in the
// registration table and nothing else.

#include <string>

namespace OndrelPipl {

// A GNU ld version script.
std::string versionScript();

// An Apple ld exported-symbols list.
std::string appleExportList();

} // namespace OndrelPipl
