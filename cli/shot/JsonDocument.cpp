#include "cli/shot/JsonDocument.h"

#include "cli/core/PlainText.h"
#include "cli/core/Text.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <limits>
#include <optional>
#include <unordered_set>

namespace OndrelCli {
namespace {

// Reads text for the parser and counts the lines it has consumed. The parser reads a key's
// closing quote, and an object's or array's opening bracket, last before telling the handler,
// so the count then is the line the member or element begins on.
class LineCountingIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    LineCountingIterator(const char* at, int* line) : m_at(at), m_line(line) {}
    reference operator*() const { return *m_at; }
    LineCountingIterator& operator++() {
        if (*m_at++ == '\n') {
            ++*m_line;
        }
        return *this;
    }
    LineCountingIterator operator++(int) {
        LineCountingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const LineCountingIterator& other) const { return m_at == other.m_at; }
    bool operator!=(const LineCountingIterator& other) const { return m_at != other.m_at; }

private:
    const char* m_at;
    int* m_line;
};

// Text for a message, cut short when long.
std::string cut(std::string_view text) {
    constexpr std::size_t longest = 40;
    return text.size() > longest ? std::string(text.substr(0, longest)) + "..." : std::string(text);
}

// A token as a message quotes it: on one line, and cut short when long.
std::string shownToken(std::string_view token) {
    return inQuotes(cut(token));
}

// The word that ends at the character the parser stopped at, or just before it: "tru" in
// "[tru]".
std::string_view wordAt(std::string_view text, std::size_t end) {
    const auto isWordCharacter = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '+' ||
               c == '.';
    };
    end = std::min(end, text.size());
    if (end > 0 && !isWordCharacter(text[end - 1])) {
        --end;
    }
    std::size_t start = end;
    while (start > 0 && isWordCharacter(text[start - 1])) {
        --start;
    }
    return text.substr(start, end - start);
}

// What the parser stopped at, the offending character at position - 1, for a message: a
// comment, which JSON does not have, the word there, or the character alone.
std::string foundAt(std::string_view text, std::size_t position) {
    const std::size_t at = position > 0 ? std::min(position, text.size()) - 1 : 0;
    const std::string_view rest = text.substr(std::min(at, text.size()));
    if (rest.starts_with("//") || rest.starts_with("/*")) {
        return "a comment " + shownToken(rest.substr(0, rest.find('\n'))) +
               ", which JSON does not have";
    }
    const std::string_view word = wordAt(text, position);
    return shownToken(word.empty() ? rest.substr(0, 1) : word);
}

// What is wrong, in our words. The parser's own message sorts the fault; `position` counts the
// characters it read, the offending one last, and `token` holds the last text or number read.
std::string describeError(const nlohmann::detail::exception& e, std::string_view text,
                          std::size_t position, const std::string& token) {
    const std::string what = e.what();
    const auto says = [&what](const char* words) { return what.find(words) != std::string::npos; };
    if (e.id == 406) {
        return "the number " + token + " is beyond the range of numbers";
    }
    // nlohmann-json 3.11.3 (Debian 13) says an empty text is empty rather than ended.
    if (says("unexpected end of input") || says("empty input")) {
        return "the text ends before the JSON does";
    }
    if (says("missing closing quote")) {
        return "text in quotes has no closing quote";
    }
    if (says("control character")) {
        return "text in quotes holds a line break or another control character; write it as "
               "\\n, \\t or \\u0000";
    }
    if (says("UTF-8")) {
        return "text in quotes holds bytes that are not UTF-8";
    }
    if (says("backslash") || says("\\u") || says("surrogate")) {
        return "text in quotes holds an escape that JSON does not know";
    }
    if (says("invalid number")) {
        return shownToken(wordAt(text, position)) + " is not a number as JSON writes them";
    }
    if (says("expected end of input")) {
        return "more text after the end of the JSON: " + foundAt(text, position);
    }
    if (says("invalid literal")) {
        const std::string found = foundAt(text, position);
        return found.starts_with("a comment")
                   ? found
                   : "unexpected " + found +
                         "; words in JSON are true, false and null, and text is in quotes";
    }
    // "... - unexpected '}'; expected ..." or "unexpected string literal", as the parser names
    // what it found.
    if (const auto at = what.find(" - unexpected "); at != std::string::npos) {
        const std::string found = what.substr(at + 14, what.find(';', at) - at - 14);
        if (found == "string literal") {
            return "unexpected text " + shownText(cut(token));
        }
        if (found == "number literal") {
            return "unexpected number " + shownText(cut(token));
        }
        if (found.ends_with(" literal")) {
            return "unexpected " + shownToken(wordAt(text, position));
        }
    }
    if (position > 0 && position <= text.size()) {
        return "unexpected " + shownToken(text.substr(position - 1, 1));
    }
    return "this is not JSON";
}

