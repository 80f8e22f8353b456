// A TCP server on 127.0.0.1 with a port of the system's choosing: one
// thread accepts connections and serves them one at a time until the
// object goes. Subclasses speak the protocol.
#pragma once

#include <string>
#include <thread>

namespace qv::test {

class LoopbackServer {
public:
    virtual ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int Port() const { return port_; }

protected:
    LoopbackServer();
    // Starts the accepting thread; the subclass calls it once it is ready.
    void Start();
    // Stops the thread; the subclass's destructor calls it first.
    void Stop();
    // Serves one connection; the socket is closed afterwards.
    virtual void Serve(int client) = 0;
    // Appends what arrives on `client` to `buffer`; false when the peer has
    // gone or the server is stopping.
    bool ReadMore(int client, std::string& buffer) const;
    static bool SendAll(int client, const std::string& text);

private:
    void Run();

    int listener_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    std::thread thread_;
};

}  // namespace qv::test
