// A libFuzzer target: the preview server's requests, each input one connection's bytes handled in
// process without a socket (PreviewServer::handle), with the module loaded and its effects applied
// as `ondrel serve` does. It stops (and libFuzzer keeps the input) on a sanitizer report, and when
// the answer is not one HTTP response with a status of the client's (4xx), a success, or 503: a
// 500 is a request the server failed to refuse.
//
// Renders are kept small so that many requests are tried: a request that names a layer of more
// than 65536 pixels (WxH anywhere in it, digits or an x escaped in JSON), or a preview without
// one, is passed over. How the server bounds large previews is not what this target looks for.

#include "FuzzInput.h"

#include "cli/core/Effects.h"
#include "cli/serve/PreviewServer.h"
#include "cli/serve/PreviewService.h"

#include <cctype>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using OndrelFuzz::stop;

namespace {

constexpr long long mostPixels = 65536;

// The largest WxH the text names, if any.
std::optional<long long> largestSize(std::string_view text) {
    std::optional<long long> largest;
    const auto digitsAt = [&](std::size_t at, bool backwards) {
        long long value = 0;
        long long scale = 1;
        std::size_t count = 0;
        while (count < 9) { // nine digits each: the product fits
            const std::size_t i = backwards ? at - count : at + count;
            if (i >= text.size() || (backwards && at < count) ||
                !std::isdigit(static_cast<unsigned char>(text[i]))) {
                break;
            }
            const int digit = text[i] - '0';
            value = backwards ? value + digit * scale : value * 10 + digit;
            scale *= 10;
            ++count;
        }
        return count == 0 ? std::nullopt : std::optional<long long>(value);
    };
    for (std::size_t x = 1; x + 1 < text.size(); ++x) {
        if (text[x] != 'x' && text[x] != 'X') {
            continue;
        }
        const auto width = digitsAt(x - 1, true);
        const auto height = digitsAt(x + 1, false);
        if (width && height) {
            largest = std::max(largest.value_or(0), *width * *height);
        }
    }
    return largest;
}

bool rendersLarge(std::string_view request) {
    const std::string_view firstLine = request.substr(0, request.find('\n'));
    if (firstLine.find('%') != std::string_view::npos || request.find("\\u003") != request.npos ||
        request.find("\\u0078") != request.npos || request.find("\\u0058") != request.npos) {
        return true;
    }
    const auto largest = largestSize(request);
    if (largest && *largest > mostPixels) {
        return true;
    }
    return firstLine.find("preview") != std::string_view::npos && !largest;
}

// Loaded once and never destroyed: the host's own statics may go first when the run ends.
OndrelCli::PreviewServer& server() {
    static auto* service =
        new OndrelCli::PreviewService(OndrelCli::GlobalOptions{ONDREL_MODULE_PATH}, std::nullopt);
    static auto* server = new OndrelCli::PreviewServer(*service);
    return *server;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view request(reinterpret_cast<const char*>(data), size);
    if (rendersLarge(request)) {
        return 0;
    }
    const std::string response = server().handle(request);
    if (response.empty()) {
        return 0; // the request never ended: nothing to answer
    }
    if (response.rfind("HTTP/1.1 ", 0) != 0 || response.size() < 12) {
        stop("not an HTTP response: " + response.substr(0, 200));
    }
    const int status = std::stoi(response.substr(9, 3));
    if (status >= 500 && status != 503) {
        stop("status " + std::to_string(status) + " for a request: " + response.substr(0, 400));
    }
    return 0;
}
