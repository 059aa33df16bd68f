#include "cli/serve/PreviewServer.h"

#include "cli/core/CliError.h"
#include "cli/core/PlainText.h"
#include "cli/http/BoundedHttpServer.h"
#include "cli/http/RequestOrigin.h"
#include "cli/serve/PageAssets.h"
#include "cli/serve/PreviewService.h"

#include <httplib.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <optional>
#include <utility>

namespace OndrelCli {

namespace {

constexpr const char* loopback = "127.0.0.1";
// A recipe is a few kilobytes; nothing the page sends comes near this.
constexpr std::size_t maxRequestBytes = 1 << 20;

void sendJson(httplib::Response& response, const Json& json, int status = 200) {
    response.status = status;
    response.set_content(json.dump(), "application/json");
}

void sendError(httplib::Response& response, int status, const std::string& what) {
    sendJson(response, Json{{"error", what}}, status);
}

// A header carries one line of printable ASCII.
std::string headerText(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c < ' ' || c > '~'; }, '?');
    return text;
}

std::string tooLargeRequest() {
    return "the request is larger than the " + std::to_string(maxRequestBytes >> 20) +
           " MB this server takes";
}

// Why a request's body is not read at all: its type, its encoding or its declared length.
std::optional<std::pair<int, std::string>> bodyRefusal(const httplib::Request& request) {
    const std::string type = request.get_header_value("Content-Type");
    if (type != "application/json" && !type.starts_with("application/json;")) {
        return std::pair{415, "a request's body is JSON (Content-Type: application/json)"};
    }
    const std::string encoding = request.get_header_value("Content-Encoding");
    if (!encoding.empty() && encoding != "identity") {
        return std::pair{415, "a request's body is sent as it is, not compressed"};
    }
    const std::string length = request.get_header_value("Content-Length");
    std::uint64_t bytes = 0;
    const char* end = length.data() + length.size();
    if (!length.empty() && (length.find_first_not_of("0123456789") != std::string::npos ||
                            std::from_chars(length.data(), end, bytes).ptr != end)) {
        return std::pair{400, "the request's Content-Length is not a number of bytes"};
    }
    if (bytes > maxRequestBytes) {
        return std::pair{413, tooLargeRequest()};
    }
    return std::nullopt;
}

// The request's body as JSON, read up to the limit however it is sent (with a length, in chunks).
Json body(const httplib::ContentReader& read) {
    std::string text;
    bool tooLarge = false;
    const bool whole = read([&](const char* data, std::size_t size) {
        tooLarge = text.size() + size > maxRequestBytes;
        if (!tooLarge) {
            text.append(data, size);
        }
        return !tooLarge;
    });
    if (tooLarge) {
        throw ServeError(413, tooLargeRequest());
    }
    if (!whole) {
        throw ServeError(400, "the request's body ends early or is malformed");
    }
    try {
        return JsonDocument(text).root().json();
    } catch (const JsonSyntaxError& e) {
        throw ServeError(400, "the request is not JSON: line " + std::to_string(e.line) + ": " +
                                  e.what());
    }
}

// What each path answers: GET (and HEAD) for the page and what it reads, POST with JSON for the
// rest.
bool isGetPath(const std::string& path) {
    if (path == "/favicon.ico" || path == "/api/effects" || path == "/api/controls" ||
        path == "/api/start") {
        return true;
    }
    const auto& assets = pageAssets();
    return std::any_of(assets.begin(), assets.end(),
                       [&](const PageAsset& asset) { return asset.path == path; });
}

bool isPostPath(const std::string& path) {
    return path == "/api/state" || path == "/api/recipe" || path == "/api/preview" ||
           path == "/api/open";
}

} // namespace

struct PreviewServer::Impl {
    Impl(PreviewService& s, const ConnectionLimits& limits) : service(s), server(limits) {}

    PreviewService& service;
    BoundedHttpServer server;
    int port = 0;

    // Answers only requests addressed to this server by its loopback name, and only those it
    // has a route for: any other is refused before its body is read.
    httplib::Server::HandlerResponse screen(const httplib::Request& request,
                                            httplib::Response& response) const {
        const auto refuse = [&](int status, const std::string& what) {
            sendError(response, status, what);
            return httplib::Server::HandlerResponse::Handled;
        };
        if (request.get_header_value_count("Host") != 1 ||
            request.get_header_value_count("Origin") > 1 ||
            !namesThisServer(request.get_header_value("Host"), port) ||
            (request.has_header("Origin") &&
             !isThisServersOrigin(request.get_header_value("Origin"), port))) {
            return refuse(403, "this server answers only pages it serves itself");
        }
        const bool get = request.method == "GET" || request.method == "HEAD";
        if (!isGetPath(request.path) && !isPostPath(request.path)) {
            return refuse(404, "no such page");
        }
        if (get != isGetPath(request.path) || (!get && request.method != "POST")) {
            return refuse(405, request.method + " is not how this page is asked for");
        }
        if (const auto refusal = get ? std::nullopt : bodyRefusal(request)) {
            return refuse(refusal->first, refusal->second);
        }
        return httplib::Server::HandlerResponse::Unhandled;
    }

