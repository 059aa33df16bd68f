// The examples of the README and of the developers' guide, run as written in a folder of their
// own, so that both stay true: every command of their ```sh blocks runs with the built command and
// module, or is skipped by a rule below that says why; the options of a synopsis are the
// command's own; every ```json block is a recipe the command reads; and each picture of a render
// is what its example renders.

#include "tests/cli/CliTestSupport.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>

namespace {

using namespace CliTest;

// The documents whose examples run, from the source folder.
const char* const documents[] = {"README.md", "docs/DEVELOPING.md"};

// A command of a document: lines joined where they end in "\" (or, in a synopsis, where the
// next is indented), comments (and the outputs shown as comments) left out.
struct Example {
    std::string document;
    std::string language; // of its block
    std::string text;
};

std::vector<Example> examplesOf(const std::string& document) {
    std::ifstream file(ONDREL_SOURCE_DIR "/" + document);
    EXPECT_TRUE(file.is_open()) << document;
    std::vector<Example> examples;
    std::string line;
    std::string language; // empty outside a block
    bool inBlock = false;
    std::string pending;
    while (std::getline(file, line)) {
        if (line.starts_with("```")) {
            inBlock = !inBlock;
            language = inBlock ? line.substr(3) : "";
            if (language == "json") {
                examples.push_back({document, language, ""});
            }
            continue;
        }
        if (language == "json") {
            examples.back().text += line + "\n";
        } else if (language == "sh" && line.starts_with(" ") && pending.empty()) {
            // A synopsis continues on indented lines, without a "\".
            examples.back().text += std::regex_replace(line, std::regex(" +"), " ");
        } else if (language == "sh" && !line.starts_with("#") && !line.empty()) {
            pending += line;
            if (pending.ends_with("\\")) {
                pending.pop_back();
                continue;
            }
            examples.push_back(
                {document, language, std::regex_replace(pending, std::regex(" +"), " ")});
            pending.clear();
        }
    }
    return examples;
}

std::vector<Example> allExamples() {
    std::vector<Example> examples;
    for (const char* document : documents) {
        std::ranges::move(examplesOf(document), std::back_inserter(examples));
    }
    return examples;
}

// Commands that cannot run here, and why. Each rule is needed by some example: one that no
// longer matches anything would hide the next command that happens to match it.
struct Skip {
    std::regex pattern;
    const char* why;
};

const Skip skips[] = {
    {std::regex("^(sudo )?make( |$)"),
     "the project's own targets: this test runs inside `make test`"},
    {std::regex("^(sudo apt-get install \\./ondrel_|man ondrel$)"),
     "installs and reads the release package: make test-dist does so in a new Debian root"},
    {std::regex("^(cmake|codesign) .*macos"), "builds or signs the macOS bundle, on a Mac"},
    {std::regex("^xattr .*OndrelShapes\\.plugin$"),
     "clears a downloaded bundle's quarantine, on a Mac"},
    {std::regex(
         "^(for .*; do )?ONDREL_EQUIVALENCE_.* (qemu-aarch64 .* )?build/(release|arm64)/tests/"),
     "the randomised equivalence tests' own long runs"},
    {std::regex("^ondrel submit --(status|resubmit) "),
     "asks about a job a Slurm cluster ran; tests/cluster does so against one"},
};

// The documents' pictures of renders (those of the page are the browser tests' screenshots),
// each with the name its example writes: circle-defaults.png, spin.0001.png for spin-0001.png.
// The README links them as docs/images/NAME.png, the guide beside them as images/NAME.png.
std::vector<std::pair<std::string, std::string>> pictures() {
    std::vector<std::pair<std::string, std::string>> found;
    const std::regex picture(R"((^|[(/])images/([\w-]+)\.png)");
    for (const char* document : documents) {
        const std::string text = readFile(ONDREL_SOURCE_DIR "/" + std::string(document));
        for (std::sregex_iterator i(text.begin(), text.end(), picture), end; i != end; ++i) {
            const std::string name = (*i)[2];
            if (!name.starts_with("serve-")) {
                found.emplace_back(name + ".png",
                                   std::regex_replace(name, std::regex("-(\\d+)$"), ".$1") +
                                       ".png");
            }
        }
    }
    return found;
}

class Readme : public RenderCommand {
protected:
    void SetUp() override {
        RenderCommand::SetUp();
        // `ondrel` on the path is the built command with the built module.
        fs::create_directories(folder / "bin");
        std::ofstream(folder / "bin/ondrel")
            << "#!/bin/sh\nexec '" ONDREL_CLI_PATH "' --module '" ONDREL_MODULE_PATH "' \"$@\"\n";
        fs::permissions(folder / "bin/ondrel", fs::perms::owner_all);
    }

