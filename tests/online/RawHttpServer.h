// A bare HTTP server on 127.0.0.1 that hands every request to the test as
// sent, body bytes included (multipart bodies are not taken apart), and
// answers with what the test returns, then closes the connection.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "tests/online/LoopbackServer.h"

namespace qv::test {

struct RawRequest {
    std::string Method;
    std::string Target;   // path and query as sent
    std::string Version;  // "HTTP/1.0"
    std::vector<std::pair<std::string, std::string>> Headers;
    std::string Body;
    std::string Header(const std::string& name) const;  // case-insensitive; "" when missing
    std::string Path() const;                           // Target without the query
    std::string Query(const std::string& name) const;   // the raw value of name=, "" when missing
};

struct RawResponse {
    int Status = 200;
    std::string Body;
};

class RawHttpServer final : public LoopbackServer {
public:
    using Handler = std::function<RawResponse(const RawRequest&)>;
    explicit RawHttpServer(Handler handler);
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    std::string Host() const { return "127.0.0.1:" + std::to_string(Port()); }
    // Every request so far.
    std::vector<RawRequest> Requests() const;

private:
    void Serve(int client) override;

    Handler handler_;
    mutable std::mutex mutex_;
    std::vector<RawRequest> requests_;
};

}  // namespace qv::test