// Builds the document as the parser reads it, with the line each value begins on, and refuses
// what the document may not hold: nesting deeper than maxJsonDepth and a member named twice.
class DocumentBuilder : public nlohmann::json_sax<Json> {
public:
    DocumentBuilder(std::string_view text, const int& line, Json& root,
                    std::vector<JsonSpan>& spans)
        : m_text(text), m_line(line), m_root(root), m_spans(spans) {}

    bool null() override { return scalar(nullptr); }
    bool boolean(bool value) override { return scalar(value); }
    bool number_integer(number_integer_t value) override { return scalar(value); }
    bool number_unsigned(number_unsigned_t value) override { return scalar(value); }
    bool number_float(number_float_t value, const string_t&) override { return scalar(value); }
    bool string(string_t& value) override { return scalar(std::move(value)); }
    bool binary(binary_t&) override { return false; } // never in JSON text

    bool start_object(std::size_t) override { return open(Json::object()); }
    bool start_array(std::size_t) override { return open(Json::array()); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }

    bool key(string_t& name) override {
        Level& level = m_levels.back();
        if (!level.names.insert(name).second) {
            m_problem = inQuotes(name) + " is given twice";
            return false;
        }
        // Appended without the ordered map's search for the name, which costs the square of the
        // member count: the names are known to differ.
        auto& members =
            static_cast<Json::object_t::Container&>(level.container->get_ref<Json::object_t&>());
        members.emplace_back(std::move(name), nullptr);
        m_member = &members.back().second;
        m_memberLine = m_line;
        return true;
    }

    bool parse_error(std::size_t position, const std::string& token,
                     const nlohmann::detail::exception& e) override {
        m_problem = describeError(e, m_text, position, token);
        m_errorAt = position;
        return false;
    }

    const std::string& problem() const { return m_problem; }
    // Characters read when the parser found the fault, the offending one last.
    std::optional<std::size_t> errorAt() const { return m_errorAt; }

private:
    struct Level {
        Json* container;
        std::unordered_set<std::string> names; // an object's members so far
    };

    // Where the value that begins now goes, having noted its line.
    Json* place() {
        if (m_spans.size() >= std::numeric_limits<std::uint32_t>::max()) {
            return nullptr;
        }
        if (m_levels.empty()) {
            m_spans.push_back(JsonSpan{m_line, 1});
            return &m_root;
        }
        Json& container = *m_levels.back().container;
        m_spans.push_back(JsonSpan{container.is_array() ? m_line : m_memberLine, 1});
        if (container.is_array()) {
            auto& elements = container.get_ref<Json::array_t&>();
            elements.emplace_back();
            return &elements.back();
        }
        return m_member;
    }
    bool scalar(Json value) {
        Json* at = place();
        if (at == nullptr) {
            return false;
        }
        *at = std::move(value);
        return true;
    }
    bool open(Json container) {
        if (static_cast<int>(m_levels.size()) >= maxJsonDepth) {
            m_problem =
                "objects and arrays nest more than " + std::to_string(maxJsonDepth) + " deep";
            return false;
        }
        Json* at = place();
        if (at == nullptr) {
            return false;
        }
        *at = std::move(container);
        m_levels.push_back(Level{at, {}});
        m_starts.push_back(m_spans.size() - 1);
        return true;
    }
    bool close() {
        const std::size_t start = m_starts.back();
        m_spans[start].values = static_cast<std::uint32_t>(m_spans.size() - start);
        m_starts.pop_back();
        m_levels.pop_back();
        return true;
    }

