#pragma once

// An HTTP server (cpp-httplib) that no client can starve: every connection is one request, read
// within a time and size limit and answered with "Connection: close"; a fixed number of workers
// serve connections and a bounded number wait for them; and while any wait, a connection that has
// been reading for longer than a moment, or has stopped taking its response, gives way. A refused
// request is answered with a status of its own: 408 for a request that did not arrive in time, 431
// for headers too large, 503 when too many wait.
//
// Request bodies are left to the routes, which read them with a limit of their own (see
// cli/serve/PreviewServer): that limit then holds for every transfer encoding, where the library's
// own payload limit holds only for a Content-Length. A request's ranges are ignored: a response of
// many ranges repeats its body as often as a client asks.

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace OndrelCli {

struct ConnectionLimits {
    std::size_t workers = 8;                     // connections served at once
    std::size_t waiting = 32;                    // connections waiting for a worker; more get 503
    std::size_t headerBytes = 64u << 10;         // the request line and headers together
    std::size_t headerLines = 100;               // the request line and header fields
    std::chrono::milliseconds headerTime{10000}; // for the request line and headers, from accept
    std::chrono::milliseconds bodyTime{10000};   // for the body, once the headers are in
    std::chrono::milliseconds writeTime{10000};  // for the client to take any of the response
    // When every worker is busy, a connection still reading this long after it was accepted, or
    // taking none of its response for this long, is closed to make room.
    std::chrono::milliseconds patience{1000};
};

class BoundedHttpServer : public httplib::Server {
public:
    explicit BoundedHttpServer(const ConnectionLimits& limits = {});
    ~BoundedHttpServer() override;

    // The whole response to one request given as bytes, handled in this process as a
    // connection's would be, without a socket: for tests and fuzzing.
    std::string handle(std::string_view request);

    struct Pressure;
    class RequestStream;

private:
    // The library serves each accepted socket through this (a private virtual of
    // httplib::Server): here it is one request on a stream that keeps the limits.
    bool process_and_close_socket(socket_t socket) override;
    void _serve(RequestStream& stream);

    ConnectionLimits m_limits;
    std::unique_ptr<Pressure> m_pressure;
};

} // namespace OndrelCli
