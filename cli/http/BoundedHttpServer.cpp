#include "cli/http/BoundedHttpServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace OndrelCli {

namespace {

using Clock = std::chrono::steady_clock;

// A refusal the server answers itself, whatever the library would have said.
struct Refusal {
    int status;
    const char* reason;
    const char* error;
};

constexpr Refusal lateRequest{408, "Request Timeout", "the request did not arrive in time"};
constexpr Refusal largeHeaders{431, "Request Header Fields Too Large",
                               "the request's headers are larger than this server takes"};
constexpr Refusal busy{503, "Service Unavailable", "the server is busy; try again"};

std::string response(const Refusal& refusal) {
    const std::string body = "{\"error\":\"" + std::string(refusal.error) + "\"}";
    return "HTTP/1.1 " + std::to_string(refusal.status) + " " + refusal.reason +
           "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + body;
}

// Set on a worker's thread for the connection it serves next.
thread_local Clock::time_point t_accepted;
thread_local bool t_refuse = false;

int millisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

} // namespace

// What every connection's wait looks at: how many connections wait for a worker, and whether the
// server stops.
struct BoundedHttpServer::Pressure {
    std::atomic<std::size_t> waiting{0};
    std::atomic<bool> stopping{false};
};

// The request's bytes as the library reads them, counted and timed: the request line and headers
// within their size and time, the body within its time once the headers are in, and the response
// taken by the client without a pause longer than its limit. A transport (a socket, or memory)
// moves the bytes.
class BoundedHttpServer::RequestStream : public httplib::Stream {
public:
    RequestStream(const ConnectionLimits& limits, Clock::time_point accepted)
        : m_limits(limits), m_deadline(accepted + limits.headerTime) {}

    bool is_readable() const override { return m_at < m_end; }
    bool is_writable() const override { return !m_refusal; }

    ssize_t read(char* ptr, size_t size) override {
        if (m_refusal) {
            return -1;
        }
        if (m_at == m_end) {
            const ssize_t n = _receive(m_buffer, sizeof m_buffer, m_deadline);
            if (n < 0 && !m_refusal) {
                m_refusal = lateRequest;
            }
            if (n <= 0) {
                return -1;
            }
            m_at = 0;
            m_end = static_cast<std::size_t>(n);
        }
        const std::size_t count = std::min(size, m_end - m_at);
        // Counted as lines too, in our words: cpp-httplib 0.18 (Debian 13) refuses more than 100
        // fields by itself, as a malformed request.
        if (m_inHeaders &&
            ((m_headerBytes += count) > m_limits.headerBytes ||
             (m_headerLines += static_cast<std::size_t>(std::count(
                  m_buffer + m_at, m_buffer + m_at + count, '\n'))) > m_limits.headerLines)) {
            m_refusal = largeHeaders;
            return -1;
        }
        std::memcpy(ptr, m_buffer + m_at, count);
        m_at += count;
        return static_cast<ssize_t>(count);
    }

    // Once refused, the library's own answer is dropped: the server answers (respond()).
    ssize_t write(const char* ptr, size_t size) override {
        return m_refusal ? static_cast<ssize_t>(size) : _send(ptr, size);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = 0;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = 0;
    }
    socket_t socket() const override { return INVALID_SOCKET; }

    // The headers are in: the body has its own time from now.
    void bodyBegins() {
        m_inHeaders = false;
        m_deadline = Clock::now() + m_limits.bodyTime;
    }
    // The server's own answer when it refused the request.
    void respond() {
        if (m_refusal) {
            const std::string text = response(*m_refusal);
            for (std::size_t sent = 0; sent < text.size();) {
                const ssize_t n = _send(text.data() + sent, text.size() - sent);
                if (n <= 0) {
                    return;
                }
                sent += static_cast<std::size_t>(n);
            }
        }
    }

protected:
    // Up to `size` bytes by the deadline: their count, 0 at the end of the input, or -1.
    virtual ssize_t _receive(char* into, std::size_t size, Clock::time_point deadline) = 0;
    // Some of the bytes, or -1 when the client takes none in time.
    virtual ssize_t _send(const char* from, std::size_t size) = 0;

