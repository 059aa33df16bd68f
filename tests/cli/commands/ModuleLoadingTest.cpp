// Code is loaded only from the user's own command line (--module) or the module built beside the
// command: a recipe that names another module is refused with a line saying how to allow it, and
// a library without a module's registration records is never loaded, so its code never runs.

#include "tests/cli/CliTestSupport.h"

namespace {

using namespace CliTest;

class ModuleLoading : public RenderCommand {
protected:
    // `ondrel ARGUMENTS` with no --module of the test's own: the command's default module.
    Outcome plain(const std::string& arguments) const {
        return shell("'" ONDREL_CLI_PATH "' " + arguments);
    }
    bool libraryRan() const { return fs::exists(folder / "library-ran"); }
};

TEST_F(ModuleLoading, ARecipeNamesNoModuleOfItsOwn) {
    const std::string library = RUNS_ON_LOAD_PATH;
    std::ofstream(folder / "theirs.json")
        << R"({"effect": "OndrelCircle", "size": "8x8", "module": ")" + library + "\"}";
    const std::string refusal = "theirs.json:1: the recipe names the module \"" + library +
                                "\", and ondrel loads no module a file names; to load it, give "
                                "--module \"" +
                                library + "\"\n";
    for (const char* arguments :
         {"render --recipe theirs.json -o out.png", "recipe --recipe theirs.json",
          "submit --recipe theirs.json --frames 1-2 -o out.####.png --dry-run"}) {
        SCOPED_TRACE(arguments);
        const Outcome outcome = plain(arguments);
        EXPECT_NE(outcome.status, 0);
        EXPECT_EQ(outcome.errors, "ondrel: " + refusal);
        EXPECT_EQ(outcome.output, "");
        EXPECT_FALSE(libraryRan());
    }
    EXPECT_EQ(files(), (std::set<std::string>{"theirs.json"}));

    // The module the command would load anyway, however the recipe spells it, is no other module.
    const fs::path module = ONDREL_MODULE_PATH;
    std::ofstream(folder / "ours.json")
        << R"({"effect": "OndrelCircle", "size": "8x8", "module": ")" +
               (module.parent_path() / ".." / module.parent_path().filename() / module.filename())
                   .string() +
               "\"}";
    EXPECT_EQ(plain("render --recipe ours.json -o ours.png").status, 0);
    // The user's own --module wins over the recipe's.
    EXPECT_EQ(command("render --recipe theirs.json -o mine.png").status, 0);
    EXPECT_FALSE(libraryRan());
}

TEST_F(ModuleLoading, ALibraryWithoutRegistrationRecordsIsNeverLoaded) {
    const std::string library = RUNS_ON_LOAD_PATH;
    const Outcome outcome = plain("list --module '" + library + "'");
    EXPECT_NE(outcome.status, 0);
    EXPECT_NE(outcome.errors.find("has no registration records"), std::string::npos)
        << outcome.errors;
    EXPECT_EQ(lines(outcome.errors), 1);
    EXPECT_FALSE(libraryRan());

    // A bare name is the file in this folder, not one the loader finds in the system's folders.
    const fs::path module = ONDREL_MODULE_PATH;
    fs::copy_file(module, folder / module.filename());
    fs::copy_file(fs::path(module).replace_extension(".pipl"),
                  folder / module.filename().replace_extension(".pipl"));
    const Outcome bare = plain("list --module " + module.filename().string());
    EXPECT_EQ(bare.status, 0) << bare.errors;
    EXPECT_NE(bare.output.find("OndrelCircle"), std::string::npos);
}

} // namespace
