#include "cli/core/PlainText.h"

#include "cli/core/CliError.h"

#include <cstdint>
#include <cstdio>

namespace OndrelCli {
namespace {

// One character of UTF-8 text: its code point and length, or a length of 0 for a byte that
// begins no well-formed character (overlong forms and surrogates included).
struct Character {
    std::uint32_t code = 0;
    std::size_t length = 0;
};

Character decode(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return {lead, 1};
    }
    std::size_t length = 0;
    std::uint32_t code = 0;
    std::uint32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1Fu, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0Fu, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07u, least = 0x10000;
    } else {
        return {};
    }
    if (at + length > text.size()) {
        return {};
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return {};
        }
        code = code << 6 | (byte(i) & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return {};
    }
    return {code, length};
}

bool isControl(std::uint32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029;
}

std::string escape(std::uint32_t code) {
    switch (code) {
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return "\\t";
    default:
        break;
    }
    char text[12];
    std::snprintf(text, sizeof text, code < 0x100 ? "\\x%02x" : "\\u%04x",
                  static_cast<unsigned>(code));
    return text;
}

} // namespace

std::optional<std::string> plainTextProblem(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const Character c = decode(text, at);
        if (c.length == 0) {
            return "bytes that are not UTF-8";
        }
        if (c.code == '\n' || c.code == '\r' || c.code == 0x2028 || c.code == 0x2029) {
            return "a line break";
        }
        if (isControl(c.code)) {
            return "a control character (" + escape(c.code) + ")";
        }
        at += c.length;
    }
    return std::nullopt;
}

void checkPlainText(std::string_view text, const std::string& what) {
    if (const auto problem = plainTextProblem(text)) {
        throw CliError(what + ": holds " + *problem +
                       "; names and values are plain UTF-8 text on one line");
    }
}

std::string shownText(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Character c = decode(text, at);
        if (c.length == 0) {
            shown += escape(static_cast<unsigned char>(text[at]));
            ++at;
            continue;
        }
        if (isControl(c.code)) {
            shown += escape(c.code);
        } else {
            shown.append(text.substr(at, c.length));
        }
        at += c.length;
    }
    return shown;
}

} // namespace OndrelCli
