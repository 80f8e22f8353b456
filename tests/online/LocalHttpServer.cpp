#include "tests/online/LocalHttpServer.h"

#include <stdexcept>

namespace qv::test {

LocalHttpServer::LocalHttpServer(const std::function<void(httplib::Server&)>& pages) {
    pages(server_);
    // Binding also listens, so clients may connect before the loop runs.
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("no port for the test server");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
}

LocalHttpServer::~LocalHttpServer() {
    // stop() only reaches a running loop.
    while (!server_.is_running()) std::this_thread::yield();
    server_.stop();
    thread_.join();
}

}  // namespace qv::test
