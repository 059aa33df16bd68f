#pragma once

// JSON text read with nlohmann-json, remembering the line where each object member and array
// element begins, so that a message about a value can name its line.

#include "cli/core/CliError.h"

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <string_view>

namespace OndrelCli {

using Json = nlohmann::ordered_json; // members keep the order they were written in

// Text that is not JSON, or an object that names a member twice, at a line.
class JsonSyntaxError : public CliError {
public:
    JsonSyntaxError(int at, const std::string& what) : CliError(what), line(at) {}
    int line;
};

class JsonDocument {
public:
    // Throws JsonSyntaxError.
    explicit JsonDocument(std::string_view text);

    const Json& root() const { return m_root; }
    // The line of the value at `pointer`, or of the nearest enclosing value whose line is known.
    int lineOf(const Json::json_pointer& pointer) const;

private:
    Json m_root;
    std::map<std::string, int> m_lines; // by JSON pointer
};

} // namespace OndrelCli
