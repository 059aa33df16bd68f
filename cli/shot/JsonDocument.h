#pragma once

// JSON from other people's files and requests, read within limits: the text's size is bounded,
// nesting deeper than a limit is refused while parsing, and the document with the line each value
// begins on costs memory in proportion to the text. Every refusal is one line in our own words
// with the line it was found on.

#include "cli/core/CliError.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace OndrelCli {

using Json = nlohmann::ordered_json; // members keep the order they were written in

// The most JSON text read at once: far more than any recipe, job record or request needs.
constexpr std::size_t maxJsonBytes = 16u << 20;
// The deepest nesting of objects and arrays: a recipe nests five deep, a request six.
constexpr int maxJsonDepth = 32;

// Text that is not JSON, an object that names a member twice, nesting too deep or text too long,
// at a line.
class JsonSyntaxError : public CliError {
public:
    JsonSyntaxError(int at, const std::string& what) : CliError(what), line(at) {}
    int line;
};

class JsonDocument;

// A value of a document, in the order the values begin: the line it begins on, and how many
// values it spans with its own (its members' and elements', nested ones included).
struct JsonSpan {
    int line;
    std::uint32_t values;
};

// A value of a document with the line it begins on (an object member's: the line of its name).
class JsonValue {
public:
    const Json& json() const { return *m_json; }
    int line() const;
    // An object's members or an array's elements, in order: (name, value), the name empty for
    // elements.
    std::vector<std::pair<std::string, JsonValue>> items() const;

private:
    friend class JsonDocument;
    JsonValue(const JsonDocument& document, const Json& json, std::size_t index)
        : m_document(&document), m_json(&json), m_index(index) {}

    const JsonDocument* m_document;
    const Json* m_json;
    std::size_t m_index; // in the document's values, in the order they begin
};

class JsonDocument {
public:
    // Throws JsonSyntaxError.
    explicit JsonDocument(std::string_view text);
    JsonDocument(const JsonDocument&) = delete;
    JsonDocument& operator=(const JsonDocument&) = delete;

    JsonValue root() const { return JsonValue(*this, m_root, 0); }
    // The line a value of this document begins on, as JsonValue::line() says.
    int lineOf(const Json& value) const;

private:
    friend class JsonValue;

    Json m_root;
    std::vector<JsonSpan> m_spans; // by the order the values begin; the root first
    mutable std::unordered_map<const Json*, int> m_lines; // by value, filled by the first lineOf
};

// All of a stream's text when it holds at most `maxBytes`; throws CliError "WHAT is larger than
// ..." as soon as there is more, and when it cannot be read.
std::string readLimited(std::istream& in, std::size_t maxBytes, const std::string& what);

} // namespace OndrelCli
