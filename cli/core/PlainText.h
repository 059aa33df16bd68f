#pragma once

// Names and values from users and from other people's files, before they are written anywhere
// else: into a message on a terminal, a batch script, a JSON file or an HTTP header. Text that is
// UTF-8 without control characters stays on its line wherever it goes; anything else is refused
// where it comes in, and shown escaped where it is only named.

#include <optional>
#include <string>
#include <string_view>

namespace OndrelCli {

// What keeps the text from being plain: "a line break", "a control character (\x1b)", "bytes
// that are not UTF-8"; nothing for plain text. Control characters are the C0 set, DEL, the C1
// set (U+0080 to U+009F) and the line and paragraph separators U+2028 and U+2029.
std::optional<std::string> plainTextProblem(std::string_view text);

// Throws CliError "WHAT: holds a line break; ..." unless the text is plain. `what` names the
// text as the user gave it, such as `-o "out.png"` or `shot.json:4`.
void checkPlainText(std::string_view text, const std::string& what);

// The text on one line, for messages: control characters as escapes (\n, \t, \x1b, \u2028) and
// each byte that is not UTF-8 as \xNN. Plain text is unchanged.
std::string shownText(std::string_view text);

} // namespace OndrelCli
