#include "cli/serve/PreviewServer.h"

#include "cli/core/CliError.h"
#include "cli/serve/PageAssets.h"
#include "cli/serve/PreviewService.h"

#include <httplib.h>

#include <algorithm>
#include <cstdio>
#include <exception>

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

Json body(const httplib::Request& request) {
    try {
        return JsonDocument(request.body).root().json();
    } catch (const JsonSyntaxError& e) {
        throw ServeError(400, "the request is not JSON: line " + std::to_string(e.line) + ": " +
                                  e.what());
    }
}

} // namespace

struct PreviewServer::Impl {
    explicit Impl(PreviewService& s) : service(s) {}

    PreviewService& service;
    httplib::Server server;
    int port = 0;

    // Answers only requests addressed to this server by its loopback name.
    httplib::Server::HandlerResponse screen(const httplib::Request& request,
                                            httplib::Response& response) const {
        const std::string suffix = ":" + std::to_string(port);
        const auto ours = [&](const std::string& authority) {
            return authority == loopback + suffix || authority == "localhost" + suffix;
        };
        const std::string origin = request.get_header_value("Origin");
        if (!ours(request.get_header_value("Host")) ||
            (!origin.empty() &&
             !ours(origin.substr(std::min(origin.size(), sizeof "http://" - 1))))) {
            sendError(response, 403, "this server answers only pages it serves itself");
            return httplib::Server::HandlerResponse::Handled;
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
        server.Post("/api/state", [this](const httplib::Request& q, httplib::Response& r) {
            sendJson(r, service.state(body(q)));
        });
        server.Post("/api/recipe", [this](const httplib::Request& q, httplib::Response& r) {
            r.set_content(service.recipe(body(q)), "application/json");
        });
        server.Post("/api/preview", [this](const httplib::Request& q, httplib::Response& r) {
            auto image = service.preview(body(q));
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
                std::fprintf(stderr, "ondrel serve: %s %s: %s\n", q.method.c_str(), q.path.c_str(),
                             what.c_str());
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

PreviewServer::PreviewServer(PreviewService& service) : m_impl(std::make_unique<Impl>(service)) {
    m_impl->route();
    m_impl->handleErrors();
}

PreviewServer::~PreviewServer() = default;

int PreviewServer::bind(int port) {
    if (port < 0 || port > 65535) {
        throw CliError("--port " + std::to_string(port) + ": expected 0 (any free port) to 65535");
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

} // namespace OndrelCli
