#pragma once

// Whether a request comes from a page this server serves, by its Host and Origin headers: the
// scheme, host and port are parsed whole, so that no other name, port or scheme passes for them
// ("http://127.0.0.1:8000.evil.example", "https://127.0.0.1:8000", "http://user@127.0.0.1:8000").

#include <string_view>

namespace OndrelCli {

// "127.0.0.1:PORT" or "localhost:PORT", the host in any case and the port as written by a browser.
bool namesThisServer(std::string_view authority, int port);

// "http://" and what namesThisServer() takes, and nothing more.
bool isThisServersOrigin(std::string_view origin, int port);

} // namespace OndrelCli
