// The duel connection as the game core sees it: the opponent's live status
// and result, and the messages this side sends. The front end makes the
// connection and hands it in with TGameCoreServices.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qv {

enum class TDuelPhase : std::uint8_t {
    Waiting,        // no opponent yet
    Joined,         // host: the opponent joined; the level may be sent
    StartSent,      // host: level sent, waiting for the opponent's ready
    LevelReceived,  // joiner: the level arrived; ready may be sent
    Running,
    Finished,       // both results known, or this side quitted
    Closed,         // the connection ended; see CloseReasonText
};

struct TDuelView {
    TDuelPhase Phase = TDuelPhase::Waiting;
    bool IsHost = false;
    std::array<std::uint8_t, 16> RaceId{};  // wire bytes
    std::int32_t OwnResult = -1;            // -1: not yet known
    std::int32_t OpponentResult = -1;
    std::int32_t OpponentScore = 100;
    std::int32_t OpponentCannonY = 300;
    std::uint32_t OpponentEventTime = 0;  // tick count of the opponent's last reference event
    std::uint32_t OpponentEventAge = 0;   // milliseconds since then
    std::string CloseReasonText;
};

class IDuelLink {
public:
    virtual ~IDuelLink() = default;
    virtual TDuelView View() const = 0;
    // The level the host sent (joiner, from LevelReceived on).
    virtual std::vector<std::uint8_t> ReceivedLevel() const = 0;
    // Host, in Joined: sends the race id and the recorded level.
    virtual void SendGameStart(const std::array<std::uint8_t, 16>& raceId, std::span<const std::uint8_t> level) = 0;
    // Joiner, in LevelReceived.
    virtual void SendReady() = 0;
    virtual void SendStatus(std::int32_t score, std::int32_t cannonY, bool resetEventTime) = 0;
    virtual void SendResult(std::int32_t value) = 0;
    virtual void Quit() = 0;
};

}  // namespace qv
