#pragma once

// The HTTP side of `ondrel serve`: the page's files and the PreviewService's answers, on the
// loopback interface only. Requests must name the server by its loopback address (the Host
// header, and the Origin when there is one), so that no other web page the browser shows can
// reach it, not even through a name of its own that resolves to 127.0.0.1.

#include "cli/http/BoundedHttpServer.h"

#include <memory>
#include <string>
#include <string_view>

namespace OndrelCli {

class PreviewService;

class PreviewServer {
public:
    // `limits` bound each connection's size and time and how many are served (BoundedHttpServer).
    explicit PreviewServer(PreviewService& service, const ConnectionLimits& limits = {});
    ~PreviewServer();
    PreviewServer(const PreviewServer&) = delete;
    PreviewServer& operator=(const PreviewServer&) = delete;

    // Binds to 127.0.0.1 at `port`, or at a free port for 0; returns the port. Throws CliError
    // when the port is taken or out of range.
    int bind(int port);
    // Serves until stop(); returns at once when not bound.
    void listen();
    // Whether listen() serves; stop() before then is lost, so whoever stops it waits for this.
    bool listening() const;
    void stop();

    // The whole response to one request given as bytes, handled in this process without a
    // socket, as a connection's would be (before bind(), the server's port is 0): for tests and
    // fuzzing.
    std::string handle(std::string_view request);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace OndrelCli
