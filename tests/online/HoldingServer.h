// A server on 127.0.0.1 that answers the first connections with canned
// bytes and holds every later one: it reads what arrives, sends nothing,
// and notes when the peer closes. It stands for a server that never
// answers (HTTP and SMTP alike: a mail client waits for the greeting).
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "tests/online/LoopbackServer.h"

namespace qv::test {

class HoldingServer final : public LoopbackServer {
public:
    // `answers`: whole HTTP replies for the first connections, in order.
    explicit HoldingServer(std::vector<std::string> answers = {});
    ~HoldingServer();
    HoldingServer(const HoldingServer&) = delete;
    HoldingServer& operator=(const HoldingServer&) = delete;

    std::string Host() const { return "127.0.0.1:" + std::to_string(Port()); }
    // Waits until a held connection has been closed by the peer.
    bool WaitHeldClosed(std::chrono::milliseconds limit);
    // Waits until a connection is being held.
    bool WaitHolding(std::chrono::milliseconds limit);
    // What the held connections sent (request lines and headers).
    std::string Held() const;

    // A whole HTTP reply with `body`.
    static std::string Reply(const std::string& body);

private:
    void Serve(int client) override;

    std::vector<std::string> answers_;
    std::size_t served_ = 0;
    mutable std::mutex m_;
    std::condition_variable cv_;
    int holding_ = 0;
    int closed_ = 0;
    std::string held_;
};

}  // namespace qv::test
