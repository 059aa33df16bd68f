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
// The name a mistyped one most likely meant: the nearest by edits of one character (case aside),
// when it is near enough to be a slip (about a third of its letters) and no other is as near.
std::optional<std::string> nearestName(std::string_view given,
                                       const std::vector<std::string>& names);
// What follows a refusal's first clause: "; did you mean NEAREST? Then..." with then's first
// letter capitalised, or "; then..." when nothing is near.
std::string suggestingThen(const std::optional<std::string>& nearest, std::string then);

// The whole text as a number, or nothing: no spaces, no trailing characters, finite.
std::optional<double> number(std::string_view text);
std::optional<long> wholeNumber(std::string_view text);
// The shortest text that reads back as the same double, as people write numbers: 100, 0.1,
// 1000000, and only the very large and very small with an exponent: 1e30, 2.5e-9.
std::string numberText(double value);

} // namespace OndrelCli
