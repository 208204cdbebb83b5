// A tiny HTTP server on 127.0.0.1 for the download tests: answers from a table of
// paths, runs on its own thread and stops when destroyed.
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
#include <vector>

struct Reply {
    Reply(int status_ = 200, std::string body_ = {}, std::string location_ = {}, bool hang_ = false)
        : status(status_), body(std::move(body_)), location(std::move(location_)), hang(hang_) {}
    int status;
    std::string body;
    std::string location; // for redirects
    bool hang;            // never answer (for timeouts)
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
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_socket, 16);
        socklen_t len = sizeof addr;
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~LocalServer() {
        m_stop = true;
        m_thread.join();
        ::close(m_socket);
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    void set(const std::string& path, Reply reply) {
        std::lock_guard lock(m_mutex);
        m_routes[path] = std::move(reply);
    }
    std::vector<std::string> requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
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
            handle(client);
            ::close(client);
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
        Reply reply{404, "not found", {}, false};
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(path);
            if (auto it = m_routes.find(path); it != m_routes.end())
                reply = it->second;
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
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::map<std::string, Reply> m_routes;
    std::vector<std::string> m_requests;
};
