// Plain UDP stand-ins on 127.0.0.1 for the session tests: a socket that
// reads datagrams and answers searches (a host that never completes a
// connect), and a relay between two ends that delays and drops datagrams
// and can drop everything for a while (an outage).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/session/Guid.h"
#include "platform/session/SessionWire.h"

namespace qv::test {

inline int LoopbackSocket(std::uint32_t* port) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    *port = ntohs(a.sin_port);
    return fd;
}

inline sockaddr_in Loopback(std::uint32_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    return a;
}

class TUdpStub {
public:
    TUdpStub() { fd_ = LoopbackSocket(&port_); }
    ~TUdpStub() { close(fd_); }
    TUdpStub(const TUdpStub&) = delete;
    TUdpStub& operator=(const TUdpStub&) = delete;

    std::uint32_t Port() const { return port_; }
    // The next datagram, waiting at most `ms`; empty when none came.
    std::vector<std::uint8_t> Receive(int ms, std::uint32_t* fromPort = nullptr) {
        timeval tv{ms / 1000, (ms % 1000) * 1000};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        std::vector<std::uint8_t> b(2048);
        sockaddr_in from{};
        socklen_t n = sizeof from;
        const ssize_t got = recvfrom(fd_, b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&from), &n);
        b.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        if (fromPort != nullptr) *fromPort = ntohs(from.sin_port);
        return b;
    }
    void SendTo(std::uint32_t port, const std::vector<std::uint8_t>& bytes) {
        const sockaddr_in a = Loopback(port);
        sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    }
    // Answers the next search within `ms` as a session `name` of
    // `application` would; false when none came. Nothing else is answered.
    bool AnswerSearch(int ms, const TGuid& application, const std::string& name) {
        for (;;) {
            std::uint32_t from = 0;
            const auto b = Receive(ms, &from);
            if (b.empty()) return false;
            const auto query = dpn::wire::DecodeEnumQuery(b);
            if (!query) continue;
            SendTo(from, SearchAnswer(query->Stamp, application, name));
            return true;
        }
    }
    static std::vector<std::uint8_t> SearchAnswer(std::uint32_t stamp, const TGuid& application,
                                                  const std::string& name) {
        dpn::wire::TEnumResponse r;
        r.Stamp = stamp;
        r.Desc.guidApplication = application;
        r.Desc.guidInstance = NewGuid();
        r.Desc.dwMaxPlayers = 2;
        r.Desc.dwCurrentPlayers = 1;
        r.Desc.SessionName = name;
        return dpn::wire::EncodeEnumResponse(r);
    }

private:
    int fd_ = -1;
    std::uint32_t port_ = 0;
};

// Forwards datagrams between the first end that sends to Port() and the
// port given, as a network between two players would: each datagram waits
// `delayMs` and is dropped with probability `loss` (each way, from a
// seeded generator); while Cut(true), every datagram both ways is dropped
// (an outage).
class TUdpRelay {
public:
    struct TLink {
        int delayMs = 0;
        double loss = 0.0;
        std::uint32_t seed = 1;
    };

    explicit TUdpRelay(std::uint32_t target) : TUdpRelay(target, TLink{}) {}
    TUdpRelay(std::uint32_t target, const TLink& link) : target_(target), link_(link), random_(link.seed) {
        near_ = LoopbackSocket(&port_);
        far_ = LoopbackSocket(&farPort_);
        thread_ = std::thread([this] { Run(); });
    }
    ~TUdpRelay() {
        stop_ = true;
        thread_.join();
        close(near_);
        close(far_);
    }
    TUdpRelay(const TUdpRelay&) = delete;
    TUdpRelay& operator=(const TUdpRelay&) = delete;

    std::uint32_t Port() const { return port_; }
    void Cut(bool cut) { cut_ = cut; }

private:
    using TClock = std::chrono::steady_clock;
    struct TDatagram {
        TClock::time_point due;
        bool toFar;
        std::vector<std::uint8_t> bytes;
    };

    void Run() {
        std::uint32_t client = 0;
        std::vector<std::uint8_t> b(4096);
        std::deque<TDatagram> waiting;  // in the order they are due: one delay for all
        while (!stop_) {
            int wait = 10;
            if (!waiting.empty()) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(waiting.front().due - TClock::now());
                wait = static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 10));
            }
            pollfd fds[2] = {{near_, POLLIN, 0}, {far_, POLLIN, 0}};
            if (poll(fds, 2, wait) > 0) {
                if (fds[0].revents & POLLIN) {
                    sockaddr_in from{};
                    socklen_t n = sizeof from;
                    const ssize_t got = recvfrom(near_, b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&from), &n);
                    client = ntohs(from.sin_port);
                    if (got > 0) Take(waiting, true, b, got);
                }
                if (fds[1].revents & POLLIN) {
                    const ssize_t got = recv(far_, b.data(), b.size(), 0);
                    if (got > 0 && client != 0) Take(waiting, false, b, got);
                }
            }
            const auto now = TClock::now();
            while (!waiting.empty() && waiting.front().due <= now) {
                const TDatagram& d = waiting.front();
                if (d.toFar) Forward(far_, target_, d.bytes);
                else Forward(near_, client, d.bytes);
                waiting.pop_front();
            }
        }
    }
    void Take(std::deque<TDatagram>& waiting, bool toFar, const std::vector<std::uint8_t>& b, ssize_t size) {
        if (cut_) return;
        if (link_.loss > 0 && std::uniform_real_distribution<double>(0.0, 1.0)(random_) < link_.loss) return;
        waiting.push_back({TClock::now() + std::chrono::milliseconds(link_.delayMs), toFar,
                           std::vector<std::uint8_t>(b.begin(), b.begin() + size)});
    }
    static void Forward(int fd, std::uint32_t port, const std::vector<std::uint8_t>& b) {
        const sockaddr_in a = Loopback(port);
        sendto(fd, b.data(), b.size(), 0, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    }

    std::uint32_t target_;
    TLink link_;
    std::mt19937 random_;
    std::uint32_t port_ = 0, farPort_ = 0;
    int near_ = -1, far_ = -1;
    std::atomic<bool> cut_{false}, stop_{false};
    std::thread thread_;
};

}  // namespace qv::test
