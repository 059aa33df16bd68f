#include "cli/core/Text.h"

#include "cli/core/PlainText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <vector>

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

namespace {

// Edits of one character (insert, delete, replace, or swap two neighbours) from a to b.
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) {
        d[i][0] = i;
    }
    for (std::size_t j = 0; j <= b.size(); ++j) {
        d[0][j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t replace = d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, replace});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

} // namespace

std::optional<std::string> nearestName(std::string_view given,
                                       const std::vector<std::string>& names) {
    const std::string typed = lower(std::string(given));
    const std::size_t nearEnough = std::max<std::size_t>(1, typed.size() / 3);
    std::optional<std::string> nearest;
    std::size_t best = nearEnough + 1;
    bool tied = false;
    for (const std::string& name : names) {
        const std::size_t distance = editDistance(typed, lower(name));
        if (distance < best) {
            best = distance;
            nearest = name;
            tied = false;
        } else if (distance == best) {
            tied = true;
        }
    }
    return tied ? std::nullopt : nearest;
}

std::string suggestingThen(const std::optional<std::string>& nearest, std::string then) {
    if (!nearest) {
        return "; " + then;
    }
    if (!then.empty()) {
        then.front() = static_cast<char>(std::toupper(static_cast<unsigned char>(then.front())));
    }
    return "; did you mean " + *nearest + "? " + then;
}

} // namespace OndrelCli
