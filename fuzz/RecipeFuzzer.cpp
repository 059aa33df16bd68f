// A libFuzzer target: recipe files from anyone, read as `ondrel render --recipe` reads them. It
// stops (and libFuzzer keeps the input) on a sanitizer report, on any failure but the reader's
// own one-line refusal (a CliError), and when what is read does not write back as a recipe that
// reads back the same: the recipe ondrel writes of a recipe it read must be a fixed point.
//
// The input is the recipe's text. A recipe that reads is also resolved into a shot (every setting
// checked as a render checks it) before it is written back. No text holding a NUL byte reads:
// the parser would take it for the end, and the rest would go unread.

#include "FuzzInput.h"

#include "cli/core/CliError.h"
#include "cli/shot/Recipe.h"
#include "cli/shot/Shot.h"

#include <cstdint>
#include <string>
#include <string_view>

using namespace OndrelCli;
using OndrelFuzz::stop;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Recipe recipe;
    try {
        recipe = parseRecipe(text, "fuzz.json", "/fuzz");
    } catch (const CliError&) {
        return 0;
    }
    if (text.find('\0') != std::string_view::npos) {
        stop("a recipe holding a NUL byte was read");
    }
    try {
        resolveShot(recipe, "/fuzz/OndrelShapes.so");
    } catch (const CliError&) {
    }
    // What ondrel recipe would write of it reads back, and writes the same again.
    const std::string written = recipeText(recipe);
    try {
        const std::string again = recipeText(parseRecipe(written, "written.json", "/elsewhere"));
        if (recipeText(parseRecipe(again, "again.json", "/elsewhere")) != again) {
            stop("a written recipe does not read back the same:\n" + again);
        }
    } catch (const CliError& e) {
        stop(std::string("a written recipe does not read: ") + e.what() + "\n" + written);
    }
    return 0;
}