    const ConnectionLimits& m_limits;

private:
    Clock::time_point m_deadline;
    bool m_inHeaders = true;
    std::size_t m_headerBytes = 0;
    std::size_t m_headerLines = 0;
    std::optional<Refusal> m_refusal;
    char m_buffer[4096];
    std::size_t m_at = 0;
    std::size_t m_end = 0;
};

namespace {

using RequestStream = BoundedHttpServer::RequestStream;
using Pressure = BoundedHttpServer::Pressure;

// A socket's bytes. Its waits are cut into short slices, so that a connection gives way as soon
// as others wait for a worker and it has been reading for longer than the limits' patience, or
// has been taking none of its response for that long; and as soon as the server stops.
class SocketStream : public RequestStream {
public:
    static constexpr auto lingerTime = std::chrono::milliseconds(1000);
    static constexpr std::size_t lingerBytes = 16u << 20;

    SocketStream(const ConnectionLimits& limits, const Pressure& pressure, socket_t socket,
                 Clock::time_point accepted)
        : RequestStream(limits, accepted), m_pressure(pressure), m_socket(socket),
          m_accepted(accepted) {}

    // Ends the response and reads what the client still sends, for a moment, before the socket
    // is closed: closing it with a request unread would reset the connection, and the client
    // could lose the answer (a 413 sent before the body was read).
    void linger() {
        ::shutdown(m_socket, SHUT_WR);
        const auto deadline = Clock::now() + lingerTime;
        char scratch[4096];
        for (std::size_t read = 0; read < lingerBytes;) {
            const ssize_t n = _receive(scratch, sizeof scratch, deadline);
            if (n <= 0) {
                return;
            }
            read += static_cast<std::size_t>(n);
        }
    }

protected:
    ssize_t _receive(char* into, std::size_t size, Clock::time_point deadline) override {
        if (!_wait(POLLIN, deadline)) {
            return -1;
        }
        ssize_t n = 0;
        do {
            n = ::recv(m_socket, into, size, 0);
        } while (n < 0 && errno == EINTR);
        return n;
    }
    ssize_t _send(const char* from, std::size_t size) override {
        if (!_wait(POLLOUT, Clock::now() + m_limits.writeTime)) {
            return -1;
        }
        ssize_t n = 0;
        do {
            n = ::send(m_socket, from, size, MSG_NOSIGNAL);
        } while (n < 0 && errno == EINTR);
        return n;
    }

private:
    // Whether the socket is ready before the deadline, and before the connection must give way.
    bool _wait(short event, Clock::time_point deadline) {
        const auto slice = std::clamp<std::chrono::milliseconds>(
            m_limits.patience / 4, std::chrono::milliseconds(10), std::chrono::milliseconds(100));
        const auto began = Clock::now();
        for (auto now = began; now < deadline && !m_pressure.stopping; now = Clock::now()) {
            const auto waited = now - (event == POLLIN ? m_accepted : began);
            if (m_pressure.waiting > 0 && waited > m_limits.patience) {
                return false;
            }
            pollfd fd{m_socket, event, 0};
            const int ready = ::poll(&fd, 1, millisecondsUntil(std::min(deadline, now + slice)));
            if (ready > 0) {
                return true;
            }
            if (ready < 0 && errno != EINTR) {
                return false;
            }
        }
        return false;
    }

    const Pressure& m_pressure;
    socket_t m_socket;
    Clock::time_point m_accepted;
};

class MemoryStream : public RequestStream {
public:
    MemoryStream(const ConnectionLimits& limits, std::string_view input)
        : RequestStream(limits, Clock::now()), m_input(input) {}

    std::string output;

protected:
    ssize_t _receive(char* into, std::size_t size, Clock::time_point) override {
        const std::size_t n = std::min(size, m_input.size());
        std::memcpy(into, m_input.data(), n);
        m_input.remove_prefix(n);
        return static_cast<ssize_t>(n);
    }
    ssize_t _send(const char* from, std::size_t size) override {
        output.append(from, size);
        return static_cast<ssize_t>(size);
    }

private:
    std::string_view m_input;
};

// The workers that serve connections, and the connections waiting for them. When more wait than
// workers are free, the slowest connection being served is closed; when too many wait, a newcomer
// is answered 503 at once.
class ConnectionQueue : public httplib::TaskQueue {
public:
    ConnectionQueue(const ConnectionLimits& limits, Pressure& pressure)
        : m_limits(limits), m_pressure(pressure) {
        for (std::size_t i = 0; i < limits.workers; ++i) {
            m_workers.emplace_back([this] { _work(); });
        }
    }