    void route() {
        for (const PageAsset& asset : pageAssets()) {
            server.Get(std::string(asset.path),
                       [&asset](const httplib::Request&, httplib::Response& r) {
                           r.set_content(asset.content.data(), asset.content.size(),
                                         std::string(asset.contentType));
                           // The page loads nothing from elsewhere.
                           r.set_header("Content-Security-Policy",
                                        "default-src 'self'; img-src 'self' data: blob:");
                       });
        }
        // Browsers ask for an icon; the page has none.
        server.Get("/favicon.ico",
                   [](const httplib::Request&, httplib::Response& r) { r.status = 204; });
        server.Get("/api/effects", [this](const httplib::Request&, httplib::Response& r) {
            sendJson(r, service.effects());
        });
        server.Get("/api/controls", [this](const httplib::Request& q, httplib::Response& r) {
            sendJson(r, service.controls(q.get_param_value("effect")));
        });
        server.Get("/api/start", [this](const httplib::Request&, httplib::Response& r) {
            sendJson(r, service.startingRecipe());
        });
        // Bodies are read by the routes themselves, with the limit (body()).
        using Reader = httplib::ContentReader;
        server.Post("/api/state",
                    [this](const httplib::Request&, httplib::Response& r, const Reader& read) {
                        sendJson(r, service.state(body(read)));
                    });
        server.Post("/api/recipe",
                    [this](const httplib::Request&, httplib::Response& r, const Reader& read) {
                        r.set_content(service.recipe(body(read)), "application/json");
                    });
        server.Post("/api/open",
                    [this](const httplib::Request&, httplib::Response& r, const Reader& read) {
                        sendJson(r, service.openRecipe(body(read)));
                    });
        server.Post("/api/preview", [this](const httplib::Request&, httplib::Response& r,
                                           const Reader& read) {
            auto image = service.preview(body(read));
            if (!image) {
                r.status = 204; // superseded by a newer request: dropped
                return;
            }
            r.set_header("X-Width", std::to_string(image->width));
            r.set_header("X-Height", std::to_string(image->height));
            r.set_header("X-Preview", std::to_string(image->number));
            if (const auto& c = image->changed) {
                r.set_header("X-Base", std::to_string(image->base));
                r.set_header("X-Changed", std::to_string(c->x) + "," + std::to_string(c->y) + "," +
                                              std::to_string(c->width) + "," +
                                              std::to_string(c->height));
            }
            if (!image->moduleMessage.empty()) {
                r.set_header("X-Module-Message", headerText(image->moduleMessage));
            }
            // Moved, not copied, into the answer.
            r.body = std::move(image->rgba);
            r.set_header("Content-Type", "application/octet-stream");
        });
    }

    void handleErrors() {
        server.set_pre_routing_handler(
            [this](const httplib::Request& q, httplib::Response& r) { return screen(q, r); });
        server.set_exception_handler(
            [](const httplib::Request& q, httplib::Response& r, std::exception_ptr failure) {
                int status = 500;
                std::string what = "unknown failure";
                try {
                    std::rethrow_exception(failure);
                } catch (const ServeError& e) {
                    status = e.status;
                    what = e.what();
                } catch (const std::exception& e) {
                    what = e.what();
                } catch (...) {
                }
                std::fprintf(stderr, "ondrel serve: %s %s: %s\n", shownText(q.method).c_str(),
                             shownText(q.path).c_str(), shownText(what).c_str());
                sendError(r, status, what);
            });
        server.set_error_handler([](const httplib::Request&, httplib::Response& r) {
            if (r.body.empty()) {
                sendError(r, r.status, r.status == 404 ? "no such page" : "refused");
            }
        });
        server.set_payload_max_length(maxRequestBytes);
        // The library would also share the port with any other server asking for it
        // (SO_REUSEPORT), splitting the page's requests between the two: a second server on a
        // taken port must fail instead. Restarting on a port just left stays possible.
        server.set_socket_options([](socket_t socket) {
            const int yes = 1;
            setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        });
        server.set_default_headers(
            {{"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}});
    }
};

PreviewServer::PreviewServer(PreviewService& service, const ConnectionLimits& limits)
    : m_impl(std::make_unique<Impl>(service, limits)) {
    m_impl->route();
    m_impl->handleErrors();
}

PreviewServer::~PreviewServer() = default;

int PreviewServer::bind(int port) {
    if (port < 0 || port > 65535) {
        throw UsageError("--port " + std::to_string(port) +
                         ": expected 0 (any free port) to 65535");
    }
    const int bound = port == 0 ? m_impl->server.bind_to_any_port(loopback)
                                : (m_impl->server.bind_to_port(loopback, port) ? port : -1);
    if (bound < 0) {
        throw CliError("cannot listen on 127.0.0.1 port " + std::to_string(port) +
                       ": it is taken, or not ours to use");
    }
    m_impl->port = bound;
    return bound;
}

void PreviewServer::listen() {
    if (m_impl->port > 0) {
        m_impl->server.listen_after_bind();
    }
}

bool PreviewServer::listening() const {
    return m_impl->server.is_running();
}

void PreviewServer::stop() {
    m_impl->server.stop();
}

std::string PreviewServer::handle(std::string_view request) {
    return m_impl->server.handle(request);
}

} // namespace OndrelCli