    // The line run by the shell in the test's folder, with the built `ondrel` on the path.
    Outcome asUser(const std::string& line) const {
        std::ofstream(folder / "example.sh") << line << "\n";
        return shell("PATH='" + (folder / "bin").string() + "':\"$PATH\" sh example.sh");
    }

    // Every option a synopsis names is one of its subcommand's.
    void expectSynopsis(const std::string& synopsis) const {
        const std::string subcommand = synopsis.substr(7, synopsis.find(' ', 7) - 7);
        const Outcome help = asUser("ondrel " + subcommand + " --help");
        ASSERT_EQ(help.status, 0) << help.errors;
        const std::regex option(R"((^|[ \[])(-{1,2}[a-z][a-z-]*))");
        for (std::sregex_iterator i(synopsis.begin(), synopsis.end(), option), end; i != end; ++i) {
            const std::string name = (*i)[2];
            EXPECT_TRUE(std::regex_search(help.output, std::regex("[ ,]" + name + "[ ,=\n]")))
                << name << " of " << synopsis << " is not in `ondrel " << subcommand << " --help`";
        }
    }

    // Each picture the example rendered is compared with the document's and then removed, so
    // that a later example that writes the same name is compared too.
    void comparePictures(std::set<std::string>& compared) const {
        for (const auto& [picture, written] : pictures()) {
            if (!fs::exists(folder / written)) {
                continue;
            }
            const Image rendered = read(written);
            fs::copy_file(ONDREL_SOURCE_DIR "/docs/images/" + picture, folder / "readme.png",
                          fs::copy_options::overwrite_existing);
            const Image shown = read("readme.png");
            EXPECT_EQ(rendered.width, shown.width) << written;
            EXPECT_EQ(rendered.height, shown.height) << written;
            EXPECT_TRUE(rendered.pixels == shown.pixels) << written << " differs from " << picture;
            fs::remove(folder / written);
            fs::remove(folder / "readme.png");
            compared.insert(picture);
        }
    }
};

TEST_F(Readme, EveryExampleRunsAsWritten) {
    std::set<std::string> compared;
    std::set<const Skip*> skipped;
    int ran = 0;
    for (const Example& example : allExamples()) {
        SCOPED_TRACE(example.document + ": " + example.text);
        if (example.language == "json") {
            // A recipe, checked against its effect.
            std::ofstream(folder / "readme.json") << example.text;
            const Outcome recipe = asUser("ondrel recipe --recipe readme.json");
            EXPECT_EQ(recipe.status, 0) << recipe.errors;
            continue;
        }
        const std::string& line = example.text;
        const auto skip = std::find_if(std::begin(skips), std::end(skips), [&](const Skip& s) {
            return std::regex_search(line, s.pattern);
        });
        if (skip != std::end(skips)) {
            std::printf("skipped (%s): %s: %s\n", skip->why, example.document.c_str(),
                        line.c_str());
            skipped.insert(skip);
            continue;
        }
        ASSERT_TRUE(line.starts_with("ondrel ")) << "no rule says how to run or skip this";
        if (line.find(" [") != std::string::npos) {
            expectSynopsis(line);
            continue;
        }
        Outcome run;
        if (line.starts_with("ondrel submit ")) {
            // Without a cluster, the job is checked as far as its batch script, with a folder
            // of this test's standing for the shared one.
            fs::create_directories(folder / "shared");
            run = asUser(
                std::regex_replace(line, std::regex("/shared/"), folder.string() + "/shared/") +
                " --dry-run");
            EXPECT_NE(run.output.find("#SBATCH \"--array=1-"), std::string::npos) << run.output;
        } else {
            run = asUser(line);
        }
        EXPECT_EQ(run.status, 0) << run.errors;
        comparePictures(compared);
        ++ran;
    }
    EXPECT_GE(ran, 8) << "the documents' examples were not all found";
    for (const Skip& skip : skips) {
        EXPECT_EQ(skipped.count(&skip), 1u)
            << "the skip rule \"" << skip.why << "\" matches no example";
    }
    for (const auto& [picture, written] : pictures()) {
        EXPECT_EQ(compared.count(picture), 1u) << "no example renders " << picture;
    }
}

} // namespace
