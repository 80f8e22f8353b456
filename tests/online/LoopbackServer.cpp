#include "tests/online/LoopbackServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace qv::test {

LoopbackServer::LoopbackServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 8) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        ::pipe2(wake_, O_CLOEXEC) != 0) {
        if (listener_ >= 0) ::close(listener_);
        throw std::runtime_error("no port for the test server");
    }
    port_ = ntohs(addr.sin_port);
}

LoopbackServer::~LoopbackServer() {
    Stop();
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void LoopbackServer::Start() {
    thread_ = std::thread([this] { Run(); });
}

void LoopbackServer::Stop() {
    if (!thread_.joinable()) return;
    const char c = 'x';
    (void)!::write(wake_[1], &c, 1);
    thread_.join();
}

void LoopbackServer::Run() {
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

bool LoopbackServer::ReadMore(int client, std::string& buffer) const {
    pollfd fds[2] = {{client, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 || fds[1].revents) return false;
    char chunk[8192];
    const ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer.append(chunk, static_cast<std::size_t>(n));
    return true;
}

bool LoopbackServer::SendAll(int client, const std::string& text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const ssize_t n = ::send(client, text.data() + at, text.size() - at, MSG_NOSIGNAL);
        if (n <= 0) return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace qv::test
