#pragma once

// Where ondrel finds the module when --module is not given: from the folder that holds the
// command itself, so that an installed tree can move (or be staged under DESTDIR) and the build
// tree's command keeps using the module built beside it.

#include <filesystem>

namespace OndrelCli {

// The first of the installed layout's module and the build tree's that exists, each taken from
// the folder of the running executable; the installed one when neither does, so that the error
// names where the module belongs.
std::filesystem::path defaultModule();

} // namespace OndrelCli
