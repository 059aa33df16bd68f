// JSON from other people's files and requests: the document and each value's line, and every kind
// of fault refused in one line of our own, nesting and size limits included, before the document
// grows.

#include "cli/shot/JsonDocument.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using namespace OndrelCli;

namespace {

// The refusal as "LINE: message", or "(accepted)".
std::string refusal(const std::string& text) {
    try {
        JsonDocument document(text);
    } catch (const JsonSyntaxError& e) {
        return std::to_string(e.line) + ": " + e.what();
    }
    return "(accepted)";
}

std::string nested(int depth) {
    return std::string(static_cast<std::size_t>(depth), '[') +
           std::string(static_cast<std::size_t>(depth), ']');
}

} // namespace

TEST(JsonDocument, KeepsMembersInOrderWithTheLineEachBeginsOn) {
    const JsonDocument document(R"({
  "z": 1,
  "a": [[1, [2,
          3]],
        {"deep": {"er": true}},
        "last"],
  "m":
    {"k": null}
})");
    const JsonValue root = document.root();
    EXPECT_EQ(root.line(), 1);
    const auto members = root.items();
    ASSERT_EQ(members.size(), 3u);
    EXPECT_EQ(members[0].first, "z");
    EXPECT_EQ(members[0].second.line(), 2);
    EXPECT_EQ(members[1].first, "a");
    EXPECT_EQ(members[1].second.line(), 3);
    // A member's line is its name's, wherever its value begins.
    EXPECT_EQ(members[2].first, "m");
    EXPECT_EQ(members[2].second.line(), 7);
    EXPECT_EQ(members[2].second.json(), (Json{{"k", nullptr}}));

    // Elements after nested ones keep their own lines.
    const auto elements = members[1].second.items();
    ASSERT_EQ(elements.size(), 3u);
    EXPECT_EQ(elements[0].second.line(), 3);
    EXPECT_EQ(elements[1].second.line(), 5);
    EXPECT_EQ(elements[1].second.items()[0].first, "deep");
    EXPECT_EQ(elements[2].second.line(), 6);
    EXPECT_EQ(elements[2].second.json(), "last");
    EXPECT_TRUE(elements[2].second.items().empty());
    // Found by the value itself as well, as readers that walk the plain JSON ask; a value of
    // another document is put at the root's line.
    EXPECT_EQ(document.lineOf(elements[1].second.json()["deep"]), 5);
    EXPECT_EQ(document.lineOf(members[2].second.json()["k"]), 8);
    EXPECT_EQ(document.lineOf(Json(3)), 1);

    // Many members keep their order, and a name given again is found however many came between.
    std::string many = "{";
    for (int i = 0; i < 20000; ++i) {
        many += "\"k" + std::to_string(i) + "\": " + std::to_string(i) + ",\n";
    }
    const JsonDocument manyMembers(many + "\"last\": 0}");
    const auto items = manyMembers.root().items();
    ASSERT_EQ(items.size(), 20001u);
    EXPECT_EQ(items[12345].first, "k12345");
    EXPECT_EQ(items[12345].second.json(), 12345);
    EXPECT_EQ(items[12345].second.line(), 12346);
    EXPECT_EQ(refusal(many + "\"k7\": 0}"), "20001: \"k7\" is given twice");
}

TEST(JsonDocument, EachKindOfFaultIsOneLineInOurWords) {
    const struct {
        std::string text;
        std::string refusal;
    } cases[] = {
        {"", "1: the text ends before the JSON does"},
        {"{\n\"a\": [1,\n", "3: the text ends before the JSON does"},
        {"{\"a\": \"open", "1: text in quotes has no closing quote"},
        {"{\"a\": \"x\ny\"}", "1: text in quotes holds a line break or another control character; "
                              "write it as \\n, \\t or \\u0000"},
        {"[\"\x1b[2J\"]", "1: text in quotes holds a line break or another control character; "
                          "write it as \\n, \\t or \\u0000"},
        {"[\"\xff\"]", "1: text in quotes holds bytes that are not UTF-8"},
        {"[\"\\q\"]", "1: text in quotes holds an escape that JSON does not know"},
        {"[\"\\ud800\"]", "1: text in quotes holds an escape that JSON does not know"},
        {"[1.]", "1: \"1.\" is not a number as JSON writes them"},
        {"[\n-]", "2: \"-\" is not a number as JSON writes them"},
        {"{\"depth\":\n1e309}", "2: the number 1e309 is beyond the range of numbers"},
        {"[-1e400]", "1: the number -1e400 is beyond the range of numbers"},
        {"[tru]", "1: unexpected \"tru\"; words in JSON are true, false and null, and text is in "
                  "quotes"},
        {"{\"a\": 1} x", "1: more text after the end of the JSON: \"x\""},
        {"{\"a\" \"b\"}", "1: unexpected text \"b\""},
        {"[1 2]", "1: unexpected number 2"},
        {"{\"a\": 1,\n}", "2: unexpected \"}\""},
        {"{\"a\": 1,\n\"a\": 2}", "2: \"a\" is given twice"},
        {"{\"a\": {\"\\n\": 1, \"\\n\": 2}}", "1: \"\\n\" is given twice"},
        {nested(maxJsonDepth), "(accepted)"},
        {nested(maxJsonDepth + 1),
         "1: objects and arrays nest more than " + std::to_string(maxJsonDepth) + " deep"},
        // 40 KB of nesting once took gigabytes; it is refused at the limit.
        {nested(20000),
         "1: objects and arrays nest more than " + std::to_string(maxJsonDepth) + " deep"},
        {"\"" + std::string(maxJsonBytes, 'x') + "\"",
         "1: larger than the 16 MB a JSON text may hold"},
    };
    for (const auto& c : cases) {
        const std::string message = refusal(c.text);
        EXPECT_EQ(message, c.refusal) << c.text.substr(0, 80);
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        EXPECT_EQ(message.find("json.exception"), std::string::npos) << message;
    }
}

TEST(JsonDocument, ReadsAStreamOnlyUpToItsLimit) {
    std::istringstream small(std::string(100, ' '));
    EXPECT_EQ(readLimited(small, 100, "recipe \"r.json\"").size(), 100u);
    // An endless stream, such as a device, stops at the limit.
    std::istringstream large(std::string(200000, ' '));
    try {
        readLimited(large, 100000, "recipe \"r.json\"");
        ADD_FAILURE() << "accepted";
    } catch (const CliError& e) {
        EXPECT_STREQ(e.what(), "recipe \"r.json\" is larger than the 97 KB it may hold");
    }
}