    // Every connection is taken, a refused one too (it is answered 503 here). cpp-httplib 0.18
    // (Debian 13) has enqueue say so, and closes the connection itself when it says no; 0.11
    // (Debian 12) expects no answer.
    using Taken = decltype(std::declval<httplib::TaskQueue&>().enqueue({}));

    Taken enqueue(std::function<void()> serve) override {
        _enqueue(std::move(serve));
        return static_cast<Taken>(true);
    }

    void shutdown() override {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_pressure.stopping = true;
        m_changed.notify_all();
        for (std::thread& worker : m_workers) {
            worker.join();
        }
    }

private:
    void _enqueue(std::function<void()> serve) {
        const auto accepted = Clock::now();
        std::unique_lock lock(m_mutex);
        if (m_jobs.size() >= m_limits.waiting) {
            lock.unlock();
            t_refuse = true;
            serve();
            t_refuse = false;
            return;
        }
        m_jobs.push_back({std::move(serve), accepted});
        _count();
        m_changed.notify_one();
    }

    void _work() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty()) {
                return;
            }
            const Job job = std::move(m_jobs.front());
            m_jobs.pop_front();
            --m_idle;
            _count();
            // Once the server stops, a connection still waiting is answered 503 at once.
            t_refuse = m_stopping;
            t_accepted = job.accepted;
            lock.unlock();
            job.serve();
            lock.lock();
            ++m_idle;
            _count();
        }
    }

    // Connections waiting that no idle worker will take at once.
    void _count() { m_pressure.waiting = m_jobs.size() > m_idle ? m_jobs.size() - m_idle : 0; }

    struct Job {
        std::function<void()> serve;
        Clock::time_point accepted;
    };

    const ConnectionLimits& m_limits;
    Pressure& m_pressure;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job> m_jobs;
    std::size_t m_idle = m_limits.workers;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

} // namespace

BoundedHttpServer::BoundedHttpServer(const ConnectionLimits& limits)
    : m_limits(limits), m_pressure(std::make_unique<Pressure>()) {
    new_task_queue = [this] {
        m_pressure->stopping = false;
        return new ConnectionQueue(m_limits, *m_pressure);
    };
}

BoundedHttpServer::~BoundedHttpServer() = default;

void BoundedHttpServer::_serve(RequestStream& stream) {
    bool closed = false;
    const auto setUp = [&stream](httplib::Request& request) {
        request.ranges.clear();
        request.headers.erase("Range");
        stream.bodyBegins();
    };
    // cpp-httplib 0.18 (Debian 13) takes the connection's addresses as well; 0.11 (Debian 12)
    // reads them from the stream.
    const auto process = [&](auto& server) {
        if constexpr (requires { server.process_request(stream, true, closed, setUp); }) {
            server.process_request(stream, true, closed, setUp);
        } else {
            std::string remoteIp, localIp;
            int remotePort = 0, localPort = 0;
            stream.get_remote_ip_and_port(remoteIp, remotePort);
            stream.get_local_ip_and_port(localIp, localPort);
            server.process_request(stream, remoteIp, remotePort, localIp, localPort, true, closed,
                                   setUp);
        }
    };
    process(*this);
    stream.respond();
}

bool BoundedHttpServer::process_and_close_socket(socket_t socket) {
    if (t_refuse) {
        // Answered at once, waiting for nobody.
        const std::string text = response(busy);
        ::send(socket, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    } else {
        SocketStream stream(m_limits, *m_pressure, socket, t_accepted);
        _serve(stream);
        stream.linger();
    }
    ::shutdown(socket, SHUT_RDWR);
    ::close(socket);
    return true;
}

std::string BoundedHttpServer::handle(std::string_view request) {
    MemoryStream stream(m_limits, request);
    _serve(stream);
    return std::move(stream.output);
}

} // namespace OndrelCli
