// A small HTTP/1.0 server on 127.0.0.1 for the download tests: fixed replies per path,
// one connection at a time on a thread of the test. A reply can announce more bytes
// than it sends (a transfer cut short) or be a status other than 200.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace configtest {

struct Reply {
    int status = 200;
    std::string body;
    int64_t announced = -1;  // Content-Length sent; -1: the body's size
    int holdMs = 0;          // keeps the connection open this long after the body (a stalled server)
};

class TestServer {
public:
    TestServer()
    {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        int one = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd_, 8) != 0) {
            close(fd_);
            fd_ = -1;
            return;
        }
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~TestServer()
    {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (fd_ >= 0) close(fd_);
    }

    bool ok() const { return fd_ >= 0; }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    void Set(const std::string& path, const Reply& r)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        replies_[path] = r;
    }
    int Requests() const { return requests_; }

    // A port on which nothing listens (a server's, closed again).
    static int DeadPort() { return TestServer().port_; }

private:
    void Serve()
    {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            Handle(c);
            close(c);
        }
    }

    void Handle(int c)
    {
        std::string request;
        char buf[4096];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            pollfd p{c, POLLIN, 0};
            if (poll(&p, 1, 5000) <= 0) return;
            ssize_t n = read(c, buf, sizeof buf);
            if (n <= 0) return;
            request.append(buf, static_cast<size_t>(n));
        }
        requests_++;
        size_t sp1 = request.find(' ');
        size_t sp2 = request.find(' ', sp1 + 1);
        std::string path = sp1 == std::string::npos ? "" : request.substr(sp1 + 1, sp2 - sp1 - 1);
        Reply r;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = replies_.find(path);
            if (it == replies_.end()) {
                r.status = 404;
                r.body = "not here";
            } else {
                r = it->second;
            }
        }
        int64_t length = r.announced >= 0 ? r.announced : static_cast<int64_t>(r.body.size());
        std::string head = "HTTP/1.0 " + std::to_string(r.status) + (r.status == 200 ? " OK" : " Error") +
                           "\r\nContent-Type: application/octet-stream\r\nContent-Length: " + std::to_string(length) +
                           "\r\nConnection: close\r\n\r\n";
        std::string all = head + r.body;
        size_t off = 0;
        while (off < all.size()) {
            ssize_t n = send(c, all.data() + off, all.size() - off, MSG_NOSIGNAL);
            if (n <= 0) return;
            off += static_cast<size_t>(n);
        }
        for (int waited = 0; waited < r.holdMs && !stop_; waited += 20) usleep(20000);
    }

    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::mutex mutex_;
    std::map<std::string, Reply> replies_;
    std::thread thread_;
};

}  // namespace configtest
