// A bare HTTP server on 127.0.0.1 that hands every request to the test as
// sent, body bytes included (multipart bodies are not taken apart), and
// answers with what the test returns, then closes the connection.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

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

class RawHttpServer {
public:
    using Handler = std::function<RawResponse(const RawRequest&)>;
    explicit RawHttpServer(Handler handler);
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
    // Every request so far.
    std::vector<RawRequest> Requests() const;

private:
    void Run();
    void Serve(int client);

    Handler handler_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<RawRequest> requests_;
    std::thread thread_;
};

}  // namespace qv::test
