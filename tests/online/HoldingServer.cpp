#include "tests/online/HoldingServer.h"

namespace qv::test {

HoldingServer::HoldingServer(std::vector<std::string> answers) : answers_(std::move(answers)) { Start(); }

HoldingServer::~HoldingServer() { Stop(); }

std::string HoldingServer::Reply(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

void HoldingServer::Serve(int client) {
    std::string got;
    if (served_ < answers_.size()) {
        // Answer once the request's head is in (the requests answered are GETs).
        while (got.find("\r\n\r\n") == std::string::npos && ReadMore(client, got)) {
        }
        SendAll(client, answers_[served_++]);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_);
        ++holding_;
    }
    cv_.notify_all();
    while (ReadMore(client, got)) {
    }
    {
        std::lock_guard<std::mutex> lock(m_);
        held_ += got;
        ++closed_;
    }
    cv_.notify_all();
}

bool HoldingServer::WaitHeldClosed(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, limit, [this] { return closed_ > 0; });
}

bool HoldingServer::WaitHolding(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, limit, [this] { return holding_ > 0; });
}

std::string HoldingServer::Held() const {
    std::lock_guard<std::mutex> lock(m_);
    return held_;
}

}  // namespace qv::test
