// The tests' one HTTP server on 127.0.0.1: answers from a table of paths (anything else gets
// the fallback, 404 by default), records every request and counts connections; each
// connection is served on its own thread, so a client that connects and waits stalls no other.
// Stops when destroyed.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct Reply {
    Reply(int status_ = 200, std::string body_ = {}, std::string location_ = {}, bool hang_ = false)
        : status(status_), body(std::move(body_)), location(std::move(location_)), hang(hang_) {}
    int status;
    std::string body;
    std::string location;                                     // for redirects
    bool hang;                                                // never answer (for timeouts)
    std::vector<std::pair<std::string, std::string>> headers; // further header lines
};

class LocalServer {
  public:
    LocalServer() {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        int yes = 1;
        ::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            ::listen(m_socket, 16) == 0) {
            socklen_t len = sizeof addr;
            ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&addr), &len);
            m_port = ntohs(addr.sin_port);
        }
        m_thread = std::thread([this] { serve(); });
    }
    ~LocalServer() {
        m_stop = true;
        m_thread.join();
        for (std::thread& t : m_clients)
            t.join();
        ::close(m_socket);
    }
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    bool listening() const { return m_port != 0; }
    int port() const { return m_port; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    void set(const std::string& path, Reply reply) {
        std::lock_guard lock(m_mutex);
        m_routes[path] = std::move(reply);
    }
    // The answer to every path not in the table.
    void setFallback(Reply reply) {
        std::lock_guard lock(m_mutex);
        m_fallback = std::move(reply);
    }
    // The paths asked for, in order.
    std::vector<std::string> requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    // The first lines of the requests ("GET /a.html HTTP/1.1"), in order.
    std::vector<std::string> requestLines() const {
        std::lock_guard lock(m_mutex);
        return m_requestLines;
    }
    // Connections accepted, whether or not a request came over them.
    int connections() const { return m_connections; }
    void forgetRequests() {
        std::lock_guard lock(m_mutex);
        m_requests.clear();
        m_requestLines.clear();
        m_connections = 0;
    }

  private:
    void serve() {
        while (!m_stop) {
            pollfd p{m_socket, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const int client = ::accept(m_socket, nullptr, nullptr);
            if (client < 0)
                continue;
            ++m_connections;
            m_clients.emplace_back([this, client] {
                handle(client);
                ::close(client);
            });
        }
    }
    void handle(int client) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            pollfd p{client, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0)
                return;
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0)
                return;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        const auto sp1 = request.find(' ');
        const auto sp2 = request.find(' ', sp1 + 1);
        const std::string path = request.substr(sp1 + 1, sp2 - sp1 - 1);
        Reply reply;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(path);
            m_requestLines.push_back(request.substr(0, request.find("\r\n")));
            const auto it = m_routes.find(path);
            reply = it != m_routes.end() ? it->second : m_fallback;
        }
        if (reply.hang) {
            // Hold the connection without answering until the client gives up.
            for (int i = 0; i < 100 && !m_stop; ++i) {
                pollfd p{client, POLLIN, 0};
                if (::poll(&p, 1, 50) > 0 && ::recv(client, buffer, sizeof buffer, 0) <= 0)
                    return;
            }
            return;
        }
        std::string head = "HTTP/1.0 " + std::to_string(reply.status) + " X\r\n";
        head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
        if (!reply.location.empty())
            head += "Location: " + reply.location + "\r\n";
        for (const auto& [name, value] : reply.headers)
            head += name + ": " + value + "\r\n";
        head += "Connection: close\r\n\r\n";
        const std::string all = head + reply.body;
        std::size_t sent = 0;
        while (sent < all.size()) {
            const ssize_t n = ::send(client, all.data() + sent, all.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            sent += static_cast<std::size_t>(n);
        }
    }

    int m_socket = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::thread m_thread;
    std::vector<std::thread> m_clients; // touched by the serving thread only, until it ends
    mutable std::mutex m_mutex;
    std::map<std::string, Reply> m_routes;
    Reply m_fallback{404, "not found"};
    std::vector<std::string> m_requests;
    std::vector<std::string> m_requestLines;
};
