#include "cli/http/RequestOrigin.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace OndrelCli {
namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

bool namesThisServer(std::string_view authority, int port) {
    const auto colon = authority.rfind(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    const std::string_view host = authority.substr(0, colon);
    return (host == "127.0.0.1" || sameIgnoringCase(host, "localhost")) &&
           authority.substr(colon + 1) == std::to_string(port);
}

bool isThisServersOrigin(std::string_view origin, int port) {
    constexpr std::string_view scheme = "http://";
    return origin.size() > scheme.size() &&
           sameIgnoringCase(origin.substr(0, scheme.size()), scheme) &&
           namesThisServer(origin.substr(scheme.size()), port);
}

} // namespace OndrelCli
