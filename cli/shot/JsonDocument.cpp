#include "cli/shot/JsonDocument.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <set>
#include <vector>

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

// Follows the parse to know each value's JSON pointer and records the line it begins on.
class LineRecorder : public nlohmann::json_sax<Json> {
public:
    LineRecorder(const int& line, std::map<std::string, int>& lines)
        : m_line(line), m_lines(lines) {}

    bool null() override { return scalar(); }
    bool boolean(bool) override { return scalar(); }
    bool number_integer(number_integer_t) override { return scalar(); }
    bool number_unsigned(number_unsigned_t) override { return scalar(); }
    bool number_float(number_float_t, const string_t&) override { return scalar(); }
    bool string(string_t&) override { return scalar(); }
    bool binary(binary_t&) override { return scalar(); }

    bool start_object(std::size_t) override { return open(false); }
    bool start_array(std::size_t) override { return open(true); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }

    bool key(string_t& name) override {
        Level& level = m_levels.back();
        if (!level.names.insert(name).second) {
            m_problem = "\"" + name + "\" is given twice";
            return false;
        }
        m_lines[level.pointer + "/" + escaped(name)] = m_line;
        level.member = name;
        return true;
    }

    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception& e) override {
        // "[json.exception.parse_error.101] parse error at line 3, column 7: syntax error ..."
        const std::string what = e.what();
        const auto colon = what.find(": ");
        m_problem = colon == std::string::npos ? what : what.substr(colon + 2);
        m_errorAt = position; // characters read, the offending one last
        return false;
    }

    const std::string& problem() const { return m_problem; }
    std::optional<std::size_t> errorAt() const { return m_errorAt; }

private:
    struct Level {
        std::string pointer;
        bool array = false;
        std::size_t next = 0;        // an array's next element
        std::string member;          // an object's current member
        std::set<std::string> names; // an object's members so far
    };

    static std::string escaped(const std::string& name) {
        std::string text;
        for (const char c : name) {
            text += c == '~' ? "~0" : c == '/' ? "~1" : std::string(1, c);
        }
        return text;
    }

    // The pointer of the value that begins now, recording its line when it is an element.
    std::string next() {
        if (m_levels.empty()) {
            return "";
        }
        Level& level = m_levels.back();
        if (!level.array) {
            return level.pointer + "/" + escaped(level.member);
        }
        const std::string pointer = level.pointer + "/" + std::to_string(level.next++);
        m_lines.emplace(pointer, m_line);
        return pointer;
    }
    bool scalar() {
        next();
        return true;
    }
    bool open(bool array) {
        const std::string pointer = next();
        m_lines.emplace(pointer, m_line);
        m_levels.push_back(Level{pointer, array, 0, {}, {}});
        return true;
    }
    bool close() {
        m_levels.pop_back();
        return true;
    }

    const int& m_line;
    std::map<std::string, int>& m_lines;
    std::vector<Level> m_levels;
    std::string m_problem;
    std::optional<std::size_t> m_errorAt;
};

} // namespace

JsonDocument::JsonDocument(std::string_view text) {
    int line = 1;
    LineRecorder recorder(line, m_lines);
    const LineCountingIterator first(text.data(), &line);
    const LineCountingIterator last(text.data() + text.size(), &line);
    if (!Json::sax_parse(first, last, &recorder)) {
        if (const auto at = recorder.errorAt()) {
            const auto before = text.substr(0, std::min(text.size(), *at > 0 ? *at - 1 : 0));
            line = 1 + static_cast<int>(std::count(before.begin(), before.end(), '\n'));
        }
        throw JsonSyntaxError(line, recorder.problem());
    }
    m_root = Json::parse(text);
}

int JsonDocument::lineOf(const Json::json_pointer& pointer) const {
    for (Json::json_pointer p = pointer;; p = p.parent_pointer()) {
        if (const auto found = m_lines.find(p.to_string()); found != m_lines.end()) {
            return found->second;
        }
        if (p.empty()) {
            return 1;
        }
    }
}

} // namespace OndrelCli
