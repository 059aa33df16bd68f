#include "cli/shot/FramePattern.h"

#include "cli/core/CliError.h"

#include <regex>

namespace OndrelCli {

namespace fs = std::filesystem;

FramePattern::FramePattern(fs::path path) : m_path(std::move(path)) {
    // A run of '#', or %d with an optional zero-padded width, in the file name (not in folders).
    static const std::regex pattern("#+|%(0[1-9][0-9]?)?d");
    const std::string name = m_path.filename().string();
    auto found = std::sregex_iterator(name.begin(), name.end(), pattern);
    if (found == std::sregex_iterator()) {
        return;
    }
    // GCC 14 reports an out-of-bounds subscript inside <regex>'s own inlined match results here
    // (sub_match at -3, on a path its iterators never take): that warning alone is silenced, for
    // this use of the header only.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    const std::smatch match = *found;
    if (++found != std::sregex_iterator()) {
        throw UsageError("the file name \"" + name + "\" holds more than one frame number pattern");
    }
    const std::string text = match.str();
    m_width = text[0] == '#'     ? static_cast<int>(text.size())
              : match[1].matched ? std::stoi(match[1].str())
                                 : 0;
    m_before = (m_path.parent_path() / match.prefix().str()).string();
    m_after = match.suffix().str();
#pragma GCC diagnostic pop
}

fs::path FramePattern::frame(int n) const {
    if (!m_width) {
        return m_path;
    }
    std::string digits = std::to_string(n);
    if (static_cast<int>(digits.size()) < *m_width) {
        digits.insert(0, static_cast<std::size_t>(*m_width) - digits.size(), '0');
    }
    return with(digits);
}

fs::path FramePattern::with(const std::string& text) const {
    return m_width ? fs::path(m_before + text + m_after) : m_path;
}

} // namespace OndrelCli
