// An HTTP server on 127.0.0.1 with a port of the system's choosing, running
// on its own thread for the lifetime of the object. The test registers its
// pages before the server starts.
#pragma once

#include <httplib.h>

#include <functional>
#include <string>
#include <thread>

namespace qv::test {

class LocalHttpServer {
public:
    explicit LocalHttpServer(const std::function<void(httplib::Server&)>& pages);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int Port() const { return port_; }
    // "127.0.0.1:PORT", the form the host list holds.
    std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string Url(const std::string& path) const { return "http://" + Host() + path; }

private:
    httplib::Server server_;
    int port_ = -1;
    std::thread thread_;
};

}  // namespace qv::test
