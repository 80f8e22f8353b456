// A lobby client for tests, with what its signals said recorded as lines,
// and an event loop that runs until something happened.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "multiplayer/lobby/qv3DPClient.h"
#include "tests/session/SessionTestSupport.h"

namespace qv::test {

// Runs the event loop until `done`, at most a process step's deadline.
inline bool PumpUntil(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > kProcessStepDeadline.count()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// One client and what its signals said, as lines.
struct TSide {
    std::unique_ptr<TQVXDPClient> client;
    std::vector<std::string> lines;

    explicit TSide(std::uint32_t port, sys::IClock* clock = nullptr) : TSide(QuickOptions(port, clock)) {}
    static TQVXDPClient::TOptions QuickOptions(std::uint32_t port, sys::IClock* clock) {
        TQVXDPClient::TOptions o;
        o.Port = port;
        o.Clock = clock;
        o.Session = FastOptions();
        o.RunTimer = false;
        return o;
    }
    explicit TSide(const TQVXDPClient::TOptions& o) {
        client = std::make_unique<TQVXDPClient>(o);
        auto* c = client.get();
        QObject::connect(c, &TQVXDPClient::Connected, [this] { lines.push_back("connected"); });
        QObject::connect(c, &TQVXDPClient::SessionLost, [this] { lines.push_back("lost"); });
        QObject::connect(c, &TQVXDPClient::PlayersChanged, [this] { lines.push_back("players " + Room()); });
        QObject::connect(c, &TQVXDPClient::Error, [this](std::uint8_t code, const std::string& text) {
            lines.push_back("error " + std::to_string(code) + " [" + text + "]");
        });
        QObject::connect(c, &TQVXDPClient::ChatLine,
                         [this](const std::string& text, std::uint8_t priv, const std::string& alias) {
                             lines.push_back("chat " + std::to_string(priv) + " " + alias + " " + text);
                         });
        QObject::connect(c, &TQVXDPClient::Invitation,
                         [this](const std::string& alias, std::uint8_t action, const std::string& address) {
                             lines.push_back("invitation " + alias + " " + std::to_string(action) + " " + address);
                         });
        QObject::connect(c, &TQVXDPClient::InvitationAnswer, [this](const std::string& alias, std::uint8_t answer) {
            lines.push_back("answer " + alias + " " + std::to_string(answer));
        });
    }
    std::string Room() {
        std::string text;
        for (const auto& p : client->PlayersSnapshot()) {
            text += (text.empty() ? "" : ",") + p.Name + "/" + std::to_string(p.Rank) + "/" + std::to_string(p.Status);
        }
        return text;
    }
    bool Has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
    bool WaitFor(const std::string& line) {
        const bool ok = PumpUntil([&] { return Has(line); });
        if (!ok) {
            std::string all;
            for (const auto& l : lines) all += "\n  " + l;
            ADD_FAILURE() << "no [" << line << "] in:" << all;
        }
        return ok;
    }
    void LogIn(const std::string& alias, const std::string& key) {
        client->Connect("127.0.0.1", key, alias);
        ASSERT_TRUE(WaitFor("connected"));
    }
};

inline std::string Key(char c) { return std::string(32, c); }

}  // namespace qv::test
