// A chat server for the lobby tests, on the session layer's server role: it
// hosts the lobby session on 127.0.0.1 at a port of the system's choosing
// and speaks the lobby protocol: log-in replies (with scripted refusals and
// broken replies), the room, chat echo, private lines, invitations and
// answers, playing flags and duel results.
//
// What it received is recorded as lines the test can wait for:
//   "login <name>", "refuse <code>", "chat <from> <text>",
//   "private <from> <to> <text>", "invite <from> <to> <action>",
//   "answer <from> <to> <answer>", "playing <from> <flag>",
//   "result <from> <race> <won> <total> <opponent>", "leave <name>".
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "multiplayer/lobby/qv3LobbyMessages.h"
#include "platform/session/DPlay8.h"
#include "tests/session/SessionTestSupport.h"

namespace qv::test {

struct TDuelResultRecord {
    std::string From;
    std::string RaceId;
    bool Won = false;
    std::int32_t Total = 0;
    std::string Opponent;
};

enum class TChatReplyMode {
    Normal,   // accept or refuse by the rules, with reply data
    NoData,   // accept with no reply data at all
    Corrupt,  // accept with a reply whose lengths do not add up
    Hold,     // answer nothing until Release()
};
struct TChatServerOptions {
    TChatReplyMode Reply = TChatReplyMode::Normal;
    // Refuse every log-in with code 9.
    bool OldVersion = false;
    // Refuse every log-in with this code and reason.
    std::optional<std::uint8_t> RefuseCode;
    std::string RefuseReason;
    // The port on 127.0.0.1; 0: one of the system's choosing.
    std::uint32_t Port = 0;
    // Names are logged in upper case.
    bool UpperCaseNames = true;
    // The server session's time-outs.
    dpn::TSessionOptions Session = FastOptions();
};


class TChatServer {
public:
    using TReplyMode = TChatReplyMode;
    using TOptions = TChatServerOptions;

    TChatServer() : TChatServer(TOptions{}) {}
    explicit TChatServer(TOptions options);
    ~TChatServer();
    TChatServer(const TChatServer&) = delete;
    TChatServer& operator=(const TChatServer&) = delete;

    std::uint32_t Port() const { return port_; }
    TEvents& Events() { return events_; }
    std::vector<TDuelResultRecord> Results() const;
    std::vector<std::string> Players() const;

    // Sends raw bytes to the player logged in as `name`; false when there is none.
    bool Inject(const std::string& name, const lobby::TBytes& bytes);
    // Ends that player's connection.
    bool Drop(const std::string& name);
    // Sets a player's rank and tells the room.
    bool SetRank(const std::string& name, std::uint32_t rank);
    // Lets held log-ins go on under the rules.
    void Release();

    // The server's own messages.
    static lobby::TBytes ChatBytes(bool isPrivate, const std::string& from, const std::string& text);
    static lobby::TBytes RoomBytes(const std::vector<std::string>& removed, const std::vector<lobby::TRoomEntry>& added);
    static lobby::TBytes InvitationBytes(std::uint8_t action, const std::string& alias, const std::string& address);
    static lobby::TBytes AnswerBytes(std::uint8_t answer, const std::string& alias);
    static lobby::TBytes LoginReplyBytes(std::uint8_t code, const std::string& name, const std::string& reason);

private:
    struct TPlayer {
        dpn::DPNID Id = 0;
        std::string Key;
        std::string Name;
        std::string Address;
        std::uint8_t Status = 0;
        std::uint32_t Rank = 0;
        bool InRoom = false;
    };

    dpn::HRESULT Handle(dpn::DWORD type, void* message);
    dpn::HRESULT IndicateConnect(dpn::DPNMSG_INDICATE_CONNECT& m);
    void Receive(TPlayer& from, const std::uint8_t* data, std::size_t size);
    void SendTo(dpn::DPNID id, const lobby::TBytes& bytes);
    void SendToRoom(const lobby::TBytes& bytes, dpn::DPNID except = 0);
    TPlayer* FindByName(const std::string& name);

    TOptions options_;
    TEvents events_;
    std::unique_ptr<dpn::TSession> session_;
    std::uint32_t port_ = 0;

    mutable std::mutex lock_;
    std::condition_variable released_;
    bool releasedFlag_ = false;
    std::vector<std::unique_ptr<TPlayer>> players_;
    std::vector<std::pair<std::string, std::string>> owners_;  // name -> key
    std::vector<TDuelResultRecord> results_;
};

}  // namespace qv::test
