#pragma once

// Small text helpers the command's parsers share.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace OndrelCli {

// Without leading and trailing spaces and tabs.
std::string trim(std::string_view text);
// The parts between separators, each trimmed; one part for text without a separator.
std::vector<std::string> split(std::string_view text, char separator);
std::string lower(std::string text);
// "a, b, c"
std::string joined(const std::vector<std::string>& items);
std::string inQuotes(std::string_view text); // "text", on one line (shownText)

// The whole text as a number, or nothing: no spaces, no trailing characters, finite.
std::optional<double> number(std::string_view text);
std::optional<long> wholeNumber(std::string_view text);
// The shortest text that reads back as the same double, as people write numbers: 100, 0.1,
// 1000000, and only the very large and very small with an exponent: 1e30, 2.5e-9.
std::string numberText(double value);

} // namespace OndrelCli
