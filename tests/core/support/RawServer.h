#pragma once

// A loopback TCP server that hands every accepted connection to a test's own
// function, for servers that misbehave on purpose (silence, dripping, resets,
// endless bodies, garbage). Each connection runs on its own thread; Stop()
// (or the destructor) wakes every handler and joins all threads.
//
//   RawServer server([](RawServer::Connection& c) {
//       c.ReadRequest();
//       c.Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi");
//   });
//   fetch from 127.0.0.1:server.Port() ...

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

namespace qx::test {

class RawServer {
public:
    class Connection {
    public:
        Connection(RawServer& server, int fd) : server_(server), fd_(fd) {}

        // Reads until the blank line that ends a request's headers, the peer
        // closes, or the server stops. Returns what was read.
        std::string ReadRequest() {
            std::string request;
            char buf[4096];
            while (request.find("\r\n\r\n") == std::string::npos && !server_.Stopping()) {
                pollfd p{fd_, POLLIN, 0};
                if (::poll(&p, 1, 50) <= 0) {
                    continue;
                }
                const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
                if (n <= 0) {
                    break;
                }
                request.append(buf, static_cast<size_t>(n));
            }
            return request;
        }

        // True once the peer has sent something (or closed) within `d`;
        // false when `d` passed in silence or the server stops.
        bool WaitForInput(std::chrono::milliseconds d) {
            const auto deadline = std::chrono::steady_clock::now() + d;
            while (!server_.Stopping() && std::chrono::steady_clock::now() < deadline) {
                pollfd p{fd_, POLLIN, 0};
                if (::poll(&p, 1, 20) > 0) {
                    return true;
                }
            }
            return false;
        }

        // Reads what has arrived, at most a few bytes: the start of a request.
        std::string ReadSome() {
            char buf[8];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
        }

        // Sends all of `data`; false once the peer is gone or the server stops.
        bool Send(std::string_view data) {
            while (!data.empty() && !server_.Stopping()) {
                pollfd p{fd_, POLLOUT, 0};
                if (::poll(&p, 1, 50) <= 0) {
                    continue;
                }
                const ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
                if (n <= 0) {
                    return false;
                }
                sent_ += static_cast<size_t>(n);
                data.remove_prefix(static_cast<size_t>(n));
            }
            return data.empty();
        }

        // Waits for `d`; false when the server stops first.
        bool Wait(std::chrono::milliseconds d) { return server_.WaitUnlessStopping(d); }

        // Closes with a reset instead of an orderly end.
        void Reset() {
            linger l{1, 0};
            ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
            ::shutdown(fd_, SHUT_RDWR);
        }

        std::size_t BytesSent() const { return sent_; }

    private:
        RawServer& server_;
        int fd_;
        std::size_t sent_ = 0;
    };

    using Handler = std::function<void(Connection&)>;

    // With `listenNow` false the port is reserved (connects to it are refused)
    // until Listen() is called.
    explicit RawServer(Handler handler, bool listenNow = true) : handler_(std::move(handler)) {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
            ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            if (listenFd_ >= 0) {
                ::close(listenFd_);
            }
            throw std::runtime_error("RawServer: cannot bind 127.0.0.1");
        }
        port_ = ntohs(addr.sin_port);
        if (listenNow) {
            Listen();
        }
    }

    // Starts accepting connections; call once.
    void Listen() {
        if (::listen(listenFd_, 16) != 0) {
            throw std::runtime_error("RawServer: listen failed");
        }
        acceptor_ = std::thread([this] { AcceptLoop(); });
    }

    ~RawServer() { Stop(); }
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    std::uint16_t Port() const { return port_; }
    int Connections() const { return connections_.load(); }

    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) {
                return;
            }
            stopping_ = true;
        }
        wake_.notify_all();
        if (acceptor_.joinable()) {
            acceptor_.join();
        }
        for (auto& t : handlers_) {
            t.join();
        }
        ::close(listenFd_);
    }

    bool Stopping() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return stopping_;
    }

private:
    bool WaitUnlessStopping(std::chrono::milliseconds d) {
        std::unique_lock<std::mutex> lock(mutex_);
        return !wake_.wait_for(lock, d, [this] { return stopping_; });
    }

    void AcceptLoop() {
        while (!Stopping()) {
            pollfd p{listenFd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) {
                continue;
            }
            const int fd = ::accept(listenFd_, nullptr, nullptr);
            if (fd < 0) {
                continue;
            }
            ++connections_;
            handlers_.emplace_back([this, fd] {
                Connection c(*this, fd);
                handler_(c);
                ::close(fd);
            });
        }
    }

    Handler handler_;
    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::list<std::thread> handlers_;  // touched by the acceptor, then by Stop()
    std::thread acceptor_;
};

}  // namespace qx::test
