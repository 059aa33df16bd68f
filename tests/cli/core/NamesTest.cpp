// Names and values from other people's files and command lines: text that could leave the place
// it is written into (a line break in a batch script, an escape sequence on a terminal, bytes that
// are not UTF-8 in a recipe) is refused wherever it comes in, on one line that shows it escaped,
// before anything is loaded or written.

#include "tests/cli/CliTestSupport.h"

#include "cli/core/PlainText.h"

namespace {

using namespace CliTest;
using OndrelCli::plainTextProblem;
using OndrelCli::shownText;

TEST(PlainText, ControlCharactersAndBrokenUtf8AreFoundAndShownEscaped) {
    const struct {
        std::string text;
        const char* problem; // nullptr: plain
        const char* shown;
    } cases[] = {
        {"Fill and Stroke", nullptr, "Fill and Stroke"},
        {"", nullptr, ""},
        {"Überstrich ✓ 線 😀", nullptr, "Überstrich ✓ 線 😀"},
        {"a\nb", "a line break", "a\\nb"},
        {"a\rb", "a line break", "a\\rb"},
        {"tab\there", "a control character (\\t)", "tab\\there"},
        {"\x1b[2Jclear", "a control character (\\x1b)", "\\x1b[2Jclear"},
        {std::string("nul\0!", 5), "a control character (\\x00)", "nul\\x00!"},
        {"del\x7f", "a control character (\\x7f)", "del\\x7f"},
        // C1 controls as UTF-8: U+0085 (next line) and U+009B (a terminal's CSI).
        {"next\xc2\x85line", "a control character (\\x85)", "next\\x85line"},
        {"csi\xc2\x9b", "a control character (\\x9b)", "csi\\x9b"},
        {"line\xe2\x80\xa8separator", "a line break", "line\\u2028separator"},
        {"\xff.png", "bytes that are not UTF-8", "\\xff.png"},
        {"overlong\xc0\xaf", "bytes that are not UTF-8", "overlong\\xc0\\xaf"},
        {"surrogate\xed\xa0\x80", "bytes that are not UTF-8", "surrogate\\xed\\xa0\\x80"},
        {"cut\xe7\xb7", "bytes that are not UTF-8", "cut\\xe7\\xb7"},
    };
    for (const auto& c : cases) {
        const auto problem = plainTextProblem(c.text);
        EXPECT_EQ(problem.value_or("(plain)"), c.problem ? c.problem : "(plain)") << c.shown;
        EXPECT_EQ(shownText(c.text), c.shown);
    }
}

using Names = RenderCommand;

TEST_F(Names, ControlCharactersAreRefusedWhereverTheyComeIn) {
    const std::string breakOut = "dir/b\ntouch X\nx.####.png";
    std::ofstream(folder / "shot.json")
        << R"({"effect": "OndrelCircle", "output": "a\u0007.png", "size": "8x8"})";
    std::ofstream(folder / "value.json")
        << R"({"effect": "OndrelCircle", "params": {"Mode": "Fill\u2028"}})";
    std::ofstream(folder / "name.json")
        << R"({"effect": "OndrelCircle", "params": {"Ra\ndius": 5}})";
    const std::set<std::string> recipes{"shot.json", "value.json", "name.json"};
    const struct {
        std::string arguments;
        std::string message;
    } cases[] = {
        // The batch script that once ran a command from a file name.
        {"submit OndrelCircle --frames 1-2 --dry-run -o " + shellWord(breakOut),
         "-o \"dir/b\\ntouch X\\nx.####.png\": holds a line break; names and values are plain "
         "UTF-8 text on one line"},
        {"render OndrelCircle --frames 1-2 -o " + shellWord(breakOut),
         "-o \"dir/b\\ntouch X\\nx.####.png\": holds a line break"},
        {"render OndrelCircle -o out.png -i " + shellWord("in\t.png"),
         "-i \"in\\t.png\": holds a control character (\\t)"},
        {"render OndrelCircle -o " + shellWord("\xff.png"),
         "-o \"\\xff.png\": holds bytes that are not UTF-8"},
        {"render OndrelCircle -o out.png --set " + shellWord("Mode=Fill\x1b[2J"),
         "--set \"Mode=Fill\\x1b[2J\": holds a control character (\\x1b)"},
        {"recipe OndrelCircle --set " + shellWord("Ra\ndius=5"),
         "--set \"Ra\\ndius=5\": holds a line break"},
        {"render --recipe shot.json", "shot.json:1: holds a control character (\\x07)"},
        {"render --recipe value.json -o out.png", "value.json:1: holds a line break"},
        {"recipe --recipe name.json", "name.json:1: holds a line break"},
        {"render OndrelCircle -o out.png --recipe " + shellWord("r\n.json"),
         "--recipe \"r\\n.json\": holds a line break"},
        {"submit OndrelCircle --frames 1-2 --dry-run -o out.####.png --partition " +
             shellWord("render\n#SBATCH --partition=other"),
         "--partition \"render\\n#SBATCH --partition=other\": holds a line break"},
        {"submit OndrelCircle --frames 1-2 --dry-run -o out.####.png --sbatch-arg=" +
             shellWord("--mem=2G\r"),
         "--sbatch-arg \"--mem=2G\\r\": holds a line break"},
        {"serve --port 0 -i " + shellWord("plate\x1b.png"),
         "-i \"plate\\x1b.png\": holds a control character (\\x1b)"},
        // Only named, never used: shown escaped, so the message stays one line on a terminal.
        {"about " + shellWord("Ondrel\x1b[31mCircle\n"),
         "unknown effect \"Ondrel\\x1b[31mCircle\\n\"; did you mean OndrelCircle? The module "
         "holds OndrelCircle"},
        {"render " + shellWord("--bogus\n") + " OndrelCircle", "--bogus\\n"},
    };
    for (const auto& c : cases) {
        expectCommandRefused(c.arguments, c.message);
        EXPECT_FALSE(fs::exists(folder / "X"));
    }

    // The module too, before it is loaded (command() gives a --module of its own), and an
    // environment's folder.
    const std::string line = "cd '" + folder.string() +
                             "' && '" ONDREL_CLI_PATH "' list --module " + shellWord("lib\n.so") +
                             " 2> stderr.txt";
    EXPECT_NE(std::system(line.c_str()), 0);
    EXPECT_EQ(readFile(folder / "stderr.txt"), "ondrel: --module \"lib\\n.so\": holds a line "
                                               "break; names and values are plain UTF-8 text on "
                                               "one line\n");
    fs::remove(folder / "stderr.txt");
    limits = "export ONDREL_STATE_DIR=" + shellWord("records\n") + " &&";
    expectCommandRefused("submit --status 4242",
                         "the environment variable ONDREL_STATE_DIR: holds a line break");
}

} // namespace
