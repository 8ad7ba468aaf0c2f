// A small HTTP/1.0 server on 127.0.0.1: fixed replies per path, one connection at a time.
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

namespace configtest {

struct Reply {
    int status = 200;
    std::string body;
    int64_t announced = -1;  // Content-Length sent; -1: the body's size; -2: none
    int holdMs = 0;          // keeps the connection open this long after the body (a stalled server)
};

class TestServer {
public:
    TestServer() {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t len = sizeof a;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd_, 8) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            close(fd_);
            fd_ = -1;
            return;
        }
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~TestServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (fd_ >= 0) close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    void Set(const std::string& path, const Reply& r) {
        std::lock_guard<std::mutex> lock(mutex_);
        replies_[path] = r;
    }
    static int DeadPort() { return TestServer().port_; }  // a server's port, closed again

private:
    void Serve() {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0) Handle(c), close(c);
        }
    }

    void Handle(int c) {
        std::string request;
        char buf[4096];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            pollfd p{c, POLLIN, 0};
            ssize_t n = poll(&p, 1, 5000) > 0 ? read(c, buf, sizeof buf) : 0;
            if (n <= 0) return;
            request.append(buf, static_cast<size_t>(n));
        }
        size_t sp = request.find(' ');
        std::string path = request.substr(sp + 1, request.find(' ', sp + 1) - sp - 1);
        std::unique_lock<std::mutex> lock(mutex_);
        Reply r = replies_.count(path) ? replies_[path] : Reply{404, "not here"};
        lock.unlock();
        const int64_t length = r.announced >= 0 ? r.announced : static_cast<int64_t>(r.body.size());
        std::string all = "HTTP/1.0 " + std::to_string(r.status) + (r.status == 200 ? " OK" : " Error") + "\r\n" +
                          (r.announced == -2 ? "" : "Content-Length: " + std::to_string(length) + "\r\n") +
                          "Connection: close\r\n\r\n" + r.body;
        for (size_t off = 0; off < all.size();) {
            ssize_t n = send(c, all.data() + off, all.size() - off, MSG_NOSIGNAL);
            if (n <= 0) return;
            off += static_cast<size_t>(n);
        }
        for (int waited = 0; waited < r.holdMs && !stop_; waited += 20) usleep(20000);
    }

    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::map<std::string, Reply> replies_;
    std::thread thread_;
};

}  // namespace configtest
