// The running program's end of the local socket: each record another program
// sends is acknowledged with one byte and handed to OnMessage on the main
// thread.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QLocalServer;

namespace qv::ui {

class TInstanceServer : public QObject {
    Q_OBJECT
public:
    explicit TInstanceServer(QObject* parent = nullptr);
    ~TInstanceServer() override;
    // Listens at `path`, replacing a socket file left by an ended run (the
    // caller holds the instance lock). False when it cannot listen.
    bool Listen(const std::string& path);
    const std::string& Path() const { return path_; }

    std::function<void(std::uint32_t dwData, const std::vector<std::uint8_t>& data)> OnMessage;

private:
    void Accept();
    QLocalServer* server_;
    std::string path_;
};

}  // namespace qv::ui