    std::string_view m_text;
    const int& m_line;
    Json& m_root;
    std::vector<JsonSpan>& m_spans;
    std::vector<Level> m_levels;
    std::vector<std::size_t> m_starts; // each open container's index in m_spans
    Json* m_member = nullptr;          // the object member whose value comes next
    int m_memberLine = 1;              // the line of its name
    std::string m_problem;
    std::optional<std::size_t> m_errorAt;
};

// "16 MB", "100 KB", "512 bytes".
std::string sizeText(std::size_t bytes) {
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) {
        return std::to_string(bytes >> 20) + " MB";
    }
    return bytes >= 1024 ? std::to_string(bytes >> 10) + " KB" : std::to_string(bytes) + " bytes";
}

} // namespace

int JsonValue::line() const {
    return m_document->m_spans[m_index].line;
}

std::vector<std::pair<std::string, JsonValue>> JsonValue::items() const {
    std::vector<std::pair<std::string, JsonValue>> items;
    if (!m_json->is_structured()) {
        return items;
    }
    std::size_t index = m_index + 1;
    for (const auto& item : m_json->items()) {
        items.emplace_back(m_json->is_object() ? item.key() : std::string(),
                           JsonValue(*m_document, item.value(), index));
        index += m_document->m_spans[index].values;
    }
    return items;
}

JsonDocument::JsonDocument(std::string_view text) {
    if (text.size() > maxJsonBytes) {
        throw JsonSyntaxError(1, "larger than the " + sizeText(maxJsonBytes) +
                                     " a JSON text may hold");
    }
    // The parser takes a NUL for the end of the text and would ignore the rest.
    if (const auto nul = text.find('\0'); nul != std::string_view::npos) {
        const auto before = text.substr(0, nul);
        const std::size_t column = nul - (before.rfind('\n') + 1) + 1; // npos + 1 is 0
        throw JsonSyntaxError(1 + static_cast<int>(std::count(before.begin(), before.end(), '\n')),
                              "a NUL byte (character 0) in column " + std::to_string(column) +
                                  "; JSON text holds none (in quotes, write it as \\u0000)");
    }
    int line = 1;
    DocumentBuilder builder(text, line, m_root, m_spans);
    const LineCountingIterator first(text.data(), &line);
    const LineCountingIterator last(text.data() + text.size(), &line);
    if (!Json::sax_parse(first, last, &builder)) {
        if (const auto at = builder.errorAt()) {
            const auto before = text.substr(0, std::min(text.size(), *at > 0 ? *at - 1 : 0));
            line = 1 + static_cast<int>(std::count(before.begin(), before.end(), '\n'));
        }
        throw JsonSyntaxError(line, builder.problem());
    }
}

int JsonDocument::lineOf(const Json& value) const {
    if (m_lines.empty()) {
        const auto add = [this](const auto& self, const JsonValue& at) -> void {
            m_lines.emplace(&at.json(), at.line());
            for (const auto& item : at.items()) {
                self(self, item.second);
            }
        };
        add(add, root());
    }
    const auto found = m_lines.find(&value);
    return found != m_lines.end() ? found->second : root().line();
}

std::string readLimited(std::istream& in, std::size_t maxBytes, const std::string& what) {
    std::string text;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > maxBytes) {
            throw CliError(what + " is larger than the " + sizeText(maxBytes) + " it may hold");
        }
    }
    if (in.bad()) {
        throw CliError(what + ": cannot be read");
    }
    return text;
}

} // namespace OndrelCli
