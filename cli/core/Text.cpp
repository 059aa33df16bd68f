#include "cli/core/Text.h"

#include "cli/core/PlainText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace OndrelCli {

std::string trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

std::vector<std::string> split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const auto end = text.find(separator, start);
        parts.push_back(trim(text.substr(start, end - start)));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const auto& item : items) {
        text += (text.empty() ? "" : ", ") + item;
    }
    return text;
}

std::string inQuotes(std::string_view text) {
    return "\"" + shownText(text) + "\"";
}

std::optional<double> number(std::string_view text) {
    double value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<long> wholeNumber(std::string_view text) {
    long value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::string numberText(double value) {
    // Below the limit every double is written out in full within a few more digits than the
    // exponent form takes; beyond it the exponent form is what anyone would write.
    constexpr double fixedFrom = 1e-6;
    constexpr double fixedBelow = 1e16;
    const double size = std::abs(value);
    char text[40];
    if (value == 0 || (size >= fixedFrom && size < fixedBelow) || !std::isfinite(value)) {
        const auto fixed = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
        return std::string(text, fixed.ptr);
    }
    // "1e+30" as "1e30", "2.5e-09" as "2.5e-9".
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
    std::string written(text, result.ptr);
    const auto e = written.find('e');
    std::string exponent = written.substr(e + 1);
    const bool negative = exponent.front() == '-';
    exponent.erase(0, exponent.find_first_not_of("+-0"));
    return written.substr(0, e + 1) + (negative ? "-" : "") + exponent;
}

} // namespace OndrelCli
