#include "tests/online/RawHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "foundation/TextUtil.h"

namespace qv::test {

std::string RawRequest::Header(const std::string& name) const {
    for (const auto& [k, v] : Headers) {
        if (SameTextNoCase(k, name)) return v;
    }
    return "";
}

std::string RawRequest::Path() const { return Target.substr(0, Target.find('?')); }

std::string RawRequest::Query(const std::string& name) const {
    const std::size_t q = Target.find('?');
    if (q == std::string::npos) return "";
    std::size_t at = q + 1;
    while (at < Target.size()) {
        std::size_t end = Target.find('&', at);
        if (end == std::string::npos) end = Target.size();
        const std::string pair = Target.substr(at, end - at);
        if (pair.rfind(name + "=", 0) == 0) return pair.substr(name.size() + 1);
        at = end + 1;
    }
    return "";
}

RawHttpServer::RawHttpServer(Handler handler) : handler_(std::move(handler)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 8) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        ::pipe2(wake_, O_CLOEXEC) != 0) {
        throw std::runtime_error("no port for the test server");
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Run(); });
}

RawHttpServer::~RawHttpServer() {
    const char c = 'x';
    (void)!::write(wake_[1], &c, 1);
    thread_.join();
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

std::vector<RawRequest> RawHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void RawHttpServer::Run() {
    for (;;) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        if (fds[0].revents & POLLIN) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                Serve(client);
                ::close(client);
            }
        }
    }
}

void RawHttpServer::Serve(int client) {
    std::string data;
    auto readMore = [&] {
        pollfd fds[2] = {{client, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || fds[1].revents) return false;
        char chunk[8192];
        const ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
        if (n <= 0) return false;
        data.append(chunk, static_cast<std::size_t>(n));
        return true;
    };
    std::size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        if (!readMore()) return;
    }
    RawRequest req;
    std::vector<std::string> lines;
    std::size_t at = 0;
    const std::string head = data.substr(0, headEnd);
    while (at <= head.size()) {
        std::size_t end = head.find("\r\n", at);
        if (end == std::string::npos) end = head.size();
        lines.push_back(head.substr(at, end - at));
        at = end + 2;
    }
    const std::string& first = lines[0];
    const std::size_t s1 = first.find(' '), s2 = first.rfind(' ');
    req.Method = first.substr(0, s1);
    req.Target = first.substr(s1 + 1, s2 - s1 - 1);
    req.Version = first.substr(s2 + 1);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::size_t colon = lines[i].find(':');
        if (colon == std::string::npos) continue;
        std::string value = lines[i].substr(colon + 1);
        while (!value.empty() && value[0] == ' ') value.erase(0, 1);
        req.Headers.emplace_back(lines[i].substr(0, colon), value);
    }
    const std::size_t length = std::strtoul(req.Header("Content-Length").c_str(), nullptr, 10);
    while (data.size() < headEnd + 4 + length) {
        if (!readMore()) return;
    }
    req.Body = data.substr(headEnd + 4, length);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(req);
    }
    const RawResponse res = handler_(req);
    const std::string reply = "HTTP/1.0 " + std::to_string(res.Status) + " Answer\r\nContent-Length: " +
                              std::to_string(res.Body.size()) + "\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n" +
                              res.Body;
    std::size_t sent = 0;
    while (sent < reply.size()) {
        const ssize_t n = ::send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

}  // namespace qv::test
